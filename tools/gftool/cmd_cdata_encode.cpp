// gftool cdata-encode IN OUT [--key N]: wraps IN in a "CDATA" container. Without
// --key the key is the CRC-32 of IN, so the same input always gives the same file.

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "core/crc32.h"
#include "res/cdata.h"
#include "res_util.h"

namespace gftool {
namespace {

// Decimal, or hexadecimal with 0x; 0 to 4294967295.
bool ParseKey(const std::string& text, uint32_t& key) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  if (text.size() > 2 && (text[2] == '-' || text[2] == '+' || text[2] == ' ')) return false;
  errno = 0;
  char* end = nullptr;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const unsigned long long v = std::strtoull(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return false;
  key = static_cast<uint32_t>(v);
  return true;
}

int CDataEncodeCmd(Args args) {
  std::vector<std::string> rest(args.begin(), args.end());
  std::string key_text;
  const bool has_key = TakeOption(rest, "--key", key_text);
  if (rest.size() != 2) return Usage("cdata-encode");
  uint32_t key = 0;
  if (has_key && !ParseKey(key_text, key)) {
    std::cerr << "gftool: --key takes a number from 0 to 4294967295 (or 0x hex)\n";
    return Usage("cdata-encode");
  }
  std::vector<uint8_t> in;
  if (!ReadInputFile(rest[0], in)) return 1;
  if (!has_key) key = core::Crc32(in);
  return WriteFileAtomic(rest[1], res::CDataEncode(in, key)) ? 0 : 1;
}

GFTOOL_COMMAND("cdata-encode", "cdata-encode IN OUT [--key N]", CDataEncodeCmd);

}  // namespace
}  // namespace gftool
