#include "render/image_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "render/block_codec.h"
#include "render/sprite_file.h"
#include "sprite_fixtures.h"

namespace render {
namespace {

using namespace render::testing;

// A frame that looks like a sprite: flat areas, a gradient and some noise, all in 10..245.
SpriteFileFrame PictureFrame(int32_t w, int32_t h, uint32_t seed, int32_t hx = 0, int32_t hy = 0) {
  std::mt19937 rng(seed);
  SpriteFileFrame f = Frame(w, h, 0, hx, hy);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t v = 0;
      if (x > w / 4) v = static_cast<uint8_t>(10 + (x + y) % 100);
      if (y > h / 2 && rng() % 8 == 0) v = static_cast<uint8_t>(10 + rng() % 236);
      At(f, x, y) = v;
    }
  }
  return f;
}

struct Loader {
  DisplayFormat format;
  std::unique_ptr<TableColours> colours = FreshColours();
  ImageSet set;

  explicit Loader(PixelFormatId id = PixelFormatId::RGB32, int32_t width = 1024)
      : format(Format(id, width)) {}

  bool Load(const std::vector<uint8_t>& file, const ImageSetOptions& options = {}) {
    ImageSetContext ctx{format, *colours, nullptr};
    return LoadImageSet(set, file, ctx, options);
  }
  std::vector<uint8_t> Pixels(int32_t frame) {
    auto p = FramePixels(set, frame);
    return {p.begin(), p.end()};
  }
};

TEST(ImageSetFile, RoundTripsThroughTheLoader) {
  for (int32_t compression : {kStoredPlain, kCodedAlone, kCodedDifferences}) {
    for (PixelFormatId id : {PixelFormatId::PAL8, PixelFormatId::RGB565, PixelFormatId::RGB32}) {
      SCOPED_TRACE(::testing::Message()
                   << "compression " << compression << " format " << static_cast<int>(id));
      SpriteFileDesc desc;
      desc.palette = TestPalette();
      desc.compression = compression;
      for (uint32_t k = 0; k < 5; ++k) desc.frames.push_back(PictureFrame(60, 40, k % 2, 3, -2));
      desc.frames[2].pixels[5] = 0;  // a transparent pixel where the previous frame had colour
      SpriteFileFrame noise = Frame(60, 40, 0, 3, -2);  // does not code: stored plain
      std::mt19937 rng(5);
      for (auto& p : noise.pixels) p = static_cast<uint8_t>(10 + rng() % 236);
      desc.frames.push_back(noise);
      Loader l(id);
      ASSERT_TRUE(l.Load(Write(desc)));
      EXPECT_EQ(l.set.frame_count, 6);
      EXPECT_EQ(l.set.compression, compression);
      if (compression != kStoredPlain) {
        EXPECT_EQ(l.set.frames[0].stored_plain, 0) << "picture-like frames code well";
        EXPECT_LT(l.set.frames[0].stored_size, l.set.frames[0].decoded_size);
        EXPECT_EQ(l.set.frames[5].stored_plain, 1);
      }
      for (int32_t k : {0, 1, 2, 3, 4, 5, 2, 5, 4, 0}) {
        const SpriteFrame& f = l.set.frames[static_cast<size_t>(k)];
        EXPECT_EQ(f.width, 60);
        EXPECT_EQ(f.height, 40);
        EXPECT_EQ(f.hot_x, 3);
        EXPECT_EQ(f.hot_y, -2);
        EXPECT_EQ(l.Pixels(k), desc.frames[static_cast<size_t>(k)].pixels) << "frame " << k;
      }
    }
  }
}

