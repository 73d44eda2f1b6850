#pragma once
// --record and --replay in a run: the replay's setup from the recording's
// header, and what the recording's header says about a run.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/game.h"
#include "app/options.h"
#include "app/replay_hook.h"
#include "app/run_setup.h"
#include "replay/recording.h"
#include "store/game_data.h"

namespace app {

// Reads the recording of --replay / --replay-partial and sets the run up as
// its header says: headless on the recorded clock, the same table, seed,
// players and start. Returns 0 to go on, or the exit status after saying why
// on err (1: not readable, or damaged without --replay-partial).
int SetUpReplay(const Options& o, RunSetup& s, std::FILE* err);

// What a run's recording says in its header.
RecordingSetup RecordingSetupOf(const RunSetup& s, const Game& g);

// The window records every run into the kept-games folder (the game data
// folder's "replays"): the file to record into, or empty when there is no
// usable folder.
std::string KeptRecordingPath(const RunSetup& s);
// The start of the command that shows a kept game in a window of its own
// (the Watch button adds "--replay FILE --window"): this program with the
// run's table and game data folders. Empty when the program cannot be found.
std::vector<std::string> WatchCommand(const RunSetup& s);
// The demonstration setting: a small file of its own, demo.ini ("kept=1"
// makes the idle demonstration show the best kept game instead of the
// computer playing). DIR/demo.ini with --config-dir DIR, else gfall/demo.ini
// under XDG_CONFIG_HOME (when absolute) or ~/.config; empty without a home.
std::filesystem::path DemoSettingsPathFrom(std::string_view config_dir, const char* xdg_config_home,
                                           const char* home);
// "key=value" lines; anything else, or a missing file, means off.
bool ParseDemoPlaysKeptGame(std::string_view text);
// The setting for this run (its file read once).
bool DemoPlaysKeptGame(const RunSetup& s);
// The setting's file for this run (empty without a home).
std::filesystem::path DemoSettingsPath(const RunSetup& s);
// Writes the setting (the Options form's OK), making its folder; false with
// the reason when it cannot. The file is replaced whole, never left half written.
bool WriteDemoSettings(const std::filesystem::path& file, bool kept, std::string& error);
// The games that ended in a recording, in order: the checkpoint of each
// game's end, the frame after which the game began (the end of the game
// before it; −1 for the first) and whether the computer played any of it
// (its idle demonstrations are games too, but no one's score).
struct EndedGame {
  size_t checkpoint = 0;
  int64_t after_frame = -1;
  bool computer = false;
};
std::vector<EndedGame> EndedGames(const replay::Recording& r);

// The best score at the end of a game a person played, the game and whose
// score it was; score −1 when no such game ended.
struct BestGame {
  EndedGame game;
  size_t player = 0;
  int32_t score = -1;
};
BestGame BestPersonsGame(const replay::Recording& r);

// After such a run: the recording is named by date, player and best score
// of a game a person played (marked when that score is in the high-score
// table) or removed when no such game ended in it; then the folder is pruned to the last 20 and the
// games still in the high-score table.
void KeepRecording(const std::string& path, const store::GameData& data);

// The keys of a replay in a window: Space pauses and resumes, F plays
// faster (up to 16 times), S slower (down to a quarter), R real time again.
void ReplayKey(ReplayHook& hook, int scan_code);

// Recordings left in the folder by a run that ended without keeping them (a
// crash): each is kept as KeepRecording does, or removed.
void KeepLeftRecordings(const std::string& folder, const store::GameData& data);

// At the end of a replay: says how it went (on out when every checkpoint
// matched, on err otherwise) and returns the exit status: 0 matched, 3
// diverged.
int ReplayVerdict(const RunSetup& s, const ReplayHook& hook, std::FILE* out, std::FILE* err);

}  // namespace app
