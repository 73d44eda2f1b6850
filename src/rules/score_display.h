#pragma once
// The scoreboard: one score tab per player, six rolling digit drums per player
// (72 table pixels below the previous player's), the ball-number picture and
// the tilt sign. The drums turn one frame per 50 ms towards the player's
// score, always forwards, and the counter clicks with every turn. Pictures are
// drawn through a ScoreCanvas; the compositor implements it, tests record it.
//
// Also here: the bitmap fonts, the three text overlays and the 8-bit canvas
// the ball drawing uses.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/table_sound.h"
#include "rules/players.h"

namespace rules {

inline constexpr int kScoreDigits = 6;
inline constexpr int kDrumFramesPerNumeral = 3;
inline constexpr int kDrumFrames = 30;
inline constexpr uint32_t kDrumStepMs = 50;
inline constexpr int kDigitRowStep = 72;  // table pixels between players' digit rows
inline constexpr int kCounterClickSlot = core::kSoundCounter;

enum class ScorePicture : int32_t { kTab, kBallNumber, kTiltSign, kDigit };

// One picture of the scoreboard: which file, and where it belongs.
struct ScoreboardPicture {
  std::string file;
  ScorePicture picture = ScorePicture::kTab;
  int32_t player = 0;    // tabs and digits
  int32_t digit = 0;     // digits: 0 units .. 5
  int32_t offset_y = 0;  // table pixels added to the file's own position
};

// Every picture the scoreboard loads, in load order: four tabs, the ball
// number, the tilt sign, then the six drums of players 0..3.
std::vector<ScoreboardPicture> ScoreboardPictures();

// Where the scoreboard is drawn.
class ScoreCanvas {
 public:
  virtual ~ScoreCanvas() = default;
  // Sets the picture's frame and draws it into the table. `player` and
  // `digit` matter only for tabs and digits.
  virtual void DrawScorePicture(ScorePicture picture, int player, int digit, int frame) = 0;
};

// Keeps what was drawn (for tests and until the compositor exists).
class RecordingScoreCanvas final : public ScoreCanvas {
 public:
  void DrawScorePicture(ScorePicture picture, int player, int digit, int frame) override;

