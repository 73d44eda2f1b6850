// A shared recording from reading to the end of its replay: the bytes are
// read, checked (replay::Validate) and, when accepted, replayed headless on
// the built-in test table, as `gfall --replay` does.
//
// The mutator knows the format: it reads the input, changes one thing in the
// recording (a clock reading, an event, a count, a checkpoint, a setting)
// toward the values a forger would try, and writes it back with every check
// right, so the changes reach the validation and the game instead of
// stopping at a checksum. Now and then it changes raw bytes instead.
//
// Seeds: fuzz/seeds/replay_game (small recordings of the test table).

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <span>
#include <vector>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "app/replay_hook.h"
#include "replay/reader.h"
#include "replay/validate.h"
#include "replay/writer.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

// Frames replayed at most per input, so that one input stays quick.
constexpr size_t kMaxFrames = 4000;

std::vector<uint8_t> Encode(const replay::Recording& r) {
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
  return mem->bytes();
}

// A recording as per-frame lists, easier to change than the flat arrays.
struct Plain {
  replay::Header header;
  std::vector<std::vector<double>> readings;
  std::vector<std::vector<replay::InputEvent>> events;
  std::vector<replay::Checkpoint> checkpoints;
  bool finished = false;

  explicit Plain(const replay::Recording& r)
      : header(r.header), checkpoints(r.checkpoints), finished(r.finished) {
    for (const replay::Frame& f : r.frames) {
      const auto rs = r.ReadingsOf(f);
      const auto es = r.EventsOf(f);
      readings.emplace_back(rs.begin(), rs.end());
      events.emplace_back(es.begin(), es.end());
    }
  }
  replay::Recording Flat() const {
    replay::Recording r;
    r.header = header;
    r.finished = finished;
    for (size_t i = 0; i < readings.size(); ++i) {
      replay::Frame f;
      f.first_reading = static_cast<uint32_t>(r.readings.size());
      f.reading_count = static_cast<uint32_t>(readings[i].size());
      f.first_event = static_cast<uint32_t>(r.events.size());
      f.event_count = static_cast<uint32_t>(events[i].size());
      r.readings.insert(r.readings.end(), readings[i].begin(), readings[i].end());
      r.events.insert(r.events.end(), events[i].begin(), events[i].end());
      r.frames.push_back(f);
    }
    // Checkpoints must name frames that exist, in order, for the writer.
    uint32_t last = 0;
    for (const replay::Checkpoint& c : checkpoints) {
      if (c.frame >= r.frames.size() || c.frame < last) continue;
      last = c.frame;
      r.checkpoints.push_back(c);
    }
    return r;
  }
};

double SpecialDouble(std::mt19937_64& rng, double near) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::array<double, 20> values = {std::numeric_limits<double>::quiet_NaN(),
                                         kInf,
                                         -kInf,
                                         -1.0,
                                         0.0,
                                         -0.0,
                                         1e12,
                                         -1e12,
                                         1e30,
                                         1e300,
                                         4.0e9,
                                         4.0e9 + 1.0,
                                         4294967296.0,
                                         std::numeric_limits<double>::denorm_min(),
                                         near - 1.0,
                                         near - 1e-9,
                                         near + 33.0,
                                         near + 1e6,
                                         near + 6.6,
                                         -33.0};
  const uint64_t pick = rng() % (values.size() + 2);
  if (pick < values.size()) return values[pick];
  if (pick == values.size()) return std::bit_cast<double>(rng());
  return near + static_cast<double>(static_cast<int64_t>(rng() % 200001) - 100000) / 100.0;
}

int32_t SpecialInt(std::mt19937_64& rng) {
  const std::array<int32_t, 16> values = {0,    1,   -1,  2,   9,   10,  11,    13,
                                          -537, 255, 256, 101, 120, 121, 65535, INT32_MIN};
  const uint64_t pick = rng() % (values.size() + 2);
  if (pick < values.size()) return values[pick];
  if (pick == values.size()) return INT32_MAX;
  return static_cast<int32_t>(rng());
}

replay::InputEvent AnyEvent(std::mt19937_64& rng) {
  const int kind = 1 + static_cast<int>(rng() % 7);
  replay::InputEvent e = replay::InputEvent::Make(static_cast<replay::EventKind>(kind),
                                                  static_cast<int32_t>(rng() % 12),
                                                  static_cast<int32_t>(rng() % 3), 0);
  if (e.kind == replay::EventKind::kActions) e.a = static_cast<int32_t>(rng() % 64);
  if (e.kind == replay::EventKind::kCommand) e.a = 101 + static_cast<int32_t>(rng() % 20);
  if (e.kind == replay::EventKind::kLoopTime) e.time = SpecialDouble(rng, 100.0);
  if (e.kind == replay::EventKind::kAnswer) {
    e.dialog = "high score";
    e.result = rng() & 1 ? "ok" : "cancel";
    e.text = std::string(rng() % 40, 'x');
  }
  return e;
}

