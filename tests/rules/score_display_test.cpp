// The rolling score drums, tabs, ball number and the fonts.

#include "rules/score_display.h"

#include <gtest/gtest.h>

#include "rules_harness.h"

namespace {

struct DisplayHarness {
  DisplayHarness() {
    d.canvas = &canvas;
    d.sound = &sound;
  }
  // Frames of 17 ms: a drum step every third frame (51 ms).
  void Frames(int n, bool tabs = false) {
    for (int i = 0; i < n; ++i) rules::UpdateScoreDisplay(d, players, 17, tabs);
  }
  rules::ScoreDisplay d;
  rules::RecordingScoreCanvas canvas;
  rules_test::RecordingSound sound;
  rules::Players players;
};

TEST(ScoreDisplay, ThousandsDrumTurnsOneFramePerStep) {
  DisplayHarness h;
  h.players.records[0].score = 1000;
  h.Frames(2);
  EXPECT_EQ(h.d.drum[0][3], 0);
  h.Frames(1);
  EXPECT_EQ(h.d.drum[0][3], 1);
  h.Frames(6);  // 153 ms in all
  EXPECT_EQ(h.d.drum[0][3], 3);
  EXPECT_EQ(h.sound.Count(rules::kCounterClickSlot), 3);
  for (int k : {0, 1, 2, 4, 5}) EXPECT_EQ(h.d.drum[0][k], 0) << k;
  h.Frames(30);
  EXPECT_EQ(h.d.drum[0][3], 3);
  EXPECT_EQ(h.sound.Count(rules::kCounterClickSlot), 3);
}

TEST(ScoreDisplay, NineToTenTurnsTheUnitsForwardThroughTheWrap) {
  DisplayHarness h;
  h.d.drum[0][0] = 27;  // showing 9
  h.players.records[0].score = 10;
  std::vector<int> units;
  for (int step = 0; step < 3; ++step) {
    h.Frames(3);
    units.push_back(h.d.drum[0][0]);
  }
  EXPECT_EQ(units, (std::vector<int>{28, 29, 0}));
  EXPECT_EQ(h.d.drum[0][1], 3);
  EXPECT_EQ(h.sound.Count(rules::kCounterClickSlot), 6);
}

TEST(ScoreDisplay, ShowsTheLastSixDigitsOfOnlyThePlayersInTheGame) {
  DisplayHarness h;
  h.players.last_index = 1;
  h.players.current = 1;
  h.players.records[0].score = 1234567;
  h.players.records[2].score = 999;
  h.Frames(3 * 30, true);
  const int want[6] = {7, 6, 5, 4, 3, 2};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(h.d.drum[0][k], 3 * want[k]) << k;
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(h.d.drum[2][k], 0);
    EXPECT_EQ(h.canvas.digit_draws[2][k], 0);
    EXPECT_GT(h.canvas.digit_draws[1][k], 0);
  }
  EXPECT_EQ(h.canvas.tab_frame[0], 0);
  EXPECT_EQ(h.canvas.tab_frame[1], 1);
  EXPECT_EQ(h.canvas.tab_frame[2], -1);
}

TEST(ScoreDisplay, BallNumberFollowsCyclesLeft) {
  DisplayHarness h;
  for (int cycles : {2, 1, 0}) {
    rules::ShowBallNumber(h.d, cycles);
    EXPECT_EQ(h.canvas.ball_number_frame, 2 - cycles);
  }
  rules::ShowBallNumber(h.d, -1);
  EXPECT_EQ(h.canvas.ball_number_frame, 2);
  rules::DrawTiltSign(h.d);
  EXPECT_EQ(h.canvas.tilt_sign_draws, 1);
}

TEST(ScoreDisplay, ScoreboardPicturesStepDigitRowsBy72) {
  const auto list = rules::ScoreboardPictures();
  ASSERT_EQ(list.size(), 4u + 2u + 24u);
  EXPECT_EQ(list[2].file, "RES\\UI\\STAB20.J24");
  EXPECT_EQ(list[4].file, "RES\\UI\\BALLNUM.J24");
  EXPECT_EQ(list[5].file, "RES\\UI\\TILTSIGN.J24");
  const auto& last = list.back();
  EXPECT_EQ(last.file, "RES\\UI\\SDIG05.J24");
  EXPECT_EQ(last.player, 3);
  EXPECT_EQ(last.offset_y, 216);
}

TEST(Fonts, GlyphTablesFollowTheBuiltInLists) {
  const rules::Font msg = rules::MakeFont(rules::kMessageFont);
  int glyphs = 0;
  for (const rules::Glyph& g : msg.glyphs) glyphs += g.width != rules::kNoGlyph;
  EXPECT_EQ(glyphs, 91);
  EXPECT_EQ(msg.glyphs['A'].x, 0);
  EXPECT_EQ(msg.glyphs['B'].x, msg.glyphs['A'].width);
  EXPECT_EQ(msg.glyphs['\\'].width != rules::kNoGlyph, true);
  EXPECT_EQ(msg.glyphs[' '].width, rules::kNoGlyph);

  const rules::Font dig = rules::MakeFont(rules::DigitFontFor(800));
  EXPECT_EQ(dig.file, "RES\\FONT\\DIG_800.IMG");
  EXPECT_EQ(dig.glyphs['A'].width, rules::kNoGlyph);
  EXPECT_EQ(rules::TextWidth(dig, "10"), 2 * dig.glyphs['0'].width + dig.letter_gap);
  EXPECT_EQ(&rules::DigitFontFor(1000), &rules::kDigitFont640);

  // A list ends at character 0 or 255.
  const rules::GlyphListEntry list[] = {{'a', 4}, {'b', 6}, {255, 0}, {'c', 9}};
  const auto table = rules::BuildGlyphTable(list);
  EXPECT_EQ(table['b'].x, 4);
  EXPECT_EQ(table['c'].width, rules::kNoGlyph);
}

TEST(Fonts, OverlaysNeedLoadedFontPictures) {
  rules::ScoreFonts fonts;
  fonts.message = rules::MakeFont(rules::kMessageFont);
  fonts.digits = rules::MakeFont(rules::kDigitFont1024);
  EXPECT_FALSE(rules::MakeOverlays(fonts));
  EXPECT_FALSE(rules::SetFontPicture(fonts.message, 10, 10, std::vector<uint8_t>(99), {}));
  ASSERT_TRUE(rules::SetFontPicture(fonts.message, 10, 10, std::vector<uint8_t>(100, 7), {}));
  ASSERT_TRUE(rules::SetFontPicture(fonts.digits, 4, 4, std::vector<uint8_t>(16, 7), {}));
  ASSERT_TRUE(rules::MakeOverlays(fonts));
  const rules::TextOverlay& o = fonts.overlays[1];
  EXPECT_EQ(o.x, 850);
  EXPECT_EQ(o.layer.width, 150);
  EXPECT_EQ(o.layer.height, 120);
  EXPECT_EQ(o.font, &fonts.digits);
  EXPECT_EQ(o.layer.Get(3, 3), 0);
}

TEST(Canvas8, PixelsOutsideAreIgnored) {
  rules::Canvas8 c(4, 3, 9);
  c.Set(1, 1, 5);
  c.Set(4, 0, 5);
  c.Set(-1, 0, 5);
  EXPECT_EQ(c.Get(1, 1), 5);
  EXPECT_EQ(c.Get(0, 0), 9);
  EXPECT_EQ(c.Get(4, 0), 0);
  c.Clear();
  EXPECT_EQ(c.Get(1, 1), 9);
}

}  // namespace
