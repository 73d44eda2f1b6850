#include "app/replay_hook.h"

#include <bit>
#include <charconv>
#include <ctime>
#include <string_view>
#include <system_error>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "physics/tuning_file.h"

#ifndef GFALL_VERSION
#define GFALL_VERSION "unknown"
#endif

namespace app {

namespace {

// The game's clock with every reading made inside a frame recorded (what
// the driver reads between frames is its own business).
class RecordingClock final : public Clock {
 public:
  RecordingClock(std::unique_ptr<Clock> inner, replay::RecordSession& session, const bool& in_frame)
      : inner_(std::move(inner)), session_(session), in_frame_(in_frame) {}
  double Now() override {
    const double now = inner_->Now();
    return in_frame_ ? session_.Reading(now) : now;
  }
  void Sleep(double ms) override { inner_->Sleep(ms); }

 private:
  std::unique_ptr<Clock> inner_;
  replay::RecordSession& session_;
  const bool& in_frame_;
};

}  // namespace

// The recorded readings in place of a clock; between frames it stays at the
// last reading. With a pace clock the replay waits until as much real time
// has passed (times the speed) as the recording says; without one it runs as
// fast as it can.
class ReplayClock final : public Clock {
 public:
  ReplayClock(replay::ReplaySession& session, std::unique_ptr<Clock> pace, const bool& in_frame,
              std::unique_ptr<Clock> replaced)
      : session_(session),
        pace_(std::move(pace)),
        in_frame_(in_frame),
        replaced_(std::move(replaced)) {}
  double Now() override {
    if (!in_frame_) return last_reading_;
    const double reading = session_.Reading();
    if (pace_) Keep(reading);
    last_reading_ = reading;
    return reading;
  }
  void Sleep(double) override {}

  double speed = 1.0;

  // Keeps time from the last reading on (after a pause or a speed change).
  void Rebase() {
    if (!pace_ || !started_) return;
    base_reading_ = last_reading_;
    base_real_ = pace_->Now();
  }

 private:
  void Keep(double reading) {
    if (!started_) {
      started_ = true;
      base_reading_ = last_reading_ = reading;
      base_real_ = pace_->Now();
      return;
    }
    const double due = base_real_ + (reading - base_reading_) / speed;
    const double wait = due - pace_->Now();
    if (wait > 0.0 && wait < 1000.0) pace_->Sleep(wait);
  }