TEST(ImageSetFile, DifferenceCodedSetWithAPlainFrameInTheMiddle) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.compression = kCodedDifferences;
  std::mt19937 rng(7);
  SpriteFileFrame base = PictureFrame(64, 64, 1);
  for (int k = 0; k < 6; ++k) {
    SpriteFileFrame f = base;
    if (k == 3) {
      for (auto& p : f.pixels) p = static_cast<uint8_t>(10 + rng() % 236);  // will not code
    } else if (k == 4) {
      f = desc.frames[3];  // frame 4 differs from frame 3 in one spot only
      At(f, 10, 10) = 77;
    } else {
      At(f, k, k) = static_cast<uint8_t>(20 + k);
    }
    desc.frames.push_back(f);
  }
  std::vector<uint8_t> file = Write(desc);
  ParsedSpriteFile parsed;
  ASSERT_TRUE(ParseSpriteFile(file, parsed));
  EXPECT_EQ(parsed.frames[3].stored_plain, 1);
  EXPECT_EQ(parsed.frames[4].stored_plain, 0);
  EXPECT_EQ(parsed.frames[4].delta_key, kDeltaKey);
  EXPECT_LT(parsed.frames[4].stored_size, 200) << "frame 4 is stored as a difference";

  Loader l;
  ASSERT_TRUE(l.Load(file));
  // Forward through the cache, then backwards (restarts at frame 0), then repeats.
  for (int32_t k : {0, 1, 2, 3, 4, 5, 4, 4, 1, 5, 3}) {
    EXPECT_EQ(l.Pixels(k), desc.frames[static_cast<size_t>(k)].pixels) << "frame " << k;
    EXPECT_EQ(l.set.cache_index, k == 3 ? l.set.cache_index : k);
  }
  EXPECT_EQ(PixelAt(l.set, 4, 10, 10), 77);
}

TEST(ImageSetFile, RealDeltaKeyPixelsAreNotLostInDifferenceFrames) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.compression = kCodedDifferences;
  desc.frames = {Frame(40, 40, 30), Frame(40, 40, 30)};
  At(desc.frames[1], 3, 3) = kDeltaKey;  // a real 254 where frame 0 has 30
  ParsedSpriteFile parsed;
  std::vector<uint8_t> file = Write(desc);
  ASSERT_TRUE(ParseSpriteFile(file, parsed));
  EXPECT_EQ(parsed.frames[1].stored_plain, 1);
  // Loading moves 254 into the table range through the cube; it must not read back as
  // frame 0's 30.
  Loader l;
  ASSERT_TRUE(l.Load(file));
  EXPECT_NE(PixelAt(l.set, 1, 3, 3), 30);
}

TEST(ImageSetFile, SingleFrameDifferenceSetFails) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.compression = kCodedAlone;
  desc.frames = {PictureFrame(50, 50, 3)};
  std::vector<uint8_t> file = Write(desc);
  Loader ok;
  ASSERT_TRUE(ok.Load(file));
  PatchI32(file, 24, kCodedDifferences);
  Loader l;
  EXPECT_FALSE(l.Load(file));
  EXPECT_TRUE(l.set.frames.empty());
  EXPECT_FALSE(l.set.loaded);
  desc.compression = kCodedDifferences;
  std::vector<uint8_t> out;
  EXPECT_FALSE(WriteSpriteFile(desc, out)) << "the writer refuses it too";
}

// Index 5 is below the table range, so loading replaces it by the cube entry of
// palette colour 5: a way to see which cube a load used.
SpriteFileDesc CubeProbe(std::vector<uint8_t> cube) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.frames = {Frame(4, 4, 50)};
  desc.frames[0].pixels[0] = 5;
  desc.cube = std::move(cube);
  return desc;
}

TEST(ImageSetFile, ColourCubeBlockKinds) {
  {
    Loader l;
    ASSERT_TRUE(l.Load(Write(CubeProbe(std::vector<uint8_t>(32768, 88)))));
    EXPECT_EQ(l.Pixels(0)[0], 88);
    EXPECT_EQ(l.colours->cube.cells, l.colours->table_cube.cells) << "working cube restored";
  }
  {
    std::vector<uint8_t> table(65536, 0);
    const Rgb c = TestPalette()[5];
    table[static_cast<size_t>((c.r >> 3) * 2048 + (c.g >> 3) * 64 + (c.b >> 3))] = 77;
    Loader l;
    ASSERT_TRUE(l.Load(Write(CubeProbe(table))));
    EXPECT_EQ(l.Pixels(0)[0], 77);
  }
  {
    // No block: the cube is built from the set's own palette.
    SpriteFileDesc desc = CubeProbe({});
    for (auto& e : desc.palette) e = Rgb{e.b, e.r, e.g};
    ColourCube own;
    BuildColourCube(desc.palette, own);
    Loader l;
    ASSERT_TRUE(l.Load(Write(desc)));
    const Rgb c = desc.palette[5];
    EXPECT_EQ(l.Pixels(0)[0], own.cells[static_cast<size_t>(CubeIndex(c.r, c.g, c.b))]);
    EXPECT_EQ(l.colours->cube.cells, l.colours->table_cube.cells);
  }
  {
    // In 256-colour mode the block is skipped and the table's cube serves.
    Loader l(PixelFormatId::PAL8);
    ASSERT_TRUE(l.Load(Write(CubeProbe(std::vector<uint8_t>(32768, 88)))));
    const Rgb c = TestPalette()[5];
    EXPECT_EQ(l.Pixels(0)[0],
              l.colours->table_cube.cells[static_cast<size_t>(CubeIndex(c.r, c.g, c.b))]);
  }
}

