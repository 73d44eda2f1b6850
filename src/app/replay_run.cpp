#include "app/replay_run.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "core/file_io.h"
#include "replay/kept_games.h"
#include "replay/reader.h"

namespace app {

namespace {

int SettingInt(const replay::Header& h, std::string_view name, int fallback) {
  const std::string_view v = h.Setting(name);
  int out = fallback;
  if (std::from_chars(v.data(), v.data() + v.size(), out).ec != std::errc()) return fallback;
  return out;
}

}  // namespace

int SetUpReplay(const Options& o, RunSetup& s, std::FILE* err) {
  replay::ReadResult read = replay::ReadRecordingFile(o.replay_file);
  if (!read.playable() || (!read.complete() && !o.replay_partial)) {
    std::fprintf(err, "gfall: %s: %s%s\n", o.replay_file.c_str(), read.error.c_str(),
                 read.playable() ? " (--replay-partial plays what was readable)" : "");
    return 1;
  }
  if (const auto problem = replay::Validate(read.recording, RecordingLimits())) {
    std::fprintf(err, "gfall: %s: refused: %s\n", o.replay_file.c_str(), problem->Line().c_str());
    return 1;
  }
  const replay::Header& h = read.recording.header;
  if (o.window && h.Setting("test-table") == "1") {
    std::fprintf(err, "gfall: %s: a game on the built-in test table replays headless only\n",
                 o.replay_file.c_str());
    return 1;
  }
  // Headless as fast as it runs, or in a window at real speed.
  s.display = o.window ? DisplayKind::kWindow : DisplayKind::kNone;
  s.fullscreen = o.fullscreen;
  s.fullscreen_chosen = o.window;
  s.menus = false;
  s.virtual_clock = !o.window;
  s.test_table = h.Setting("test-table") == "1";
  s.demo = h.Setting("start") == "demo";
  s.players = h.players;
  s.seed = h.seed;
  s.width = o.width ? o.width : SettingInt(h, "width", 0);
  s.depth = o.depth;
  // Every recorded frame, no more.
  s.frames = static_cast<int64_t>(read.recording.frames.size());
  s.until_game_over = false;
  s.input_file.clear();
  s.record_file.clear();
  s.replay_file = o.replay_file;
  if (!read.complete()) s.replay_problem = read.error;
  s.replay = std::make_shared<const replay::Recording>(std::move(read.recording));
  return 0;
}

RecordingSetup RecordingSetupOf(const RunSetup& s, const Game& g) {
  RecordingSetup r;
  if (!s.test_table) r.pack_path = (std::filesystem::path(s.data_dir) / "GFALL.DAT").string();
  r.run_mode = s.display == DisplayKind::kWindow ? (s.menus ? "window" : "play")
                                                 : (s.menus ? "headless menus" : "headless");
  r.display_mode = s.display == DisplayKind::kNone        ? "none"
                   : s.display == DisplayKind::kOffscreen ? "offscreen"
                   : s.fullscreen                         ? "full screen"
                                                          : "window";
  r.width = s.width;
  r.height = s.width == 640 ? 480 : s.width == 800 ? 600 : s.width == 1024 ? 768 : 0;
  r.seed = s.seed;
  r.computer = g.flags.computer_playing != 0;
  r.test_table = s.test_table;
  r.start = s.menus ? "menus" : (s.demo ? "demo" : "play");
  return r;
}

std::string KeptRecordingPath(const RunSetup& s) {
  const std::filesystem::path data = store::GameDataFolder(s.config_dir);
  if (data.empty()) return {};
  const std::filesystem::path folder = data / "replays";
  std::string error;
  if (!core::CreatePrivateFolders(folder, error)) return {};
  return (folder / ("recording-" + std::to_string(::getpid()) + ".part")).string();
}

std::vector<std::string> WatchCommand(const RunSetup& s) {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  std::vector<std::string> args = {exe.string(), "--data",
                                   std::filesystem::absolute(s.data_dir, ec).string()};
  if (!s.config_dir.empty()) {
    args.insert(args.end(), {"--config-dir", std::filesystem::absolute(s.config_dir, ec).string()});
  }
  return args;
}

std::filesystem::path DemoSettingsPathFrom(std::string_view config_dir, const char* xdg_config_home,
                                           const char* home) {
  namespace fs = std::filesystem;
  if (!config_dir.empty()) return fs::path(config_dir) / "demo.ini";
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') {
    return fs::path(xdg_config_home) / "gfall" / "demo.ini";
  }
  if (home != nullptr && home[0] != '\0') return fs::path(home) / ".config" / "gfall" / "demo.ini";
  return {};
}

bool ParseDemoPlaysKeptGame(std::string_view text) {
  bool kept = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    auto trim = [](std::string_view v) {
      while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
      while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) {
        v.remove_suffix(1);
      }
      return v;
    };
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (trim(line.substr(0, eq)) != "kept") continue;
    const std::string_view value = trim(line.substr(eq + 1));
    if (value == "1" || value == "yes" || value == "true" || value == "on") kept = true;
    if (value == "0" || value == "no" || value == "false" || value == "off") kept = false;
  }
  return kept;
}

