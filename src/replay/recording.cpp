#include "replay/recording.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace replay {

std::string_view Header::Setting(std::string_view name, std::string_view fallback) const {
  for (const auto& [n, v] : settings) {
    if (n == name) return v;
  }
  return fallback;
}

std::string_view DigestPartName(int part) {
  static constexpr std::string_view kNames[kDigestParts] = {
      "ball 0 position", "ball 0 motion", "ball 0 state",  "ball 1 position", "ball 1 motion",
      "ball 1 state",    "flippers",      "scores",        "lamps",           "random state",
      "rules",           "game flow",     "nudge and tilt"};
  return part >= 0 && part < kDigestParts ? kNames[part] : std::string_view("unknown part");
}

std::string_view CheckKindName(CheckKind kind) {
  switch (kind) {
    case CheckKind::kBallEnd:
      return "ball end";
    case CheckKind::kGameEnd:
      return "game end";
    case CheckKind::kLastFrame:
      return "last frame";
    case CheckKind::kInterval:
      return "periodic check";
  }
  return "checkpoint";
}

double Recording::DurationMs() const {
  if (readings.empty()) return 0.0;
  return readings.back() - readings.front();
}

uint64_t HashBytes(std::span<const uint8_t> bytes, uint64_t h) {
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 0x100000001b3ull;
  }
  return h;
}

bool HashFile(const std::string& path, uint64_t& hash, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  uint64_t h = 0xcbf29ce484222325ull;
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) h = HashBytes({buffer, n}, h);
  const bool bad = std::ferror(f) != 0;
  std::fclose(f);
  if (bad) {
    error = "cannot read " + path;
    return false;
  }
  hash = h;
  return true;
}

}  // namespace replay
