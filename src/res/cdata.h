#pragma once
// The "CDATA" container: a 20-byte header (magic, version 1, key, CRC-32 of the
// stored payload) and the payload scrambled with a keystream built from the key.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "res/resource_layer.h"

namespace res {

inline constexpr size_t kCDataHeaderSize = 20;
inline constexpr uint32_t kCDataVersion = 1;

enum class CDataError { kNone, kTooShort, kBadMagic, kBadVersion, kBadCrc };
const char* CDataErrorText(CDataError e);

// Scrambles or unscrambles (the same operation) a payload in place with `key`.
void CDataScramble(std::span<uint8_t> payload, uint32_t key);

// The plain payload of a whole container file, or nothing (reason in `error`).
// A file of 20 bytes or fewer is refused.
std::optional<std::vector<uint8_t>> CDataDecode(std::span<const uint8_t> file,
                                                CDataError* error = nullptr);

// A whole container holding `payload` scrambled with `key`.
std::vector<uint8_t> CDataEncode(std::span<const uint8_t> payload, uint32_t key);

// Opens `name` through the file layer and returns its unscrambled payload, or
// nothing when it is missing, short, or has a wrong magic, version or CRC.
std::optional<std::vector<uint8_t>> CDataLoad(ResourceLayer& layer, std::string_view name);

}  // namespace res
