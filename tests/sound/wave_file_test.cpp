#include "sound/wave_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/byte_io.h"

namespace sound {
namespace {

struct WaveParts {
  const char* riff = "RIFF";
  const char* wave = "WAVE";
  uint32_t fmt_size = 16;
  uint16_t tag = 1, channels = 1;
  uint32_t rate = 22050;
  uint16_t block = 2, bits = 16;
  bool extra_chunk = false;  // an odd-sized "LIST" chunk before the data
  uint32_t data_size_delta = 0;
  std::vector<uint8_t> data = {1, 0, 2, 0, 0xFF, 0xFF, 0x00, 0x80};
};

std::vector<uint8_t> Build(const WaveParts& p) {
  core::ByteWriter w;
  w.Bytes({reinterpret_cast<const uint8_t*>(p.riff), 4});
  w.U32(0);
  w.Bytes({reinterpret_cast<const uint8_t*>(p.wave), 4});
  w.Bytes({reinterpret_cast<const uint8_t*>("fmt "), 4});
  w.U32(p.fmt_size);
  w.U16(p.tag);
  w.U16(p.channels);
  w.U32(p.rate);
  w.U32(p.rate * p.block);
  w.U16(p.block);
  w.U16(p.bits);
  for (uint32_t i = 16; i < p.fmt_size; ++i) w.U8(0xEE);
  if (p.fmt_size & 1) w.U8(0);
  if (p.extra_chunk) {
    w.Bytes({reinterpret_cast<const uint8_t*>("LIST"), 4});
    w.U32(3);
    w.Bytes(std::vector<uint8_t>{'a', 'b', 'c', 0});
  }
  w.Bytes({reinterpret_cast<const uint8_t*>("data"), 4});
  w.U32(static_cast<uint32_t>(p.data.size()) + p.data_size_delta);
  w.Bytes(p.data);
  return w.Release();
}

bool Read(const std::vector<uint8_t>& bytes, WaveSound& out) {
  MemorySoundFile f(bytes);
  return ReadWave(f, out);
}

TEST(WaveFile, ReadsPcmAfterSkippedChunks) {
  WaveParts p;
  p.fmt_size = 18;
  p.extra_chunk = true;
  WaveSound w;
  ASSERT_TRUE(Read(Build(p), w));
  EXPECT_EQ(w.format.sample_rate, 22050u);
  EXPECT_EQ(w.format.channels, 1);
  EXPECT_EQ(w.samples, (std::vector<int16_t>{1, 2, -1, -32768}));
}

TEST(WaveFile, WidensEightBitAndKeepsStereo) {
  WaveParts p;
  p.bits = 8;
  p.block = 2;
  p.channels = 2;
  p.data = {128, 255, 0, 129};
  WaveSound w;
  ASSERT_TRUE(Read(Build(p), w));
  EXPECT_EQ(w.samples, (std::vector<int16_t>{0, 32512, -32768, 256}));
}

TEST(WaveFile, RefusesWhatItCannotPlay) {
  struct Case {
    const char* what;
    WaveParts p;
  };
  std::vector<Case> cases(9);
  cases[0] = {"not RIFF", {}};
  cases[0].p.riff = "RIFX";
  cases[1] = {"not WAVE", {}};
  cases[1].p.wave = "AVI ";
  cases[2] = {"format chunk too small", {}};
  cases[2].p.fmt_size = 14;
  cases[3] = {"not PCM", {}};
  cases[3].p.tag = 3;
  cases[4] = {"three channels", {}};
  cases[4].p.channels = 3;
  cases[4].p.block = 6;
  cases[5] = {"24 bits", {}};
  cases[5].p.bits = 24;
  cases[5].p.block = 3;
  cases[6] = {"data beyond the file", {}};
  cases[6].p.data_size_delta = 0x7FFFFFF0u;
  cases[7] = {"block align disagrees", {}};
  cases[7].p.block = 4;
  cases[8] = {"empty data", {}};
  cases[8].p.data.clear();
  for (const Case& c : cases) {
    WaveSound w;
    EXPECT_FALSE(Read(Build(c.p), w)) << c.what;
    EXPECT_TRUE(w.samples.empty()) << c.what;
  }
  // Cut anywhere before the end of the data.
  auto whole = Build({});
  for (size_t n = 0; n < whole.size(); ++n) {
    WaveSound w;
    EXPECT_FALSE(Read({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)}, w)) << n;
  }
}

TEST(WaveFile, WriteThenRead) {
  const std::vector<int16_t> s = {0, 1000, -1000, 32767, -32768, 5};
  auto bytes = WriteWave(s, 44100, 2);
  WaveSound w;
  ASSERT_TRUE(Read(bytes, w));
  EXPECT_EQ(w.format.channels, 2);
  EXPECT_EQ(w.format.sample_rate, 44100u);
  EXPECT_EQ(w.format.bytes_per_second, 44100u * 4);
  EXPECT_EQ(w.samples, s);
  EXPECT_EQ(core::LoadU32(bytes.data() + 4), bytes.size() - 8);
}

}  // namespace
}  // namespace sound
