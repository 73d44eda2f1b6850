#include "render/image_files.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/byte_io.h"
#include "render/block_codec.h"
#include "res/res_file.h"

namespace render {

namespace {

bool PlausibleSize(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width * height <= kMaxImagePixels;
}

// Rounded the way every on-screen size is: 0.5 added, then truncated.
int32_t RoundScaled(int32_t v, double scale) {
  return static_cast<int32_t>(static_cast<double>(v) * scale + 0.5);
}

std::vector<uint8_t> WholeOrEmpty(res::ResourceLayer& layer, std::string_view name, bool& found) {
  auto bytes = res::ResLoadWhole(layer, name);
  found = bytes.has_value();
  return bytes ? std::move(*bytes) : std::vector<uint8_t>{};
}

void ReadCamera(core::ByteReader& r, DepthCamera& c) {
  c.fx = r.F32();
  c.fy = r.F32();
  c.cx = r.F32();
  c.cy = r.F32();
  for (float& m : c.matrix) m = r.F32();
  c.value_e = r.U32();
  c.z1 = r.F32();
  c.z0 = r.F32();
}

void WriteCamera(core::ByteWriter& w, const DepthCamera& c) {
  w.F32(c.fx);
  w.F32(c.fy);
  w.F32(c.cx);
  w.F32(c.cy);
  for (float m : c.matrix) w.F32(m);
  w.U32(c.value_e);
  w.F32(c.z1);
  w.F32(c.z0);
}

bool ReadDepthValues(core::ByteReader& r, size_t count, std::vector<int16_t>& out) {
  if (r.remaining() / 2 < count) return false;
  out.resize(count);
  for (int16_t& v : out) v = r.I16();
  return r.ok();
}

}  // namespace

// --- masks ---

bool ParseMask(std::span<const uint8_t> file, MaskImage& mask) {
  mask = MaskImage{};
  core::ByteReader r(file);
  std::string tag;
  r.FixedString(8, tag);
  const int32_t version = r.I32(), width = r.I32(), height = r.I32(), size = r.I32(),
                coding = r.I32();
  r.Skip(16);
  if (!r.ok() || tag != kMaskTag || version != 1 ||
      (coding != kMaskPlain && coding != kMaskCoded) || !PlausibleSize(width, height) ||
      size <= 0) {
    return false;
  }
  auto data = r.Take(static_cast<size_t>(size));
  if (data.size() != static_cast<size_t>(size)) return false;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> bytes(count);
  if (coding == kMaskPlain) {
    // The plain bytes must be exactly the picture: anything else would be read
    // past its end (or leave pixels undefined) when the mask is applied.
    if (data.size() != count) return false;
    std::memcpy(bytes.data(), data.data(), count);
  } else if (CodecDecode(data, bytes) != static_cast<int64_t>(count)) {
    return false;
  }
  mask.width = width;
  mask.height = height;
  mask.bytes = std::move(bytes);
  return true;
}

bool LoadMask(MaskImage& mask, res::ResourceLayer& layer, std::string_view name) {
  bool found;
  std::vector<uint8_t> bytes = WholeOrEmpty(layer, name, found);
  if (!found) {
    mask = MaskImage{};
    return false;
  }
  return ParseMask(bytes, mask);
}

bool ScaleMask(MaskImage& mask, const DisplayFormat& format) {
  if (!format.scaled) return true;
  if (!PlausibleSize(mask.width, mask.height) ||
      mask.bytes.size() != static_cast<size_t>(mask.width) * static_cast<size_t>(mask.height)) {
    return false;
  }
  const double scale = format.scale;
  const int32_t w = std::max(1, RoundScaled(mask.width, scale));
  const int32_t h = std::max(1, RoundScaled(mask.height, scale));
  std::vector<uint8_t> out(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int32_t i = 0; i < h; ++i) {
    const int32_t r = std::min(static_cast<int32_t>(i / scale), mask.height - 1);
    for (int32_t j = 0; j < w; ++j) {
      const int32_t c = std::min(static_cast<int32_t>(j / scale), mask.width - 1);
      out[static_cast<size_t>(i) * static_cast<size_t>(w) + static_cast<size_t>(j)] =
          mask.bytes[static_cast<size_t>(r) * static_cast<size_t>(mask.width) +
                     static_cast<size_t>(c)];
    }
  }
  mask.width = w;
  mask.height = h;
  mask.bytes = std::move(out);
  return true;
}

bool WriteMaskFile(int32_t width, int32_t height, std::span<const uint8_t> bytes, int32_t coding,
                   std::vector<uint8_t>& out) {
  out.clear();
  if (!PlausibleSize(width, height) ||
      bytes.size() != static_cast<size_t>(width) * static_cast<size_t>(height) ||
      (coding != kMaskPlain && coding != kMaskCoded)) {
    return false;
  }
  std::vector<uint8_t> data;
  if (coding == kMaskCoded) {
    if (CodecEncode(bytes, data) <= 0) data = CodecStoreLiterals(bytes);
  } else {
    data.assign(bytes.begin(), bytes.end());
  }
  core::ByteWriter w;
  w.FixedString(kMaskTag, 8);
  w.I32(1);
  w.I32(width);
  w.I32(height);
  w.I32(static_cast<int32_t>(data.size()));
  w.I32(coding);
  w.FixedString("", 16);
  w.Bytes(data);
  out = w.Release();
  return true;
}

// --- SCREEN pictures ---

bool ParseScreenImage(std::span<const uint8_t> file, Palette* palette, ScreenImage& image) {
  image = ScreenImage{};
  if (file.size() < kScreenHeaderSize) return false;
  if (std::memcmp(file.data() + 1, "SCREEN", 7) != 0) return false;
  core::ByteReader r(file);
  r.Seek(16);
  const uint16_t width = r.U16(), height = r.U16();
  const uint32_t palette_offset = r.U32();
  r.Skip(4);
  const uint32_t data_offset = r.U32(), data_size = r.U32();
  if (!r.ok()) return false;
  // An empty picture is no picture: the reflection texture wraps modulo its size.
  if (width == 0 || height == 0 || data_size != static_cast<uint32_t>(width) * height) return false;
  if (palette) {
    if (palette_offset > file.size() || file.size() - palette_offset < 768) return false;
    for (size_t i = 0; i < 256; ++i) {
      const uint8_t* p = file.data() + palette_offset + i * 3;
      (*palette)[i] = Rgb{p[0], p[1], p[2]};
    }
  }
  if (data_offset > file.size() || file.size() - data_offset < data_size) return false;
  image.width = width;
  image.height = height;
  image.byte_count = static_cast<int32_t>(data_size);
  image.bytes.assign(file.begin() + data_offset, file.begin() + data_offset + data_size);
  return true;
}

bool LoadScreenImage(res::ResourceLayer& layer, std::string_view name, Palette* palette,
                     ScreenImage& image) {
  bool found;
  std::vector<uint8_t> bytes = WholeOrEmpty(layer, name, found);
  if (!found) {
    image = ScreenImage{};
    return false;
  }
  return ParseScreenImage(bytes, palette, image);
}

bool WriteScreenFile(int32_t width, int32_t height, std::span<const uint8_t> pixels,
                     const Palette& palette, std::vector<uint8_t>& out) {
  out.clear();
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535 ||
      pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return false;
  }
  core::ByteWriter w;
  w.U8(0);
  w.FixedString(kScreenTag, 7);
  w.FixedString("", 8);
  w.U16(static_cast<uint16_t>(width));
  w.U16(static_cast<uint16_t>(height));
  w.U32(kScreenHeaderSize);
  w.U32(0);
  w.U32(kScreenHeaderSize + 768);
  w.U32(static_cast<uint32_t>(pixels.size()));
  w.FixedString("", 32);
  for (const Rgb& c : palette) {
    w.U8(c.r);
    w.U8(c.g);
    w.U8(c.b);
  }
  w.Bytes(pixels);
  out = w.Release();
  return true;
}

