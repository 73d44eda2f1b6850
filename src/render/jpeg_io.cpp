#include "render/jpeg_io.h"

#include <jpeglib.h>

// After jpeglib.h: its macros use the library's types.
#include <jerror.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace render {

namespace {

// Every size a hostile header may ask for is bounded by what libjpeg itself
// allows (65 500 a side); callers check the product before allocating.

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

// Warnings and traces are not shown to anyone.
void OutputMessage(j_common_ptr) {}

void SetUpErrors(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputMessage;
}

// A source like libjpeg's stdio source that reads at most `remaining` bytes.
struct LimitedSource {
  jpeg_source_mgr pub;
  std::FILE* file;
  int64_t remaining;  // < 0: no limit
  bool start_of_file;
  JOCTET buffer[4096];
};

void InitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<LimitedSource*>(cinfo->src)->start_of_file = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<LimitedSource*>(cinfo->src);
  size_t want = sizeof src->buffer;
  if (src->remaining >= 0 && static_cast<int64_t>(want) > src->remaining) {
    want = static_cast<size_t>(src->remaining);
  }
  size_t n = want > 0 ? std::fread(src->buffer, 1, want, src->file) : 0;
  if (src->remaining >= 0) src->remaining -= static_cast<int64_t>(n);
  if (n == 0) {
    if (src->start_of_file) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    // An end marker, as libjpeg's own sources do at the end of the data.
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = n;
  src->start_of_file = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<LimitedSource*>(cinfo->src);
  if (count <= 0) return;
  while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void AttachSource(j_decompress_ptr cinfo, std::FILE* file, int64_t size) {
  auto* src = static_cast<LimitedSource*>((*cinfo->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(LimitedSource)));
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillInputBuffer;
  src->pub.skip_input_data = SkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
  src->file = file;
  src->remaining = size;
  src->start_of_file = true;
  cinfo->src = &src->pub;
}

// The two readers share this; nothing here owns a destructor, so the jump back
// out of libjpeg skips no C++ clean-up. Returns 0 on success.
int ReadPicture(JpegControl* jpeg, bool decode) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  std::memset(&cinfo, 0, sizeof cinfo);
  SetUpErrors(err);
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  jpeg_create_decompress(&cinfo);
  if (jpeg->input != nullptr) {
    AttachSource(&cinfo, jpeg->input, jpeg->input_size);
  } else {
    jpeg_mem_src(&cinfo, jpeg->input_bytes.data(),
                 static_cast<unsigned long>(jpeg->input_bytes.size()));
  }
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_calc_output_dimensions(&cinfo);
  jpeg->width = static_cast<int32_t>(cinfo.output_width);
  jpeg->height = static_cast<int32_t>(cinfo.output_height);
  jpeg->components = cinfo.output_components;
  if (decode) {
    const size_t row_bytes = static_cast<size_t>(cinfo.output_width) * 3;
    if (cinfo.output_components != 3 ||
        jpeg->output.size() / row_bytes < static_cast<size_t>(cinfo.output_height)) {
      jpeg_destroy_decompress(&cinfo);
      return 1;
    }
    jpeg_start_decompress(&cinfo);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(row_bytes), 1);
    while (cinfo.output_scanline < cinfo.output_height) {
      const size_t y = cinfo.output_scanline;
      if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
      std::memcpy(jpeg->output.data() + y * row_bytes, row[0], row_bytes);
    }
    jpeg_finish_decompress(&cinfo);
  }
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

int WritePicture(int32_t width, int32_t height, const uint8_t* rgb, int quality,
                 unsigned char** buffer, unsigned long* size) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  std::memset(&cinfo, 0, sizeof cinfo);
  SetUpErrors(err);
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return 1;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, buffer, size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // Colour at full resolution: sprite strips put frames of different colours
  // side by side, and halved chroma would smear one into the next.
  for (int i = 0; i < cinfo.num_components; ++i) {
    cinfo.comp_info[i].h_samp_factor = 1;
    cinfo.comp_info[i].v_samp_factor = 1;
  }
  jpeg_start_compress(&cinfo, TRUE);
  const size_t row_bytes = static_cast<size_t>(width) * 3;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + cinfo.next_scanline * row_bytes);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 0;
}

}  // namespace

void JpegReadSize(JpegControl& jpeg) {
  jpeg.width = jpeg.height = jpeg.components = 0;
  const bool no_input = jpeg.input == nullptr && jpeg.input_bytes.empty();
  jpeg.error = (no_input || ReadPicture(&jpeg, false) != 0) ? 1 : 0;
}

void JpegDecode(JpegControl& jpeg) {
  const bool no_input = jpeg.input == nullptr && jpeg.input_bytes.empty();
  jpeg.error = (no_input || ReadPicture(&jpeg, true) != 0) ? 1 : 0;
}

bool JpegEncode(int32_t width, int32_t height, std::span<const uint8_t> rgb, int quality,
                std::vector<uint8_t>& out) {
  out.clear();
  if (width <= 0 || height <= 0 || width > 65500 || height > 65500 || quality < 1 ||
      quality > 100 || rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
    return false;
  }
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const int failed = WritePicture(width, height, rgb.data(), quality, &buffer, &size);
  if (failed == 0 && buffer != nullptr) out.assign(buffer, buffer + size);
  std::free(buffer);  // jpeg_mem_dest's buffer is the caller's to free
  return failed == 0 && !out.empty();
}

bool JpegDecodeMemory(std::span<const uint8_t> file, int32_t& width, int32_t& height,
                      std::vector<uint8_t>& rgb) {
  rgb.clear();
  width = height = 0;
  if (file.empty()) return false;
  JpegControl jpeg;
  jpeg.input_bytes = file;
  JpegReadSize(jpeg);
  const int64_t pixels = static_cast<int64_t>(jpeg.width) * jpeg.height;
  if (jpeg.error == 0 && pixels > 0 && pixels <= (int64_t{1} << 26)) {
    rgb.resize(static_cast<size_t>(pixels) * 3);
    jpeg.output = rgb;
    JpegDecode(jpeg);
  } else {
    jpeg.error = 1;
  }
  if (jpeg.error) {
    rgb.clear();
    return false;
  }
  width = jpeg.width;
  height = jpeg.height;
  return true;
}

}  // namespace render
