// gftool sound-info FILE: describes a ".WAC" or ".WAV" sound file on disk.

#include <iostream>

#include "command.h"
#include "info_sound.h"
#include "res_util.h"

namespace gftool {
namespace {

int Run(Args args) {
  if (args.size() != 1) return Usage("sound-info");
  std::vector<uint8_t> bytes;
  if (!ReadInputFile(args[0], bytes)) return 1;
  return SoundInfo(args[0], bytes, std::cout);
}

}  // namespace
}  // namespace gftool

GFTOOL_COMMAND("sound-info", "sound-info FILE.WAC|FILE.WAV", gftool::Run);