// --- depth maps ---

DepthBox ResampleDepth(std::span<const int16_t> source, DepthBox box, double scale,
                       std::vector<int16_t>& out) {
  const int64_t nw = static_cast<int64_t>(box.width * scale);
  const int64_t nh = static_cast<int64_t>(box.height * scale);
  const int64_t nx = static_cast<int64_t>(box.x * scale);
  const int64_t ny = static_cast<int64_t>(box.y * scale);
  out.assign(static_cast<size_t>(std::max<int64_t>(0, nw) * std::max<int64_t>(0, nh)), 0);
  const int64_t x0 = box.x, y0 = box.y, x1 = x0 + box.width - 1, y1 = y0 + box.height - 1;
  const size_t w = static_cast<size_t>(box.width);
  for (int64_t i = ny; i < ny + nh; ++i) {
    const int64_t r = std::clamp(static_cast<int64_t>(static_cast<double>(i) / scale), y0, y1);
    const size_t lr = static_cast<size_t>(r - y0);
    for (int64_t j = nx; j < nx + nw; ++j) {
      const int64_t c = std::clamp(static_cast<int64_t>(static_cast<double>(j) / scale), x0, x1);
      const size_t lc = static_cast<size_t>(c - x0);
      const bool right = c < x1, below = r < y1;
      int16_t v = source[lr * w + lc];
      if (right) v = std::min(v, source[lr * w + lc + 1]);
      if (below) v = std::min(v, source[(lr + 1) * w + lc]);
      if (right && below) v = std::min(v, source[(lr + 1) * w + lc + 1]);
      out[static_cast<size_t>(i - ny) * static_cast<size_t>(nw) + static_cast<size_t>(j - nx)] = v;
    }
  }
  return DepthBox{static_cast<int32_t>(nx), static_cast<int32_t>(ny), static_cast<int32_t>(nw),
                  static_cast<int32_t>(nh)};
}

