#include "palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <tuple>

#include "render/spr24_file.h"

namespace tablegen {

namespace {

constexpr size_t kCells = 64 * 64 * 64;
constexpr int kFitted = kLastFittedIndex - kFirstFittedIndex + 1;
constexpr int kGreys = kLastGreyIndex - kFirstGreyIndex + 1;
constexpr int kKMeansRounds = 12;

inline size_t CellOf(uint8_t r, uint8_t g, uint8_t b) {
  return (static_cast<size_t>(r >> 2) << 12) | (static_cast<size_t>(g >> 2) << 6) |
         static_cast<size_t>(b >> 2);
}

struct Colour3 {
  double c[3] = {0.0, 0.0, 0.0};
};

inline double Distance2(const Colour3& a, const Colour3& b) {
  const double dr = a.c[0] - b.c[0], dg = a.c[1] - b.c[1], db = a.c[2] - b.c[2];
  return dr * dr + dg * dg + db * db;
}

inline Colour3 ColourOf(const ColourSample::Cell& cell) { return {{cell.r, cell.g, cell.b}}; }

inline Colour3 ColourOf(const render::Rgb& c) { return {{double(c.r), double(c.g), double(c.b)}}; }

inline uint8_t Round8(double v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// The 6-bit colour the game's cube compares; two entries with the same one
// show as one.
inline uint32_t Key6(const render::Rgb& c) {
  return (static_cast<uint32_t>(c.r >> 2) << 12) | (static_cast<uint32_t>(c.g >> 2) << 6) |
         static_cast<uint32_t>(c.b >> 2);
}

// Sums of a run of cells: weight, and weighted first and second moments.
struct Moments {
  double w = 0.0;
  std::array<double, 3> s{}, q{};
  void Add(const ColourSample::Cell& cell) {
    const double v[3] = {cell.r, cell.g, cell.b};
    w += cell.weight;
    for (int k = 0; k < 3; ++k) {
      s[static_cast<size_t>(k)] += cell.weight * v[k];
      q[static_cast<size_t>(k)] += cell.weight * v[k] * v[k];
    }
  }
  // Weighted squared error around the mean.
  double Error() const {
    if (w <= 0.0) return 0.0;
    double e = 0.0;
    for (size_t k = 0; k < 3; ++k) e += q[k] - s[k] * s[k] / w;
    return std::max(e, 0.0);
  }
  Moments Minus(const Moments& o) const {
    Moments m;
    m.w = w - o.w;
    for (size_t k = 0; k < 3; ++k) {
      m.s[k] = s[k] - o.s[k];
      m.q[k] = q[k] - o.q[k];
    }
    return m;
  }
};

struct Box {
  std::vector<uint32_t> cells;  // indices into the cell list
  Moments m;
  double error = 0.0;
};

Box MakeBox(std::vector<uint32_t> cells, const std::vector<ColourSample::Cell>& all) {
  Box b;
  b.cells = std::move(cells);
  for (uint32_t i : b.cells) b.m.Add(all[i]);
  b.error = b.m.Error();
  return b;
}

// Splits a box in two along the channel with the widest spread, at the place
// that leaves the least squared error in the two halves.
std::pair<Box, Box> SplitBox(Box& box, const std::vector<ColourSample::Cell>& all) {
  size_t axis = 0;
  double widest = -1.0;
  for (size_t k = 0; k < 3; ++k) {
    const double var = box.m.q[k] - box.m.s[k] * box.m.s[k] / box.m.w;
    if (var > widest) {
      widest = var;
      axis = k;
    }
  }
  auto value = [&](uint32_t i) {
    const ColourSample::Cell& c = all[i];
    return axis == 0 ? c.r : axis == 1 ? c.g : c.b;
  };
  std::vector<uint32_t> order = std::move(box.cells);
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return value(a) < value(b); });
  Moments left;
  size_t cut = 1;
  double best = std::numeric_limits<double>::infinity();
  for (size_t k = 0; k + 1 < order.size(); ++k) {
    left.Add(all[order[k]]);
    const double e = left.Error() + box.m.Minus(left).Error();
    if (e < best) {
      best = e;
      cut = k + 1;
    }
  }
  std::vector<uint32_t> a(order.begin(), order.begin() + static_cast<long>(cut));
  std::vector<uint32_t> b(order.begin() + static_cast<long>(cut), order.end());
  return {MakeBox(std::move(a), all), MakeBox(std::move(b), all)};
}

// Median cut: up to `count` boxes, always splitting the box with the largest
// squared error.
std::vector<Colour3> MedianCut(const std::vector<ColourSample::Cell>& all, int count) {
  std::vector<uint32_t> every(all.size());
  std::iota(every.begin(), every.end(), 0u);
  std::vector<Box> boxes;
  boxes.push_back(MakeBox(std::move(every), all));
  while (static_cast<int>(boxes.size()) < count) {
    size_t pick = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].cells.size() < 2) continue;
      if (pick == boxes.size() || boxes[i].error > boxes[pick].error) pick = i;
    }
    if (pick == boxes.size() || boxes[pick].error <= 0.0) break;
    auto halves = SplitBox(boxes[pick], all);
    boxes[pick] = std::move(halves.first);
    boxes.push_back(std::move(halves.second));
  }
  std::vector<Colour3> centres;
  for (const Box& b : boxes) {
    Colour3 c;
    for (size_t k = 0; k < 3; ++k) c.c[k] = b.m.s[k] / b.m.w;
    centres.push_back(c);
  }
  return centres;
}

