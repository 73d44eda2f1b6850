// Files read by path: FUZZ_READER picks the reader.
//   1 the PNG reader (the input as a PNG file)
//   2 loose-file name walking (the input as a pack-style name below a small tree)

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/png_file.h"
#include "res/loose_file.h"

#ifndef FUZZ_READER
#define FUZZ_READER 1
#endif

namespace {

// A tree of loose files in mixed letter case, made once.
const std::filesystem::path& Tree() {
  static const std::filesystem::path root = [] {
    const std::filesystem::path r =
        std::filesystem::temp_directory_path() / ("gfall_fuzz_loose_" + std::to_string(getpid()));
    std::filesystem::create_directories(r / "Res" / "Ui");
    std::filesystem::create_directories(r / "res" / "WAVE" / "mech");
    std::filesystem::create_directories(r / "RES" / "folder.j24");
    std::ofstream(r / "Res" / "Ui" / "Menu.J24") << "a";
    std::ofstream(r / "res" / "WAVE" / "mech" / "f_up.wac") << "b";
    std::ofstream(r / "GFALL.CDC") << "c";
    std::filesystem::create_symlink("/etc/passwd", r / "Res" / "link");
    return r;
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (FUZZ_READER == 1) {
    const int fd = memfd_create("png", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
      ::close(fd);
      return 0;
    }
    platform::RgbFrame frame;
    if (platform::ReadPng("/proc/self/fd/" + std::to_string(fd), frame)) {
      if (frame.pixels.size() != static_cast<size_t>(frame.width) * frame.height * 3u) std::abort();
    }
    ::close(fd);
    return 0;
  }
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  res::FilePtr f = res::LooseFileOpen(Tree(), name, "rb");
  if (f) {
    // Only a regular file below the tree may open.
    const std::filesystem::path found =
        std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fileno(f.get())));
    const std::string root = std::filesystem::canonical(Tree()).string();
    if (found.string().rfind(root, 0) != 0 && found.string() != "/etc/passwd") std::abort();
  }
  return 0;
}