bool ParseDepthMap(std::span<const uint8_t> file, const DisplayFormat& format, DepthMap& map) {
  map = DepthMap{};
  core::ByteReader r(file);
  std::string tag;
  r.FixedString(16, tag);
  const int32_t width = r.I32(), height = r.I32();
  DepthCamera camera;
  ReadCamera(r, camera);
  const int32_t x = r.I32(), y = r.I32();
  if (!r.ok() || tag != kDepthTag || !PlausibleSize(width, height)) return false;
  std::vector<int16_t> data;
  if (!ReadDepthValues(r, static_cast<size_t>(width) * static_cast<size_t>(height), data)) {
    return false;
  }
  DepthBox box{x, y, width, height};
  if (format.scaled && format.scale < 1.0) {
    std::vector<int16_t> scaled;
    box = ResampleDepth(data, box, format.scale, scaled);
    data = std::move(scaled);
  }
  map.data = std::move(data);
  map.width = box.width;
  map.height = box.height;
  map.byte_count = box.width * box.height * 2;
  map.camera = camera;
  map.x = box.x;
  map.y = box.y;
  return true;
}

bool LoadDepthMap(res::ResourceLayer& layer, std::string_view name, const DisplayFormat& format,
                  DepthMap& map) {
  bool found;
  std::vector<uint8_t> bytes = WholeOrEmpty(layer, name, found);
  if (!found) {
    map = DepthMap{};
    return false;
  }
  return ParseDepthMap(bytes, format, map);
}

bool ParsePartDepth(std::span<const uint8_t> file, const DisplayFormat& format, PartDepth& part) {
  part = PartDepth{};
  core::ByteReader r(file);
  std::string tag;
  r.FixedString(16, tag);
  const int32_t width = r.I32(), height = r.I32(), count = r.I32();
  DepthCamera camera;
  ReadCamera(r, camera);
  const int32_t x = r.I32(), y = r.I32();
  r.Skip(16);
  if (!r.ok() || tag != kPartDepthTag || !PlausibleSize(width, height) || count < 1 ||
      count > kMaxPartDepthFrames) {
    return false;
  }
  const size_t per_frame = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (r.remaining() / 2 / per_frame < static_cast<size_t>(count)) return false;
  PartDepth result;
  result.frames.resize(static_cast<size_t>(count));
  DepthBox box{x, y, width, height};
  for (auto& frame : result.frames) {
    if (!ReadDepthValues(r, per_frame, frame)) return false;
    if (format.scaled && format.scale < 1.0) {
      std::vector<int16_t> scaled;
      box = ResampleDepth(frame, DepthBox{x, y, width, height}, format.scale, scaled);
      frame = std::move(scaled);
    }
  }
  result.width = box.width;
  result.height = box.height;
  result.x = box.x;
  result.y = box.y;
  result.camera = camera;
  result.frame_count = count;
  part = std::move(result);
  return true;
}

