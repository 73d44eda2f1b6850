// The Watch buttons of the high-score table: which rows have a kept game,
// what the button starts, and the process it starts on its own.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/front_end.h"
#include "app/replay_hook.h"
#include "app/replay_run.h"
#include "replay/kept_games.h"
#include "replay/reader.h"
#include "replay/writer.h"
#include "store/game_data.h"

namespace app {
namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  Folder() {
    std::string pattern = (fs::path(testing::TempDir()) / "gfall_watch_XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string Keep(const fs::path& folder, int64_t when, const std::string& player, int32_t score,
                 bool high = true) {
  const fs::path p = folder / replay::KeptGameFileName(when, player, score, high);
  std::ofstream(p) << "x";
  return p.string();
}

store::HighScoreTable Table() {
  store::HighScoreTable t{};
  t[0] = {"Anna", 900000};
  t[1] = {"Bo Li", 500000};  // a space in the name: '_' in the file name
  t[2] = {"Anna", 400000};   // no recording of this score
  t[3] = {"Cy", 300000};     // kept, but under another player's name
  return t;
}

TEST(Watch, RowsWithAKeptGameOfThatPlayerAndScoreCanBeWatched) {
  Folder dir;
  const std::string anna = Keep(dir.path(), 1000, "Anna", 900000);
  Keep(dir.path(), 900, "Anna", 900000);  // an older game of the same score: the newest wins
  const std::string bo = Keep(dir.path(), 1000, "Bo Li", 500000, false);
  Keep(dir.path(), 1000, "Dee", 300000);
  std::ofstream(dir.path() / "recording-123.part") << "x";  // a game still being recorded

  const auto rows = WatchableRows(Table(), dir.path().string());
  EXPECT_EQ(rows[0], anna);
  EXPECT_EQ(rows[1], bo);
  for (size_t row = 2; row < rows.size(); ++row) EXPECT_EQ(rows[row], "") << "row " << row;

  // No folder, or one that does not exist: nothing to watch.
  for (const std::string& folder : {std::string(), (dir.path() / "none").string()}) {
    for (const std::string& f : WatchableRows(Table(), folder)) EXPECT_EQ(f, "");
  }
}

TEST(Watch, EmptyRowsNeverMatchAKeptGameWithNoScore) {
  Folder dir;
  Keep(dir.path(), 1000, "", 0, false);  // a game that ended at nothing, of nobody
  for (const std::string& f : WatchableRows(store::HighScoreTable{}, dir.path().string())) {
    EXPECT_EQ(f, "");
  }
}

// A front-end host over scripted forms that notes what it would start.
struct Host {
  explicit Host(const fs::path& folder)
      : g(std::make_unique<FakeClock>()),
        forms(answers, {}),
        host(g, data, folder / "game.dat", forms, screen, input, modes) {
    err = open_memstream(&err_text, &err_size);
    host.err = err;
    host.saving = false;
    host.kept_games_folder = folder.string();
    host.watch_command = {"/bin/gfall", "--data", "/d"};
    host.start_process = [this](const std::vector<std::string>& args, std::string& error) {
      started.push_back(args);
      error = "refused";
      return start_ok ? pid : -1;
    };
  }
  ~Host() {
    std::fclose(err);
    std::free(err_text);
  }

  Game g;
  store::GameData data;
  ui::ScriptedAnswers answers;
  ScriptedForms forms;
  FrontEndScreen screen;
  FrontEndInput input;
  render::ModeTable modes;
  FrontEndHost host;
  std::vector<std::vector<std::string>> started;
  bool start_ok = true;
  int pid = ::getpid();  // what a start returns: a process that is running
  std::FILE* err = nullptr;
  char* err_text = nullptr;
  size_t err_size = 0;
};

TEST(Watch, TheWatchAnswerStartsTheReplayOfThatRowInAWindow) {
  Folder dir;
  Host h(dir.path());
  h.data.high_scores = Table();
  const std::string anna = Keep(dir.path(), 1000, "Anna", 900000);
  h.answers.pending.push_back({"highscore", "watch", "1"});
  h.host.HighScoreDialog(false, 0, {});
  ASSERT_EQ(h.started.size(), 1u);
  EXPECT_EQ(h.started[0],
            (std::vector<std::string>{"/bin/gfall", "--data", "/d", "--replay", anna, "--window"}));
  EXPECT_TRUE(h.forms.errors.empty());
  EXPECT_TRUE(h.host.notices.empty());
  EXPECT_EQ(h.data.high_scores[0].score, 900000);  // the table is left as it was
}

TEST(Watch, RowsWithoutAGameAndBadRowsStartNothing) {
  Folder dir;
  Host h(dir.path());
  h.data.high_scores = Table();
  Keep(dir.path(), 1000, "Anna", 900000);
  for (const char* row : {"3", "0", "11", "x", ""}) {
    h.answers.pending.push_back({"highscore", "watch", row});
    h.host.HighScoreDialog(false, 0, {});
  }
  EXPECT_TRUE(h.started.empty());
  EXPECT_EQ(h.forms.errors.size(), 5u);

  // Without a kept-games folder (a run that keeps none) no row has a button.
  h.host.kept_games_folder.clear();
  h.forms.errors.clear();
  h.answers.pending.push_back({"highscore", "watch", "1"});
  h.host.HighScoreDialog(false, 0, {});
  EXPECT_TRUE(h.started.empty());
  EXPECT_EQ(h.forms.errors.size(), 1u);
}

TEST(Watch, AReplayThatCannotStartIsSaid) {
  Folder dir;
  Host h(dir.path());
  h.data.high_scores = Table();
  Keep(dir.path(), 1000, "Anna", 900000);
  h.start_ok = false;
  h.answers.pending.push_back({"highscore", "watch", "1"});
  h.host.HighScoreDialog(false, 0, {});
  ASSERT_EQ(h.host.notices.size(), 1u);
  EXPECT_NE(h.host.notices[0].find("refused"), std::string::npos) << h.host.notices[0];
}

TEST(Watch, TheBestKeptGameIsTheHighestScoreAndTheNewestOfEquals) {
  Folder dir;
  EXPECT_FALSE(replay::BestKeptGame(dir.path().string()));
  Keep(dir.path(), 1000, "Anna", 500);
  const std::string best = Keep(dir.path(), 3000, "Bo", 900, false);
  Keep(dir.path(), 2000, "Cy", 900);
  Keep(dir.path(), 4000, "Dee", 100);
  ASSERT_TRUE(replay::BestKeptGame(dir.path().string()));
  EXPECT_EQ(replay::BestKeptGame(dir.path().string())->path, best);
}

// A window run in which the computer played its idle demonstration (90 000),
// a person played a game (1 234), and a demonstration was cut short by a key
// at its end (50 000): only the person's game is anyone's score.
TEST(Watch, KeptGamesCountOnlyThePersonsGames) {
  Folder dir;
  const std::string part = (dir.path() / "recording-1.part").string();
  {
    replay::Header h;
    h.players = 1;
    h.started_unix = 1000;
    std::string error;
    auto w = replay::Writer::ToFile(part, h, error);
    ASSERT_TRUE(w) << error;
    auto computer = [](bool on) {
      replay::InputEvent e;
      e.kind = replay::EventKind::kLoopState;
      e.a = kLoopComputer;
      e.b = on;
      return e;
    };
    const replay::StateDigest d{};
    auto end = [&](int32_t score) {
      const int32_t scores[1] = {score};
      w->Checkpoint(replay::CheckKind::kGameEnd, d, scores);
    };
    const struct {
      int on;         // -1: no change
      int32_t score;  // 0: the game does not end in this frame
    } frames[] = {{1, 0}, {-1, 90000}, {0, 0}, {-1, 1234}, {1, 0}, {0, 50000}};
    for (const auto& f : frames) {
      w->ClockReading(1.0);
      if (f.on >= 0) w->Event(computer(f.on != 0));
      w->EndFrame();
      if (f.score) end(f.score);
    }
    w->Finish();
  }
  const replay::ReadResult read = replay::ReadRecordingFile(part);
  ASSERT_TRUE(read.complete()) << read.error;
  const std::vector<EndedGame> games = EndedGames(read.recording);
  ASSERT_EQ(games.size(), 3u);
  EXPECT_TRUE(games[0].computer);
  EXPECT_FALSE(games[1].computer);
  EXPECT_TRUE(games[2].computer);
  EXPECT_EQ(games[0].after_frame, -1);
  EXPECT_EQ(games[1].after_frame, 1);  // the person's game began after the computer's end
  EXPECT_EQ(games[2].after_frame, 3);

  store::GameData data;
  data.player_names[0] = "Anna";
  KeepRecording(part, data);
  std::vector<replay::KeptGame> kept = replay::ListKeptGames(dir.path().string());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].score, 1234);
  EXPECT_EQ(kept[0].player, "Anna");
}

