// The recording reader against any bytes. Input that starts with the
// recording mark is read as it is. Any other input is a plan for a game: it
// is written as a recording (frames of clock readings and events,
// checkpoints), then cut and one byte changed where the plan says, and read
// back; so the fuzzer reaches deep into valid files without a corpus.
//
// Whatever is read must hang together (every frame's readings and events lie
// inside the arrays, checkpoints name frames that were read, a checker plays
// it all back), and what is read of a damaged file must be exactly the
// frames written before the damage.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "replay/checker.h"
#include "replay/reader.h"
#include "replay/writer.h"

namespace {

// Takes values from the front of the input; zeros once it is used up.
struct Plan {
  std::span<const uint8_t> in;
  size_t pos = 0;
  bool empty() const { return pos >= in.size(); }
  uint8_t Byte() { return pos < in.size() ? in[pos++] : 0; }
  uint64_t Bytes(int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(Byte()) << (8 * i);
    return v;
  }
};

void CheckShape(const replay::ReadResult& res) {
  const replay::Recording& r = res.recording;
  if (!res.playable() && !r.frames.empty()) std::abort();
  if (res.complete() != res.error.empty()) std::abort();
  uint64_t readings = 0, events = 0;
  for (const replay::Frame& f : r.frames) {
    if (f.first_reading != readings || f.first_event != events) std::abort();
    readings += f.reading_count;
    events += f.event_count;
  }
  if (readings != r.readings.size() || events != r.events.size()) std::abort();
  for (const replay::Checkpoint& c : r.checkpoints) {
    if (c.frame >= r.frames.size() || c.scores.size() > 4) std::abort();
  }
  if (!res.playable()) return;
  replay::Checker checker(r);
  while (checker.BeginFrame()) {
    for (uint32_t i = 0; i < r.frames[checker.frame()].reading_count; ++i) checker.NextReading();
    (void)checker.Events();
    checker.EndFrame();
  }
  checker.Finish();
}

void PlannedGame(std::span<const uint8_t> data) {
  Plan plan{data};
  replay::Header h;
  h.players = 1 + plan.Byte() % 4;
  h.seed = static_cast<uint32_t>(plan.Bytes(4));
  h.run_mode = "fuzz";
  if (plan.Byte() & 1) h.settings.emplace_back("player", "Ann");
  const uint32_t cut_plan = static_cast<uint32_t>(plan.Bytes(4));
  const uint32_t flip_plan = static_cast<uint32_t>(plan.Bytes(4));

  auto sink = std::make_unique<replay::MemorySink>();
  replay::MemorySink* mem = sink.get();
  replay::Writer writer(std::move(sink), h);
  std::vector<std::vector<uint64_t>> readings;  // bits, per frame
  std::vector<std::vector<replay::InputEvent>> events;
  double clock = 0.0;
  while (!plan.empty() && readings.size() < 5000) {
    const uint8_t b = plan.Byte();
    std::vector<uint64_t> fr;
    for (int i = 0; i < (b & 3); ++i) {
      const uint8_t how = plan.Byte();
      if (how < 64)
        clock += 1000.0 / 60.0;  // a fixed step
      else if (how < 192)
        clock = static_cast<double>(plan.Bytes(5)) / 1e6;  // nanoseconds
      else
        clock = std::bit_cast<double>(plan.Bytes(8));  // anything
      writer.ClockReading(clock);
      fr.push_back(std::bit_cast<uint64_t>(clock));
    }
    std::vector<replay::InputEvent> ev;
    for (int i = 0; i < ((b >> 2) & 3); ++i) {
      const uint8_t kind = plan.Byte() % 7;
      const int32_t a = static_cast<int32_t>(plan.Bytes(4));
      const int32_t c = static_cast<int32_t>(plan.Byte());
      replay::InputEvent e =
          kind == 0   ? replay::InputEvent::Actions(a & 0x3F)
          : kind == 1 ? replay::InputEvent::Command(a, c)
          : kind == 2 ? replay::InputEvent::Key(a, c & 1)
          : kind == 3 ? replay::InputEvent::Pointer(a, c, 1)
          : kind == 4 ? replay::InputEvent::LoopState(a, c)
          : kind == 5 ? replay::InputEvent::LoopTime(c, std::bit_cast<double>(plan.Bytes(8)))
                      : replay::InputEvent::Answer("d", "ok", std::string(c % 8, 'x'));
      writer.Event(e);
      ev.push_back(e);
    }
    writer.EndFrame();
    readings.push_back(std::move(fr));
    events.push_back(std::move(ev));
    if (b & 0x10) {
      replay::StateDigest d{};
      d.fill(plan.Bytes(8));
      writer.Checkpoint(b & 0x20 ? replay::CheckKind::kGameEnd : replay::CheckKind::kBallEnd, d,
                        std::vector<int32_t>(h.players, b));
    }
  }
  if (!(cut_plan & 1)) writer.Finish();

  std::vector<uint8_t> bytes = mem->bytes();
  const replay::ReadResult whole = replay::ReadRecording(bytes);
  if (whole.status !=
          (cut_plan & 1 ? replay::ReadStatus::kTruncated : replay::ReadStatus::kComplete) ||
      whole.recording.frames.size() != readings.size()) {
    std::abort();
  }
  if (cut_plan & 2) bytes.resize(cut_plan % (bytes.size() + 1));
  if ((flip_plan & 0xFF) && !bytes.empty())
    bytes[(flip_plan >> 8) % bytes.size()] ^= flip_plan & 0xFF;

  const replay::ReadResult res = replay::ReadRecording(bytes);
  CheckShape(res);
  const replay::Recording& r = res.recording;
  if (r.frames.size() > readings.size()) std::abort();
  for (size_t f = 0; f < r.frames.size(); ++f) {
    const auto got = r.ReadingsOf(r.frames[f]);
    if (got.size() != readings[f].size()) std::abort();
    for (size_t i = 0; i < got.size(); ++i) {
      if (std::bit_cast<uint64_t>(got[i]) != readings[f][i]) std::abort();
    }
    const auto ev = r.EventsOf(r.frames[f]);
    auto same = [](const replay::InputEvent& x, const replay::InputEvent& y) {
      return x.kind == y.kind && x.a == y.a && x.b == y.b && x.c == y.c &&
             std::bit_cast<uint64_t>(x.time) == std::bit_cast<uint64_t>(y.time) &&
             x.dialog == y.dialog && x.result == y.result && x.text == y.text;
    };
    if (!std::equal(ev.begin(), ev.end(), events[f].begin(), events[f].end(), same)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> in(data, size);
  if (size >= sizeof replay::kMagic &&
      std::memcmp(data, replay::kMagic, sizeof replay::kMagic) == 0) {
    CheckShape(replay::ReadRecording(in));
  } else {
    PlannedGame(in);
  }
  return 0;
}
