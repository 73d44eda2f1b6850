// gftool codec-decode IN OUT --size N: decodes a block-codec stream that must
// give exactly N bytes.

#include <charconv>
#include <string>

#include "command.h"
#include "render/block_codec.h"

namespace gftool {
namespace {

int CodecDecodeCommand(Args args_in) {
  std::vector<std::string> args(args_in.begin(), args_in.end());
  std::string size_text;
  if (!TakeOption(args, "--size", size_text) || args.size() != 2) return Usage("codec-decode");
  uint64_t size = 0;
  auto [end, ec] = std::from_chars(size_text.data(), size_text.data() + size_text.size(), size);
  if (ec != std::errc() || end != size_text.data() + size_text.size() || size > (1u << 30)) {
    return Fail("bad --size " + size_text);
  }
  std::vector<uint8_t> in;
  if (!ReadFile(args[0], in)) return 1;
  std::vector<uint8_t> out(size);
  int64_t n = render::CodecDecode(in, out);
  if (n == render::kCodecMalformed) return Fail("malformed stream in " + args[0]);
  if (n == render::kCodecOverflow) {
    return Fail(args[0] + " decodes to more than " + std::to_string(size) + " bytes");
  }
  if (static_cast<uint64_t>(n) != size) {
    return Fail(args[0] + " decodes to " + std::to_string(n) + " bytes, not " +
                std::to_string(size));
  }
  return WriteFileAtomic(args[1], out) ? 0 : 1;
}

}  // namespace
GFTOOL_COMMAND("codec-decode", "codec-decode IN OUT --size N", CodecDecodeCommand);
}  // namespace gftool
