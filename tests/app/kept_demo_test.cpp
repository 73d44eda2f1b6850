// The idle demonstration of a kept game, played inside the window's own run:
// the best game of a recording shown from its start on a screen lent to it,
// ended by the time, the game's end or a key; and a window run that showed
// one still replays exactly, its own game untouched.

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/playfield_load.h"
#include "app/window_parts.h"
#include "core/window_commands.h"
#include "platform/png_file.h"
#include "platform/sdl_display_device.h"
#include "platform/sdl_events.h"
#include "render/display.h"
#include "replay/reader.h"
#include "replay/writer.h"
#include "res/resource_layer.h"

namespace app {
namespace {

namespace fs = std::filesystem;

const fs::path kPackDir = GFALL_PACK_DIR;

bool HavePack() { return fs::exists(kPackDir / "GFALL.DAT"); }

int Shell(const std::string& cmd) {
  const int st = std::system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Leaves the title, starts a game from the menus at 0.9 s and launches every
// ball; a second game from the menus at `second_ms` (0: none).
std::string GameScript(int second_ms) {
  std::string s = "300 key 0x1C down\n320 key 0x1C up\n900 cmd 101\n";
  for (int t = 3; t < 130; t += 6) {
    s += std::to_string(t * 1000) + " start down\n" + std::to_string(t * 1000 + 1000) +
         " start up\n";
  }
  if (second_ms > 0) s += std::to_string(second_ms) + " cmd 101\n";
  return s;
}

class KeptDemo : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HavePack()) return;
    dir_ = fs::temp_directory_path() / ("gfall_kept_demo_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "config");
    std::ofstream(dir_ / "two.txt") << GameScript(50000);
    // Two games from the menus, recorded headless as the window records them.
    recording_ = (dir_ / "two.gfrec").string();
    Shell(std::string(GFALL_EXE) + " --headless --menus --data " + kPackDir.string() +
          " --config-dir " + (dir_ / "config").string() + " --input " +
          (dir_ / "two.txt").string() + " --frames 7000 --record " + recording_ +
          " >/dev/null 2>&1");
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

  void SetUp() override {
    if (!HavePack()) GTEST_SKIP() << "no GFALL.DAT";
    std::string error;
    ASSERT_TRUE(OpenTablePack(pack_, kPackDir.string(), error)) << error;
    store::SettingsBlock settings;
    ChooseMode(display_.format, settings, 640, 4);
    platform::DisplayOptions options;
    options.headless = !windowed_;
    options.fullscreen = false;
    options.vsync = false;
    // SDL's dummy video driver gives the window without an X server.
    if (windowed_) setenv("SDL_VIDEODRIVER", "dummy", 1);
    device_ = std::make_unique<platform::SdlDisplayDevice>(options);
    ASSERT_TRUE(render::OpenDisplay(display_, *device_));
    outer_.data_dir = kPackDir.string();
    outer_.config_dir = (dir_ / "config").string();
    window_.device = device_.get();
    window_.display = &display_;
    window_.paced = false;
  }
  void TearDown() override {
    if (display_.created) render::CloseDisplay(display_, *device_);
  }

  // The best game-end checkpoint of the recording, the frame its game was
  // started from the menus, and the game end before it (-1: none).
  struct Best {
    replay::Checkpoint end;
    int64_t started = -1;
  };
  static Best BestGame(const replay::Recording& rec) {
    Best best;
    int32_t top = -1;
    for (const replay::Checkpoint& c : rec.checkpoints) {
      if (c.kind != replay::CheckKind::kGameEnd) continue;
      for (int32_t s : c.scores) {
        if (s > top) {
          top = s;
          best.end = c;
        }
      }
    }
    for (size_t f = 0; f < rec.frames.size() && f <= best.end.frame; ++f) {
      for (const replay::InputEvent& e : rec.EventsOf(rec.frames[f])) {
        if (e.kind == replay::EventKind::kCommand && e.a == core::kCommandNewGame) {
          best.started = static_cast<int64_t>(f);
        }
      }
    }
    return best;
  }

  static fs::path dir_;
  static std::string recording_;
  res::ResourceLayer pack_;
  bool windowed_ = false;
  std::unique_ptr<platform::SdlDisplayDevice> device_;
  render::Display display_;
  RunSetup outer_;
  NestedWindow window_;
};

fs::path KeptDemo::dir_;
std::string KeptDemo::recording_;

TEST_F(KeptDemo, TheBestGameIsShownFromItsStartToItsEnd) {
  const replay::ReadResult read = replay::ReadRecordingFile(recording_);
  ASSERT_TRUE(read.complete()) << read.error;
  const Best best = BestGame(read.recording);
  ASSERT_GT(best.started, 0);

  window_.shown_ms = 1.0e9;  // no time limit: it plays to its game's end
  const KeptGameShow shown = ShowKeptGame(recording_, outer_, pack_, window_, stderr);
  ASSERT_TRUE(shown.started);
  EXPECT_FALSE(shown.diverged);
  EXPECT_TRUE(shown.shown);
  // Shown from the frame after the one that started that game, to its end,
  // with the scores the recording has there: the replay was exact throughout.
  EXPECT_EQ(shown.first_shown, best.started + 1);
  EXPECT_EQ(shown.frames, static_cast<int64_t>(best.end.frame) + 1);
  ASSERT_GE(shown.scores.size(), best.end.scores.size());
  for (size_t i = 0; i < best.end.scores.size(); ++i) {
    EXPECT_EQ(shown.scores[i], best.end.scores[i]) << "player " << i;
  }
  // It was drawn on the screen lent to it.
  const platform::RgbFrame frame = device_->LastFrameRgb();
  ASSERT_EQ(frame.width, 640);
  size_t lit = 0;
  for (uint8_t v : frame.pixels) lit += v > 16 ? 1 : 0;
  EXPECT_GT(lit, frame.pixels.size() / 2);
}

TEST_F(KeptDemo, AKeyOrTheTimeEndsItWhileItShows) {
  const Best best = BestGame(replay::ReadRecordingFile(recording_).recording);
  struct Case {
    const char* what;
    double shown_ms;
    double key_ms;  // the outer run sees a key this long after it began showing
  } cases[] = {{"the time is up", 3000.0, 1.0e9}, {"a key", 1.0e9, 2000.0}};
  for (const Case& c : cases) {
    window_.shown_ms = c.shown_ms;
    double last_tick = -1.0;
    window_.outer_tick = [&](double shown) {
      last_tick = shown;
      return shown >= c.key_ms;
    };
    const KeptGameShow shown = ShowKeptGame(recording_, outer_, pack_, window_, stderr);
    ASSERT_TRUE(shown.started) << c.what;
    EXPECT_FALSE(shown.diverged) << c.what;
    // About that long of the game was shown (60 frames a second), far from its end.
    const double limit = std::min(c.shown_ms, c.key_ms);
    const int64_t frames_shown = shown.frames - shown.first_shown;
    EXPECT_GE(frames_shown, static_cast<int64_t>(limit / 1000.0 * 60.0) - 2) << c.what;
    EXPECT_LE(frames_shown, static_cast<int64_t>(limit / 1000.0 * 60.0) + 2) << c.what;
    EXPECT_LT(shown.frames, static_cast<int64_t>(best.end.frame)) << c.what;
    EXPECT_GE(last_tick, 0.0) << c.what;  // the outer run had its share of every shown frame
  }
}

TEST_F(KeptDemo, ARecordingThatCannotBeReadOrDivergesEndsIt) {
  // Not a recording, or cut in its header: nothing starts.
  const fs::path junk = dir_ / "junk.gfrec";
  std::ofstream(junk) << "not a recording";
  EXPECT_FALSE(ShowKeptGame(junk.string(), outer_, pack_, window_, stderr).started);
  EXPECT_FALSE(
      ShowKeptGame((dir_ / "none.gfrec").string(), outer_, pack_, window_, stderr).started);

  // A recording whose inputs were changed: the replay diverges and it ends there.
  replay::ReadResult read = replay::ReadRecordingFile(recording_);
  ASSERT_TRUE(read.complete());
  const Best best = BestGame(read.recording);
  // The plunger is never released in the shown game: its first ball stays put.
  bool changed = false;
  for (replay::InputEvent& e : read.recording.events) {
    if (e.kind == replay::EventKind::kActions && e.a != 0) {
      e.a = 0;
      changed = true;
    }
  }
  ASSERT_TRUE(changed);
  const fs::path bent = dir_ / "bent.gfrec";
  {
    const replay::Recording& r = read.recording;
    std::string error;
    auto w = replay::Writer::ToFile(bent.string(), r.header, error);
    ASSERT_TRUE(w) << error;
    size_t next = 0;
    for (uint32_t f = 0; f < r.frames.size(); ++f) {
      for (double x : r.ReadingsOf(r.frames[f])) w->ClockReading(x);
      for (const replay::InputEvent& e : r.EventsOf(r.frames[f])) w->Event(e);
      w->EndFrame();
      for (; next < r.checkpoints.size() && r.checkpoints[next].frame == f; ++next) {
        w->Checkpoint(r.checkpoints[next].kind, r.checkpoints[next].digest,
                      r.checkpoints[next].scores);
      }
    }
    w->Finish();
  }
  window_.shown_ms = 1.0e9;
  const KeptGameShow shown = ShowKeptGame(bent.string(), outer_, pack_, window_, stderr);
  EXPECT_TRUE(shown.started);
  EXPECT_TRUE(shown.diverged);
  EXPECT_LT(shown.frames, static_cast<int64_t>(best.end.frame));
}

// With a window of its own the nested run reads the window's events: a key
// ends it and goes no further; closing the window ends it and is handed on
// to the outer run.
class KeptDemoInAWindow : public KeptDemo {
 protected:
  KeptDemoInAWindow() { windowed_ = true; }
};

TEST_F(KeptDemoInAWindow, AKeyEndsItAndClosingTheWindowIsHandedOn) {
  struct Case {
    const char* what;
    uint32_t type;
    platform::EventKind handed_on;  // kTerminate: nothing
  } cases[] = {{"a key", SDL_KEYDOWN, platform::EventKind::kTerminate},
               {"a click", SDL_MOUSEBUTTONDOWN, platform::EventKind::kTerminate},
               {"closing the window", SDL_WINDOWEVENT, platform::EventKind::kClose}};
  for (const Case& c : cases) {
    std::vector<platform::EventKind> passed;
    window_.pass_on = [&](const platform::Event& e) { passed.push_back(e.kind); };
    window_.shown_ms = 1.0e9;
    bool pushed = false;
    window_.outer_tick = [&](double shown) {
      if (shown >= 1000.0 && !pushed) {
        SDL_Event e{};
        e.type = c.type;
        if (c.type == SDL_KEYDOWN) {
          e.key.keysym.scancode = SDL_SCANCODE_A;
          e.key.keysym.sym = SDLK_a;
          e.key.windowID = SDL_GetWindowID(device_->sdl_window());
        } else if (c.type == SDL_MOUSEBUTTONDOWN) {
          e.button.button = SDL_BUTTON_LEFT;
          e.button.windowID = SDL_GetWindowID(device_->sdl_window());
        } else {
          e.window.event = SDL_WINDOWEVENT_CLOSE;
          e.window.windowID = SDL_GetWindowID(device_->sdl_window());
        }
        SDL_PushEvent(&e);
        pushed = true;
      }
      return false;
    };
    const KeptGameShow shown = ShowKeptGame(recording_, outer_, pack_, window_, stderr);
    ASSERT_TRUE(shown.started) << c.what;
    ASSERT_TRUE(pushed) << c.what;
    // It ended with the next frame (one second shown, 60 frames a second).
    const int64_t frames_shown = shown.frames - shown.first_shown;
    EXPECT_GE(frames_shown, 60) << c.what;
    EXPECT_LE(frames_shown, 63) << c.what;
    const bool closed =
        std::find(passed.begin(), passed.end(), platform::EventKind::kClose) != passed.end();
    EXPECT_EQ(closed, c.handed_on == platform::EventKind::kClose) << c.what;
  }
}

// The real window under a virtual X server: the main menu idles a minute, the
// kept game shows in the same window, a key brings the menu back as it was,
// and the run (which then plays a game of its own) replays headless with
// every checkpoint matching.
TEST(KeptDemoWindow, TheMenuIdlesTheKeptGameShowsAndAKeyBringsTheMenuBack) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  if (!HavePack()) GTEST_SKIP() << "no GFALL.DAT";
  const fs::path dir =
      fs::temp_directory_path() / ("gfall_demo_window_" + std::to_string(::getpid()));
  fs::create_directories(dir / "config" / "replays");
  fs::create_directories(dir / "shots");
  const std::string gfall = "SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' " +
                            std::string(GFALL_EXE) +
                            " --window --virtual-clock --width 640 --data " + kPackDir.string() +
                            " --config-dir " + (dir / "config").string();
  // A game played in the window is kept.
  std::ofstream(dir / "game.txt") << GameScript(0);
  ASSERT_EQ(Shell(gfall + " --input " + (dir / "game.txt").string() +
                  " --until-game-over >/dev/null 2>&1"),
            0);
  std::vector<fs::path> kept;
  for (const auto& e : fs::directory_iterator(dir / "config" / "replays")) kept.push_back(e.path());
  ASSERT_EQ(kept.size(), 1u);

