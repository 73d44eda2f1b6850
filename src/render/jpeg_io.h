#pragma once
// JPEG through libjpeg: reading the size, decoding to 8-bit RGB rows, and
// writing. A library error never ends the program: it comes back to the
// operation, which sets the error flag, releases the decompressor and returns.
//
// The input is a stdio stream positioned at the JPEG data: the file layer's
// stream (res::ResFileStreamAt), which for a packed file is the pack itself.
// For a packed file that stream runs on into the files that follow, so the
// reader is also told how many bytes belong to the picture and never reads
// further: a damaged picture cannot borrow the next file's bytes.

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace render {

// The control record shared by the picture loader and the sprite loader.
struct JpegControl {
  std::span<uint8_t> output;  // JpegDecode: width × height × components bytes
  int32_t width = 0;          // filled by the reader
  int32_t height = 0;
  std::FILE* input = nullptr;  // positioned at the JPEG data
  int64_t input_size = -1;     // bytes of JPEG data there; −1 = up to the end of the stream
  std::span<const uint8_t> input_bytes;  // read from here instead when `input` is null
  int32_t error = 0;                     // 1 on failure
  int32_t components = 0;                // filled by the reader: always 3 (RGB)
};

// Reads only the header: width, height and components of the decoded picture.
void JpegReadSize(JpegControl& jpeg);
// Decodes the whole picture into jpeg.output, rows of width × 3 bytes R, G, B, top
// to bottom. Greyscale pictures are widened to RGB, so every caller gets three
// bytes per pixel. A buffer too small for the picture is an error.
void JpegDecode(JpegControl& jpeg);

// Compresses width × height pixels of 3 bytes R, G, B (rows top to bottom) into
// a baseline JPEG file with colour at full resolution; quality 1..100. False on bad sizes or a
// library error.
bool JpegEncode(int32_t width, int32_t height, std::span<const uint8_t> rgb, int quality,
                std::vector<uint8_t>& out);

// Convenience for tools and tests: the size and the RGB pixels of a JPEG held in
// memory. False on any error.
bool JpegDecodeMemory(std::span<const uint8_t> file, int32_t& width, int32_t& height,
                      std::vector<uint8_t>& rgb);

}  // namespace render
