// The program handed files and options a hostile user would try: forged
// recordings (valid checks, values no game writes), things that are not
// files (a folder, a pipe, a device), files too large, bad options. Each ends
// with status 1 and one line that names the file (or option) and the
// reason: never a crash, a hang or a game played on regardless.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "run_command.h"

namespace {

namespace fs = std::filesystem;

struct Folder {
  Folder() : dir(fs::temp_directory_path() / ("gfall-hostile-" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~Folder() {
    if (!std::getenv("KEEP")) fs::remove_all(dir);
  }
  std::string operator/(const std::string& name) const { return (dir / name).string(); }
  fs::path dir;
};

// A hang fails the case (status 124) instead of the whole run.
test_util::CommandRun Gfall(const std::string& args) {
  return test_util::RunCommand("SDL_AUDIODRIVER=dummy timeout 60 " + std::string(GFALL_EXE) + " " +
                               args + " 2>&1");
}

std::string Seed(const std::string& name) {
  return std::string(GFALL_SOURCE_DIR) + "/fuzz/seeds/replay_game/" + name;
}

int Lines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

TEST(HostileFiles, EachEndsWithOneLineNamingTheFileAndTheReason) {
  Folder f;
  fs::create_directory(f / "folder");
  ASSERT_EQ(::mkfifo((f / "fifo").c_str(), 0600), 0);
  std::ofstream(f / "sparse-recording").close();
  fs::resize_file(f / "sparse-recording", (64ull << 20) + 1);
  std::ofstream(f / "sparse-script").close();
  fs::resize_file(f / "sparse-script", (4ull << 20) + 1);

  struct Case {
    std::string args;
    std::string file;  // named in the line
    std::string says;
  };
  const Case cases[] = {
      // Forged recordings: their checks are right, their values are not.
      {"--replay " + Seed("forged-nan-reading.gfrec"), "forged-nan-reading.gfrec",
       "refused: frame 79, clock reading 0: is not a finite number"},
      {"--replay " + Seed("forged-1e300-reading.gfrec"), "forged-1e300-reading.gfrec",
       "clock reading 0: 1e+300 is outside 0..4000000000"},
      {"--replay " + Seed("forged-negative-reading.gfrec"), "forged-negative-reading.gfrec",
       "clock reading 0: -1000000000000 is outside 0..4000000000"},
      {"--replay " + Seed("forged-backward-step.gfrec"), "forged-backward-step.gfrec",
       "clock reading 0: 1200 goes back from 1208.3333333333335"},
      {"--replay-partial " + Seed("forged-loop-time.gfrec"), "forged-loop-time.gfrec",
       "(loop time): value 4294967296 is outside"},
      // Not files, or too large: refused without reading them.
      {"--replay " + f / "folder", f / "folder", "is a folder, not a file"},
      {"--replay " + f / "fifo", f / "fifo", "is not a regular file"},
      {"--replay /dev/zero", "/dev/zero", "is not a regular file"},
      {"--replay /dev/urandom", "/dev/urandom", "is not a regular file"},
      {"--replay " + f / "sparse-recording", f / "sparse-recording", "is larger than 64 MB"},
      {"--headless --test-table --input " + f / "folder", f / "folder", "is a folder, not a file"},
      {"--headless --test-table --input " + f / "fifo", f / "fifo", "is not a regular file"},
      {"--headless --test-table --input /dev/zero", "/dev/zero", "is not a regular file"},
      {"--headless --test-table --input " + f / "sparse-script", f / "sparse-script",
       "is larger than 4 MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const test_util::CommandRun run = Gfall(c.args);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_EQ(Lines(run.out), 1) << run.out;
    EXPECT_NE(run.out.find(c.file), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
  }
}

TEST(HostileFiles, BadOptionsAreUsageErrorsThatSayWhy) {
  struct Case {
    std::string args;
    std::string says;
  };
  const Case cases[] = {
      {"--headless --test-table --frame-ms nan", "--frame-ms takes a number from 0.1 to 1000"},
      {"--headless --test-table /X", "unknown switch /X (the switches are /0 and /R)"},
      {"--headless --test-table --seeds 0-99999999",
       "--seeds plays at most 1000000 games in one run (0-99999999 is 100000000)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const test_util::CommandRun run = Gfall(c.args);
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
  }
}

// A link planted where a recording is to be written is not written through.
TEST(HostileFiles, RecordingIsNotWrittenThroughAPlantedLink) {
  Folder f;
  std::ofstream(f / "victim") << "precious";
  fs::create_symlink(f / "victim", f / "game.gfrec");
  const test_util::CommandRun run =
      Gfall("--headless --test-table --frames 10 --record " + f / "game.gfrec");
  EXPECT_NE(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("is a link"), std::string::npos) << run.out;
  std::ifstream in(f / "victim");
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "precious");
}

}  // namespace
