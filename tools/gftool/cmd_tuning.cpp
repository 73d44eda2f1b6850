// gftool tuning FILE: applies a tuning file over the built-in values and prints
// every single key, then every surface entry the file changed.

#include <cstring>
#include <iostream>

#include "command.h"
#include "physics/tuning.h"
#include "physics/world.h"
#include "res/cdata.h"

namespace gftool {
namespace {

int RunTuning(Args args) {
  if (args.size() != 1) return Usage("tuning");
  std::vector<uint8_t> file;
  if (!ReadFile(args[0], file)) return 1;

  std::vector<uint8_t> text;
  static constexpr char kMagic[] = "CDATA";
  if (file.size() >= 5 && std::memcmp(file.data(), kMagic, 5) == 0) {
    res::CDataError error = res::CDataError::kNone;
    auto plain = res::CDataDecode(file, &error);
    if (!plain)
      return Fail(args[0] + ": not a usable CDATA container (" + res::CDataErrorText(error) + ")");
    text = std::move(*plain);
  } else {
    text = std::move(file);
  }

  physics::World world;
  if (!physics::LoadTuningText(world.tuning_targets(), text)) {
    return Fail(args[0] + ": reading stopped at a line longer than 250 characters");
  }
  std::cout << physics::FormatTuningReport(world.tuning, world.surfaces, world.balls);
  return std::cout ? 0 : 1;
}

GFTOOL_COMMAND("tuning", "tuning FILE", RunTuning);

}  // namespace
}  // namespace gftool
