// gftool list PACK: one line per entry in directory order, "NAME SIZE".

#include <cstdio>
#include <string>

#include "command.h"
#include "res/pack.h"
#include "res_util.h"

namespace gftool {
namespace {

int List(Args args) {
  if (args.size() != 1) return Usage("list");
  res::ResourceLayer layer;
  if (!OpenPackOrFail(layer, args[0])) return 1;
  std::string out;
  for (const res::PackEntry& e : layer.slots[0].entries) {
    out += e.name + " " + std::to_string(e.size) + "\n";
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    return Fail("cannot write the listing");
  }
  return 0;
}

GFTOOL_COMMAND("list", "list PACK", List);

}  // namespace
}  // namespace gftool