TEST(ImageSetFile, CubeBlockOfTheWrongSizeFails) {
  std::vector<uint8_t> file = Write(CubeProbe(std::vector<uint8_t>(65536, 40)));
  // Replace the block by one that decodes to 65 535 bytes.
  ParsedSpriteFile parsed;
  ASSERT_TRUE(ParseSpriteFile(file, parsed));
  const size_t block_at = kImageSetHeaderSize + kSpriteFrameEntrySize + 768;
  std::vector<uint8_t> short_block;
  ASSERT_GT(CodecEncode(std::vector<uint8_t>(65535, 40), short_block), 0);
  std::vector<uint8_t> patched(file.begin(), file.begin() + block_at);
  patched.insert(patched.end(), short_block.begin(), short_block.end());
  patched.insert(patched.end(),
                 file.begin() + static_cast<std::ptrdiff_t>(block_at + parsed.cube_block.size()),
                 file.end());
  PatchI32(patched, 48, -static_cast<int32_t>(short_block.size()));
  Loader l;
  EXPECT_FALSE(l.Load(patched));
  EXPECT_TRUE(l.set.frames.empty());
  EXPECT_EQ(l.colours->cube.cells, l.colours->table_cube.cells) << "restored after a failure";
  // The same block declared as a 32 768-byte cube decodes too long: also a failure.
  PatchI32(patched, 48, static_cast<int32_t>(short_block.size()));
  EXPECT_FALSE(l.Load(patched));
  // Unpatched, the file loads.
  EXPECT_TRUE(l.Load(file));
}

TEST(ImageSetFile, RejectsBadFiles) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.frames = {Frame(8, 8, 20), Frame(8, 8, 30)};
  const std::vector<uint8_t> good = Write(desc);
  struct Case {
    const char* what;
    size_t at;  // where to patch a 32-bit value; SIZE_MAX = cut the file instead
    int32_t value;
  };
  const Case cases[] = {
      {"version 2", 8, 2},
      {"16 bits per pixel", 16, 16 | (1 << 16)},
      {"frame table longer than the file", 12, 1000},
      {"negative frame count", 12, -1},
      {"compression 3", 24, 3},
      {"plain frame with the wrong stored size", kImageSetHeaderSize + 20, 63},
      {"frame size not width × height", kImageSetHeaderSize + 16, 65},
      {"palettes past the end", 20, 100},
      {"cube block past the end", 48, 5000},
      {"tag", 0, 0x58525053},  // "SPRX"
      {"last frame cut short", SIZE_MAX, 1},
      {"only a header", SIZE_MAX, static_cast<int32_t>(good.size() - kImageSetHeaderSize)},
  };
  Loader control;
  ASSERT_TRUE(control.Load(good));
  for (const Case& c : cases) {
    std::vector<uint8_t> file = good;
    if (c.at == SIZE_MAX) {
      file.resize(file.size() - static_cast<size_t>(c.value));
    } else {
      PatchI32(file, c.at, c.value);
    }
    Loader l;
    EXPECT_FALSE(l.Load(file)) << c.what;
    EXPECT_TRUE(l.set.frames.empty()) << c.what;
  }
}

TEST(ImageSetPrepare, KeyBecomesZeroAndReservedIndicesMove) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.frames = {Frame(5, 1, 0)};
  desc.frames[0].key = 7;
  desc.frames[0].pixels = {7, 0, 50, 3, 250};
  Loader l;  // RGB32: not re-indexed; its cube is the table's (same palette)
  ASSERT_TRUE(l.Load(Write(desc)));
  const ColourCube& cube = l.colours->table_cube;
  auto cube_of = [&](int i) {
    const Rgb& c = desc.palette[static_cast<size_t>(i)];
    return cube.cells[static_cast<size_t>(CubeIndex(c.r, c.g, c.b))];
  };
  EXPECT_EQ(l.set.frames[0].key, 0);
  EXPECT_EQ(l.Pixels(0), (std::vector<uint8_t>{0, cube_of(0), 50, cube_of(3), cube_of(250)}));
}

