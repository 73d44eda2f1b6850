// The program's --record, --replay and --replay-partial: a scripted headless
// game and a game played in a window under Xvfb (real frame times) replay
// headless with every checkpoint matching; a changed input is reported as a
// divergence (status 3); a damaged, truncated or foreign file is refused
// (status 1), and --replay-partial plays what was readable.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "replay/reader.h"
#include "replay/writer.h"
#include "run_command.h"

namespace {

namespace fs = std::filesystem;

struct Folder {
  Folder() : dir(fs::temp_directory_path() / ("gfall-replay-cli-" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~Folder() {
    if (!std::getenv("KEEP")) fs::remove_all(dir);
  }
  std::string operator/(const std::string& name) const { return (dir / name).string(); }
  fs::path dir;
};

test_util::CommandRun Gfall(const std::string& args) {
  return test_util::RunCommand("SDL_AUDIODRIVER=dummy " + std::string(GFALL_EXE) + " " + args +
                               " 2>&1");
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// Writes a recording again with `change` applied to it (a valid file with
// other content, as a tampered or corrupted-in-memory game would be).
void Rewrite(const replay::Recording& rec, const std::string& path,
             const std::function<void(replay::Recording&)>& change) {
  replay::Recording r = rec;
  change(r);
  auto sink = std::make_unique<replay::MemorySink>();
  replay::MemorySink* mem = sink.get();
  replay::Writer w(std::move(sink), r.header);
  size_t next = 0;
  for (uint32_t f = 0; f < r.frames.size(); ++f) {
    for (double x : r.ReadingsOf(r.frames[f])) w.ClockReading(x);
    for (const replay::InputEvent& e : r.EventsOf(r.frames[f])) w.Event(e);
    w.EndFrame();
    for (; next < r.checkpoints.size() && r.checkpoints[next].frame == f; ++next) {
      w.Checkpoint(r.checkpoints[next].kind, r.checkpoints[next].digest,
                   r.checkpoints[next].scores);
    }
  }
  if (r.finished) w.Finish();
  WriteBytes(path, mem->bytes());
}

// A person's game: the plunger pulled for most of a second, the flippers
// flicked now and then, a nudge.
void WriteScript(const std::string& path) {
  std::ofstream s(path);
  for (int t = 0; t < 60000; t += 6000) {
    s << t + 100 << " start down\n" << t + 900 << " start up\n";
  }
  for (int t = 1500; t < 60000; t += 700) {
    s << t << " left down\n" << t + 120 << " left up\n";
    s << t + 300 << " right down\n" << t + 420 << " right up\n";
  }
  s << "20000 nudge-up down\n20100 nudge-up up\n";
}

TEST(ReplayCli, AScriptedHeadlessGameReplaysAndTamperingIsFound) {
  Folder dir;
  WriteScript(dir / "script.txt");
  const std::string rec = dir / "game.gfrec";
  auto run = Gfall("--headless --test-table --seed 9 --frames 3600 --input " +
                   (dir / "script.txt") + " --record " + rec);
  ASSERT_EQ(run.status, 0) << run.out;
  const replay::ReadResult read = replay::ReadRecordingFile(rec);
  ASSERT_TRUE(read.complete()) << read.error;
  ASSERT_EQ(read.recording.frames.size(), 3600u);
  ASSERT_GE(read.recording.checkpoints.size(), 10u);

  run = Gfall("--replay " + rec);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("every checkpoint matched"), std::string::npos) << run.out;

  // One input changed: the first pull of the plunger released early.
  Rewrite(read.recording, dir / "changed.gfrec", [](replay::Recording& r) {
    for (size_t i = r.frames[0].event_count; i < r.events.size(); ++i) {
      replay::InputEvent& e = r.events[i];
      if (e.kind == replay::EventKind::kActions && (e.a & (1 << 5))) {
        e.a &= ~(1 << 5);
        return;
      }
    }
    FAIL() << "no plunger pull recorded";
  });
  run = Gfall("--replay " + (dir / "changed.gfrec"));
  EXPECT_EQ(run.status, 3) << run.out;
  EXPECT_NE(run.out.find("replay diverged at frame "), std::string::npos) << run.out;

  // One byte changed in the file: damage, refused; the part before it plays.
  std::vector<uint8_t> bytes = ReadBytes(rec);
  std::vector<uint8_t> damaged = bytes;
  damaged[damaged.size() / 2] ^= 0x20;
  WriteBytes(dir / "damaged.gfrec", damaged);
  run = Gfall("--replay " + (dir / "damaged.gfrec"));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("damaged at byte"), std::string::npos) << run.out;
  run = Gfall("--replay-partial " + (dir / "damaged.gfrec"));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("every checkpoint matched"), std::string::npos) << run.out;

