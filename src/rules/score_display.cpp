#include "rules/score_display.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace rules {

std::vector<ScoreboardPicture> ScoreboardPictures() {
  std::vector<ScoreboardPicture> list;
  for (int p = 0; p < kPlayerCount; ++p) {
    list.push_back({"RES\\UI\\STAB" + std::to_string(p) + "0.J24", ScorePicture::kTab, p, 0, 0});
  }
  list.push_back({"RES\\UI\\BALLNUM.J24", ScorePicture::kBallNumber, 0, 0, 0});
  list.push_back({"RES\\UI\\TILTSIGN.J24", ScorePicture::kTiltSign, 0, 0, 0});
  for (int p = 0; p < kPlayerCount; ++p) {
    for (int d = 0; d < kScoreDigits; ++d) {
      list.push_back({"RES\\UI\\SDIG0" + std::to_string(d) + ".J24", ScorePicture::kDigit, p, d,
                      kDigitRowStep * p});
    }
  }
  return list;
}

void RecordingScoreCanvas::DrawScorePicture(ScorePicture picture, int player, int digit,
                                            int frame) {
  const bool player_ok = player >= 0 && player < kPlayerCount;
  switch (picture) {
    case ScorePicture::kTab:
      if (!player_ok) return;
      tab_frame[player] = frame;
      ++tab_draws[player];
      break;
    case ScorePicture::kBallNumber:
      ball_number_frame = frame;
      ++ball_number_draws;
      break;
    case ScorePicture::kTiltSign:
      ++tilt_sign_draws;
      break;
    case ScorePicture::kDigit:
      if (!player_ok || digit < 0 || digit >= kScoreDigits) return;
      ++digit_draws[player][digit];
      break;
  }
}

namespace {

int LastPlayer(const Players& players) {
  return players.last_index < 0
             ? 0
             : (players.last_index >= kPlayerCount ? kPlayerCount - 1 : players.last_index);
}

void Draw(ScoreDisplay& d, ScorePicture picture, int player, int digit, int frame) {
  if (d.canvas) d.canvas->DrawScorePicture(picture, player, digit, frame);
}

}  // namespace

void UpdateScoreDisplay(ScoreDisplay& d, const Players& players, int32_t frame_time,
                        bool refresh_tabs) {
  const int last = LastPlayer(players);
  if (refresh_tabs) {
    for (int p = 0; p <= last; ++p) {
      d.tab_frame[p] = p == players.current ? 1 : 0;
      Draw(d, ScorePicture::kTab, p, 0, d.tab_frame[p]);
    }
  }
  d.digit_clock += frame_time > 0 ? static_cast<uint32_t>(frame_time) : 0u;
  const bool step = d.digit_clock > kDrumStepMs;
  if (step) d.digit_clock = 0;
  for (int p = 0; p <= last; ++p) {
    // Only the last six decimal digits are shown; a negative score shows
    // its magnitude.
    int64_t v = players.records[p].score;
    if (v < 0) v = -v;
    for (int k = 0; k < kScoreDigits; ++k) {
      int32_t& drum = d.drum[p][k];
      const int32_t want = static_cast<int32_t>(v % 10) * kDrumFramesPerNumeral;
      if (drum != want && step) {
        drum = (drum + 1) % kDrumFrames;
        if (d.sound) d.sound->PlayTableSound(kCounterClickSlot, 400.0f, 0.0f, false, false);
      }
      Draw(d, ScorePicture::kDigit, p, k, drum);
      v /= 10;
    }
  }
}

void ShowBallNumber(ScoreDisplay& d, int32_t cycles_left) {
  int32_t frame = 2 - cycles_left;
  // Pictures exist for the first three balls only.
  frame = frame < 0 ? 0 : (frame > 2 ? 2 : frame);
  d.ball_number_frame = frame;
  Draw(d, ScorePicture::kBallNumber, 0, 0, frame);
}

void DrawTiltSign(ScoreDisplay& d) { Draw(d, ScorePicture::kTiltSign, 0, 0, 0); }

// --- Fonts ---

const FontSpec& DigitFontFor(int screen_width) {
  if (screen_width == 1024) return kDigitFont1024;
  if (screen_width == 800) return kDigitFont800;
  return kDigitFont640;
}