TEST(Watch, TheDemonstrationSettingIsReadFromItsOwnFile) {
  struct Case {
    const char* text;
    bool kept;
  } cases[] = {{"", false},
               {"kept=1\n", true},
               {" kept = yes \r\n", true},
               {"# kept=1\nkept=0\n", false},
               {"kept=1\nkept=off\n", false},
               {"kept=2\n", false},
               {"other=1\nkept\n=1\n", false},
               {"window=1\nkept=true", true}};
  for (const Case& c : cases) EXPECT_EQ(ParseDemoPlaysKeptGame(c.text), c.kept) << c.text;

  EXPECT_EQ(DemoSettingsPathFrom("/cfg", "/x", "/h"), "/cfg/demo.ini");
  EXPECT_EQ(DemoSettingsPathFrom("", "/x", "/h"), "/x/gfall/demo.ini");
  EXPECT_EQ(DemoSettingsPathFrom("", "relative", "/h"), "/h/.config/gfall/demo.ini");
  EXPECT_EQ(DemoSettingsPathFrom("", nullptr, nullptr), "");

  // A run with --config-dir reads the file there; a missing file is off.
  Folder dir;
  RunSetup s;
  s.config_dir = dir.path().string();
  EXPECT_FALSE(DemoPlaysKeptGame(s));
  std::ofstream(dir.path() / "demo.ini") << "kept=1\n";
  EXPECT_TRUE(DemoPlaysKeptGame(s));
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Links planted in the settings folder (at the old temporary's name and at
// the file's own) are never written through; under an open umask the new
// folder is 0700 and the file 0600. A pipe at its name is not waited on.
TEST(Watch, TheDemonstrationSettingIsWrittenPrivatelyAndNeverThroughALink) {
  const mode_t old_umask = ::umask(0);
  Folder dir;
  const fs::path cfg = dir.path() / "cfg";
  const fs::path file = cfg / "demo.ini";
  std::string error;
  ASSERT_TRUE(WriteDemoSettings(file, true, error)) << error;
  EXPECT_EQ(fs::status(cfg).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);

  std::ofstream(dir.path() / "victim") << "precious";
  fs::create_symlink(dir.path() / "victim", cfg / "demo.ini.part");
  ASSERT_TRUE(WriteDemoSettings(file, false, error)) << error;
  fs::remove(file);
  fs::create_symlink(dir.path() / "victim", file);
  ASSERT_TRUE(WriteDemoSettings(file, true, error)) << error;
  EXPECT_EQ(ReadFile(dir.path() / "victim"), "precious");
  EXPECT_FALSE(fs::is_symlink(file));
  EXPECT_EQ(ReadFile(file), "kept=1\n");

  fs::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  RunSetup s;
  s.config_dir = cfg.string();
  EXPECT_FALSE(DemoPlaysKeptGame(s));
  ::umask(old_umask);
}

TEST(Watch, TheOptionsFormsOkWritesTheDemonstrationSettingAndCancelDoesNot) {
  Folder dir;
  Host h(dir.path());
  // A folder that does not exist yet is made.
  const fs::path file = dir.path() / "config" / "demo.ini";
  h.host.demo_settings_file = file;
  struct Step {
    const char* result;
    const char* text;
    bool kept;          // in force afterwards
    const char* saved;  // the file afterwards ("" : none)
  } steps[] = {
      {"cancel", "demo=1", false, ""},  // Cancel changes nothing
      {"ok", "music=1", false, ""},     // OK without a change writes nothing
      {"ok", "demo=1", true, "kept=1\n"},  {"cancel", "demo=0", true, "kept=1\n"},
      {"ok", "demo=0", false, "kept=0\n"},
  };
  for (const Step& s : steps) {
    h.answers.pending.push_back({"options", s.result, s.text});
    h.host.OptionsDialog({});
    EXPECT_EQ(h.host.demo_kept_game, s.kept) << s.result << " " << s.text;
    EXPECT_EQ(fs::exists(file) ? ReadFile(file) : "", s.saved) << s.result << " " << s.text;
    // What was written reads back as the same setting at the next start.
    EXPECT_EQ(ParseDemoPlaysKeptGame(ReadFile(file)), fs::exists(file) && s.kept);
  }
  EXPECT_TRUE(h.forms.errors.empty());
  EXPECT_TRUE(h.host.notices.empty());
  EXPECT_FALSE(fs::exists(file.string() + ".part"));

  // A file that cannot be written is said; the setting is in force for this run.
  h.host.demo_settings_file = dir.path() / "game.dat" / "demo.ini";
  std::ofstream(dir.path() / "game.dat") << "x";  // a file where the folder would be
  h.answers.pending.push_back({"options", "ok", "demo=1"});
  h.host.OptionsDialog({});
  EXPECT_TRUE(h.host.demo_kept_game);
  ASSERT_EQ(h.host.notices.size(), 1u);
  EXPECT_NE(h.host.notices[0].find("demonstration setting"), std::string::npos);
}

TEST(Watch, TheIdleDemonstrationShowsTheBestKeptGameInTheWindowWhenSet) {
  Folder dir;
  Host h(dir.path());
  std::vector<std::string> shown;
  KeptGameShow outcome;
  outcome.started = outcome.shown = true;
  h.host.show_kept_game = [&](const std::string& file) {
    shown.push_back(file);
    return outcome;
  };
  // Off: the computer plays.
  Keep(dir.path(), 1000, "Anna", 500);
  const std::string best = Keep(dir.path(), 1000, "Bo", 900);
  EXPECT_FALSE(h.host.KeptDemonstration());
  EXPECT_TRUE(shown.empty());

  // On: the best kept game is shown in this window, every idle minute; no
  // process is started for it.
  h.host.demo_kept_game = true;
  EXPECT_TRUE(h.host.KeptDemonstration());
  EXPECT_TRUE(h.host.KeptDemonstration());
  EXPECT_EQ(shown, (std::vector<std::string>{best, best}));
  EXPECT_TRUE(h.started.empty());

  // One that diverged ended its demonstration early; from then on the
  // computer plays, and nothing is said to the player.
  outcome.diverged = true;
  EXPECT_TRUE(h.host.KeptDemonstration());
  EXPECT_FALSE(h.host.KeptDemonstration());
  EXPECT_EQ(shown.size(), 3u);

  // One that cannot be read leaves the demonstration to the computer at once.
  const std::string newer = Keep(dir.path(), 2000, "Cy", 900);
  outcome = KeptGameShow{};
  EXPECT_FALSE(h.host.KeptDemonstration());
  EXPECT_FALSE(h.host.KeptDemonstration());
  EXPECT_EQ(shown, (std::vector<std::string>{best, best, best, newer}));
  EXPECT_TRUE(h.host.notices.empty());
}

TEST(Watch, WithNoKeptGameTheComputerPlaysTheDemonstration) {
  Folder dir;
  Host h(dir.path());
  int shows = 0;
  h.host.show_kept_game = [&](const std::string&) {
    ++shows;
    KeptGameShow s;
    s.started = true;
    return s;
  };
  h.host.demo_kept_game = true;
  EXPECT_FALSE(h.host.KeptDemonstration());
  // No kept-games folder (a run that keeps none), or no window to show it in.
  Keep(dir.path(), 1000, "Bo", 900);
  h.host.kept_games_folder.clear();
  EXPECT_FALSE(h.host.KeptDemonstration());
  h.host.kept_games_folder = dir.path().string();
  auto show = std::move(h.host.show_kept_game);
  h.host.show_kept_game = nullptr;
  EXPECT_FALSE(h.host.KeptDemonstration());
  EXPECT_EQ(shows, 0);
  h.host.show_kept_game = std::move(show);
  EXPECT_TRUE(h.host.KeptDemonstration());
  EXPECT_EQ(shows, 1);
}

TEST(Watch, StartDetachedRunsTheProgramWithoutWaitingAndSaysWhenItCannot) {
  Folder dir;
  const fs::path mark = dir.path() / "mark";
  std::string error;
  const auto t0 = std::chrono::steady_clock::now();
  // The program outlives the call: it writes its mark a moment later.
  const int pid =
      StartDetached({"/bin/sh", "-c", "sleep 0.3; echo $$ $PPID > \"$0.tmp\"; mv \"$0.tmp\" \"$0\"",
                     mark.string()},
                    error);
  ASSERT_GT(pid, 0) << error;
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250));
  EXPECT_FALSE(fs::exists(mark));
  std::string self, parent;
  for (int i = 0; i < 100 && parent.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream(mark) >> self >> parent;
  }
  // The process id returned is the program's, and it is not this process's
  // child: nothing here has to wait for it.
  EXPECT_EQ(self, std::to_string(pid));
  EXPECT_FALSE(parent.empty());
  EXPECT_NE(parent, std::to_string(::getpid()));

  EXPECT_EQ(StartDetached({(dir.path() / "no-such-program").string()}, error), -1);
  EXPECT_NE(error.find("cannot start"), std::string::npos) << error;
  EXPECT_EQ(StartDetached({}, error), -1);
}

}  // namespace
}  // namespace app
