#include "palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "render/colour_cube.h"
#include "render/spr24_file.h"

namespace {

using tablegen::BuildTablePalette;
using tablegen::ColourSample;

// What a 256-colour screen shows for a colour: the cube's entry.
render::Rgb Shown(const render::Palette& p, const render::ColourCube& cube, render::Rgb c) {
  return p[cube.cells[static_cast<size_t>(render::CubeIndex(c.r, c.g, c.b))]];
}

int Error(render::Rgb a, render::Rgb b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

void ExpectUsablePalette(const render::Palette& p) {
  std::set<int> seen;
  for (int i = render::kFirstTableIndex; i <= render::kLastTableIndex; ++i) {
    const render::Rgb c = p[static_cast<size_t>(i)];
    EXPECT_TRUE(seen.insert((c.r >> 2) << 12 | (c.g >> 2) << 6 | (c.b >> 2)).second)
        << "entry " << i << " shows the same colour as an earlier one";
  }
  for (int i = tablegen::kFirstGreyIndex; i <= tablegen::kLastGreyIndex; ++i) {
    EXPECT_EQ(p[static_cast<size_t>(i)], tablegen::GreyEntry(i));
  }
}

// A table-like sample: a large textured blue floor, a wooden rail in a
// gradient, a dark surround, and a few small bright lamps and caps.
ColourSample TableLikeSample() {
  ColourSample s;
  for (int k = 0; k < 4000; ++k) {
    const int n = (k * 37) % 23 - 11;
    s.Add(static_cast<uint8_t>(60 + n / 2), static_cast<uint8_t>(110 + n),
          static_cast<uint8_t>(170 + n), 10.0);
  }
  for (int v = 0; v < 120; ++v) {
    s.Add(static_cast<uint8_t>(90 + v / 2), static_cast<uint8_t>(55 + v / 3),
          static_cast<uint8_t>(25 + v / 5), 40.0);
  }
  s.Add(24, 24, 38, 20000.0);
  s.Add(220, 40, 50, 30.0);   // red cap
  s.Add(235, 200, 60, 30.0);  // yellow cap
  s.Add(80, 200, 90, 30.0);   // green cap
  s.Add(230, 110, 220, 8.0);  // pink arrow
  return s;
}

TEST(TablePalette, ShowsTheTablesColoursLargeAndSmall) {
  const ColourSample s = TableLikeSample();
  const render::Palette p = BuildTablePalette(s);
  ExpectUsablePalette(p);
  EXPECT_EQ(p, BuildTablePalette(s));  // the same sample, the same palette
  auto cube = std::make_unique<render::ColourCube>();
  render::BuildColourCube(p, *cube);
  struct Case {
    render::Rgb colour;
    int tolerance;
  };
  for (const Case c : {Case{{24, 24, 38}, 6}, Case{{220, 40, 50}, 8}, Case{{235, 200, 60}, 8},
                       Case{{80, 200, 90}, 8}, Case{{230, 110, 220}, 8}, Case{{60, 110, 170}, 8},
                       Case{{120, 75, 37}, 8}, Case{{149, 94, 48}, 8}}) {
    const render::Rgb shown = Shown(p, *cube, c.colour);
    EXPECT_LE(Error(shown, c.colour), c.tolerance)
        << int(c.colour.r) << "," << int(c.colour.g) << "," << int(c.colour.b) << " shows as "
        << int(shown.r) << "," << int(shown.g) << "," << int(shown.b);
  }
}

TEST(TablePalette, WithoutEnoughColoursTheRestIsAnEvenLattice) {
  for (const bool empty : {true, false}) {
    ColourSample s;
    if (!empty) s.Add(200, 10, 10, 1.0);
    const render::Palette p = BuildTablePalette(s);
    ExpectUsablePalette(p);
    std::set<std::tuple<int, int, int>> entries;
    for (int i = render::kFirstTableIndex; i <= render::kLastTableIndex; ++i) {
      const render::Rgb c = p[static_cast<size_t>(i)];
      entries.insert({c.r, c.g, c.b});
    }
    if (!empty) {
      EXPECT_TRUE(entries.count({200, 10, 10}));
    }
    // Every lattice colour but the ones a grey or the sample already shows.
    int lattice = 0;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) lattice += entries.count({r * 51, g * 51, b * 51}) ? 1 : 0;
    EXPECT_GE(lattice, 210);
  }
}

TEST(TablePalette, SpriteFramesCountWithTheirAreaAndWithoutTheKey) {
  render::Spr24Desc d;
  d.header.width = 4;
  d.header.height = 2;
  d.header.key_colour = 0x00FF00FF;
  // Frame 0: six red pixels and two key pixels; frame 1: eight green pixels.
  std::vector<uint8_t> a, b;
  for (int k = 0; k < 8; ++k) {
    const bool key = k < 2;
    a.insert(a.end(), {uint8_t(key ? 255 : 200), uint8_t(key ? 0 : 20), uint8_t(key ? 255 : 20)});
    b.insert(b.end(), {30, 180, 40});
  }
  d.frames = {a, b};
  std::vector<uint8_t> file;
  ASSERT_TRUE(render::WriteSpr24File(d, file));
  ColourSample s;
  ASSERT_TRUE(s.AddSpr24(file, 1.0));
  EXPECT_DOUBLE_EQ(s.total_weight(), 7.0);  // (6 + 8) / 2 frames
  const auto cells = s.Cells();
  ASSERT_EQ(cells.size(), 2u);
  for (const auto& c : cells) EXPECT_FALSE(c.r == 255 && c.g == 0 && c.b == 255);

  file.resize(file.size() - 1);  // a short file adds nothing
  ColourSample t;
  EXPECT_FALSE(t.AddSpr24(file, 1.0));
  EXPECT_EQ(t.total_weight(), 0.0);
}

}  // namespace
