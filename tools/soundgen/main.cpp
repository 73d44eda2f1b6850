// soundgen OUT_DIR [RECIPES]: builds every sound of the table and writes each
// as a file under OUT_DIR (pack path with folders, compressed files as
// stored), plus a plain ".wav" of each decoded sound for listening.

#include <chrono>
#include <cstdio>
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
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::filesystem::path PackPath(const std::filesystem::path& dir, std::string name) {
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  return dir / name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr,
                 "usage: soundgen OUT_DIR [RECIPES]\n"
                 "  builds every sound of the table from RECIPES (a .json file or a folder;\n"
                 "  default table/sounds) into OUT_DIR, with a .wav of each decoded sound\n");
    return 2;
  }
  const std::filesystem::path out_dir = argv[1];
  const std::filesystem::path recipes = argc == 3 ? argv[2] : "table/sounds";
  const auto t0 = std::chrono::steady_clock::now();
  soundgen::RecipeBook book;
  std::string error;
  std::vector<soundgen::BuiltSound> built;
  if (!soundgen::LoadRecipes(recipes, book, &error) || !soundgen::BuildSounds(book, built, &error)) {
    std::fprintf(stderr, "soundgen: %s\n", error.c_str());
    return 1;
  }
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  size_t total = 0;
  for (const soundgen::BuiltSound& b : built) {
    std::filesystem::path path = PackPath(out_dir, b.file.name);
    std::vector<uint8_t> listen = sound::WriteWave(b.decoded, static_cast<uint32_t>(b.rate), b.channels);
    std::filesystem::path wav = path;
    wav += ".decoded.wav";
    if (!WriteFile(path, b.file.bytes) || (b.compressed && !WriteFile(wav, listen))) {
      std::fprintf(stderr, "soundgen: cannot write %s\n", path.string().c_str());
      return 1;
    }
    total += b.file.bytes.size();
    std::printf("%-28s %7zu bytes %6.3f s %5d Hz %s%s\n", b.file.name.c_str(), b.file.bytes.size(),
                b.seconds(), b.rate, b.channels == 2 ? "stereo" : "mono",
                b.loop ? " loop" : "");
  }
  std::printf("%zu files, %zu bytes, built in %.2f s\n", built.size(), total, secs);
  return 0;
}
