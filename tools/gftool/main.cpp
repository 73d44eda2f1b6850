// gftool: inspects and builds the game's data files.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>

#include "command.h"
#include "platform/os/files.h"

namespace gftool {

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

Registrar::Registrar(Command c) { Registry().push_back(c); }

const std::vector<Command>& Commands() {
  auto& r = Registry();
  std::sort(r.begin(), r.end(),
            [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
  return r;
}

int Fail(std::string_view message) {
  std::cerr << "gftool: " << message << "\n";
  return 1;
}

int Usage(std::string_view name) {
  for (const auto& c : Commands()) {
    if (name == c.name) {
      std::cerr << "usage: gftool " << c.usage << "\n";
      return 2;
    }
  }
  std::cerr << "usage: gftool COMMAND ARGS...\n";
  return 2;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    Fail("cannot open " + path + ": " + std::strerror(errno));
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    Fail("cannot read " + path);
    return false;
  }
  return true;
}

bool WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes) {
  if (path == "-") {
    std::cout.write(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    return static_cast<bool>(std::cout);
  }
  // A new file in the same folder moved over the old one, so a reader never
  // sees half of it (and the old file stays when anything fails).
  std::string error;
  if (!platform::os::ReplaceFileDurably(path, bytes, &error)) {
    Fail("cannot write " + path + ": " + error);
    return false;
  }
  return true;
}

bool TakeOption(std::vector<std::string>& args, std::string_view name, std::string& value) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == name) {
      value = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
      return true;
    }
  }
  return false;
}

}  // namespace gftool

int main(int argc, char** argv) {
  try {
    using gftool::Commands;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
      std::cerr << "usage: gftool COMMAND ARGS...\ncommands:\n";
      for (const auto& c : Commands()) std::cerr << "  gftool " << c.usage << "\n";
      return argc < 2 ? 2 : 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& c : Commands()) {
      if (std::strcmp(argv[1], c.name) == 0) return c.run(args);
    }
    std::cerr << "gftool: unknown command " << argv[1] << " (gftool --help lists them)\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "gftool: " << e.what() << "\n";
    return 1;
  } catch (...) {
    std::cerr << "gftool: unexpected failure\n";
    return 1;
  }
}
