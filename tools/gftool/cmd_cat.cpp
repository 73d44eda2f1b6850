// gftool cat PACK NAME: the named file's bytes on standard output, looked up as
// the game looks names up (case-insensitive).

#include "command.h"
#include "res/res_file.h"
#include "res_util.h"

namespace gftool {
namespace {

int Cat(Args args) {
  if (args.size() != 2) return Usage("cat");
  res::ResourceLayer layer;
  if (!OpenPackOrFail(layer, args[0])) return 1;
  res::ResFile file;
  if (!res::ResFileOpen(layer, args[1], "rb", file)) {
    return Fail(args[1] + ": not in " + args[0]);
  }
  std::optional<std::vector<uint8_t>> bytes = res::ResLoadOpen(layer, file);
  if (!bytes) return Fail(args[1] + ": cannot be read whole from " + args[0] + " (pack damaged?)");
  if (!WriteFileAtomic("-", *bytes)) return Fail("cannot write to standard output");
  return 0;
}

GFTOOL_COMMAND("cat", "cat PACK NAME", Cat);

}  // namespace
}  // namespace gftool
