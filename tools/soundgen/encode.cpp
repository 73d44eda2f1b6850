#include "soundgen/encode.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "sound/sound_file.h"

namespace soundgen {

namespace {

constexpr int kLayer3Kbps[2][15] = {
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // MPEG-2
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};  // MPEG-1

bool IsMpeg1Rate(int rate) { return rate == 32000 || rate == 44100 || rate == 48000; }
bool IsMpeg2Rate(int rate) { return rate == 16000 || rate == 22050 || rate == 24000; }

struct LameCloser {
  void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

// CRC-16 (reflected 0x8005) as the info frame's own checksum uses.
uint16_t TagCrc(std::span<const uint8_t> bytes) {
  uint32_t crc = 0;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return static_cast<uint16_t>(crc);
}

// Sets the encoder delay and padding recorded in the info frame at the start
// of `frame` and renews its checksum.
bool PatchInfoFrame(std::span<uint8_t> frame, int delay, int padding, std::string* why) {
  size_t info = std::string::npos;
  for (size_t i = 0; i + 4 <= frame.size() && i < 64; ++i) {
    if (std::memcmp(frame.data() + i, "Info", 4) == 0 ||
        std::memcmp(frame.data() + i, "Xing", 4) == 0) {
      info = i;
      break;
    }
  }
  const size_t ext = info + 120;
  if (info == std::string::npos || ext + 36 > frame.size() ||
      std::memcmp(frame.data() + ext, "LAME", 4) != 0) {
    if (why) *why = "the encoder wrote no info frame with delay and padding";
    return false;
  }
  if (delay < 0 || delay > 4095 || padding < 0 || padding > 4095) {
    if (why) *why = "encoder delay or padding does not fit the info frame";
    return false;
  }
  frame[ext + 21] = static_cast<uint8_t>(delay >> 4);
  frame[ext + 22] = static_cast<uint8_t>(((delay & 15) << 4) | (padding >> 8));
  frame[ext + 23] = static_cast<uint8_t>(padding & 0xFF);
  const uint16_t crc = TagCrc(frame.first(ext + 34));
  frame[ext + 34] = static_cast<uint8_t>(crc >> 8);
  frame[ext + 35] = static_cast<uint8_t>(crc & 0xFF);
  return true;
}

}  // namespace

bool CheckCompressedFormat(const Format& f, std::string* why) {
  const bool mpeg1 = IsMpeg1Rate(f.rate);
  if (!mpeg1 && !IsMpeg2Rate(f.rate)) {
    if (why) {
      *why = "rate " + std::to_string(f.rate) +
             " Hz is not an MPEG-1 (32000, 44100, 48000) or MPEG-2 (16000, 22050, 24000) rate";
    }
    return false;
  }
  const int* table = kLayer3Kbps[mpeg1 ? 1 : 0];
  if (std::find(table + 1, table + 15, f.kbps) == table + 15) {
    if (why) *why = std::to_string(f.kbps) + " kbps is not a layer III bitrate at this rate";
    return false;
  }
  const int per = mpeg1 ? 144000 : 72000;
  if ((per * f.kbps) % f.rate != 0) {
    if (why) {
      *why = std::to_string(f.kbps) + " kbps at " + std::to_string(f.rate) +
             " Hz gives frames of a fractional size (padded frames upset the duration estimate)";
    }
    return false;
  }
  return true;
}

int FrameBytes(const Format& f) { return (IsMpeg1Rate(f.rate) ? 144000 : 72000) * f.kbps / f.rate; }

bool EncodeLayer3(const Pcm& pcm, int kbps, bool loop, std::vector<uint8_t>& plain,
                  std::string* why) {
  const size_t frames = pcm.frames();
  if (frames == 0 || (pcm.channels != 1 && pcm.channels != 2)) {
    if (why) *why = "nothing to encode";
    return false;
  }
  std::unique_ptr<lame_global_flags, LameCloser> gf(lame_init());
  if (!gf) {
    if (why) *why = "the encoder cannot start";
    return false;
  }
  lame_set_in_samplerate(gf.get(), pcm.rate);
  lame_set_out_samplerate(gf.get(), pcm.rate);
  lame_set_num_channels(gf.get(), pcm.channels);
  lame_set_mode(gf.get(), pcm.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_VBR(gf.get(), vbr_off);
  lame_set_brate(gf.get(), kbps);
  lame_set_quality(gf.get(), 2);
  lame_set_bWriteVbrTag(gf.get(), 1);
  lame_set_write_id3tag_automatic(gf.get(), 0);
  lame_set_strict_ISO(gf.get(), 1);
  if (lame_init_params(gf.get()) < 0) {
    if (why) *why = "the encoder refuses the format";
    return false;
  }
  // The input, split into channels; a loop gets its wrapped-round neighbours.
  const size_t pre = loop ? kLoopPreRoll : 0, post = loop ? kLoopPostRoll : 0;
  const size_t total = pre + frames + post;
  std::vector<float> ch[2];
  for (int c = 0; c < pcm.channels; ++c) {
    ch[c].resize(total);
    for (size_t i = 0; i < total; ++i) {
      // A loop's neighbours wrap round (the pre-roll may be longer than the loop).
      size_t src = loop ? (i % frames + frames - pre % frames) % frames : i;
      ch[c][i] = pcm.samples[src * static_cast<size_t>(pcm.channels) + static_cast<size_t>(c)];
    }
  }
  if (pcm.channels == 1) ch[1] = ch[0];
  plain.assign(total * 5 / 4 + 7200 + 4 * 4096, 0);
  int n =
      lame_encode_buffer_ieee_float(gf.get(), ch[0].data(), ch[1].data(), static_cast<int>(total),
                                    plain.data(), static_cast<int>(plain.size()));
  if (n < 0) {
    if (why) *why = "the encoder failed (" + std::to_string(n) + ")";
    return false;
  }
  int m = lame_encode_flush(gf.get(), plain.data() + n, static_cast<int>(plain.size()) - n);
  if (m < 0) {
    if (why) *why = "the encoder failed to finish (" + std::to_string(m) + ")";
    return false;
  }
  plain.resize(static_cast<size_t>(n + m));
  // The first frame was held for the info frame, written once the stream is known.
  std::vector<uint8_t> tag(8192);
  size_t tag_bytes = lame_get_lametag_frame(gf.get(), tag.data(), tag.size());
  if (tag_bytes == 0 || tag_bytes > plain.size()) {
    if (why) *why = "the encoder gave no info frame";
    return false;
  }
  std::copy_n(tag.begin(), tag_bytes, plain.begin());
  const int delay = lame_get_encoder_delay(gf.get()) + static_cast<int>(pre);
  const int padding = lame_get_encoder_padding(gf.get()) + static_cast<int>(post);
  return PatchInfoFrame(std::span<uint8_t>(plain).first(tag_bytes), delay, padding, why);
}

bool CheckFrames(std::span<const uint8_t> s, int expected, std::string* why) {
  static constexpr int kRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};
  size_t p = 0, count = 0;
  while (p < s.size()) {
    if (p + 4 > s.size() || s[p] != 0xFF || (s[p + 1] & 0xE0) != 0xE0) {
      if (why) *why = "no frame header at byte " + std::to_string(p);
      return false;
    }
    const int version = (s[p + 1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2
    const int layer = (s[p + 1] >> 1) & 3;    // 1 = layer III
    const int bi = s[p + 2] >> 4, fi = (s[p + 2] >> 2) & 3, pad = (s[p + 2] >> 1) & 1;
    if ((version != 3 && version != 2) || layer != 1 || bi == 0 || bi == 15 || fi == 3) {
      if (why) *why = "frame " + std::to_string(count) + " is not MPEG-1/2 layer III";
      return false;
    }
    const int mpeg1 = version == 3 ? 1 : 0;
    const int size = (mpeg1 ? 144000 : 72000) * kLayer3Kbps[mpeg1][bi] / kRates[mpeg1][fi] + pad;
    if (size != expected) {
      if (why) {
        *why = "frame " + std::to_string(count) + " has " + std::to_string(size) + " bytes, not " +
               std::to_string(expected);
      }
      return false;
    }
    p += static_cast<size_t>(size);
    ++count;
  }
  if (p != s.size() || count == 0) {
    if (why) *why = "the stream ends inside a frame";
    return false;
  }
  return true;
}

std::vector<int16_t> ToInt16(std::span<const float> samples) {
  std::vector<int16_t> out(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    double v = std::round(static_cast<double>(samples[i]) * 32767.0);
    out[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
  }
  return out;
}

int MaxStep(std::span<const int16_t> pcm, int channels, size_t from, size_t to) {
  const size_t ch = static_cast<size_t>(channels);
  int best = 0;
  for (size_t f = from + 1; f < to; ++f) {
    for (size_t c = 0; c < ch; ++c) {
      best = std::max(best, std::abs(pcm[f * ch + c] - pcm[(f - 1) * ch + c]));
    }
  }
  return best;
}

int SeamStep(std::span<const int16_t> pcm, int channels) {
  const size_t ch = static_cast<size_t>(channels);
  const size_t frames = pcm.size() / ch;
  int best = 0;
  for (size_t c = 0; c < ch && frames > 0; ++c) {
    best = std::max(best, std::abs(pcm[c] - pcm[(frames - 1) * ch + c]));
  }
  return best;
}

int StepsNearSeam(std::span<const int16_t> pcm, int channels, size_t window) {
  const size_t frames = pcm.size() / static_cast<size_t>(channels);
  window = std::min(window, frames / 2);
  return std::max(MaxStep(pcm, channels, 0, window + 1),
                  MaxStep(pcm, channels, frames - window - 1, frames));
}

bool VerifyCompressed(std::span<const uint8_t> stored, const Pcm& source, bool loop,
                      sound::DecodedSound& decoded, std::string* why) {
  sound::MemorySoundFile file(stored);
  sound::DitherRandom rng;
  if (!sound::DecodeCompressedSound(file, false, rng, decoded)) {
    if (why)
      *why = "the game's decoder refuses it (no header, or longer than the buffer rule allows)";
    return false;
  }
  const size_t allowed = decoded.size / 2;
  if (decoded.samples.size() >= allowed) {
    if (why) *why = "decoded samples reach the buffer rule's limit";
    return false;
  }
  if (decoded.sample_rate != source.rate || decoded.channels != source.channels) {
    if (why) *why = "decodes at another rate or channel count than encoded";
    return false;
  }
  const size_t ch = static_cast<size_t>(source.channels);
  if (decoded.samples.size() != source.samples.size()) {
    if (why) {
      *why = "decodes to " + std::to_string(decoded.samples.size() / ch) + " frames, not " +
             std::to_string(source.frames()) + " (encoder delay or padding not trimmed)";
    }
    return false;
  }
  // Aligned with what was encoded: the decoded sound follows the source closely.
  double dot = 0, ss = 0, dd = 0;
  for (size_t i = 0; i < source.samples.size(); ++i) {
    const double a = source.samples[i] * 32767.0, b = decoded.samples[i];
    dot += a * b;
    ss += a * a;
    dd += b * b;
  }
  const double corr = ss > 0 && dd > 0 ? dot / std::sqrt(ss * dd) : 0;
  if (corr < 0.6) {
    if (why)
      *why = "decoded sound does not match the source (correlation " + std::to_string(corr) + ")";
    return false;
  }
  for (int16_t v : decoded.samples) {
    if (v >= 32767 || v <= -32768) {
      if (why) *why = "the decoded sound clips; lower its peak";
      return false;
    }
  }
  if (loop) {
    const int seam = SeamStep(decoded.samples, source.channels);
    const int near = StepsNearSeam(decoded.samples, source.channels, 256);
    if (seam > near) {
      if (why) {
        *why = "the loop clicks: a step of " + std::to_string(seam) + " at the seam, at most " +
               std::to_string(near) + " around it";
      }
      return false;
    }
  }
  return true;
}

}  // namespace soundgen