  // The demonstration on: idle a minute, a key at 80 s, then a game of its own.
  std::ofstream(dir / "config" / "demo.ini") << "kept=1\n";
  {
    std::ofstream script(dir / "idle.txt");
    script << "300 key 0x1C down\n320 key 0x1C up\n50000 shot menu-before\n70000 shot demo\n"
              "80000 key 0x39 down\n80100 key 0x39 up\n85000 shot menu-after\n90000 cmd 101\n";
    for (int t = 92; t < 250; t += 6)
      script << t << "000 start down\n" << t + 1 << "000 start up\n";
  }
  const std::string state = (dir / "state.json").string();
  ASSERT_EQ(Shell(gfall + " --input " + (dir / "idle.txt").string() + " --shots " +
                  (dir / "shots").string() + " --until-game-over --print-state >" + state +
                  " 2>/dev/null"),
            0);
  platform::RgbFrame before, demo, after;
  ASSERT_TRUE(platform::ReadPng((dir / "shots" / "menu-before.png").string(), before));
  ASSERT_TRUE(platform::ReadPng((dir / "shots" / "demo.png").string(), demo));
  ASSERT_TRUE(platform::ReadPng((dir / "shots" / "menu-after.png").string(), after));
  auto difference = [](const platform::RgbFrame& a, const platform::RgbFrame& b) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 255.0;
    double total = 0.0;
    for (size_t i = 0; i < a.pixels.size(); ++i) total += std::abs(a.pixels[i] - b.pixels[i]);
    return total / static_cast<double>(a.pixels.size());
  };
  // The demonstration shows the table without the menu; afterwards the menu
  // is back as it was.
  EXPECT_GT(difference(before, demo), 10.0);
  EXPECT_LT(difference(before, after), 1.0);

  // The run kept its own game too, and it replays with every checkpoint
  // matching: the demonstration changed nothing of the run's game.
  std::vector<fs::path> own;
  for (const auto& e : fs::directory_iterator(dir / "config" / "replays")) {
    if (e.path() != kept[0]) own.push_back(e.path());
  }
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(Shell(std::string(GFALL_EXE) + " --data " + kPackDir.string() + " --replay " +
                  own[0].string() + " >/dev/null 2>&1"),
            0);
  std::ifstream in(state);
  const std::string printed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The key that ended the demonstration started nothing at the menu: the
  // game was started by the script's command, and ended.
  EXPECT_NE(printed.find("\"game_ended\":true"), std::string::npos) << printed.substr(0, 400);
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace app
