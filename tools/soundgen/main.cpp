// soundgen OUT_DIR [--recipes PATH] [--listen]: builds every sound of the
// table and writes each as a file under OUT_DIR (pack path with folders,
// compressed files as stored). With --listen a plain ".wav" of each decoded
// sound goes to OUT_DIR/listen/ as well.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "sound/wave_file.h"
#include "soundgen/soundgen.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string SlashPath(std::string name) {
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  return name;
}

int Usage() {
  std::fprintf(stderr,
               "usage: soundgen OUT_DIR [--recipes PATH] [--listen]\n"
               "  builds every sound of the table from PATH (a .json file or a folder;\n"
               "  default table/sounds) into OUT_DIR; --listen also writes a .wav of each\n"
               "  decoded sound under OUT_DIR/listen\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path out_dir, recipes = "table/sounds";
  bool listen = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--listen") == 0) {
      listen = true;
    } else if (std::strcmp(argv[i], "--recipes") == 0 && i + 1 < argc) {
      recipes = argv[++i];
    } else if (argv[i][0] != '-' && out_dir.empty()) {
      out_dir = argv[i];
    } else {
      return Usage();
    }
  }
  if (out_dir.empty()) return Usage();
  const auto t0 = std::chrono::steady_clock::now();
  soundgen::RecipeBook book;
  std::string error;
  std::vector<soundgen::BuiltSound> built;
  if (!soundgen::LoadRecipes(recipes, book, &error) ||
      !soundgen::BuildSounds(book, built, &error)) {
    std::fprintf(stderr, "soundgen: %s\n", error.c_str());
    return 1;
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  size_t total = 0;
  for (const soundgen::BuiltSound& b : built) {
    const std::filesystem::path path = out_dir / SlashPath(b.file.name);
    bool ok = WriteFile(path, b.file.bytes);
    if (ok && listen) {
      std::filesystem::path wav = out_dir / "listen" / SlashPath(b.file.name);
      wav += ".wav";
      ok = WriteFile(wav, sound::WriteWave(b.decoded, static_cast<uint32_t>(b.rate), b.channels));
    }
    if (!ok) {
      std::fprintf(stderr, "soundgen: cannot write %s\n", path.string().c_str());
      return 1;
    }
    total += b.file.bytes.size();
    std::printf("%-28s %7zu bytes %6.3f s %5d Hz %s%s\n", b.file.name.c_str(), b.file.bytes.size(),
                b.seconds(), b.rate, b.channels == 2 ? "stereo" : "mono", b.loop ? " loop" : "");
  }
  std::printf("%zu files, %zu bytes, built in %.2f s\n", built.size(), total, secs);
  return 0;
}
