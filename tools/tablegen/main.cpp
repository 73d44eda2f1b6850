// tablegen: builds the table pack GFALL.DAT from table/, checks a built pack,
// and draws the plan of the surface map.
//
//   tablegen --table DIR --out PACK [--threads N] [--plan OUT.png] [--screenshots DIR]
//   tablegen --check PACK [--table DIR] [--trap-sweep [--sweep-grid PX] [--sweep-seeds N]
//                               [--sweep-step PERCENT] [--sweep-seconds S]]
//   tablegen --table DIR --plan OUT.png
//   tablegen --table DIR --art OUT.png      (the painted artwork alone, flat)
//   tablegen --icon SIZE OUT.png            (the game's icon, SIZE × SIZE, RGBA)
//   tablegen --ico OUT.ico                  (the icon at every size, for Windows)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "art.h"
#include "build.h"
#include "check.h"
#include "icon_art.h"
#include "layout.h"
#include "plan.h"
#include "png_out.h"
#include "res/pack.h"
#include "soundgen/soundgen.h"
#include "trap_sweep.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tablegen --table DIR [--out PACK] [--threads N] [--plan OUT.png] "
               "[--screenshots DIR] [--art OUT.png]\n"
               "       tablegen --icon SIZE OUT.png\n"
               "       tablegen --ico OUT.ico\n"
               "       tablegen --check PACK [--table DIR] [--trap-sweep [--sweep-grid PX]\n"
               "                               [--sweep-seeds N]"
               " [--sweep-step PERCENT] [--sweep-seconds S]]\n");
  return 2;
}

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string table_dir, out_path, plan_path, shots_dir, check_path, art_path;
  int threads = 2;
  bool sweep = false;
  tablegen::SweepOptions sweep_options;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&](std::string& v) {
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    std::string n;
    if (a == "--table" && next(table_dir)) continue;
    if (a == "--out" && next(out_path)) continue;
    if (a == "--plan" && next(plan_path)) continue;
    if (a == "--art" && next(art_path)) continue;
    if (a == "--screenshots" && next(shots_dir)) continue;
    if (a == "--check" && next(check_path)) continue;
    if (a == "--ico" && i + 1 < argc) {
      std::string error;
      if (!tablegen::WriteIconFile(argv[i + 1], error)) {
        std::fprintf(stderr, "tablegen: %s\n", error.c_str());
        return 1;
      }
      return 0;
    }
    if (a == "--icon" && i + 2 < argc) {
      // The icon alone: nothing else is built.
      std::string error;
      const int size = std::atoi(argv[i + 1]);
      if (!tablegen::WriteIcon(size, argv[i + 2], error)) {
        std::fprintf(stderr, "tablegen: %s\n", error.c_str());
        return 1;
      }
      return 0;
    }
    if (a == "--trap-sweep") {
      sweep = true;
      continue;
    }
    if (a == "--sweep-grid" && next(n)) {
      sweep_options.grid = std::clamp(std::atoi(n.c_str()), 1, 400);
      continue;
    }
    if (a == "--sweep-seeds" && next(n)) {
      sweep_options.launch_seeds = std::clamp(std::atoi(n.c_str()), 1, 1000);
      continue;
    }
    if (a == "--sweep-step" && next(n)) {
      sweep_options.pull_step_percent = std::clamp(std::atoi(n.c_str()), 1, 100);
      continue;
    }
    if (a == "--sweep-seconds" && next(n)) {
      sweep_options.follow_ms = 1000.0 * std::clamp(std::atof(n.c_str()), 3.0, 3600.0);
      continue;
    }
    if (a == "--threads" && next(n)) {
      threads = std::max(1, std::atoi(n.c_str()));
      continue;
    }
    return Usage();
  }
  if (!check_path.empty()) {
    int failures = 0;
    if (!table_dir.empty()) {
      tablegen::Layout layout;
      std::string error;
      if (!tablegen::LoadLayout(table_dir + "/table.json", layout, error)) {
        std::printf("FAIL: %s\n", error.c_str());
        ++failures;
      } else {
        failures += tablegen::CheckLayout(layout);
      }
    }
    failures += tablegen::CheckPack(check_path);
    if (sweep) {
      const int traps = tablegen::CheckTraps(check_path, sweep_options);
      failures += traps < 0 ? 1 : traps;
    }
    if (failures == 0)
      std::printf("%s: all checks passed\n", check_path.c_str());
    else
      std::printf("%s: %d check(s) failed\n", check_path.c_str(), failures);
    return failures == 0 ? 0 : 1;
  }
  if (table_dir.empty() || sweep) return Usage();
  tablegen::Layout layout;
  std::string error;
  if (!tablegen::LoadLayout(table_dir + "/table.json", layout, error)) {
    std::fprintf(stderr, "tablegen: %s\n", error.c_str());
    return 1;
  }
  // A table whose parts moved away from where the rules test them is not built.
  if (tablegen::CheckLayout(layout) != 0) {
    std::fprintf(stderr, "tablegen: %s/table.json does not match the rules' geometry\n",
                 table_dir.c_str());
    return 1;
  }
  if (!tablegen::LoadArtwork(table_dir + "/art.json", layout, error)) {
    std::fprintf(stderr, "tablegen: %s\n", error.c_str());
    return 1;
  }
  if (!art_path.empty()) {
    // The albedo back through the output curve, as a flat picture of the scene grid.
    const tablegen::Artwork& art = *layout.art;
    std::vector<uint8_t> rgb(art.rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i)
      rgb[i] = static_cast<uint8_t>(
          std::lround(std::pow(std::clamp(art.rgb[i], 0.0f, 1.0f), 1.0f / 1.6f) * 255.0f));
    if (!tablegen::WritePng(art_path, art.w, art.h, rgb)) {
      std::fprintf(stderr, "tablegen: cannot write %s\n", art_path.c_str());
      return 1;
    }
  }
  if (!plan_path.empty()) {
    const auto map = tablegen::BuildSurfaceMap(layout);
    const auto rgb = tablegen::DrawPlan(layout, map);
    if (!tablegen::WritePng(plan_path, layout.width, layout.height, rgb)) {
      std::fprintf(stderr, "tablegen: cannot write %s\n", plan_path.c_str());
      return 1;
    }
  }
  if (out_path.empty() && shots_dir.empty()) return 0;
  std::string tuning;
  if (!ReadText(table_dir + "/GFALL.CDA.txt", tuning)) {
    std::fprintf(stderr, "tablegen: cannot read %s/GFALL.CDA.txt\n", table_dir.c_str());
    return 1;
  }
  const auto t0 = std::chrono::steady_clock::now();
  tablegen::BuildResult result;
  if (!tablegen::BuildTable(layout, tuning, threads, result, error)) {
    std::fprintf(stderr, "tablegen: building %s failed\n", error.c_str());
    return 1;
  }
  // Sounds and music from their recipes.
  {
    auto sounds = soundgen::BuildTableSounds(table_dir + "/sounds", &error);
    if (sounds.empty()) {
      std::fprintf(stderr, "tablegen: building the sounds failed: %s\n", error.c_str());
      return 1;
    }
    for (auto& s : sounds) result.files.push_back({std::move(s.name), std::move(s.bytes)});
    std::sort(
        result.files.begin(), result.files.end(),
        [](const tablegen::PackFile& a, const tablegen::PackFile& b) { return a.name < b.name; });
  }
  if (!shots_dir.empty()) {
    bool ok = tablegen::WritePng(shots_dir + "/playfield.png", 1024, 768, result.playfield_rgb) &&
              tablegen::WritePng(shots_dir + "/playfield-dark.png", 1024, 768, result.dark_rgb);
    for (const auto& shot : result.shots)
      ok = ok && tablegen::WritePng(shots_dir + "/" + shot.name, shot.width, shot.height, shot.rgb);
    if (!ok) {
      std::fprintf(stderr, "tablegen: cannot write the screenshots in %s\n", shots_dir.c_str());
      return 1;
    }
  }
  if (!out_path.empty()) {
    std::vector<res::PackItem> items;
    for (const auto& f : result.files) items.push_back({f.name, f.bytes});
    auto pack = res::PackBuild(items, &error);
    if (!pack) {
      std::fprintf(stderr, "tablegen: packing failed: %s\n", error.c_str());
      return 1;
    }
    if (!WriteBytes(out_path, *pack)) {
      std::fprintf(stderr, "tablegen: cannot write %s\n", out_path.c_str());
      return 1;
    }
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("tablegen: %s: %zu files, %zu bytes, %.1f s\n", out_path.c_str(),
                result.files.size(), pack->size(), secs);
  }
  return 0;
}
