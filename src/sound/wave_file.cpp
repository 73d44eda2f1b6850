#include "sound/wave_file.h"

#include <cstring>
#include <new>

#include "core/byte_io.h"

namespace sound {

namespace {

bool ReadExact(SoundFile& file, uint8_t* dst, size_t n) { return file.Read(dst, n) == n; }

bool TagIs(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

// Walks the header and chunks up to "data"; leaves the file at the data.
bool ReadHeader(SoundFile& file, WaveFormat& fmt, uint32_t& data_bytes) {
  uint8_t head[20];
  if (!ReadExact(file, head, sizeof head)) return false;
  if (!TagIs(head, "RIFF") || !TagIs(head + 8, "WAVE") || !TagIs(head + 12, "fmt ")) return false;
  uint32_t fmt_size = core::LoadU32(head + 16);
  if (fmt_size < 16) return false;
  uint8_t f[16];
  if (!ReadExact(file, f, sizeof f)) return false;
  core::ByteReader r(f);
  fmt.format_tag = r.U16();
  fmt.channels = r.U16();
  fmt.sample_rate = r.U32();
  fmt.bytes_per_second = r.U32();
  fmt.block_align = r.U16();
  fmt.bits = r.U16();
  if (fmt.format_tag != 1) return false;
  // Chunks are padded to an even size.
  if (!file.Skip(static_cast<uint64_t>(fmt_size - 16) + (fmt_size & 1))) return false;
  for (;;) {
    uint8_t chunk[8];
    if (!ReadExact(file, chunk, sizeof chunk)) return false;
    uint32_t size = core::LoadU32(chunk + 4);
    if (TagIs(chunk, "data")) {
      data_bytes = size;
      return true;
    }
    if (!file.Skip(static_cast<uint64_t>(size) + (size & 1))) return false;
  }
}

}  // namespace

bool ReadWaveFormat(SoundFile& file, WaveFormat& format, uint32_t& data_bytes) {
  format = {};
  data_bytes = 0;
  return ReadHeader(file, format, data_bytes);
}

bool ReadWave(SoundFile& file, WaveSound& out) {
  out = WaveSound{};
  WaveFormat fmt;
  uint32_t data_bytes = 0;
  if (!ReadHeader(file, fmt, data_bytes)) return false;
  if (fmt.channels < 1 || fmt.channels > 2 || (fmt.bits != 8 && fmt.bits != 16) ||
      fmt.sample_rate == 0 || fmt.sample_rate > 384000 ||
      fmt.block_align != fmt.channels * (fmt.bits / 8)) {
    return false;
  }
  if (data_bytes > file.Remaining()) return false;
  // Only whole sample frames are played.
  uint32_t usable = data_bytes - data_bytes % fmt.block_align;
  if (usable == 0) return false;
  std::vector<uint8_t> raw;
  try {
    raw.resize(usable);
    out.samples.resize(usable / (fmt.bits / 8));
  } catch (const std::bad_alloc&) {
    out = WaveSound{};
    return false;
  }
  if (!ReadExact(file, raw.data(), usable)) {
    out = WaveSound{};
    return false;
  }
  if (fmt.bits == 16) {
    for (size_t i = 0; i < out.samples.size(); ++i) {
      out.samples[i] = static_cast<int16_t>(core::LoadU16(raw.data() + 2 * i));
    }
  } else {
    for (size_t i = 0; i < out.samples.size(); ++i) {
      out.samples[i] = static_cast<int16_t>((raw[i] - 128) * 256);
    }
  }
  out.format = fmt;
  out.data_bytes = data_bytes;
  return true;
}

std::vector<uint8_t> WriteWave(std::span<const int16_t> samples, uint32_t sample_rate,
                               int channels) {
  const uint16_t ch = channels == 2 ? 2 : 1;
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  core::ByteWriter w;
  w.Bytes({reinterpret_cast<const uint8_t*>("RIFF"), 4});
  w.U32(36 + data + (data & 1));
  w.Bytes({reinterpret_cast<const uint8_t*>("WAVEfmt "), 8});
  w.U32(16);
  w.U16(1);
  w.U16(ch);
  w.U32(sample_rate);
  w.U32(sample_rate * ch * 2);
  w.U16(static_cast<uint16_t>(ch * 2));
  w.U16(16);
  w.Bytes({reinterpret_cast<const uint8_t*>("data"), 4});
  w.U32(data);
  for (int16_t s : samples) w.I16(s);
  return w.Release();
}

}  // namespace sound