bool LoadPartDepth(res::ResourceLayer& layer, std::string_view name, const DisplayFormat& format,
                   PartDepth& part) {
  bool found;
  std::vector<uint8_t> bytes = WholeOrEmpty(layer, name, found);
  if (!found) {
    part = PartDepth{};
    return false;
  }
  return ParsePartDepth(bytes, format, part);
}

bool WriteDepthFile(int32_t width, int32_t height, std::span<const int16_t> depth,
                    const DepthCamera& camera, int32_t x, int32_t y, std::vector<uint8_t>& out) {
  out.clear();
  if (!PlausibleSize(width, height) ||
      depth.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return false;
  }
  core::ByteWriter w;
  w.FixedString(kDepthTag, 16);
  w.I32(width);
  w.I32(height);
  WriteCamera(w, camera);
  w.I32(x);
  w.I32(y);
  for (int16_t v : depth) w.I16(v);
  out = w.Release();
  return true;
}

bool WritePartDepthFile(int32_t width, int32_t height, std::span<const std::vector<int16_t>> frames,
                        const DepthCamera& camera, int32_t x, int32_t y,
                        std::vector<uint8_t>& out) {
  out.clear();
  if (!PlausibleSize(width, height) || frames.empty() ||
      frames.size() > static_cast<size_t>(kMaxPartDepthFrames)) {
    return false;
  }
  const size_t per_frame = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (const auto& f : frames) {
    if (f.size() != per_frame) return false;
  }
  core::ByteWriter w;
  w.FixedString(kPartDepthTag, 16);
  w.I32(width);
  w.I32(height);
  w.I32(static_cast<int32_t>(frames.size()));
  WriteCamera(w, camera);
  w.I32(x);
  w.I32(y);
  w.FixedString("", 16);
  for (const auto& f : frames) {
    for (int16_t v : f) w.I16(v);
  }
  out = w.Release();
  return true;
}

uint32_t WarmUpDepth(const DepthMap& map) {
  uint32_t sum = 0;
  for (int16_t v : map.data) sum += static_cast<uint16_t>(v);
  return sum;
}

uint32_t WarmUpPartDepth(const PartDepth& part) {
  uint32_t sum = 0;
  for (const auto& f : part.frames) {
    for (int16_t v : f) sum += static_cast<uint16_t>(v);
  }
  return sum;
}

// --- tables and palette ---

bool ParseTable(std::span<const uint8_t> file, LookupTable256& table) {
  if (file.size() < kTableHeaderSize + kTableSize) return false;
  if (std::memcmp(file.data(), "MAPS", 5) != 0) return false;
  std::memcpy(table.data(), file.data() + kTableHeaderSize, kTableSize);
  return true;
}

bool LoadTable(res::ResourceLayer& layer, std::string_view name, LookupTable256& table) {
  bool found;
  std::vector<uint8_t> bytes = WholeOrEmpty(layer, name, found);
  return found && ParseTable(bytes, table);
}

bool WriteTableFile(std::span<const uint8_t> table, std::vector<uint8_t>& out) {
  out.clear();
  if (table.size() != kTableSize) return false;
  core::ByteWriter w;
  w.FixedString(kTableTag, kTableHeaderSize);
  w.Bytes(table);
  out = w.Release();
  return true;
}

bool ParsePalette(std::span<const uint8_t> file, Palette& palette) {
  const size_t n = std::min<size_t>(file.size(), 768);
  for (size_t i = 0; i + 3 <= n; i += 3) palette[i / 3] = Rgb{file[i], file[i + 1], file[i + 2]};
  return file.size() >= 768;
}

bool LoadPalette(res::ResourceLayer& layer, std::string_view name, Palette& palette) {
  bool found;
  std::vector<uint8_t> bytes = WholeOrEmpty(layer, name, found);
  return found && ParsePalette(bytes, palette);
}

bool WritePaletteFile(const Palette& palette, std::vector<uint8_t>& out) {
  out.clear();
  for (const Rgb& c : palette) {
    out.push_back(c.r);
    out.push_back(c.g);
    out.push_back(c.b);
  }
  return true;
}

}  // namespace render
