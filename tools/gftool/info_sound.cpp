#include "info_sound.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ostream>

#include "command.h"
#include "sound/compressed_sound.h"
#include "sound/wave_file.h"

namespace gftool {

namespace {

const char* ModeName(int mode) {
  switch (mode) {
    case 0:
      return "stereo";
    case 1:
      return "joint stereo";
    case 2:
      return "dual channel";
    case 3:
      return "single channel";
    default:
      return "?";
  }
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  return std::equal(s.end() - static_cast<std::ptrdiff_t>(n), s.end(), suffix, [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == b;
  });
}

int WaveInfo(const std::string& name, std::span<const uint8_t> bytes, std::ostream& out) {
  sound::WaveFormat fmt;
  uint32_t data_bytes = 0;
  sound::MemorySoundFile header(bytes);
  if (!sound::ReadWaveFormat(header, fmt, data_bytes)) {
    return Fail(name + ": not a PCM wave file");
  }
  out << name << ": wave file\n"
      << "  format tag:    " << fmt.format_tag << "\n"
      << "  channels:      " << fmt.channels << "\n"
      << "  sample rate:   " << fmt.sample_rate << " Hz\n"
      << "  bits:          " << fmt.bits << "\n"
      << "  block align:   " << fmt.block_align << "\n"
      << "  data:          " << data_bytes << " bytes\n";
  if (fmt.block_align > 0 && fmt.sample_rate > 0) {
    out << "  duration:      " << 1000.0 * (data_bytes / fmt.block_align) / fmt.sample_rate
        << " ms\n";
  }
  sound::MemorySoundFile file(bytes);
  sound::WaveSound wave;
  if (!sound::ReadWave(file, wave)) return Fail(name + ": the game cannot play this wave file");
  return 0;
}

int CompressedInfo(const std::string& name, std::span<const uint8_t> bytes, std::ostream& out) {
  sound::MemorySoundFile head(bytes);
  sound::StreamInfo info;
  if (!sound::ReadStreamInfo(head, info)) return Fail(name + ": no MPEG audio frame header");
  out << name << ": compressed sound\n"
      << "  stream rate:   " << info.sample_rate << " Hz\n"
      << "  mode:          " << info.mode << " (" << ModeName(info.mode) << ")\n"
      << "  channels:      " << info.channels << "\n"
      << "  layer:         " << info.layer << "\n"
      << "  version:       " << info.version << (info.version ? " (MPEG-1)" : " (MPEG-2/2.5)")
      << "\n"
      << "  bitrate index: " << info.bitrate_index << "\n"
      << "  frame size:    " << info.frame_size << " bytes\n"
      << "  duration:      " << info.duration_ms << " ms\n"
      << "  PCM buffer:    "
      << sound::PcmBufferBytes(info.sample_rate, info.duration_ms, info.channels) << " bytes\n";
  // Decode as the game does, to tell whether the sound fits its buffer.
  sound::MemorySoundFile file(bytes);
  sound::DitherRandom rng;
  sound::DecodedSound decoded;
  if (!sound::DecodeCompressedSound(file, false, rng, decoded)) {
    out << "  decoded:       refused (longer than its buffer)\n";
    return Fail(name + ": the game would leave this sound silent");
  }
  out << "  decoded:       " << decoded.samples.size() << " samples of " << decoded.size / 2
      << "\n";
  return 0;
}

}  // namespace

int SoundInfo(const std::string& name, std::span<const uint8_t> bytes, std::ostream& out) {
  bool riff = bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) == 0;
  if (EndsWithNoCase(name, ".WAV") || (riff && !EndsWithNoCase(name, ".WAC"))) {
    return WaveInfo(name, bytes, out);
  }
  return CompressedInfo(name, bytes, out);
}

}  // namespace gftool
