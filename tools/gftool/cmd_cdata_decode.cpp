// gftool cdata-decode IN OUT: the plain payload of a "CDATA" container.

#include <string>
#include <vector>

#include "command.h"
#include "res/cdata.h"
#include "res_util.h"

namespace gftool {
namespace {

int CDataDecodeCmd(Args args) {
  if (args.size() != 2) return Usage("cdata-decode");
  std::vector<uint8_t> in;
  if (!ReadInputFile(args[0], in)) return 1;
  res::CDataError error = res::CDataError::kNone;
  std::optional<std::vector<uint8_t>> plain = res::CDataDecode(in, &error);
  if (!plain) return Fail(args[0] + ": " + res::CDataErrorText(error));
  return WriteFileAtomic(args[1], *plain) ? 0 : 1;
}

GFTOOL_COMMAND("cdata-decode", "cdata-decode IN OUT", CDataDecodeCmd);

}  // namespace
}  // namespace gftool
