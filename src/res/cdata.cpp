#include "res/cdata.h"

#include <cstring>

#include "core/byte_io.h"
#include "core/crc32.h"
#include "res/res_file.h"

namespace res {
namespace {

constexpr char kMagic[8] = {'C', 'D', 'A', 'T', 'A', 0, 0, 0};

// Checks the header; the CRC it carries is returned through `crc`.
CDataError CheckHeader(std::span<const uint8_t> header, uint32_t& key, uint32_t& crc) {
  core::ByteReader r(header);
  std::span<const uint8_t> magic = r.Take(8);
  const uint32_t version = r.U32();
  key = r.U32();
  crc = r.U32();
  if (!r.ok()) return CDataError::kTooShort;
  // The magic is compared as a zero-terminated string: bytes after the zero are free.
  if (std::memcmp(magic.data(), kMagic, 6) != 0) return CDataError::kBadMagic;
  if (version != kCDataVersion) return CDataError::kBadVersion;
  return CDataError::kNone;
}

void Set(CDataError* error, CDataError e) {
  if (error) *error = e;
}

}  // namespace

const char* CDataErrorText(CDataError e) {
  switch (e) {
    case CDataError::kNone:
      return "no error";
    case CDataError::kTooShort:
      return "too short for a CDATA container";
    case CDataError::kBadMagic:
      return "not a CDATA container (bad magic)";
    case CDataError::kBadVersion:
      return "unsupported CDATA version";
    case CDataError::kBadCrc:
      return "CDATA payload fails its CRC check";
  }
  return "unknown error";
}

void CDataScramble(std::span<uint8_t> payload, uint32_t key) {
  const uint32_t s[4] = {key, key >> 3, (key >> 7) ^ (key << 3), (key >> 11) ^ (key << 4)};
  for (size_t i = 0; i < payload.size(); ++i) {
    const uint32_t t = static_cast<uint32_t>(i) ^ s[i % 4];
    payload[i] ^= static_cast<uint8_t>(t & 0xFF);
  }
}

std::optional<std::vector<uint8_t>> CDataDecode(std::span<const uint8_t> file, CDataError* error) {
  if (file.size() <= kCDataHeaderSize) {
    Set(error, CDataError::kTooShort);
    return std::nullopt;
  }
  uint32_t key = 0, crc = 0;
  const CDataError e = CheckHeader(file.first(kCDataHeaderSize), key, crc);
  if (e != CDataError::kNone) {
    Set(error, e);
    return std::nullopt;
  }
  std::span<const uint8_t> stored = file.subspan(kCDataHeaderSize);
  if (core::Crc32(stored) != crc) {
    Set(error, CDataError::kBadCrc);
    return std::nullopt;
  }
  std::vector<uint8_t> out(stored.begin(), stored.end());
  CDataScramble(out, key);
  Set(error, CDataError::kNone);
  return out;
}

std::vector<uint8_t> CDataEncode(std::span<const uint8_t> payload, uint32_t key) {
  std::vector<uint8_t> stored(payload.begin(), payload.end());
  CDataScramble(stored, key);
  core::ByteWriter w;
  w.Bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(kMagic), 8));
  w.U32(kCDataVersion);
  w.U32(key);
  w.U32(core::Crc32(stored));
  w.Bytes(stored);
  return w.Release();
}

std::optional<std::vector<uint8_t>> CDataLoad(ResourceLayer& layer, std::string_view name) {
  // The file layer's whole-file loader already refuses entries that claim more
  // bytes than the pack holds, before allocating.
  std::optional<std::vector<uint8_t>> file = ResLoadWhole(layer, name);
  if (!file) return std::nullopt;
  return CDataDecode(*file);
}

}  // namespace res