  // Cut short, as by a crash.
  bytes.resize(bytes.size() / 3);
  WriteBytes(dir / "cut.gfrec", bytes);
  run = Gfall("--replay " + (dir / "cut.gfrec"));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("truncated"), std::string::npos) << run.out;
  run = Gfall("--replay-partial " + (dir / "cut.gfrec"));
  EXPECT_EQ(run.status, 0) << run.out;

  // The recording sets the game up: options that shape one are refused.
  run = Gfall("--replay " + rec + " --seed 3");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("--seed does not apply to a replay"), std::string::npos) << run.out;

  // Not a recording; another format version.
  WriteScript(dir / "text.gfrec");
  run = Gfall("--replay " + (dir / "text.gfrec"));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("not a recording"), std::string::npos) << run.out;
  bytes = ReadBytes(rec);
  bytes[8] = 9;
  WriteBytes(dir / "v9.gfrec", bytes);
  run = Gfall("--replay " + (dir / "v9.gfrec"));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("format version 9"), std::string::npos) << run.out;
}

// The front end without a window: the title, the menus, the one-minute
// demonstration the window procedure starts, a game to its end.
TEST(ReplayCli, ARunThroughTheMenusReplaysHeadless) {
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  Folder dir;
  WriteScript(dir / "script.txt");
  std::ofstream(dir / "script.txt", std::ios::app) << "300 key 0x1C down\n320 key 0x1C up\n";
  const std::string rec = dir / "menus.gfrec";
  auto run = Gfall("--headless --menus --seed 4 --until-game-over --data " +
                   std::string(GFALL_DATA_DIR) + " --config-dir " + (dir / "config") + " --input " +
                   (dir / "script.txt") + " --record " + rec + " --print-state");
  ASSERT_EQ(run.status, 0) << run.out;
  ASSERT_NE(run.out.find("\"game_ended\":true"), std::string::npos) << run.out.substr(0, 400);
  const replay::ReadResult read = replay::ReadRecordingFile(rec);
  ASSERT_TRUE(read.complete()) << read.error;
  EXPECT_EQ(read.recording.header.Setting("start"), "menus");
  run = Gfall("--replay " + rec + " --data " + GFALL_DATA_DIR);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("every checkpoint matched"), std::string::npos) << run.out;
}

TEST(ReplayCli, AGamePlayedInAWindowReplaysHeadless) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  Folder dir;
  WriteScript(dir / "script.txt");
  const std::string rec = dir / "window.gfrec";
  // Real frame times: the window's clock, the script read against it.
  const std::string cmd =
      "xvfb-run -a -s '-screen 0 1024x768x24' env SDL_AUDIODRIVER=dummy " + std::string(GFALL_EXE) +
      " --play --window --frames 600 --width 640 --data " + GFALL_DATA_DIR + " --config-dir " +
      (dir / "config") + " --input " + (dir / "script.txt") + " --record " + rec + " 2>&1";
  auto run = test_util::RunCommand(cmd);
  ASSERT_EQ(run.status, 0) << cmd << "\n" << run.out;
  const replay::ReadResult read = replay::ReadRecordingFile(rec);
  ASSERT_TRUE(read.complete()) << read.error;
  EXPECT_EQ(read.recording.header.display_width, 640);
  // Real frame times are uneven.
  ASSERT_GT(read.recording.frames.size(), 100u);

  run = Gfall("--replay " + rec + " --data " + GFALL_DATA_DIR);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("every checkpoint matched"), std::string::npos) << run.out;

  // Watched in a window at real speed: the same game.
  run = test_util::RunCommand("xvfb-run -a -s '-screen 0 1024x768x24' env SDL_AUDIODRIVER=dummy " +
                              std::string(GFALL_EXE) + " --replay " + rec + " --window --data " +
                              GFALL_DATA_DIR + " 2>&1");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("every checkpoint matched"), std::string::npos) << run.out;
}