std::filesystem::path DemoSettingsPath(const RunSetup& s) {
  return DemoSettingsPathFrom(s.config_dir, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

bool DemoPlaysKeptGame(const RunSetup& s) {
  const std::filesystem::path file = DemoSettingsPath(s);
  if (file.empty()) return false;
  std::string text, why;
  if (!core::ReadRegularTextFile(file, 4096, text, why)) return false;
  return ParseDemoPlaysKeptGame(text);
}

bool WriteDemoSettings(const std::filesystem::path& file, bool kept, std::string& error) {
  if (file.empty()) {
    error = "there is no settings folder (no home folder)";
    return false;
  }
  if (file.has_parent_path() && !core::CreatePrivateFolders(file.parent_path(), error)) {
    return false;
  }
  const std::string text = std::string("kept=") + (kept ? "1" : "0") + "\n";
  std::string why;
  if (core::WriteFileSafely(
          file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), why)) {
    return true;
  }
  error = "cannot write " + file.string() + ": " + why;
  return false;
}

std::vector<EndedGame> EndedGames(const replay::Recording& r) {
  std::vector<EndedGame> games;
  bool computer = r.header.Setting("computer") == "1";
  bool computer_played = false;  // since the last game's end
  size_t next = 0;               // the next checkpoint
  int64_t last_end = -1;
  for (size_t f = 0; f < r.frames.size() && next < r.checkpoints.size(); ++f) {
    // What the frame began with: a change the frame itself makes (the
    // computer leaving at its game's end) shows in the next frame's events.
    for (const replay::InputEvent& e : r.EventsOf(r.frames[f])) {
      if (e.kind == replay::EventKind::kLoopState && e.a == kLoopComputer) computer = e.b != 0;
    }
    computer_played = computer_played || computer;
    for (; next < r.checkpoints.size() && r.checkpoints[next].frame == f; ++next) {
      if (r.checkpoints[next].kind != replay::CheckKind::kGameEnd) continue;
      games.push_back({next, last_end, computer_played});
      last_end = static_cast<int64_t>(f);
      computer_played = false;
    }
  }
  return games;
}

BestGame BestPersonsGame(const replay::Recording& r) {
  BestGame best;
  for (const EndedGame& game : EndedGames(r)) {
    if (game.computer) continue;
    const std::vector<int32_t>& scores = r.checkpoints[game.checkpoint].scores;
    for (size_t i = 0; i < scores.size(); ++i) {
      if (scores[i] > best.score) best = {game, i, scores[i]};
    }
  }
  return best;
}

void KeepRecording(const std::string& path, const store::GameData& data) {
  namespace fs = std::filesystem;
  const replay::ReadResult read = replay::ReadRecordingFile(path);
  const BestGame found = BestPersonsGame(read.recording);
  const int32_t best = found.score;
  const size_t player = found.player;
  std::error_code ec;
  if (best < 0 || !read.playable()) {
    fs::remove(path, ec);  // no game was played
    return;
  }
  std::string name = player < data.player_names.size() ? data.player_names[player] : "";
  bool high = false;
  for (const store::HighScoreEntry& row : data.high_scores) {
    if (best > 0 && row.score == best) {
      high = true;
      name = row.name;
      break;
    }
  }
  const fs::path folder = fs::path(path).parent_path();
  fs::rename(
      path, folder / replay::KeptGameFileName(read.recording.header.started_unix, name, best, high),
      ec);
  replay::PruneKeptGames(folder.string(), replay::kKeptGames, [&data](const replay::KeptGame& g) {
    for (const store::HighScoreEntry& row : data.high_scores) {
      if (row.score == g.score && replay::FileNamePlayer(row.name) == g.player) return true;
    }
    return false;
  });
}

void ReplayKey(ReplayHook& hook, int scan_code) {
  constexpr int kSpace = 0x39, kF = 0x21, kS = 0x1F, kR = 0x13;
  switch (scan_code) {
    case kSpace:
      hook.SetPaused(!hook.paused());
      break;
    case kF:
      hook.SetSpeed(std::min(16.0, hook.speed() * 2.0));
      break;
    case kS:
      hook.SetSpeed(std::max(0.25, hook.speed() / 2.0));
      break;
    case kR:
      hook.SetSpeed(1.0);
      break;
    default:
      break;
  }
}

void KeepLeftRecordings(const std::string& folder, const store::GameData& data) {
  namespace fs = std::filesystem;
  std::vector<std::string> left;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with("recording-") || !name.ends_with(".part")) continue;
    const std::string digits = name.substr(10, name.size() - 15);
    int pid = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), pid).ec != std::errc() ||
        pid <= 0) {
      continue;
    }
    // Still being written by a running copy.
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    left.push_back(it->path().string());
  }
  for (const std::string& path : left) KeepRecording(path, data);
}

int ReplayVerdict(const RunSetup& s, const ReplayHook& hook, std::FILE* out, std::FILE* err) {
  const replay::Checker* c = hook.checker();
  if (!c) return 0;
  if (c->diverged()) {
    std::fprintf(err, "gfall: %s: %s\n", s.replay_file.c_str(), c->divergence().c_str());
    return 3;
  }
  std::fprintf(out, "%s: %u frames replayed, every checkpoint matched (%u)%s%s\n",
               s.replay_file.c_str(), c->frame() + 1, c->checkpoints_matched(),
               s.replay_problem.empty() ? "" : "; the recording was ",
               s.replay_problem.empty() ? "" : s.replay_problem.c_str());
  return 0;
}

}  // namespace app
