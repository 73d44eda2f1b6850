// Loading the scoreboard fonts through the file layer.

#include "app/score_fonts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "render/colour_cube.h"
#include "render/pixel_format.h"
#include "render/sprite_file.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class ScoreFonts : public ::testing::Test {
 protected:
  ScoreFonts() {
    std::string tmpl = (fs::temp_directory_path() / "gfall_fonts_XXXXXX").string();
    EXPECT_NE(mkdtemp(tmpl.data()), nullptr);
    layer.loose_root = tmpl;
    format.width = 1024;
    format.height = 768;
    format.format_id = render::PixelFormatId::RGB32;
    render::SetFormatDefaults(format);
    colours = std::make_unique<render::TableColours>();
    for (int i = 0; i < 256; ++i) {
      colours->palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), 3, 0};
    }
    colours->palette_loaded = true;
    render::BuildTableCube(*colours);
  }
  ~ScoreFonts() override {
    std::error_code ec;
    fs::remove_all(layer.loose_root, ec);
  }
  // A one-frame font picture: glyphs side by side, width the sum of the
  // built-in widths.
  void PutFont(const rules::FontSpec& spec) {
    int32_t width = 0;
    for (const rules::GlyphListEntry& e : rules::BuiltInGlyphList(spec)) width += e.width;
    render::SpriteFileDesc desc;
    render::SpriteFileFrame f;
    f.width = width;
    f.height = spec.line_height;
    f.pixels.assign(static_cast<size_t>(width * spec.line_height), 0);
    for (size_t i = 0; i < f.pixels.size(); i += 3) f.pixels[i] = 20;
    desc.frames.push_back(std::move(f));
    desc.compression = render::kCodedAlone;
    std::vector<uint8_t> out;
    ASSERT_TRUE(render::WriteSpriteFile(desc, out));
    std::string name = spec.file;
    for (char& c : name) c = c == '\\' ? '/' : c;
    fs::path p = layer.loose_root / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  }

  res::ResourceLayer layer;
  render::DisplayFormat format;
  std::unique_ptr<render::TableColours> colours;
};

TEST_F(ScoreFonts, LoadsTheMessageAndDigitFontsAndMakesTheOverlays) {
  PutFont(rules::kMessageFont);
  PutFont(rules::kDigitFont1024);
  render::ImageSetContext ctx{format, *colours, nullptr};
  rules::ScoreFonts fonts;
  ASSERT_TRUE(LoadScoreFonts(fonts, layer, ctx));
  EXPECT_EQ(fonts.digits.file, "RES\\FONT\\DIG_1024.IMG");
  EXPECT_EQ(fonts.digits.height, 14);
  EXPECT_GE(fonts.digits.width, fonts.digits.glyphs['/'].x + fonts.digits.glyphs['/'].width);
  EXPECT_EQ(fonts.message.palette[7], 7u | 3u << 8);
  EXPECT_EQ(fonts.overlays[0].font, &fonts.message);
  EXPECT_EQ(fonts.overlays[2].layer.width, 150);
}

TEST_F(ScoreFonts, AMissingDigitFontFailsAndLeavesItsOverlaysUnmade) {
  PutFont(rules::kMessageFont);
  PutFont(rules::kDigitFont1024);  // but the display is 800 wide
  format.width = 800;
  format.height = 600;
  render::SetFormatDefaults(format);
  render::ImageSetContext ctx{format, *colours, nullptr};
  rules::ScoreFonts fonts;
  EXPECT_FALSE(LoadScoreFonts(fonts, layer, ctx));
  EXPECT_EQ(fonts.digits.file, "RES\\FONT\\DIG_800.IMG");
  EXPECT_TRUE(fonts.digits.pixels.empty());
  EXPECT_FALSE(fonts.message.pixels.empty());
  EXPECT_EQ(fonts.overlays[0].shown, 1);
  EXPECT_EQ(fonts.overlays[1].font, nullptr);
}

}  // namespace
}  // namespace app