void MutateOnce(Plain& p, std::mt19937_64& rng) {
  const size_t frames = p.readings.size();
  auto any_frame = [&] { return static_cast<size_t>(rng() % frames); };
  switch (rng() % 10) {
    case 0:
    case 1: {  // a clock reading
      for (int tries = 0; tries < 8; ++tries) {
        auto& rs = p.readings[any_frame()];
        if (rs.empty()) continue;
        double& v = rs[rng() % rs.size()];
        v = SpecialDouble(rng, v);
        return;
      }
      break;
    }
    case 2:
    case 3: {  // a field of an event
      for (int tries = 0; tries < 8; ++tries) {
        auto& es = p.events[any_frame()];
        if (es.empty()) continue;
        replay::InputEvent& e = es[rng() % es.size()];
        switch (rng() % 5) {
          case 0:
            e.a = SpecialInt(rng);
            break;
          case 1:
            e.b = SpecialInt(rng);
            break;
          case 2:
            e.c = SpecialInt(rng);
            break;
          case 3:
            e.time = SpecialDouble(rng, e.time);
            break;
          default:
            e.kind = static_cast<replay::EventKind>(1 + rng() % 7);
        }
        return;
      }
      break;
    }
    case 4:  // a new event
      p.events[any_frame()].push_back(AnyEvent(rng));
      break;
    case 5: {  // readings added or taken away
      auto& rs = p.readings[any_frame()];
      if (!rs.empty() && (rng() & 1)) {
        rs.erase(rs.begin() + static_cast<ptrdiff_t>(rng() % rs.size()));
      } else {
        const double last = rs.empty() ? 0.0 : rs.back();
        rs.insert(rs.end(), 1 + rng() % 3, last + static_cast<double>(rng() % 40));
      }
      break;
    }
    case 6: {  // frames cut out or repeated
      const size_t at = any_frame();
      const size_t n = std::min<size_t>(frames - at, 1 + rng() % 50);
      if (rng() & 1) {
        p.readings.erase(p.readings.begin() + static_cast<ptrdiff_t>(at),
                         p.readings.begin() + static_cast<ptrdiff_t>(at + n));
        p.events.erase(p.events.begin() + static_cast<ptrdiff_t>(at),
                       p.events.begin() + static_cast<ptrdiff_t>(at + n));
      } else if (frames + n < kMaxFrames) {
        const std::vector<std::vector<double>> rs(p.readings.begin() + at,
                                                  p.readings.begin() + at + n);
        const std::vector<std::vector<replay::InputEvent>> es(p.events.begin() + at,
                                                              p.events.begin() + at + n);
        p.readings.insert(p.readings.begin() + static_cast<ptrdiff_t>(at + n), rs.begin(),
                          rs.end());
        p.events.insert(p.events.begin() + static_cast<ptrdiff_t>(at + n), es.begin(), es.end());
      }
      break;
    }
    case 7: {  // a checkpoint
      if (p.checkpoints.empty()) break;
      replay::Checkpoint& c = p.checkpoints[rng() % p.checkpoints.size()];
      if (rng() & 1) {
        c.scores.assign(rng() % 5, SpecialInt(rng));
      } else {
        c.frame = static_cast<uint32_t>(rng() % (frames + 2));
      }
      break;
    }
    case 8: {  // the header
      replay::Header& h = p.header;
      const std::array<const char*, 6> names = {"width",    "random", "start",
                                                "computer", "player", "test-table"};
      const std::array<const char*, 8> values = {"0",    "1",     "640", "99999999999",
                                                 "demo", "menus", "-1",  "4294967295"};
      if (rng() % 4 == 0) {
        h.players = SpecialInt(rng) % 6;
      } else {
        h.settings.emplace_back(names[rng() % names.size()], values[rng() % values.size()]);
      }
      break;
    }
    default:
      p.finished = !p.finished;
  }
}

// The test table's tuning hash, which every seed recording carries.
void Replay(const replay::Recording& rec) {
  auto clock = std::make_unique<app::FakeClock>();
  auto game = std::make_unique<app::Game>(std::move(clock), std::make_unique<app::GamePasses>());
  app::Game& g = *game;
  g.random.Seed(rec.header.seed);
  physics::PlayfieldReset(g.world, g.random);
  app::UseTestTable(g);
  if (rec.header.Setting("start") != "menus") {
    app::StartGame(g, rec.header.Setting("computer") == "1");
  }
  app::ReplayHook hook;
  std::string error;
  if (!hook.StartReplay(g, rec, "", error)) return;
  size_t frames = 0;
  while (frames++ < kMaxFrames && hook.BeforeFrame(g)) {
    app::FrameGate(g);
    hook.AfterFrame(g);
  }
  hook.Finish(g);
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size,
                                          unsigned int seed) {
  std::mt19937_64 rng(seed);
  const replay::ReadResult read = replay::ReadRecording(std::span<const uint8_t>(data, size));
  if (!read.playable() || read.recording.frames.empty() || rng() % 16 == 0) {
    return LLVMFuzzerMutate(data, size, max_size);
  }
  Plain p(read.recording);
  const int changes = 1 + static_cast<int>(rng() % 3);
  for (int i = 0; i < changes && !p.readings.empty(); ++i) MutateOnce(p, rng);
  const std::vector<uint8_t> bytes = Encode(p.Flat());
  if (bytes.size() > max_size) return LLVMFuzzerMutate(data, size, max_size);
  std::memcpy(data, bytes.data(), bytes.size());
  return bytes.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const replay::ReadResult read = replay::ReadRecording(std::span<const uint8_t>(data, size));
  if (!read.playable()) return 0;
  const std::optional<replay::Problem> problem =
      replay::Validate(read.recording, app::RecordingLimits());
  if (problem) {
    // A refusal names its place.
    if (problem->record.empty() || problem->field.empty() || problem->why.empty()) std::abort();
    return 0;
  }
  Replay(read.recording);
  return 0;
}
