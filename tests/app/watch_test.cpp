// The Watch buttons of the high-score table: which rows have a kept game,
// what the button starts, and the process it starts on its own.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/front_end.h"
#include "replay/kept_games.h"
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
      return start_ok;
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
  h.host.HighScoreDialog(false, 0);
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
    h.host.HighScoreDialog(false, 0);
  }
  EXPECT_TRUE(h.started.empty());
  EXPECT_EQ(h.forms.errors.size(), 5u);

  // Without a kept-games folder (a run that keeps none) no row has a button.
  h.host.kept_games_folder.clear();
  h.forms.errors.clear();
  h.answers.pending.push_back({"highscore", "watch", "1"});
  h.host.HighScoreDialog(false, 0);
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
  h.host.HighScoreDialog(false, 0);
  ASSERT_EQ(h.host.notices.size(), 1u);
  EXPECT_NE(h.host.notices[0].find("refused"), std::string::npos) << h.host.notices[0];
}

TEST(Watch, StartDetachedRunsTheProgramWithoutWaitingAndSaysWhenItCannot) {
  Folder dir;
  const fs::path mark = dir.path() / "mark";
  std::string error;
  const auto t0 = std::chrono::steady_clock::now();
  // The program outlives the call: it writes its mark a moment later.
  ASSERT_TRUE(
      StartDetached({"/bin/sh", "-c", "sleep 0.3; echo $PPID > \"$0\"", mark.string()}, error))
      << error;
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250));
  EXPECT_FALSE(fs::exists(mark));
  std::string parent;
  for (int i = 0; i < 100 && parent.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream(mark) >> parent;
  }
  // Not this process's child: nothing here has to wait for it.
  EXPECT_NE(parent, std::to_string(::getpid()));
  EXPECT_FALSE(parent.empty());

  EXPECT_FALSE(StartDetached({(dir.path() / "no-such-program").string()}, error));
  EXPECT_NE(error.find("cannot start"), std::string::npos) << error;
  EXPECT_FALSE(StartDetached({}, error));
}

}  // namespace
}  // namespace app
