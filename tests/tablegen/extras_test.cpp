#include "extras.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "build.h"
#include "render/spr24_file.h"
#include "render/sprite_file.h"
#include "rules/score_display.h"

namespace {

// The extra files, built once over a plain grey table picture.
struct Built {
  tablegen::BuildResult result;
  bool ok = false;
  std::string error;
};

const Built& BuiltExtras() {
  static const Built built = [] {
    Built b;
    b.result.playfield_rgb.assign(1024 * 768 * 3, 90);
    render::Palette pal{};
    for (int i = 0; i < 256; ++i)
      pal[static_cast<size_t>(i)] = {uint8_t(i), uint8_t(i), uint8_t(i)};
    b.ok = tablegen::BuildExtras(b.result, b.error) && tablegen::BuildFonts(pal, b.result, b.error);
    return b;
  }();
  return built;
}

class Extras : public ::testing::Test {
 public:
  void SetUp() override {
    ok_ = BuiltExtras().ok;
    error_ = BuiltExtras().error;
    result_ = &BuiltExtras().result;
  }
  const std::vector<uint8_t>& File(const std::string& name) {
    static const std::vector<uint8_t> none;
    for (const auto& f : result_->files)
      if (f.name == name) return f.bytes;
    ADD_FAILURE() << name << " was not built";
    return none;
  }
  // The raw frames of a J24 file.
  std::vector<std::vector<uint8_t>> Frames(const std::string& name) {
    const auto& bytes = File(name);
    render::Spr24Header hd;
    if (!render::ParseSpr24Header(bytes, hd)) return {};
    const size_t n = static_cast<size_t>(hd.width * hd.height) * 3;
    std::vector<std::vector<uint8_t>> out;
    for (int f = 0; f < hd.frame_count; ++f) {
      const size_t at = render::kSpr24HeaderSize + static_cast<size_t>(f) * n;
      if (at + n > bytes.size()) return {};
      out.emplace_back(bytes.begin() + static_cast<long>(at),
                       bytes.begin() + static_cast<long>(at + n));
    }
    return out;
  }