// The window with its menus records every run into the kept-games folder:
// a game ended from the pause menu is kept under its date, player and score,
// and replays; a run with no game leaves nothing.
TEST(ReplayCli, TheWindowKeepsItsGames) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
  Folder dir;
  auto window = [&](const std::string& script) {
    std::ofstream(dir / "script.txt") << script;
    return test_util::RunCommand(
        "xvfb-run -a -s '-screen 0 1024x768x24' env SDL_AUDIODRIVER=dummy " +
        std::string(GFALL_EXE) + " --window --width 640 --frames 2000 --data " + GFALL_DATA_DIR +
        " --config-dir " + (dir / "config") + " --input " + (dir / "script.txt") + " 2>&1");
  };
  // Past the title, a new game, a launch, the game ended, quit.
  auto run = window(
      "300 key 0x1C down\n320 key 0x1C up\n1000 cmd 101\n1200 start down\n2100 start up\n"
      "6000 cmd 112\n7000 cmd 107\n");
  ASSERT_EQ(run.status, 0) << run.out;
  std::vector<fs::path> kept;
  for (const auto& e : fs::directory_iterator(dir.dir / "config" / "replays"))
    kept.push_back(e.path());
  ASSERT_EQ(kept.size(), 1u);
  const std::string name = kept[0].filename().string();
  EXPECT_TRUE(name.ends_with(".gfrec") && name.find("_Player_1_") != std::string::npos) << name;
  run = Gfall("--replay " + kept[0].string() + " --data " + GFALL_DATA_DIR);
  EXPECT_EQ(run.status, 0) << run.out;

  // Only the menus, then quit: nothing more is kept. A recording left behind
  // by a copy that crashed (cut short, its game ended) is kept at the next start.
  std::vector<uint8_t> left = ReadBytes(kept[0].string());
  left.resize(left.size() - 7);
  WriteBytes((dir.dir / "config" / "replays" / "recording-999999999.part").string(), left);
  fs::rename(kept[0], dir.dir / "kept.gfrec");
  run = window("300 key 0x1C down\n320 key 0x1C up\n1000 cmd 107\n");
  ASSERT_EQ(run.status, 0) << run.out;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.dir / "config" / "replays")) {
    names.push_back(e.path().filename().string());
  }
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], name);
  run = Gfall("--replay-partial " + (dir.dir / "config" / "replays" / name).string() + " --data " +
              GFALL_DATA_DIR);
  EXPECT_EQ(run.status, 0) << run.out;
}

}  // namespace

namespace {

int CountOf(const std::string& text, const std::string& word) {
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// gftool replay lists a recording's checkpoints as text: one line per ball
// end, game end and the last frame (the periodic checks with --all), and a
// game that went otherwise lists differently from its first changed check on.
TEST(ReplayCli, GftoolListsTheCheckpointsOfARecording) {
  Folder dir;
  WriteScript(dir / "script.txt");
  const std::string rec = dir / "game.gfrec";
  ASSERT_EQ(Gfall("--headless --test-table --seed 9 --frames 3600 --input " + (dir / "script.txt") +
                  " --record " + rec)
                .status,
            0);
  const replay::ReadResult read = replay::ReadRecordingFile(rec);
  ASSERT_TRUE(read.complete()) << read.error;
  int ends = 0, periodic = 0;
  for (const replay::Checkpoint& c : read.recording.checkpoints) {
    (c.kind == replay::CheckKind::kInterval ? periodic : ends)++;
  }
  ASSERT_GT(periodic, 0);
  const std::string tool = std::string(GFTOOL_EXE) + " replay ";
  const test_util::CommandRun list = test_util::RunCommand(tool + rec);
  ASSERT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("frames 3600 "), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("seed 9 "), std::string::npos) << list.out;
  EXPECT_EQ(CountOf(list.out, "\nframe "), ends) << list.out;
  EXPECT_EQ(CountOf(list.out, "periodic"), 0);
  const test_util::CommandRun all = test_util::RunCommand(tool + rec + " --all");
  EXPECT_EQ(CountOf(all.out, "\nframe "), ends + periodic);

  // The last checkpoint's state changed: only its line differs.
  Rewrite(read.recording, dir / "other.gfrec",
          [](replay::Recording& r) { r.checkpoints.back().digest[3] ^= 1; });
  const test_util::CommandRun other = test_util::RunCommand(tool + (dir / "other.gfrec"));
  ASSERT_EQ(other.status, 0);
  const size_t last = list.out.rfind("\nframe ");
  EXPECT_EQ(other.out.substr(0, last), list.out.substr(0, last));
  EXPECT_NE(other.out.substr(last), list.out.substr(last));

  EXPECT_EQ(test_util::RunCommand(tool + (dir / "script.txt") + " 2>&1").status, 1);
  EXPECT_EQ(test_util::RunCommand(tool + " 2>&1").status, 2);
}

}  // namespace
