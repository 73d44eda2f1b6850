#include "sound/compressed_sound.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace sound {

namespace {

constexpr float kScale = 32768.0f;
// The largest PCM buffer a stream may ask for (about 25 minutes of 44.1 kHz
// stereo); the estimate comes from the file's own header, so it is bounded.
constexpr uint64_t kMaxPcmBytes = 256ull << 20;

// Kilobits per second by bitrate index: [MPEG-1?][layer - 1][index].
constexpr int kBitrates[2][3][15] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
};

int BitrateIndex(bool mpeg1, int layer, int kbps) {
  if (layer < 1 || layer > 3) return 0;
  const int* row = kBitrates[mpeg1 ? 1 : 0][layer - 1];
  for (int i = 0; i < 15; ++i) {
    if (row[i] == kbps) return i;
  }
  return 0;
}

// The header's sampling-frequency field (0 for 44.1/22.05/11.025 kHz, 1 for 48/24/12,
// 2 for 32/16/8); -1 for a rate the format does not have.
int FrequencyIndex(long rate) {
  switch (rate) {
    case 44100:
    case 22050:
    case 11025:
      return 0;
    case 48000:
    case 24000:
    case 12000:
      return 1;
    case 32000:
    case 16000:
    case 8000:
      return 2;
    default:
      return -1;
  }
}

mpg123_ssize_t ReadCallback(void* handle, void* buf, size_t n) {
  auto* file = static_cast<SoundFile*>(handle);
  return static_cast<mpg123_ssize_t>(file->ReadXor(static_cast<uint8_t*>(buf), n));
}

// The stream is read front to back only.
off_t SeekCallback(void*, off_t, int) { return -1; }

}  // namespace

double MsPerFrame(int layer, int frequency_index) {
  static constexpr double kLayer1[3] = {8.7075, 8.0, 12.0};
  static constexpr double kLayer23[3] = {26.1224, 24.0, 36.0};
  if (frequency_index < 0 || frequency_index > 2) return 0;
  if (layer == 1) return kLayer1[frequency_index];
  if (layer == 2 || layer == 3) return kLayer23[frequency_index];
  return 0;
}

uint64_t PcmBufferBytes(int32_t sample_rate, double duration_ms, int32_t channels) {
  double samples = static_cast<double>(sample_rate) * duration_ms * channels * 0.001;
  if (!(samples >= 0)) return 128;
  if (samples > 1e15) samples = 1e15;
  return static_cast<uint64_t>(samples) * 2 + 128;
}

int16_t DitherToInt16(float x, DitherRandom& rng) {
  double r1 = rng.Next() / 32767.0;
  double r2 = rng.Next() / 32767.0;
  double d = r1 + r2 - 1.0;
  if (std::isnan(x)) return 0;
  double v = std::trunc(static_cast<double>(x) + d + 500000.0 + 0.5) - 500000.0;
  if (v < -32768.0) return -32768;
  if (v > 32767.0) return 32767;
  return static_cast<int16_t>(v);
}

size_t ConvertFrame(std::span<const float> in, int channels, bool halve, DitherRandom& rng,
                    int16_t* out) {
  if (!halve) {
    for (size_t i = 0; i < in.size(); ++i) out[i] = DitherToInt16(in[i] * kScale, rng);
    return in.size();
  }
  size_t ch = channels == 1 ? 1 : 2;
  size_t pairs = in.size() / (2 * ch);
  size_t n = 0;
  for (size_t p = 0; p < pairs; ++p) {
    const float* a = in.data() + 2 * ch * p;
    for (size_t c = 0; c < ch; ++c) out[n++] = DitherToInt16((a[c] + a[c + ch]) * kScale, rng);
  }
  return n;
}

struct CompressedStream::Impl {
  mpg123_handle* mh = nullptr;
  std::vector<float> frame;
  long rate = 0;
  int channels = 0;
};

CompressedStream::CompressedStream() : impl_(std::make_unique<Impl>()) {}
CompressedStream::~CompressedStream() { Close(); }

void CompressedStream::Close() {
  if (impl_->mh) {
    mpg123_close(impl_->mh);
    mpg123_delete(impl_->mh);
    impl_->mh = nullptr;
  }
}

