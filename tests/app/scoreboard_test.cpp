// The scoreboard's sprites loaded through the file layer and driven by the
// score display.

#include "app/scoreboard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "render/colour_cube.h"
#include "render/pixel_format.h"
#include "render/spr24_file.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class ScoreboardLoad : public ::testing::Test {
 protected:
  ScoreboardLoad() {
    std::string tmpl = (fs::temp_directory_path() / "gfall_board_XXXXXX").string();
    EXPECT_NE(mkdtemp(tmpl.data()), nullptr);
    layer.loose_root = tmpl;
    format.width = 1024;
    format.height = 768;
    format.format_id = render::PixelFormatId::RGB32;
    render::SetFormatDefaults(format);
  }
  ~ScoreboardLoad() override {
    std::error_code ec;
    fs::remove_all(layer.loose_root, ec);
  }
  void Put(const std::string& name, int frames) {
    render::Spr24Desc d;
    d.header.width = 8;
    d.header.height = 10;
    d.header.x = 900;
    d.header.y = 40;
    d.header.key_colour = 0xFF00FF;
    d.header.encoding = render::kSpr24Raw;
    for (int k = 0; k < frames; ++k) d.frames.emplace_back(8 * 10 * 3, static_cast<uint8_t>(k));
    std::vector<uint8_t> out;
    ASSERT_TRUE(render::WriteSpr24File(d, out));
    std::string path = name;
    for (char& c : path) c = c == '\\' ? '/' : c;
    fs::path p = layer.loose_root / path;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  }
  void PutAll(bool with_tilt_sign) {
    for (int p = 0; p < 4; ++p) Put("RES\\UI\\STAB" + std::to_string(p) + "0.J24", 2);
    Put("RES\\UI\\BALLNUM.J24", 3);
    if (with_tilt_sign) Put("RES\\UI\\TILTSIGN.J24", 1);
    for (int d = 0; d < 6; ++d) Put("RES\\UI\\SDIG0" + std::to_string(d) + ".J24", 30);
  }

  res::ResourceLayer layer;
  render::DisplayFormat format;
  render::TableColours colours;
};

TEST_F(ScoreboardLoad, DigitRowsStep72PixelsAndTheDisplaySetsFrames) {
  PutAll(true);
  render::TrueColourContext ctx{layer, format, colours};
  auto board = std::make_unique<Scoreboard>();
  ASSERT_TRUE(LoadScoreboard(*board, ctx));
  EXPECT_EQ(board->digits[0][0].y, 40);
  EXPECT_EQ(board->digits[3][5].y, 40 + 216);
  EXPECT_EQ(board->tabs[3].y, 40);
  EXPECT_EQ(board->digits[1][2].frame_count, 30);

  ScoreboardCanvas canvas(*board);
  rules::ScoreDisplay display;
  display.canvas = &canvas;
  rules::Players players;
  players.last_index = 1;
  players.current = 1;
  players.records[1].score = 20;
  for (int i = 0; i < 3; ++i) rules::UpdateScoreDisplay(display, players, 17, i == 0);
  EXPECT_EQ(board->tabs[0].current_frame, 0);
  EXPECT_EQ(board->tabs[1].current_frame, 1);
  EXPECT_EQ(board->digits[1][1].current_frame, 1);  // turning from 0 towards 2 (frame 6)
  rules::ShowBallNumber(display, 0);
  EXPECT_EQ(board->ball_number.current_frame, 2);
}

TEST_F(ScoreboardLoad, AMissingPictureFailsTheLoadButTheRestLoads) {
  PutAll(false);
  render::TrueColourContext ctx{layer, format, colours};
  auto board = std::make_unique<Scoreboard>();
  EXPECT_FALSE(LoadScoreboard(*board, ctx));
  EXPECT_EQ(board->tilt_sign.frame_count, 0);
  EXPECT_EQ(board->ball_number.frame_count, 3);
  ScoreboardCanvas canvas(*board);
  rules::ScoreDisplay display;
  display.canvas = &canvas;
  rules::DrawTiltSign(display);  // an unloaded picture draws nothing
  EXPECT_EQ(board->draws, 0);
}

}  // namespace
}  // namespace app