  replay::ReplaySession& session_;
  std::unique_ptr<Clock> pace_;
  const bool& in_frame_;
  std::unique_ptr<Clock> replaced_;  // the driver may still hold on to it
  bool started_ = false;
  double base_reading_ = 0.0, base_real_ = 0.0, last_reading_ = 0.0;
};

LoopInputs LoopInputsOf(const Game& g) {
  LoopInputs in;
  for (int a = 0; a < core::kActionCount; ++a) in.actions[a] = g.actions[a] ? 1 : 0;
  in.values = {g.flags.app_active,       g.flags.system_menu_open,  g.flags.loading_phase,
               g.flags.title_shown,      g.flags.main_menu_shown,   g.flags.pause_menu_shown,
               g.flags.computer_playing, g.frame.present_succeeded, g.frame.pause_hold_frames};
  in.times = {g.frame.now, g.frame.previous_frame_time, g.frame.next_step_time, g.frame.frame_time,
              g.frame.step_debt};
  return in;
}

namespace {

void SetLoopInput(Game& g, int which, int32_t v) {
  switch (which) {
    case kLoopAppActive:
      g.flags.app_active = v;
      break;
    case kLoopSystemMenu:
      g.flags.system_menu_open = v;
      break;
    case kLoopLoading:
      g.flags.loading_phase = v;
      break;
    case kLoopTitle:
      g.flags.title_shown = v;
      break;
    case kLoopMainMenu:
      g.flags.main_menu_shown = v;
      break;
    case kLoopPauseMenu:
      g.flags.pause_menu_shown = v;
      break;
    case kLoopComputer:
      g.flags.computer_playing = v;
      break;
    case kLoopPresentOk:
      g.frame.present_succeeded = v;
      break;
    case kLoopPauseHold:
      g.frame.pause_hold_frames = v;
      break;
    default:
      break;
  }
}

void SetLoopTime(Game& g, int which, double v) {
  switch (which) {
    case kTimeNow:
      g.frame.now = v;
      break;
    case kTimePrevious:
      g.frame.previous_frame_time = v;
      break;
    case kTimeNextStep:
      g.frame.next_step_time = v;
      break;
    case kTimeFrame:
      g.frame.frame_time = v;
      break;
    case kTimeStepDebt:
      g.frame.step_debt = v;
      break;
    default:
      break;
  }
}

bool SameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

int32_t ActionMask(const LoopInputs& in) {
  int32_t mask = 0;
  for (int a = 0; a < core::kActionCount; ++a) mask |= in.actions[a] << a;
  return mask;
}

}  // namespace

replay::GameStateView StateView(const Game& g) {
  return {g.world, g.rules, g.flow.state, g.random, &g.nudge};
}

replay::Limits RecordingLimits() {
  replay::Limits l;
  l.max_readings_per_frame = static_cast<uint32_t>(kEarlyWaitLimit) + 16;
  l.loop_inputs.assign(kLoopInputs, {0, 1});
  // Counts down through idle frames from the pause menu's 10.
  l.loop_inputs[kLoopPauseHold] = {-(1 << 30), 10};
  const double max = l.max_clock_ms;
  l.loop_times.resize(kLoopTimes);
  l.loop_times[kTimeNow] = {0.0, max};
  l.loop_times[kTimePrevious] = {-kLagCapMs, max};
  l.loop_times[kTimeNextStep] = {-kLagCapMs, max + kLagCapMs};
  l.loop_times[kTimeFrame] = {0.0, kLagCapMs};
  l.loop_times[kTimeStepDebt] = {-(max + kLagCapMs), kLagCapMs};
  return l;
}

bool PackHash(const std::string& pack_path, uint64_t& hash, std::string& error) {
  hash = 0;
  if (pack_path.empty()) return true;
  return replay::HashFile(pack_path, hash, error);
}

bool ReplayHook::StartRecording(Game& g, const RecordingSetup& s, const std::string& path,
                                std::string& error) {
  replay::Header h;
  h.program_version = GFALL_VERSION;
  if (!PackHash(s.pack_path, h.pack_hash, error)) return false;
  h.tuning_hash = replay::TuningHash(g.world);
  h.players = g.rules.players.last_index + 1;
  h.seed = s.seed;
  h.display_width = s.width;
  h.display_height = s.height;
  h.display_mode = s.display_mode;
  h.run_mode = s.run_mode;
  h.started_unix = static_cast<int64_t>(std::time(nullptr));
  if (s.computer) h.settings.emplace_back("computer", "1");
  if (s.test_table) h.settings.emplace_back("test-table", "1");
  if (!s.start.empty()) h.settings.emplace_back("start", s.start);
  if (s.width) h.settings.emplace_back("width", std::to_string(s.width));
  if (!s.player.empty()) h.settings.emplace_back("player", s.player);
  // The random state where the frames begin (a start may already have drawn).
  h.settings.emplace_back("random", std::to_string(g.random.state));
  record_ = replay::RecordSession::ToFile(path, h, error);
  if (!record_) return false;
  g.clock = std::make_unique<RecordingClock>(std::move(g.clock), *record_, in_frame_);
  // The first frame records every input as it stands.
  last_ = LoopInputsOf(g);
  record_->Event(replay::InputEvent::Actions(ActionMask(last_)));
  for (int i = 0; i < kLoopInputs; ++i) {
    record_->Event(replay::InputEvent::LoopState(i, last_.values[i]));
  }
  for (int i = 0; i < kLoopTimes; ++i) {
    record_->Event(replay::InputEvent::LoopTime(i, last_.times[i]));
  }
  return true;
}

bool ReplayHook::StartReplay(Game& g, const replay::Recording& rec, const std::string& pack_path,
                             std::string& error, std::unique_ptr<Clock> pace) {
  if (const auto problem = replay::Validate(rec, RecordingLimits())) {
    error = "refused: " + problem->Line();
    return false;
  }
  uint64_t pack = 0;
  if (!PackHash(pack_path, pack, error)) return false;
  if (auto why = replay::Incompatibility(rec.header, pack, replay::TuningHash(g.world))) {
    error = *why;
    return false;
  }
  const std::string_view random = rec.header.Setting("random");
  uint32_t state = 0;
  if (std::from_chars(random.data(), random.data() + random.size(), state).ec == std::errc()) {
    g.random.state = state;
  }
  play_ = std::make_unique<replay::ReplaySession>(rec);
  auto clock =
      std::make_unique<ReplayClock>(*play_, std::move(pace), in_frame_, std::move(g.clock));
  replay_clock_ = clock.get();
  g.clock = std::move(clock);
  return true;
}

void ReplayHook::NoteChanges(const Game& g) {
  const LoopInputs now = LoopInputsOf(g);
  if (now.actions != last_.actions) record_->Event(replay::InputEvent::Actions(ActionMask(now)));
  for (int i = 0; i < kLoopInputs; ++i) {
    if (now.values[i] != last_.values[i]) {
      record_->Event(replay::InputEvent::LoopState(i, now.values[i]));
    }
  }
  for (int i = 0; i < kLoopTimes; ++i) {
    if (!SameBits(now.times[i], last_.times[i])) {
      record_->Event(replay::InputEvent::LoopTime(i, now.times[i]));
    }
  }
  last_ = now;
}

void ReplayHook::Command(const Game& g, int command, int arg) {
  if (!record_) return;
  // What changed before the command is set before it when replayed.
  NoteChanges(g);
  record_->Event(replay::InputEvent::Command(command, arg));
}

bool ReplayHook::BeforeFrame(Game& g) {
  if (record_) {
    NoteChanges(g);
    in_frame_ = true;
    return true;
  }
  if (play_) {
    if (!play_->BeginFrame()) return false;
    in_frame_ = true;
    for (const replay::InputEvent& e : play_->Events()) {
      if (e.kind == replay::EventKind::kActions) {
        replay_actions_ = e.a;
      } else if (e.kind == replay::EventKind::kLoopState) {
        SetLoopInput(g, e.a, e.b);
      } else if (e.kind == replay::EventKind::kLoopTime) {
        SetLoopTime(g, e.a, e.time);
      } else if (e.kind == replay::EventKind::kCommand) {
        RunGameCommand(g, e.a, e.b);
      }
    }
    // Held until the recording changes them, whatever the devices say.
    for (int a = 0; a < core::kActionCount; ++a) g.actions[a] = (replay_actions_ >> a) & 1;
  }
  return true;
}

void ReplayHook::AfterFrame(Game& g) {
  in_frame_ = false;
  if (record_) {
    record_->EndFrame(StateView(g));
    last_ = LoopInputsOf(g);
  } else if (play_) {
    play_->EndFrame(StateView(g));
  }
}

void ReplayHook::Finish(Game& g) {
  if (finished_) return;
  finished_ = true;
  if (record_) record_->Finish(StateView(g));
  if (play_) play_->Finish(StateView(g));
}

void ReplayHook::SetSpeed(double factor) {
  if (!replay_clock_ || !(factor > 0.0)) return;
  replay_clock_->Rebase();
  replay_clock_->speed = factor;
}

void ReplayHook::SetPaused(bool paused) {
  if (paused_ && !paused && replay_clock_) replay_clock_->Rebase();
  paused_ = paused;
}

double ReplayHook::speed() const { return replay_clock_ ? replay_clock_->speed : 1.0; }

}  // namespace app