namespace {

// Glyph widths by character class, per font (pixels).
uint8_t MessageGlyphWidth(unsigned char c) {
  if (std::isupper(c)) return (c == 'I') ? 6 : (c == 'M' || c == 'W') ? 17 : 14;
  if (std::islower(c))
    return (c == 'i' || c == 'l' || c == 'j') ? 5 : (c == 'm' || c == 'w') ? 15 : 11;
  if (std::isdigit(c)) return 12;
  switch (c) {
    case '.':
    case ',':
    case ';':
    case ':':
    case '\'':
    case '|':
    case '!':
      return 5;
    case '@':
    case '#':
    case '%':
    case '&':
      return 16;
    default:
      return 9;
  }
}

uint8_t DigitGlyphWidth(const FontSpec& spec, unsigned char c) {
  const bool numeral = std::isdigit(c) != 0;
  if (spec.line_height >= 14) return numeral ? 10 : 4;
  if (spec.line_height >= 10) return numeral ? 7 : 3;
  return numeral ? 6 : 3;
}

}  // namespace

std::vector<GlyphListEntry> BuiltInGlyphList(const FontSpec& spec) {
  std::vector<GlyphListEntry> list;
  const bool message = std::strcmp(spec.file, kMessageFont.file) == 0;
  for (const char* p = spec.characters; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    list.push_back({c, message ? MessageGlyphWidth(c) : DigitGlyphWidth(spec, c)});
  }
  list.push_back({0, 0});
  return list;
}

std::array<Glyph, kGlyphTableSize> BuildGlyphTable(std::span<const GlyphListEntry> list) {
  std::array<Glyph, kGlyphTableSize> table{};
  for (int c = 0; c < kGlyphTableSize; ++c) table[c] = {static_cast<uint8_t>(c), kNoGlyph, 0};
  int32_t x = 0;
  for (const GlyphListEntry& e : list) {
    if (e.character == 0 || e.character == 255) break;
    // A listed width of 255 would read as "no glyph": the glyph keeps its
    // place in the picture but is not drawn.
    table[e.character] = {e.character, e.width, x};
    x += e.width;
  }
  return table;
}

Font MakeFont(const FontSpec& spec) {
  Font f;
  f.file = spec.file;
  f.line_height = spec.line_height;
  f.space_width = spec.space_width;
  f.letter_gap = spec.letter_gap;
  const std::vector<GlyphListEntry> list = BuiltInGlyphList(spec);
  f.glyphs = BuildGlyphTable(list);
  return f;
}

bool SetFontPicture(Font& font, int32_t width, int32_t height, std::vector<uint8_t> pixels,
                    const std::array<uint32_t, 256>& palette) {
  if (width <= 0 || height <= 0 || pixels.empty() ||
      pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
    font.width = font.height = 0;
    font.pixels.clear();
    return false;
  }
  font.width = width;
  font.height = height;
  font.pixels = std::move(pixels);
  font.palette = palette;
  return true;
}

int32_t TextWidth(const Font& font, std::string_view text) {
  int32_t w = 0;
  bool first = true;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    int32_t g = 0;
    if (c == ' ') {
      g = font.space_width;
    } else if (font.glyphs[c].width != kNoGlyph) {
      g = font.glyphs[c].width;
    } else {
      continue;
    }
    if (!first) w += font.letter_gap;
    w += g;
    first = false;
  }
  return w;
}

Canvas8::Canvas8(int32_t w, int32_t h, uint8_t fill_value)
    : width(w > 0 ? w : 0), height(h > 0 ? h : 0), fill(fill_value) {
  pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
}

void Canvas8::Clear() { std::fill(pixels.begin(), pixels.end(), fill); }

void Canvas8::Set(int x, int y, uint8_t v) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  pixels[static_cast<size_t>(y) * width + x] = v;
}

uint8_t Canvas8::Get(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  return pixels[static_cast<size_t>(y) * width + x];
}

bool MakeOverlays(ScoreFonts& fonts) {
  bool ok = true;
  for (size_t i = 0; i < kOverlays.size(); ++i) {
    const OverlaySpec& s = kOverlays[i];
    TextOverlay& o = fonts.overlays[i];
    const Font& font = s.message_font ? fonts.message : fonts.digits;
    if (font.pixels.empty()) {
      o = TextOverlay{};
      ok = false;
      continue;
    }
    o.x = s.x;
    o.y = s.y;
    o.font = &font;
    o.layer = Canvas8(s.width, s.height, 0);
    o.shown = 1;
  }
  return ok;
}

}  // namespace rules
