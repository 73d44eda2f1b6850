#include "res_util.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "command.h"
#include "res/pack.h"

namespace gftool {

bool OpenPackOrFail(res::ResourceLayer& layer, const std::string& path) {
  layer.loose_files = false;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    Fail(path + ": is a folder, not a pack");
    return false;
  }
  std::string why;
  if (!res::PackOpen(layer, path, &why)) {
    Fail(path + ": " + why);
    return false;
  }
  return true;
}

bool ReadInputFile(const std::string& path, std::vector<uint8_t>& out) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec)) {
    Fail(path + ": not a regular file");
    return false;
  }
  return ReadFile(path, out);
}

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '"' || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace gftool