// Index of the nearest colour among the fitted centres and the fixed greys
// (numbered after the centres).
size_t Nearest(const Colour3& c, const std::vector<Colour3>& centres,
               const std::array<Colour3, kGreys>& greys, double* distance = nullptr) {
  size_t best = 0;
  double best_d = std::numeric_limits<double>::infinity();
  for (size_t k = 0; k < centres.size(); ++k) {
    const double d = Distance2(c, centres[k]);
    if (d < best_d) {
      best_d = d;
      best = k;
    }
  }
  for (size_t k = 0; k < greys.size(); ++k) {
    const double d = Distance2(c, greys[k]);
    if (d < best_d) {
      best_d = d;
      best = centres.size() + k;
    }
  }
  if (distance != nullptr) *distance = best_d;
  return best;
}

// Lloyd's rounds: every centre moves to the mean of the cells nearest to it
// (the greys stay); a centre left without cells moves to the worst-served cell.
void Refine(const std::vector<ColourSample::Cell>& all, std::vector<Colour3>& centres,
            const std::array<Colour3, kGreys>& greys) {
  std::vector<size_t> owner(all.size(), std::numeric_limits<size_t>::max());
  for (int round = 0; round < kKMeansRounds; ++round) {
    std::vector<Moments> sums(centres.size());
    std::vector<std::pair<double, uint32_t>> worst;  // (weighted error, cell)
    bool changed = false;
    for (size_t i = 0; i < all.size(); ++i) {
      double d = 0.0;
      const size_t k = Nearest(ColourOf(all[i]), centres, greys, &d);
      changed |= k != owner[i];
      owner[i] = k;
      if (k < centres.size()) sums[k].Add(all[i]);
      worst.push_back({d * all[i].weight, static_cast<uint32_t>(i)});
    }
    size_t empty = 0;
    for (size_t k = 0; k < centres.size(); ++k) {
      if (sums[k].w > 0.0) {
        for (size_t c = 0; c < 3; ++c) centres[k].c[c] = sums[k].s[c] / sums[k].w;
      } else {
        ++empty;
      }
    }
    if (empty > 0) {
      std::stable_sort(worst.begin(), worst.end(),
                       [](const auto& a, const auto& b) { return a.first > b.first; });
      size_t next = 0;
      for (size_t k = 0; k < centres.size() && next < worst.size(); ++k) {
        if (sums[k].w > 0.0) continue;
        centres[k] = ColourOf(all[worst[next++].second]);
        changed = true;
      }
    }
    if (!changed) break;
  }
}

}  // namespace

