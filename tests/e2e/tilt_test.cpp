// The tilt meter against nudges as a person gives them, at 60 frames a second:
// a tap is forgiven, several taps in a second or a held nudge tilt the table.
// Played through input scripts on the generated table (its tuning sets the
// meter's limit).

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "generated_table.h"
#include "run_command.h"

namespace {

struct NudgeCase {
  const char* name;
  std::vector<std::pair<int, int>> presses;  // (start ms, held ms) after the launch
  bool tilts;
};

// The state gfall prints after the script, or "" when it failed.
std::string PlayScript(const std::string& script_text) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("gfall_tilt_" + std::to_string(getpid()) + ".txt"))
          .string();
  std::ofstream(path) << script_text;
  const std::string cmd = std::string(GFALL_EXE) + " --headless --data " + GFALL_DATA_DIR +
                          " --frame-ms 16.667 --frames 900 --stats --seed 3 --input " + path +
                          " 2>/dev/null";
  test_util::CommandRun r = test_util::RunCommand(cmd);
  std::filesystem::remove(path);
  return r.status == 0 ? r.out : std::string();
}

long Tilts(const std::string& json) {
  std::smatch m;
  const std::regex re("\"tilts\":([0-9]+)");
  return std::regex_search(json, m, re) ? std::stol(m[1].str()) : -1;
}

TEST(Tilt, ATapIsForgivenSeveralTapsInASecondOrAHeldNudgeTilt) {
  if (!e2e::GeneratedTableBuilt()) GTEST_SKIP() << "no generated table in " << GFALL_DATA_DIR;
  const NudgeCase cases[] = {
      {"one 120 ms tap", {{0, 120}}, false},
      {"one 120 ms tap, a few ms later in the frame", {{7, 120}}, false},
      {"one 120 ms tap, late in the frame", {{13, 120}}, false},
      {"a 120 ms tap every 1.5 s for 12 s",
       {{0, 120}, {1500, 120}, {3000, 120}, {4500, 120}, {6000, 120}, {7500, 120}, {9000, 120}},
       false},
      {"two 120 ms taps half a second apart", {{0, 120}, {500, 120}}, false},
      {"three 120 ms taps spread over one second", {{0, 120}, {440, 120}, {880, 120}}, true},
      {"three 120 ms taps spread over one second, late in the frame",
       {{13, 120}, {453, 120}, {893, 120}},
       true},
      {"three 120 ms taps in quick succession", {{0, 120}, {200, 120}, {400, 120}}, true},
      {"a 300 ms hold", {{0, 300}}, true},
      {"a 300 ms hold, late in the frame", {{13, 300}}, true},
      {"a 60 ms tap", {{0, 60}}, false},
  };
  const char* sides[] = {"nudge-left", "nudge-up", "nudge-right"};
  int side = 0;
  for (const NudgeCase& c : cases) {
    // The ball is launched first; the nudges start once it is on its way.
    std::string script = "600 start down\n1600 start up\n";
    const char* action = sides[side++ % 3];
    for (const auto& [start, held] : c.presses) {
      script += std::to_string(3000 + start) + " " + action + " down\n";
      script += std::to_string(3000 + start + held) + " " + action + " up\n";
    }
    const std::string out = PlayScript(script);
    ASSERT_FALSE(out.empty()) << c.name;
    EXPECT_EQ(Tilts(out), c.tilts ? 1 : 0) << c.name << " (" << action << ")";
  }
}

}  // namespace