bool CompressedStream::Open(SoundFile& file) {
  Close();
  info_ = {};
  int err = MPG123_OK;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return false;
  impl_->mh = mh;
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_NO_PEEK_END, 0);
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rate_count = 0;
  mpg123_rates(&rates, &rate_count);
  for (size_t i = 0; i < rate_count; ++i) {
    mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  }
  if (mpg123_replace_reader_handle(mh, ReadCallback, SeekCallback, nullptr) != MPG123_OK ||
      mpg123_open_handle(mh, &file) != MPG123_OK) {
    Close();
    return false;
  }
  long rate = 0;
  int channels = 0, encoding = 0;
  mpg123_frameinfo2 fi{};
  if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK ||
      encoding != MPG123_ENC_FLOAT_32 || mpg123_info2(mh, &fi) != MPG123_OK) {
    Close();
    return false;
  }
  int freq = FrequencyIndex(fi.rate);
  bool mpeg1 = fi.version == MPG123_1_0;
  info_.sample_rate = static_cast<int32_t>(fi.rate);
  info_.mode = fi.mode;
  info_.channels = fi.mode == MPG123_M_MONO ? 1 : 2;
  info_.layer = fi.layer;
  info_.version = mpeg1 ? 1 : 0;
  info_.bitrate_index = BitrateIndex(mpeg1, fi.layer, fi.bitrate);
  info_.frame_size = fi.framesize;
  if (freq < 0 || fi.framesize <= 0 || channels != info_.channels) {
    Close();
    info_ = {};
    return false;
  }
  info_.duration_ms = static_cast<double>(file.Size() / static_cast<uint64_t>(fi.framesize)) *
                      MsPerFrame(fi.layer, freq);
  impl_->rate = rate;
  impl_->channels = channels;
  return true;
}

std::span<const float> CompressedStream::DecodeFrame() {
  mpg123_handle* mh = impl_->mh;
  if (!mh) return {};
  for (int tries = 0; tries < 4; ++tries) {
    off_t num = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    int err = mpg123_decode_frame(mh, &num, &audio, &bytes);
    if (err == MPG123_NEW_FORMAT) {
      // A stream that changes its rate or channels part-way ends there.
      long rate = 0;
      int channels = 0, encoding = 0;
      if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate != impl_->rate ||
          channels != impl_->channels) {
        return {};
      }
      continue;
    }
    if (err != MPG123_OK || bytes == 0 || !audio) return {};
    size_t count = bytes / sizeof(float);
    if (impl_->frame.size() < count) impl_->frame.resize(count);
    std::memcpy(impl_->frame.data(), audio, count * sizeof(float));
    return {impl_->frame.data(), count};
  }
  return {};
}

bool ReadStreamInfo(SoundFile& file, StreamInfo& out) {
  CompressedStream stream;
  if (!stream.Open(file)) {
    out = {};
    return false;
  }
  out = stream.info();
  return true;
}

bool DecodeCompressedSound(SoundFile& file, bool halve, DitherRandom& rng, DecodedSound& out) {
  out = DecodedSound{};
  CompressedStream stream;
  if (!stream.Open(file)) return false;
  const StreamInfo& info = stream.info();
  DecodedSound r;
  r.sample_rate = halve ? info.sample_rate / 2 : info.sample_rate;
  r.channels = info.channels;
  r.mode = info.mode;
  r.layer = info.layer;
  r.version = info.version;
  r.bitrate_index = info.bitrate_index;
  r.frame_size = info.frame_size;
  r.duration_ms = info.duration_ms;
  uint64_t bytes = PcmBufferBytes(r.sample_rate, r.duration_ms, r.channels);
  if (bytes > kMaxPcmBytes) return false;
  r.size = static_cast<uint32_t>(bytes);
  const size_t capacity = r.size / 2;
  std::vector<int16_t> converted;
  try {
    r.samples.assign(capacity, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  size_t written = 0;
  for (;;) {
    std::span<const float> frame = stream.DecodeFrame();
    if (frame.empty()) break;
    if (converted.size() < frame.size()) converted.resize(frame.size());
    size_t n = ConvertFrame(frame, r.channels, halve, rng, converted.data());
    // Reaching the end of the buffer means the stream is longer than its
    // header promised: the sound is refused rather than cut.
    if (n >= capacity - written) return false;
    std::copy_n(converted.data(), n, r.samples.data() + written);
    written += n;
  }
  stream.Close();
  // Keep only what was decoded: a looping sound must not carry the slack as silence.
  r.samples.resize(written);
  r.samples.shrink_to_fit();
  out = std::move(r);
  return true;
}

}  // namespace sound
