// gftool codec-encode IN OUT: codes a file with the block codec.

#include <string>

#include "command.h"
#include "render/block_codec.h"

namespace gftool {
namespace {

constexpr int kDeclined = 3;

int CodecEncodeCommand(Args args) {
  if (args.size() != 2) return Usage("codec-encode");
  std::vector<uint8_t> in;
  if (!ReadFile(args[0], in)) return 1;
  std::vector<uint8_t> out;
  int64_t n = render::CodecEncode(in, out);
  if (n < 0 || in.empty()) {
    Fail("not worth coding: " + std::to_string(in.size()) + " bytes are stored plain");
    return kDeclined;
  }
  return WriteFileAtomic(args[1], out) ? 0 : 1;
}

}  // namespace
GFTOOL_COMMAND("codec-encode", "codec-encode IN OUT   (exit 3 when the data is not worth coding)",
               CodecEncodeCommand);
}  // namespace gftool
