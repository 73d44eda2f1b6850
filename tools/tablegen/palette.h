#pragma once
// The table palette: 236 colours (entries 10..245) chosen from the colours the
// table's pictures actually use, so that 256-colour screens show the table
// faithfully. Entries 226..245 are a fixed grey ramp (ball shadows, glyph
// coverage); 10..225 are fitted to the pictures, weighted by the screen area
// each colour covers.
#include <cstdint>
#include <span>
#include <vector>

#include "build.h"
#include "render/pixel_format.h"

namespace tablegen {

inline constexpr int kFirstFittedIndex = 10;
inline constexpr int kLastFittedIndex = 225;
inline constexpr int kFirstGreyIndex = 226;
inline constexpr int kLastGreyIndex = 245;

// A weighted histogram of colours, 6 bits per channel, with the exact mean
// colour of every cell.
class ColourSample {
 public:
  ColourSample();
  void Add(uint8_t r, uint8_t g, uint8_t b, double weight);
  // Every pixel of an RGB picture (3 bytes per pixel, red first) with the
  // given weight; pixels of the colour `key` (0xRRGGBB) are left out when
  // `skip_key` is set.
  void AddRgb(std::span<const uint8_t> rgb, double weight, bool skip_key = false, uint32_t key = 0);
  // The frames of a raw "SPR24" file, each weighted 1 / frame count so that a
  // sprite counts with its own area however many frames it has. Files that
  // do not parse or hold a JPEG strip are left out; false then.
  bool AddSpr24(std::span<const uint8_t> file, double weight);

  struct Cell {
    double weight = 0.0;
    double r = 0.0, g = 0.0, b = 0.0;  // mean colour
  };
  // The cells that hold any colour, in cell order.
  std::vector<Cell> Cells() const;
  double total_weight() const { return total_; }

 private:
  std::vector<double> weight_, sum_;  // 64³ cells; sum_ holds r, g, b per cell
  double total_ = 0.0;
};

// The fixed grey ramp of entries 226..245.
render::Rgb GreyEntry(int index);

// The table palette for the sample: the grey ramp, and entries 10..225
// fitted by median cut and refined by k-means. Entries 0..9 and 246..255 are
// black. With fewer distinct colours than entries, the rest is filled from an
// even 6 × 6 × 6 colour lattice. The same sample always gives the same palette.
render::Palette BuildTablePalette(const ColourSample& sample);

// The sample of a built pack's table pictures: the normal and dark playfield,
// every true-colour sprite (table parts, scoreboard, menus) and the full-screen
// pictures in `out.shots`, each weighted by how long it is on screen.
ColourSample SampleTablePictures(const BuildResult& out);

}  // namespace tablegen
