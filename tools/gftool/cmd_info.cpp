// gftool info FILE: describes a data file, dispatching on its tag.

#include <cctype>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "info.h"
#include "info_sound.h"

namespace gftool {

namespace {
std::vector<InfoFormat>& Formats() {
  static std::vector<InfoFormat> formats;
  return formats;
}
}  // namespace

InfoRegistrar::InfoRegistrar(InfoFormat f) { Formats().push_back(f); }

namespace {

bool IsSoundFileName(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext == ".WAC" || ext == ".WAV";
}

int InfoCommand(Args args) {
  if (args.size() != 1) return Usage("info");
  std::vector<uint8_t> file;
  if (!ReadFile(args[0], file)) return 1;
  for (const InfoFormat& f : Formats()) {
    if (f.matches(file)) return f.describe(file, std::cout);
  }
  // Sound files carry no tag of ours: a compressed sound is scrambled MPEG audio,
  // so they are told by their name (or a RIFF header).
  if (IsSoundFileName(args[0]) ||
      (file.size() >= 4 &&
       std::string_view(reinterpret_cast<const char*>(file.data()), 4) == "RIFF")) {
    return SoundInfo(args[0], file, std::cout);
  }
  std::string known = "WAC, WAV";
  for (const InfoFormat& f : Formats()) known += std::string(", ") + f.name;
  return Fail(args[0] + ": not a file gftool info knows (" + known + ")");
}

}  // namespace
GFTOOL_COMMAND("info", "info FILE", InfoCommand);
}  // namespace gftool