ColourSample::ColourSample() : weight_(kCells, 0.0), sum_(kCells * 3, 0.0) {}

void ColourSample::Add(uint8_t r, uint8_t g, uint8_t b, double weight) {
  if (!(weight > 0.0)) return;
  const size_t c = CellOf(r, g, b);
  weight_[c] += weight;
  sum_[c * 3] += weight * r;
  sum_[c * 3 + 1] += weight * g;
  sum_[c * 3 + 2] += weight * b;
  total_ += weight;
}

void ColourSample::AddRgb(std::span<const uint8_t> rgb, double weight, bool skip_key,
                          uint32_t key) {
  const uint8_t kr = static_cast<uint8_t>(key >> 16), kg = static_cast<uint8_t>(key >> 8),
                kb = static_cast<uint8_t>(key);
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    if (skip_key && rgb[i] == kr && rgb[i + 1] == kg && rgb[i + 2] == kb) continue;
    Add(rgb[i], rgb[i + 1], rgb[i + 2], weight);
  }
}

bool ColourSample::AddSpr24(std::span<const uint8_t> file, double weight) {
  render::Spr24Header h;
  if (!render::ParseSpr24Header(file, h) || h.encoding != render::kSpr24Raw) return false;
  const size_t area = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
  const size_t masks = static_cast<size_t>(h.MaskCount()) * area;
  const size_t frames = static_cast<size_t>(h.frame_count);
  if (frames == 0 || file.size() < render::kSpr24HeaderSize + masks + frames * area * 3) {
    return false;
  }
  const uint8_t* mask_at = file.data() + render::kSpr24HeaderSize;
  const uint8_t* pixels = mask_at + masks;
  const double w = weight / static_cast<double>(frames);
  const uint8_t kr = static_cast<uint8_t>(h.key_colour >> 16),
                kg = static_cast<uint8_t>(h.key_colour >> 8),
                kb = static_cast<uint8_t>(h.key_colour);
  for (size_t f = 0; f < frames; ++f) {
    const uint8_t* px = pixels + f * area * 3;
    const uint8_t* mask = h.mask_mode == render::kSpr24OneMask        ? mask_at
                          : h.mask_mode == render::kSpr24MaskPerFrame ? mask_at + f * area
                                                                      : nullptr;
    for (size_t k = 0; k < area; ++k) {
      const uint8_t* p = px + k * 3;
      if (mask != nullptr && mask[k] == 0) continue;
      if (p[0] == kr && p[1] == kg && p[2] == kb) continue;
      Add(p[0], p[1], p[2], w);
    }
  }
  return true;
}

std::vector<ColourSample::Cell> ColourSample::Cells() const {
  std::vector<Cell> out;
  for (size_t c = 0; c < kCells; ++c) {
    const double w = weight_[c];
    if (w <= 0.0) continue;
    out.push_back({w, sum_[c * 3] / w, sum_[c * 3 + 1] / w, sum_[c * 3 + 2] / w});
  }
  return out;
}

render::Rgb GreyEntry(int index) {
  const int k = std::clamp(index, kFirstGreyIndex, kLastGreyIndex) - kFirstGreyIndex;
  const uint8_t v = static_cast<uint8_t>(8 + 12 * k);
  return {v, v, v};
}