TEST(ImageSetPrepare, ReindexingFollowsTheMode) {
  // A table palette with a duplicate: 20 is the same colour as 10.
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.frames = {Frame(3, 1, 0)};
  desc.frames[0].pixels = {20, 30, 0};
  struct Case {
    PixelFormatId id;
    Reindex reindex;
    uint8_t expected;
  };
  const Case cases[] = {
      {PixelFormatId::PAL8, Reindex::kInPal8, 10},
      {PixelFormatId::RGB32, Reindex::kInPal8, 20},
      {PixelFormatId::RGB32, Reindex::kAlways, 10},  // the ball sets
      {PixelFormatId::RGB565, Reindex::kAlways, 10},
      {PixelFormatId::PAL8, Reindex::kNever, 20},  // collision masks
  };
  for (const Case& c : cases) {
    Loader l(c.id);
    l.colours->palette[20] = l.colours->palette[10];
    ImageSetOptions options;
    options.reindex = c.reindex;
    ASSERT_TRUE(l.Load(Write(desc), options));
    EXPECT_EQ(l.Pixels(0), (std::vector<uint8_t>{c.expected, 30, 0})) << static_cast<int>(c.id);
    if (c.id == PixelFormatId::PAL8) {
      EXPECT_TRUE(l.set.lookup.empty());
    } else {
      ASSERT_EQ(l.set.lookup.size(), 256u);
    }
    if (c.reindex == Reindex::kAlways) {
      EXPECT_EQ(l.set.lookup, BuildLookupTable(l.format, l.colours->palette));
    }
  }
}

TEST(ImageSetPrepare, LookupTablesPerFormat) {
  Palette p{};
  p[1] = Rgb{255, 3, 4};
  p[2] = Rgb{0x12, 0x34, 0x56};
  EXPECT_TRUE(BuildLookupTable(Format(PixelFormatId::PAL8), p).empty());
  auto l565 = BuildLookupTable(Format(PixelFormatId::RGB565), p);
  // Half a step is added before the low bits go: 255 stays 31, 3 rounds to 1 (6 bits), 4 to 1.
  EXPECT_EQ(l565[1], (31u << 11) | (1u << 5) | 1u);
  auto l555 = BuildLookupTable(Format(PixelFormatId::RGB555), p);
  EXPECT_EQ(l555[1], (31u << 10) | (0u << 5) | 1u);
  auto l32 = BuildLookupTable(Format(PixelFormatId::RGB32), p);
  EXPECT_EQ(l32[2], 0x123456u);
  EXPECT_EQ(BuildLookupTable(Format(PixelFormatId::RGB24), p)[2], 0x123456u);
}

TEST(ImageSetResample, NearestAndBilinearAtReducedResolution) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  SpriteFileFrame checker = Frame(128, 128, 0);
  for (int32_t y = 0; y < 128; ++y) {
    for (int32_t x = 0; x < 128; ++x)
      At(checker, x, y) = static_cast<uint8_t>(10 + ((x / 8 + y / 8) % 2) * 100);
  }
  SpriteFileFrame flat = Frame(128, 128, 100);
  At(flat, 64, 64) = 0;  // one transparent pixel
  desc.frames = {checker, flat, Frame(40, 30, 60, 10, 20)};

  for (bool nearest : {true, false}) {
    Loader l(PixelFormatId::RGB32, 640);
    ImageSetOptions options;
    options.nearest = nearest;
    ASSERT_TRUE(l.Load(Write(desc), options));
    const SpriteFrame& f = l.set.frames[0];
    ASSERT_EQ(f.width, 81);
    ASSERT_EQ(f.height, 81);
    EXPECT_EQ(f.decoded_size, 81 * 81);
    auto px = l.Pixels(0);
    for (int32_t y = 0; y < 81; ++y) {
      for (int32_t x = 0; x < 81; ++x) {
        uint8_t v = px[static_cast<size_t>(y * 81 + x)];
        int32_t sx = static_cast<int32_t>(x / 0.625), sy = static_cast<int32_t>(y / 0.625);
        bool inside =
            x > 0 && y > 0 && x < 79 && y < 79 && sx > 0 && sy > 0 && sx < 127 && sy < 127;
        if (!inside) {
          EXPECT_EQ(v, 0) << x << "," << y;
        } else if (nearest) {
          EXPECT_EQ(v, At(checker, sx, sy)) << x << "," << y;
        } else {
          EXPECT_NE(v, 0);
        }
      }
    }
    // The flat frame: through the cube everywhere except next to the hole.
    auto flat_px = l.Pixels(1);
    const Rgb c = desc.palette[100];
    const uint8_t through_cube =
        l.colours->table_cube.cells[static_cast<size_t>(CubeIndex(c.r, c.g, c.b))];
    EXPECT_EQ(flat_px[static_cast<size_t>(20 * 81 + 20)], nearest ? 100 : through_cube);
    EXPECT_EQ(flat_px[static_cast<size_t>(40 * 81 + 40)], 0)
        << "the 2×2 source block holds the key";
    // A frame with its hot spot inside: the box is scaled around the instance point.
    const SpriteFrame& g = l.set.frames[2];
    EXPECT_EQ(g.hot_x, 6);   // left −10 → trunc(−6.25) = −6
    EXPECT_EQ(g.hot_y, 12);  // top −20 → −12.5 → −12
    EXPECT_EQ(g.width, static_cast<int32_t>(30 * 0.625) + 6 + 1);
    EXPECT_EQ(g.height, static_cast<int32_t>(10 * 0.625) + 12 + 1);
  }
}

