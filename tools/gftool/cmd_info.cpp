// gftool info FILE: describes a data file, dispatching on its tag.

#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "info.h"

namespace gftool {

namespace {
std::vector<InfoFormat>& Formats() {
  static std::vector<InfoFormat> formats;
  return formats;
}
}  // namespace

InfoRegistrar::InfoRegistrar(InfoFormat f) { Formats().push_back(f); }

namespace {

int InfoCommand(Args args) {
  if (args.size() != 1) return Usage("info");
  std::vector<uint8_t> file;
  if (!ReadFile(args[0], file)) return 1;
  for (const InfoFormat& f : Formats()) {
    if (f.matches(file)) return f.describe(file, std::cout);
  }
  std::string known;
  for (const InfoFormat& f : Formats()) known += std::string(known.empty() ? "" : ", ") + f.name;
  return Fail(args[0] + ": not a file gftool info knows (" + known + ")");
}

}  // namespace
GFTOOL_COMMAND("info", "info FILE", InfoCommand);
}  // namespace gftool