render::Palette BuildTablePalette(const ColourSample& sample) {
  render::Palette p{};
  std::array<Colour3, kGreys> greys;
  for (int i = kFirstGreyIndex; i <= kLastGreyIndex; ++i) {
    p[static_cast<size_t>(i)] = GreyEntry(i);
    greys[static_cast<size_t>(i - kFirstGreyIndex)] = ColourOf(p[static_cast<size_t>(i)]);
  }
  const std::vector<ColourSample::Cell> cells = sample.Cells();
  std::vector<Colour3> centres;
  if (!cells.empty()) {
    centres = MedianCut(cells, kFitted);
    Refine(cells, centres, greys);
  }

  // Round; an entry that shows the same 6-bit colour as another is wasted, so
  // it takes the worst-served colour of the sample instead.
  std::vector<render::Rgb> fitted;
  std::vector<uint32_t> taken;
  for (const Colour3& g : greys)
    taken.push_back(Key6({Round8(g.c[0]), Round8(g.c[1]), Round8(g.c[2])}));
  auto is_taken = [&](uint32_t key) {
    return std::find(taken.begin(), taken.end(), key) != taken.end();
  };
  std::vector<size_t> duplicates;
  for (size_t k = 0; k < centres.size(); ++k) {
    const render::Rgb c{Round8(centres[k].c[0]), Round8(centres[k].c[1]), Round8(centres[k].c[2])};
    if (is_taken(Key6(c))) {
      duplicates.push_back(k);
      continue;
    }
    taken.push_back(Key6(c));
    fitted.push_back(c);
  }
  if (!duplicates.empty()) {
    std::vector<std::pair<double, uint32_t>> worst;
    for (size_t i = 0; i < cells.size(); ++i) {
      double d = 0.0;
      Nearest(ColourOf(cells[i]), centres, greys, &d);
      worst.push_back({d * cells[i].weight, static_cast<uint32_t>(i)});
    }
    std::stable_sort(worst.begin(), worst.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    size_t left = duplicates.size();
    for (size_t n = 0; n < worst.size() && left > 0; ++n) {
      if (worst[n].first <= 0.0) break;
      const ColourSample::Cell& cell = cells[worst[n].second];
      const render::Rgb c{Round8(cell.r), Round8(cell.g), Round8(cell.b)};
      if (is_taken(Key6(c))) continue;
      taken.push_back(Key6(c));
      fitted.push_back(c);
      --left;
    }
  }
  // Too few colours in the sample: an even lattice fills the rest, and the
  // lattice between its points what a grey already shows.
  for (const int offset : {0, 25}) {
    const int n = offset == 0 ? 6 : 5;  // levels offset, offset + 51, ... up to 255
    for (int i = 0; i < n * n * n && static_cast<int>(fitted.size()) < kFitted; ++i) {
      const render::Rgb c{static_cast<uint8_t>(offset + i / (n * n) * 51),
                          static_cast<uint8_t>(offset + i / n % n * 51),
                          static_cast<uint8_t>(offset + i % n * 51)};
      if (is_taken(Key6(c))) continue;
      taken.push_back(Key6(c));
      fitted.push_back(c);
    }
  }
  // Darkest first, which keeps a dump of the palette readable.
  std::stable_sort(fitted.begin(), fitted.end(), [](const render::Rgb& a, const render::Rgb& b) {
    const int la = 299 * a.r + 587 * a.g + 114 * a.b, lb = 299 * b.r + 587 * b.g + 114 * b.b;
    if (la != lb) return la < lb;
    return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
  });
  for (size_t k = 0; k < fitted.size() && k < static_cast<size_t>(kFitted); ++k) {
    p[static_cast<size_t>(kFirstFittedIndex) + k] = fitted[k];
  }
  return p;
}

ColourSample SampleTablePictures(const BuildResult& out) {
  ColourSample s;
  // The table is on screen nearly all the time; the dark table after a tilt.
  s.AddRgb(out.playfield_rgb, 1.0);
  s.AddRgb(out.dark_rgb, 0.25);
  // Table parts, scoreboard, menu items: each sprite with its own area.
  for (const PackFile& f : out.files) {
    if (f.name.size() > 4 && f.name.compare(f.name.size() - 4, 4, ".J24") == 0) {
      s.AddSpr24(f.bytes, 1.0);
    }
  }
  // The title and loading pictures are shown only for moments.
  for (const Shot& shot : out.shots) {
    if (shot.name == "title.png" || shot.name == "loading.png") s.AddRgb(shot.rgb, 0.1);
  }
  return s;
}

}  // namespace tablegen