TEST(ImageSetAccess, PixelAtAndFramePixelsOutsideTheSet) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.compression = kCodedAlone;
  desc.frames = {PictureFrame(40, 30, 9)};
  Loader l;
  ASSERT_TRUE(l.Load(Write(desc)));
  EXPECT_EQ(PixelAt(l.set, 0, 39, 29), At(desc.frames[0], 39, 29));
  for (auto [frame, x, y] :
       {std::tuple{0, -1, 0}, {0, 0, -1}, {0, 40, 0}, {0, 0, 30}, {1, 0, 0}, {-1, 0, 0}}) {
    EXPECT_EQ(PixelAt(l.set, frame, x, y), -1) << frame << " " << x << " " << y;
  }
  EXPECT_TRUE(FramePixels(l.set, 1).empty());
  ImageSet empty;
  EXPECT_EQ(PixelAt(empty, 0, 0, 0), -1);
}

TEST(ImageSetAccess, MeasureBallRadii) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  SpriteFileFrame lopsided = BallFrame(18, 100);
  for (int32_t x = 40; x < 63; ++x) At(lopsided, x, 63) = 100;  // longer to the left
  desc.frames = {BallFrame(18, 100), Frame(128, 128, 100), BallFrame(18, 100), lopsided};
  desc.frames[2].hot_x = 1;
  Loader l;
  ASSERT_TRUE(l.Load(Write(desc)));
  MeasureBallRadii(l.set, 63, 63);
  // First key pixel right of the centre at 82: 19 + 2.
  EXPECT_EQ(l.set.radii, (std::vector<int32_t>{21, 0, 0, 63 - 39 + 2}));
  MeasureBallRadii(l.set, 5000, 63);  // clamped to column 127: key right there
  EXPECT_EQ(l.set.radii[0], 2);
}

TEST(ImageSetAccess, FailedLoadFreesTheSet) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.frames = {Frame(8, 8, 20)};
  std::vector<uint8_t> file = Write(desc);
  Loader l;
  ASSERT_TRUE(l.Load(file));
  EXPECT_EQ(l.set.work.size(), 64u);
  file.resize(file.size() - 1);
  EXPECT_FALSE(l.Load(file));
  EXPECT_TRUE(l.set.frames.empty());
  EXPECT_TRUE(l.set.work.empty());
  EXPECT_EQ(l.set.cache_index, -1);
}

TEST(ImageSetAccess, ShadowPaletteIsHandedOut) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.palette[200] = Rgb{1, 2, 3};
  desc.frames = {Frame(2, 2, 20)};
  Loader l;
  Palette shadow{};
  ImageSetContext ctx{l.format, *l.colours, &shadow};
  ASSERT_TRUE(LoadImageSet(l.set, Write(desc), ctx));
  EXPECT_EQ(shadow[200], (Rgb{1, 2, 3}));
}

TEST(ImageSetFile, SixBitPalettesAreScaled) {
  SpriteFileDesc desc;
  desc.palette = TestPalette();
  desc.six_bit_palette = true;
  desc.frames = {Frame(2, 2, 20)};
  Loader l;
  ASSERT_TRUE(l.Load(Write(desc)));
  EXPECT_EQ(l.set.palette[200], (Rgb{200, static_cast<uint8_t>((600 & 255) >> 2 << 2), 52}));
}

}  // namespace
}  // namespace render
