#pragma once
// Encoding rendered sounds into the table's files: compressed sounds as
// constant-bitrate MPEG layer III streams (stored XOR-ed with the read key)
// and plain 16-bit RIFF wave files, and checking each file the way the game
// will read it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sound/compressed_sound.h"
#include "soundgen/recipe.h"
#include "soundgen/synth.h"

namespace soundgen {

// Samples of pre-roll and post-roll a loop is encoded with (see EncodeLayer3).
inline constexpr int kLoopPreRoll = 2304;
inline constexpr int kLoopPostRoll = 1152;

// A rate and bitrate the game's duration estimate handles exactly: MPEG-1
// (32/44.1/48 kHz) or MPEG-2 (16/22.05/24 kHz) layer III with a whole number
// of bytes per frame, so no frame is padded. False with the reason otherwise.
bool CheckCompressedFormat(const Format& format, std::string* why);

// Bytes of one frame of a layer III stream of this format.
int FrameBytes(const Format& format);

// Encodes to a plain (not yet XOR-ed) layer III stream: CBR, no ID3 tag,
// first frame an info frame that tells the decoder the encoder delay and
// padding, so it gives back exactly pcm.frames() sample frames.
// With `loop` the encoder is fed the end of the sound before it and the start
// after it, and the info frame counts those as delay and padding too: the
// decoded sound's first and last samples are then coded in the same context
// as they play in the loop, and its ends join without a click.
bool EncodeLayer3(const Pcm& pcm, int kbps, bool loop, std::vector<uint8_t>& plain,
                  std::string* error);

// The frames of a plain stream: every header valid, every frame the size of
// the first, nothing before, between or after them. False with a reason.
bool CheckFrames(std::span<const uint8_t> plain, int expected_frame_bytes, std::string* why);

// Decodes a stored compressed file with the game's own decoder and checks it
// against what was encoded: the buffer rule, the rate and channels, the
// exact length, the alignment, no clipping, and for a loop the seam.
bool VerifyCompressed(std::span<const uint8_t> stored, const Pcm& source, bool loop,
                      sound::DecodedSound& decoded, std::string* why);

// 16-bit conversion (rounded, clamped) of rendered samples.
std::vector<int16_t> ToInt16(std::span<const float> samples);

// Largest step between neighbouring samples of one channel in frames
// [from, to) of interleaved PCM (the step into `from` from its predecessor
// is not counted; frame 0's predecessor is the last frame).
int MaxStep(std::span<const int16_t> pcm, int channels, size_t from, size_t to);
// The step at a loop's seam: from the last frame back to the first, largest over the channels.
int SeamStep(std::span<const int16_t> pcm, int channels);
// The largest step in the `window` frames on each side of the seam.
int StepsNearSeam(std::span<const int16_t> pcm, int channels, size_t window);

}  // namespace soundgen
