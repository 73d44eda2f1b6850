// What the player is told when the game data file cannot be kept: failed
// saves, a folder that cannot be written, a damaged file kept aside.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/front_end.h"
#include "store/game_data.h"

namespace app {
namespace {

class Folder {
 public:
  Folder() {
    std::string pattern =
        (std::filesystem::path(testing::TempDir()) / "gfall_saving_XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void Write(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// A front-end host over scripted forms, its messages to the player captured.
struct Host {
  explicit Host(std::filesystem::path file)
      : g(std::make_unique<FakeClock>()),
        forms(answers, {}),
        host(g, data, std::move(file), forms, screen, input, modes) {
    err = open_memstream(&err_text, &err_size);
    host.err = err;
  }
  ~Host() {
    std::fclose(err);
    std::free(err_text);
  }
  std::string Err() {
    std::fflush(err);
    return std::string(err_text, err_size);
  }

  Game g;
  store::GameData data;
  ui::ScriptedAnswers answers;
  ScriptedForms forms;
  FrontEndScreen screen;
  FrontEndInput input;
  render::ModeTable modes;
  FrontEndHost host;
  std::FILE* err = nullptr;
  char* err_text = nullptr;
  size_t err_size = 0;
};

TEST(Saving, AFailedSaveIsSaidInTheWindowAndOnStderrAndTheGameGoesOn) {
  Folder dir;
  Write(dir.path() / "blocker", {1});
  Host h(store::GameDataPath(dir.path() / "blocker"));  // a folder that is a file

  h.host.SaveGameData();
  EXPECT_EQ(h.host.saves, 0);
  ASSERT_EQ(h.host.notices.size(), 1u);
  EXPECT_NE(h.host.notices[0].find("could not be saved"), std::string::npos);
  EXPECT_NE(h.host.notices[0].find("Not a directory"), std::string::npos) << h.host.notices[0];
  EXPECT_EQ(h.answers.log, std::vector<std::string>{"notice ok"});  // shown in the window
  EXPECT_EQ(h.Err(), "gfall: " + h.host.notices[0] + "\n");

  // A new high score that cannot be saved is said too, and stays in the table.
  h.g.rules.players.records[0].score = 5000;
  h.host.HighScoreDialog(true, 0, {});
  ASSERT_EQ(h.host.notices.size(), 2u);
  EXPECT_NE(h.host.notices[1].find("new high score could not be saved"), std::string::npos);
  EXPECT_EQ(h.data.high_scores[0].score, 5000);
}

TEST(Saving, WithSavingOffNothingIsWrittenAndNothingMoreIsSaid) {
  Folder dir;
  const auto file = store::GameDataPath(dir.path());
  Host h(file);
  h.host.saving = false;
  h.host.SaveGameData();
  h.g.rules.players.records[0].score = 5000;
  h.host.HighScoreDialog(true, 0, {});
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(h.host.notices.empty());
  EXPECT_EQ(h.data.high_scores[0].score, 5000);
}

TEST(Saving, StartFindsWhatToSay) {
  core::Random15 random{1};
  const store::IdentitySource id{1700000000u, &random};
  struct Case {
    const char* what;
    std::function<std::filesystem::path(const std::filesystem::path&)> setup;  // gives the file
    bool saving;
    const char* said;  // empty: nothing said
  };
  const std::vector<Case> cases = {
      {"no file yet", [](const auto& d) { return store::GameDataPath(d); }, true, ""},
      {"folder cannot be made",
       [](const auto& d) {
         Write(d / "blocker", {1});
         return store::GameDataPath(d / "blocker" / "gfall");
       },
       false, "cannot be written"},
      {"the file is a folder",
       [](const auto& d) {
         std::filesystem::create_directory(store::GameDataPath(d));
         return store::GameDataPath(d);
       },
       false, "is a folder"},
      {"damaged file",
       [](const auto& d) {
         store::GameData g;
         store::InsertScore(g.high_scores, 900, "Ada");
         auto bytes = store::SerialiseGameData(g);
         bytes.resize(1000);
         Write(store::GameDataPath(d), bytes);
         return store::GameDataPath(d);
       },
       true, "KEPB_GF.DAT was damaged"},
      {"stale temporary files",
       [](const auto& d) {
         Write(d / "KEPB_GF.DAT.Ab12Cd", {1});
         Write(d / "KEPB_GF.DAT.x9Y8z7", {1});
         return store::GameDataPath(d);
       },
       true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Folder dir;
    const auto file = c.setup(dir.path());
    store::GameData data;
    const GameDataStart start = OpenGameData(file, data, id);
    EXPECT_EQ(start.saving, c.saving);
    if (*c.said == '\0') {
      EXPECT_TRUE(start.notices.empty()) << start.notices[0];
    } else {
      ASSERT_EQ(start.notices.size(), 1u);
      EXPECT_NE(start.notices[0].find(c.said), std::string::npos) << start.notices[0];
    }
    // Only the file itself, and a damaged copy when there was one, are left.
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      EXPECT_TRUE(name == "KEPB_GF.DAT" || name == "blocker" ||
                  name.starts_with("KEPB_GF.DAT.damaged-"))
          << name;
    }
  }
}

TEST(Saving, AScoreServerAddressThatCannotBeUsedIsSaidAtStart) {
  core::Random15 random{1};
  const store::IdentitySource id{1700000000u, &random};
  Folder dir;
  store::GameData data;
  setenv("GFALL_SCORE_SERVER", "ftp://scores.example", 1);
  const GameDataStart bad = OpenGameData(store::GameDataPath(dir.path()), data, id);
  setenv("GFALL_SCORE_SERVER", "https://scores.example", 1);
  const GameDataStart good = OpenGameData(store::GameDataPath(dir.path()), data, id);
  unsetenv("GFALL_SCORE_SERVER");
  ASSERT_EQ(bad.notices.size(), 1u);
  EXPECT_NE(bad.notices[0].find("GFALL_SCORE_SERVER is not an http or https address"),
            std::string::npos);
  EXPECT_TRUE(good.notices.empty());
}

}  // namespace
}  // namespace app