  const tablegen::BuildResult* result_ = nullptr;
  bool ok_ = false;
  std::string error_;
};

TEST_F(Extras, BuildsEveryFileOnce) {
  ASSERT_TRUE(ok_) << error_;
  std::set<std::string> names;
  for (const auto& f : result_->files) EXPECT_TRUE(names.insert(f.name).second) << f.name;
  // 12 scoreboard sprites, 4 fonts, 15 menu items, the loading indicator, 3 pictures.
  EXPECT_EQ(names.size(), 35u);
  EXPECT_EQ(result_->shots.size(), 4u);
}

TEST_F(Extras, EveryGlyphHasInkInsideItsCell) {
  ASSERT_TRUE(ok_) << error_;
  for (const rules::FontSpec* spec : {&rules::kMessageFont, &rules::kDigitFont1024,
                                      &rules::kDigitFont800, &rules::kDigitFont640}) {
    render::ParsedSpriteFile parsed;
    const auto& bytes = File(spec->file);
    ASSERT_TRUE(render::ParseSpriteFile(bytes, parsed)) << spec->file;
    ASSERT_EQ(parsed.frames.size(), 1u);
    const int w = parsed.frames[0].width, h = parsed.frames[0].height;
    ASSERT_EQ(h, spec->line_height);
    ASSERT_EQ(parsed.frame_data.size(), 1u);
    const auto pixels = parsed.frame_data[0];
    ASSERT_GE(pixels.size(), static_cast<size_t>(w * h));
    int x = 0;
    for (const auto& g : rules::BuiltInGlyphList(*spec)) {
      if (g.character == 0) break;
      int ink = 0;
      for (int j = 0; j < h; ++j)
        for (int i = x; i < x + g.width; ++i) {
          const uint8_t v = pixels[static_cast<size_t>(j * w + i)];
          EXPECT_TRUE(v == 0 || (v >= 10 && v <= 245)) << spec->file << " index " << int(v);
          ink += v != 0;
        }
      EXPECT_GT(ink, 0) << spec->file << " glyph '" << g.character << "' is empty";
      x += g.width;
    }
    EXPECT_LE(x, w);
  }
}

TEST_F(Extras, DrumsShowTenNumeralsAndTurnBetweenThem) {
  ASSERT_TRUE(ok_) << error_;
  for (int d = 0; d < rules::kScoreDigits; ++d) {
    const auto frames = Frames("RES\\UI\\SDIG0" + std::to_string(d) + ".J24");
    ASSERT_EQ(frames.size(), 30u);
    std::set<std::vector<uint8_t>> numerals;
    for (int n = 0; n < 10; ++n) {
      numerals.insert(frames[static_cast<size_t>(3 * n)]);
      const auto& a = frames[static_cast<size_t>(3 * n)];
      const auto& b = frames[static_cast<size_t>(3 * n + 1)];
      const auto& c = frames[static_cast<size_t>(3 * n + 2)];
      const auto& next = frames[static_cast<size_t>((3 * n + 3) % 30)];
      EXPECT_NE(a, b);
      EXPECT_NE(b, c);
      EXPECT_NE(c, next);
    }
    EXPECT_EQ(numerals.size(), 10u);
  }
}

TEST_F(Extras, MenuItemsAndLoadingLightsHaveDistinctLooksAndKeepTheirShape) {
  ASSERT_TRUE(ok_) << error_;
  std::vector<std::pair<std::string, size_t>> sprites;
  for (const auto& m : tablegen::MenuItems())  // the pause title shows only frame 0
    if (std::string(m.file) != "RES\\UI\\PMTITLE.J24") sprites.push_back({m.file, 4});
  sprites.push_back({"RES\\UI\\LOADING.J24", 3});
  for (const auto& [file, count] : sprites) {
    const auto frames = Frames(file);
    ASSERT_EQ(frames.size(), count) << file;
    std::set<std::vector<uint8_t>> looks(frames.begin(), frames.end());
    EXPECT_EQ(looks.size(), count) << file;
    // Keyed pixels agree in every frame (the corners), so no frame leaves stale pixels.
    for (size_t k = 0; k + 2 < frames[0].size(); k += 3) {
      const bool keyed0 = frames[0][k] == 255 && frames[0][k + 1] == 0 && frames[0][k + 2] == 255;
      for (const auto& f : frames)
        ASSERT_EQ(keyed0, f[k] == 255 && f[k + 1] == 0 && f[k + 2] == 255) << file;
    }
  }
}

// The full-screen pictures are drawn, not taken from the table picture: the
// same bytes over any table, a night sky over snow, and words only where they
// belong (the title's prompt).
TEST_F(Extras, FullScreenPicturesAreIllustrationsOfTheirOwn) {
  ASSERT_TRUE(ok_) << error_;
  tablegen::BuildResult other;
  other.playfield_rgb.assign(1024 * 768 * 3, 200);
  std::string error;
  ASSERT_TRUE(tablegen::BuildExtras(other, error)) << error;
  auto file_of = [](const tablegen::BuildResult& r, const std::string& name) {
    for (const auto& f : r.files)
      if (f.name == name) return f.bytes;
    return std::vector<uint8_t>{};
  };
  const std::vector<std::string> names = {"RES\\TGA\\F_0000.JPG", "RES\\TGA\\FS_0000.JPG",
                                          "RES\\TGA\\F_0001.JPG"};
  for (const auto& n : names) {
    const auto& bytes = File(n);
    ASSERT_FALSE(bytes.empty()) << n;
    EXPECT_EQ(bytes, file_of(other, n)) << n << " depends on the table picture";
  }
  EXPECT_NE(File(names[0]), File(names[1])) << "the title has its prompt, the loading picture not";
  const tablegen::Shot* title = nullptr;
  for (const auto& s : result_->shots)
    if (s.name == "title.png") title = &s;
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(title->rgb.size(), 1024u * 768u * 3u);
  auto mean = [&](int y0, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 100; x < 924; ++x) {
        const uint8_t* p = &title->rgb[static_cast<size_t>(y * 1024 + x) * 3];
        sum += (p[0] + p[1] + p[2]) / 3.0;
      }
    return sum / ((y1 - y0) * 824.0);
  };
  EXPECT_LT(mean(20, 60), 60.0);     // night sky above the logo
  EXPECT_GT(mean(660, 700), 180.0);  // snow in front of the table
}

}  // namespace
