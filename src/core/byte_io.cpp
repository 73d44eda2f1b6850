#include "core/byte_io.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace core {

bool ByteReader::Need(size_t n) {
  if (n > remaining()) {
    ok_ = false;
    return false;
  }
  return true;
}

bool ByteReader::Seek(size_t pos) {
  if (pos > data_.size()) {
    ok_ = false;
    return false;
  }
  pos_ = pos;
  return true;
}

bool ByteReader::Skip(size_t n) {
  if (!Need(n)) return false;
  pos_ += n;
  return true;
}

bool ByteReader::U8(uint8_t& v) {
  if (!Need(1)) return false;
  v = data_[pos_++];
  return true;
}

bool ByteReader::U16(uint16_t& v) {
  if (!Need(2)) return false;
  v = LoadU16(data_.data() + pos_);
  pos_ += 2;
  return true;
}

bool ByteReader::U32(uint32_t& v) {
  if (!Need(4)) return false;
  v = LoadU32(data_.data() + pos_);
  pos_ += 4;
  return true;
}

bool ByteReader::I16(int16_t& v) {
  uint16_t u = 0;
  if (!U16(u)) return false;
  v = static_cast<int16_t>(u);
  return true;
}

bool ByteReader::I32(int32_t& v) {
  uint32_t u = 0;
  if (!U32(u)) return false;
  v = static_cast<int32_t>(u);
  return true;
}

bool ByteReader::F32(float& v) {
  uint32_t u = 0;
  if (!U32(u)) return false;
  v = std::bit_cast<float>(u);
  return true;
}

bool ByteReader::Bytes(std::span<uint8_t> out) {
  if (!Need(out.size())) return false;
  if (!out.empty()) std::memcpy(out.data(), data_.data() + pos_, out.size());
  pos_ += out.size();
  return true;
}

std::span<const uint8_t> ByteReader::Take(size_t n) {
  if (!Need(n)) return {};
  auto view = data_.subspan(pos_, n);
  pos_ += n;
  return view;
}

bool ByteReader::FixedString(size_t n, std::string& out) {
  auto view = Take(n);
  if (view.size() != n) return false;
  auto end = std::find(view.begin(), view.end(), uint8_t{0});
  out.assign(view.begin(), end);
  return true;
}

void ByteWriter::U16(uint16_t v) {
  out_.push_back(static_cast<uint8_t>(v));
  out_.push_back(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32(uint32_t v) {
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ByteWriter::F32(float v) { U32(std::bit_cast<uint32_t>(v)); }

void ByteWriter::FixedString(std::string_view s, size_t n) {
  size_t len = std::min(s.size(), n);
  out_.insert(out_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(len));
  out_.insert(out_.end(), n - len, uint8_t{0});
}

void ByteWriter::PatchU32(size_t at, uint32_t v) {
  if (at + 4 <= out_.size()) StoreU32(out_.data() + at, v);
}

}  // namespace core
