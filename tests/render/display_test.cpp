#include "render/display.h"

#include <gtest/gtest.h>

#include <random>

#include "render/colour_cube.h"
#include "render/fake_display_device.h"
#include "render/pixel_format.h"
#include "sprite_fixtures.h"

namespace render {
namespace {

using namespace render::testing;

ModeTable Modes(std::initializer_list<std::pair<int, int>> available) {
  ModeTable t;
  for (auto [r, d] : available) t.available[static_cast<size_t>(r)][static_cast<size_t>(d)] = true;
  return t;
}

TEST(ChooseMode, FallsBackStepByStep) {
  struct Case {
    const char* what;
    ModeTable modes;
    int32_t resolution, depth;
    bool result;
    int32_t want_resolution, want_depth;
  };
  const Case cases[] = {
      {"requested pair available", Modes({{1, 2}, {2, 4}}), 1, 2, true, 1, 2},
      {"16 takes 15", Modes({{2, 1}, {0, 0}}), 2, 2, true, 2, 1},
      {"lowered resolution does not retry the requested depth", Modes({{0, 0}, {0, 2}}), 1, 2, true,
       0, 0},
      {"15 takes 16", Modes({{1, 2}, {1, 0}}), 1, 1, true, 1, 2},
      {"32 takes 24", Modes({{2, 3}, {2, 0}}), 2, 4, true, 2, 3},
      {"24 takes 32", Modes({{2, 4}}), 2, 3, true, 2, 4},
      {"first of 8, 16, 15, 32, 24 at the resolution", Modes({{2, 1}, {2, 4}}), 2, 0, true, 2, 1},
      {"resolution 2 falls back to 1 only", Modes({{1, 4}, {0, 0}}), 2, 0, true, 1, 4},
      {"lowered resolution empty: first anywhere", Modes({{2, 1}, {0, 4}}), 1, 0, true, 0, 4},
      {"resolution 0 empty: first anywhere, 8 bits first", Modes({{2, 0}, {1, 2}}), 0, 2, true, 2,
       0},
      {"first anywhere prefers depth order, then resolution", Modes({{2, 2}, {1, 2}, {2, 4}}), 0, 3,
       true, 1, 2},
      {"inputs are clamped", Modes({{2, 4}}), 7, 9, true, 2, 4},
      {"nothing at all", Modes({}), 2, 4, false, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t r = c.resolution, d = c.depth;
    EXPECT_EQ(ChooseMode(c.modes, r, d), c.result) << c.what;
    EXPECT_EQ(r, c.want_resolution) << c.what;
    EXPECT_EQ(d, c.want_depth) << c.what;
  }
}

TEST(DepthForQuality, PicksWithinTheClass) {
  ModeTable t = Modes({{0, 0}, {0, 1}, {1, 3}, {2, 2}, {2, 1}});
  EXPECT_EQ(DepthForQuality(t, 0, 0), 0);
  EXPECT_EQ(DepthForQuality(t, 0, 1), 1);
  EXPECT_EQ(DepthForQuality(t, 2, 1), 2);
  EXPECT_EQ(DepthForQuality(t, 1, 2), 3);
  EXPECT_EQ(DepthForQuality(t, 1, 0), std::nullopt);
  EXPECT_EQ(DepthForQuality(t, 9, 9), std::nullopt);  // clamped to 2, 2: no true colour there
}

TEST(EnumerateModes, SortsDeviceModes) {
  FakeDisplayDevice dev;
  dev.modes = {{640, 480, 8},
               {800, 600, 16, 0x7C00, 0x03E0, 0x001F},
               {800, 600, 16, 0xF800, 0x07E0, 0x001F},
               {1024, 768, 32},
               {1280, 1024, 32},
               {1024, 768, 12}};
  Display d;
  d.modes.available[2][3] = true;  // cleared first
  ASSERT_TRUE(EnumerateModes(d, dev));
  EXPECT_EQ(d.modes.available, Modes({{0, 0}, {1, 1}, {1, 2}, {2, 4}}).available);
}

Display Requested(int32_t width, PixelFormatId id) {
  Display d;
  d.format.width = width;
  d.format.height = width * 3 / 4;
  d.format.format_id = id;
  SetFormatDefaults(d.format);
  return d;
}

TEST(OpenDisplay, RefusedDepthsAndReportedLayouts) {
  {
    FakeDisplayDevice dev;
    dev.refused_bits = {24};
    Display d = Requested(1024, PixelFormatId::RGB24);
    ASSERT_TRUE(OpenDisplay(d, dev));
    EXPECT_EQ(dev.current.bit_count, 32);
    EXPECT_EQ(d.format.format_id, PixelFormatId::RGB32);
    EXPECT_EQ(d.format.bytes_per_pixel, 4);
    EXPECT_EQ(d.format.pitch, 4096);
  }
  {
    FakeDisplayDevice dev;
    dev.fifteen_as_565 = true;
    Display d = Requested(800, PixelFormatId::RGB555);
    ASSERT_TRUE(OpenDisplay(d, dev));
    EXPECT_EQ(d.format.format_id, PixelFormatId::RGB565);
    EXPECT_EQ(d.format.green_bits, 6);
    EXPECT_EQ(d.format.green_loss, 2);
    EXPECT_EQ(d.format.red_shift, 11);
  }
  {
    FakeDisplayDevice dev;
    dev.refused_bits = {15};
    Display d = Requested(640, PixelFormatId::RGB555);
    ASSERT_TRUE(OpenDisplay(d, dev));
    EXPECT_EQ(dev.traces, (std::vector<std::string>{"DDSetMode 15 bit Fail 3_1/15"}));
    EXPECT_EQ(d.format.format_id, PixelFormatId::RGB565);
  }
  struct Failure {
    PixelFormatId id;
    std::set<int32_t> refused;
    const char* last_trace;
  };
  for (const Failure& f : {Failure{PixelFormatId::RGB32, {32, 24}, "DDSetMode Fail 1"},
                           Failure{PixelFormatId::RGB24, {32, 24}, "DDSetMode Fail 2"},
                           Failure{PixelFormatId::RGB555, {15, 16}, "DDSetMode Fail 3_1/16"},
                           Failure{PixelFormatId::RGB565, {16}, "DDSetMode Fail 3/16"},
                           Failure{PixelFormatId::PAL8, {8}, "DDSetMode Fail 4"}}) {
    FakeDisplayDevice dev;
    dev.refused_bits = f.refused;
    Display d = Requested(1024, f.id);
    EXPECT_FALSE(OpenDisplay(d, dev));
    ASSERT_FALSE(dev.traces.empty());
    EXPECT_EQ(dev.traces.back(), f.last_trace);
  }
  FakeDisplayDevice none;
  none.fail_create = true;
  Display d = Requested(1024, PixelFormatId::RGB32);
  EXPECT_FALSE(OpenDisplay(d, none));
}

TEST(OpenDisplay, PaletteModeLockFlipAndClose) {
  FakeDisplayDevice dev;
  dev.extra_pitch = 64;
  Display d = Requested(640, PixelFormatId::PAL8);
  ASSERT_TRUE(OpenDisplay(d, dev));
  EXPECT_EQ(d.format.red_mask, 0u);
  EXPECT_EQ(dev.screen_palette[10 + 63], (Rgb{255, 0, 0}));
  EXPECT_EQ(dev.screen_palette[74 + 32], (Rgb{0, 32 * 255 / 63, 0}));
  EXPECT_EQ(dev.screen_palette[138 + 1], (Rgb{0, 0, 4}));

  d.full_redraw_count = 0;
  dev.lost = true;
  ASSERT_TRUE(LockBackBuffer(d, dev));
  EXPECT_EQ(d.full_redraw_count, 3);
  EXPECT_EQ(dev.restores, 1);
  EXPECT_EQ(d.format.pitch, 640 + 64);
  EXPECT_EQ(d.format.frame_bytes, 480 * (640 + 64));
  EXPECT_EQ(d.format.draw_target, dev.back.data());
  EXPECT_EQ(d.format.read_target, d.format.draw_target);
  UnlockAndFlip(d, dev);
  EXPECT_EQ(dev.flips, 1);

  Palette table = TestPalette();
  ASSERT_TRUE(SetScreenPalette(d, dev, table, true));
  EXPECT_EQ(dev.flips, 2);
  EXPECT_EQ(dev.back[1000], 0) << "cleared before the palette";
  EXPECT_EQ(dev.screen_palette[10], table[10]);
  EXPECT_EQ(dev.screen_palette[245], table[245]);
  EXPECT_EQ(dev.screen_palette[246], Rgb{}) << "entries of the system stay";

  CloseDisplay(d, dev);
  EXPECT_TRUE(dev.closed);
  EXPECT_FALSE(LockBackBuffer(d, dev));

  FakeDisplayDevice rgb;
  Display t = Requested(1024, PixelFormatId::RGB32);
  ASSERT_TRUE(OpenDisplay(t, rgb));
  EXPECT_FALSE(SetScreenPalette(t, rgb, table, false)) << "no screen palette in true colour";
}

TEST(PixelFormat, DefaultsAndPacking) {
  DisplayFormat f = Format(PixelFormatId::RGB565, 800);
  EXPECT_DOUBLE_EQ(f.scale, 0.78125);
  EXPECT_DOUBLE_EQ(f.inverse_scale, 1.28);
  EXPECT_EQ(f.scaled, 1);
  EXPECT_EQ(f.pitch, 1600);
  EXPECT_EQ(f.frame_bytes, 1600 * 600);
  EXPECT_EQ(f.green_mask, 0x07E0u);
  EXPECT_EQ(f.blue_loss, 3);
  EXPECT_EQ(Format(PixelFormatId::PAL8).red_loss, 0);
  EXPECT_EQ(Format(PixelFormatId::RGB24).bytes_per_pixel, 3);
  EXPECT_EQ(Format(PixelFormatId::RGB32, 1024).scaled, 0);

  const TableColours& colours = SharedColours();
  EXPECT_EQ(PackColour(Format(PixelFormatId::RGB555), colours.cube, 255, 128, 7),
            (31u << 10) | (16u << 5) | 0u);
  EXPECT_EQ(PackColour(Format(PixelFormatId::RGB565), colours.cube, 255, 128, 7),
            (31u << 11) | (32u << 5) | 0u);
  EXPECT_EQ(PackColour(Format(PixelFormatId::RGB24), colours.cube, 1, 2, 3), 0x010203u);
  EXPECT_EQ(PackColour(Format(PixelFormatId::RGB32), colours.cube, 255, 0, 254), 0xFF00FEu);
  const Rgb c = colours.palette[123];
  EXPECT_EQ(PackColour(Format(PixelFormatId::PAL8), colours.cube, c.r, c.g, c.b),
            colours.cube.cells[static_cast<size_t>(CubeIndex(c.r, c.g, c.b))]);
  EXPECT_EQ(TransparentKey(PixelFormatId::RGB565), 0xF81Eu);
}

TEST(ColourCube, AllBlackPaletteGivesIndexTen) {
  Palette black{};
  black[0] = Rgb{255, 255, 255};  // outside 10..245: never chosen
  auto cube = std::make_unique<ColourCube>();
  BuildColourCube(black, *cube);
  for (uint8_t v : cube->cells) ASSERT_EQ(v, 10);
}

TEST(ColourCube, NearestOnTheSixBitScaleWithTiesToTheLowest) {
  Palette p{};
  for (auto& e : p) e = Rgb{255, 255, 255};
  p[50] = Rgb{0, 0, 0};
  p[60] = Rgb{128, 64, 32};
  p[61] = Rgb{128, 64, 32};  // duplicate: 60 wins
  p[70] = Rgb{2, 2, 2};      // 6-bit (0, 0, 0) like index 50: 50 wins
  auto cube = std::make_unique<ColourCube>();
  BuildColourCube(p, *cube);
  EXPECT_EQ(cube->cells[static_cast<size_t>(CubeIndex(0, 0, 0))], 50);
  EXPECT_EQ(cube->cells[static_cast<size_t>(CubeIndex(128, 64, 32))], 60);
  EXPECT_EQ(cube->cells[static_cast<size_t>(CubeIndex(120, 70, 30))], 60);
  EXPECT_EQ(cube->cells[static_cast<size_t>(CubeIndex(255, 255, 255))], 10);
  EXPECT_EQ(NearestTableIndex(p, Rgb{128, 64, 33}), 60);
}

TEST(TablePalette, LoadsAllOrReportsFailure) {
  auto colours = std::make_unique<TableColours>();
  std::vector<uint8_t> bytes(768);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  EXPECT_TRUE(LoadTablePalette(bytes, *colours));
  EXPECT_EQ(colours->palette[1], (Rgb{3, 4, 5}));
  bytes.resize(767);
  bytes[0] = 99;
  EXPECT_FALSE(LoadTablePalette(bytes, *colours));
  EXPECT_EQ(colours->palette[0].r, 99) << "the entries that were read are kept";
  BuildTableCube(*colours);
  EXPECT_TRUE(colours->cube_built);
  colours->cube.cells.fill(1);
  RestoreWorkingCube(*colours);
  EXPECT_EQ(colours->cube.cells, colours->table_cube.cells);
}

}  // namespace
}  // namespace render

namespace render {
namespace {

TEST(ColourCube, MatchesTheDirectSearchOnRandomPalettes) {
  std::mt19937 rng(99);
  auto cube = std::make_unique<ColourCube>();
  for (int trial = 0; trial < 3; ++trial) {
    Palette p{};
    for (auto& e : p) {
      // Few distinct levels, so ties are common.
      e = Rgb{static_cast<uint8_t>(rng() % 5 * 60), static_cast<uint8_t>(rng() % 256),
              static_cast<uint8_t>(rng() % 4 * 80)};
    }
    BuildColourCube(p, *cube);
    for (int cell = 0; cell < 32768; cell += 7) {
      const int r = cell >> 10, g = (cell >> 5) & 31, b = cell & 31;
      int best = -1, best_d = 1 << 30;
      for (int i = 10; i <= 245; ++i) {
        const Rgb& e = p[static_cast<size_t>(i)];
        int d = std::abs((e.r >> 2) - 2 * r) + std::abs((e.g >> 2) - 2 * g) +
                std::abs((e.b >> 2) - 2 * b);
        if (d < best_d) {
          best_d = d;
          best = i;
        }
      }
      ASSERT_EQ(cube->cells[static_cast<size_t>(cell)], best) << "cell " << cell;
    }
  }
}

}  // namespace
}  // namespace render