  std::array<int32_t, kPlayerCount> tab_frame{-1, -1, -1, -1};
  std::array<int32_t, kPlayerCount> tab_draws{};
  std::array<std::array<int32_t, kScoreDigits>, kPlayerCount> digit_draws{};
  int32_t ball_number_frame = -1;
  int32_t ball_number_draws = 0;
  int32_t tilt_sign_draws = 0;
};

struct ScoreDisplay {
  // Frame each drum shows (numeral n is frame 3n).
  std::array<std::array<int32_t, kScoreDigits>, kPlayerCount> drum{};
  std::array<int32_t, kPlayerCount> tab_frame{};
  int32_t ball_number_frame = 0;
  uint32_t digit_clock = 0;           // ms since the last drum step
  ScoreCanvas* canvas = nullptr;      // not owned; may be null
  core::TableSound* sound = nullptr;  // not owned; may be null
};

// Rolls the drums by one frame time (whole ms). With refresh_tabs, first marks
// the current player's tab (frame 1) and the others' (frame 0) and draws them.
// Only players 0..last index are updated and drawn.
void UpdateScoreDisplay(ScoreDisplay& d, const Players& players, int32_t frame_time,
                        bool refresh_tabs);
// The ball-number picture for a count of cycles left: frame 2 - cycles left.
void ShowBallNumber(ScoreDisplay& d, int32_t cycles_left);
void DrawTiltSign(ScoreDisplay& d);

// --- Fonts and text overlays ---

inline constexpr int kGlyphTableSize = 256;
inline constexpr uint8_t kNoGlyph = 255;

struct Glyph {
  uint8_t character = 0;
  uint8_t width = kNoGlyph;  // 255: no glyph
  int32_t x = 0;             // offset of the glyph in the font picture
};

// A glyph list entry: the character and its width in pixels, in the order
// the glyphs stand side by side in the font picture.
struct GlyphListEntry {
  uint8_t character = 0;
  uint8_t width = 0;
};

struct FontSpec {
  const char* file;
  int32_t line_height;
  int32_t space_width;
  int32_t letter_gap;
  const char* characters;  // in picture order
};

inline constexpr FontSpec kMessageFont = {
    "RES\\FONT\\MSG_FONT.IMG", 22, 5, 2,
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
    "~!@#$%^&*()_+-=?/{}[]\\|.,;:'\""};
inline constexpr FontSpec kDigitFont1024 = {"RES\\FONT\\DIG_1024.IMG", 14, 6, 2, "0123456789.,:;/"};
inline constexpr FontSpec kDigitFont800 = {"RES\\FONT\\DIG_800.IMG", 10, 5, 1, "0123456789.,:;/"};
inline constexpr FontSpec kDigitFont640 = {"RES\\FONT\\DIG_640.IMG", 8, 4, 1, "0123456789.,:;/"};

// The digit font for a screen width: 1024, 800, otherwise 640.
const FontSpec& DigitFontFor(int screen_width);

struct Font {
  std::string file;
  int32_t line_height = 0;
  int32_t space_width = 0;
  int32_t letter_gap = 0;
  std::array<Glyph, kGlyphTableSize> glyphs{};
  // The font picture (8-bit) and the palette copied at load.
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;
  std::array<uint32_t, 256> palette{};
};

// Builds the glyph table from a list ended by character 0 or 255 (or the end
// of the span): characters not listed have width 255; each glyph's x offset
// is the sum of the widths before it.
std::array<Glyph, kGlyphTableSize> BuildGlyphTable(std::span<const GlyphListEntry> list);

// Takes a loaded font picture. False (the font keeps no picture) when the
// picture has no pixels or fewer than width × height.
bool SetFontPicture(Font& font, int32_t width, int32_t height, std::vector<uint8_t> pixels,
                    const std::array<uint32_t, 256>& palette);

// The width of a text in a font: glyph widths plus the letter gap between
// glyphs, the space width for a blank; characters without a glyph count 0.
int32_t TextWidth(const Font& font, std::string_view text);

// An 8-bit drawing surface: the text overlays and the ball drawing use it.
struct Canvas8 {
  int32_t width = 0, height = 0;
  int32_t scale = 1;
  int32_t advance = 6;  // character advance
  uint8_t fill = 0;
  std::vector<uint8_t> pixels;

  Canvas8() = default;
  Canvas8(int32_t w, int32_t h, uint8_t fill_value = 0);
  void Clear();
  void Set(int x, int y, uint8_t v);  // ignored outside
  uint8_t Get(int x, int y) const;    // 0 outside
};

struct TextOverlay {
  int32_t x = 0, y = 0;  // screen position (1024 wide)
  const Font* font = nullptr;
  Canvas8 layer;
  int32_t shown = 0;
};

struct OverlaySpec {
  int32_t x, y, width, height;
  bool message_font;  // else the digit font
};
inline constexpr std::array<OverlaySpec, 3> kOverlays = {{
    {200, 200, 300, 300, true},
    {850, 636, 150, 120, false},
    {35, 616, 150, 120, false},
}};

// The message font, the digit font and the three overlays. The overlays are
// made only over fonts that have their pictures.
struct ScoreFonts {
  Font message;
  Font digits;
  std::array<TextOverlay, 3> overlays{};
};

// The built-in glyph list of a font (its characters in picture order with
// their widths), ended by character 0. The table generator lays the font
// pictures out with exactly these widths.
std::vector<GlyphListEntry> BuiltInGlyphList(const FontSpec& spec);
// A font record from its spec and built-in glyph list, without its picture.
Font MakeFont(const FontSpec& spec);
// Makes the three empty overlays over the loaded fonts; false when a font an
// overlay needs has no picture.
bool MakeOverlays(ScoreFonts& fonts);

}  // namespace rules
