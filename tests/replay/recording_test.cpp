// The recording format: what is written reads back bit for bit, a 3-minute
// game stays small, a file cut anywhere or damaged anywhere still yields
// exactly the frames before the fault, and other versions are refused.

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "replay/reader.h"
#include "replay/writer.h"

namespace {

using replay::CheckKind;
using replay::EventKind;
using replay::InputEvent;
using replay::ReadStatus;

replay::Header SampleHeader() {
  replay::Header h;
  h.program_version = "1.0.0";
  h.pack_hash = 0x0123456789abcdefull;
  h.tuning_hash = 0xfedcba9876543210ull;
  h.players = 3;
  h.seed = 0xdeadbeef;
  h.display_width = 1024;
  h.display_height = 768;
  h.display_mode = "window";
  h.run_mode = "play";
  h.started_unix = 1796000000;
  h.settings = {{"player", "Anna"}, {"computer", "0"}};
  return h;
}

replay::StateDigest DigestOf(uint64_t seed) {
  replay::StateDigest d{};
  for (size_t i = 0; i < d.size(); ++i) d[i] = seed * 0x9E3779B97F4A7C15ull + i;
  return d;
}

// What a test wrote, kept beside the bytes to compare with what is read.
struct Written {
  std::vector<std::vector<double>> readings;
  std::vector<std::vector<InputEvent>> events;
  std::vector<replay::Checkpoint> checkpoints;
  std::vector<uint8_t> bytes;
};

// A game of `frames` frames: steady-clock readings (whole nanoseconds with
// jitter), now and then an early wait with extra readings, odd readings,
// every kind of event and a checkpoint every 300 frames.
Written MakeGame(int frames, bool finish) {
  Written w;
  auto sink = std::make_unique<replay::MemorySink>();
  replay::MemorySink* mem = sink.get();
  replay::Writer writer(std::move(sink), SampleHeader());
  int64_t ns = 5'000'000;
  for (int f = 0; f < frames; ++f) {
    std::vector<double> r;
    ns += 16'666'667 + (f * 7919 % 400'000) - 200'000;
    r.push_back(static_cast<double>(ns) / 1e6);
    if (f % 97 == 5) {  // an early frame: 1 ms waits
      for (int k = 1; k <= 3; ++k) r.push_back(static_cast<double>(ns + k * 1'000'123) / 1e6);
      ns += 3'000'369;
    }
    if (f == 10) r.push_back(r.back() + 0.1);  // not a whole nanosecond
    std::vector<InputEvent> e;
    if (f % 13 == 0) e.push_back(InputEvent::Actions((f / 13) & 0x3F));
    if (f == 20) e.push_back(InputEvent::Command(401, -7));
    if (f == 21) e.push_back(InputEvent::Key(0x1C, true));
    if (f == 21) e.push_back(InputEvent::LoopState(7, -3));
    if (f == 22) e.push_back(InputEvent::LoopTime(2, 1234.5678));
    if (f == 22) e.push_back(InputEvent::Pointer(312, 480, 1));
    if (f == 23) e.push_back(InputEvent::Answer("name", "ok", "Zoë"));
    for (double x : r) writer.ClockReading(x);
    for (const InputEvent& x : e) writer.Event(x);
    writer.EndFrame();
    w.readings.push_back(r);
    w.events.push_back(e);
    if (f % 300 == 299) {
      replay::Checkpoint c;
      c.frame = static_cast<uint32_t>(f);
      c.kind = f + 1 == frames ? CheckKind::kGameEnd : CheckKind::kBallEnd;
      c.digest = DigestOf(f);
      c.scores = {f * 10, 5, -1};
      writer.Checkpoint(c.kind, c.digest, c.scores);
      w.checkpoints.push_back(c);
    }
  }
  if (finish) writer.Finish();
  EXPECT_TRUE(writer.ok());
  w.bytes = mem->bytes();
  EXPECT_EQ(writer.bytes_written(), w.bytes.size());
  return w;
}

// The frames and checkpoints read are exactly the first ones written.
void ExpectPrefixOf(const replay::Recording& r, const Written& w) {
  ASSERT_LE(r.frames.size(), w.readings.size());
  for (size_t f = 0; f < r.frames.size(); ++f) {
    const auto readings = r.ReadingsOf(r.frames[f]);
    ASSERT_EQ(readings.size(), w.readings[f].size()) << "frame " << f;
    for (size_t i = 0; i < readings.size(); ++i) {
      ASSERT_EQ(std::bit_cast<uint64_t>(readings[i]), std::bit_cast<uint64_t>(w.readings[f][i]))
          << "frame " << f << " reading " << i;
    }
    const auto events = r.EventsOf(r.frames[f]);
    ASSERT_EQ(std::vector<InputEvent>(events.begin(), events.end()), w.events[f]) << "frame " << f;
  }
  ASSERT_EQ(r.readings.size(),
            r.frames.empty() ? 0 : r.frames.back().first_reading + r.frames.back().reading_count);
  ASSERT_LE(r.checkpoints.size(), w.checkpoints.size());
  for (size_t i = 0; i < r.checkpoints.size(); ++i) {
    EXPECT_EQ(r.checkpoints[i].frame, w.checkpoints[i].frame);
    EXPECT_EQ(r.checkpoints[i].kind, w.checkpoints[i].kind);
    EXPECT_EQ(r.checkpoints[i].digest, w.checkpoints[i].digest);
    EXPECT_EQ(r.checkpoints[i].scores, w.checkpoints[i].scores);
    EXPECT_LT(r.checkpoints[i].frame, r.frames.size());
  }
}

TEST(Recording, ReadsBackExactlyWhatWasWritten) {
  const Written w = MakeGame(900, true);
  const replay::ReadResult res = replay::ReadRecording(w.bytes);
  ASSERT_EQ(res.status, ReadStatus::kComplete) << res.error;
  EXPECT_TRUE(res.error.empty());
  EXPECT_TRUE(res.recording.finished);
  const replay::Header& h = res.recording.header;
  const replay::Header s = SampleHeader();
  EXPECT_EQ(h.program_version, s.program_version);
  EXPECT_EQ(h.pack_hash, s.pack_hash);
  EXPECT_EQ(h.tuning_hash, s.tuning_hash);
  EXPECT_EQ(h.players, s.players);
  EXPECT_EQ(h.seed, s.seed);
  EXPECT_EQ(h.display_width, s.display_width);
  EXPECT_EQ(h.display_height, s.display_height);
  EXPECT_EQ(h.display_mode, s.display_mode);
  EXPECT_EQ(h.run_mode, s.run_mode);
  EXPECT_EQ(h.started_unix, s.started_unix);
  EXPECT_EQ(h.settings, s.settings);
  EXPECT_EQ(h.Setting("player"), "Anna");
  EXPECT_EQ(h.Setting("missing", "x"), "x");
  ASSERT_EQ(res.recording.frames.size(), 900u);
  ASSERT_EQ(res.recording.checkpoints.size(), w.checkpoints.size());
  ExpectPrefixOf(res.recording, w);
}

TEST(Recording, ClockReadingsOfEveryKindSurviveBitForBit) {
  // A virtual clock's fixed step, whole nanoseconds, values that are neither,
  // a clock going backwards, and the values a broken clock might give.
  const double step = 1000.0 / 60.0;
  std::vector<double> readings;
  double t = 0.0;
  for (int i = 0; i < 50; ++i) readings.push_back(t += step);
  readings.insert(readings.end(), {123.456789, 123.456789, 1e-300, -0.0, 0.0, -5.25, 1e300,
                                   std::numeric_limits<double>::infinity(),
                                   std::numeric_limits<double>::quiet_NaN(), 9.0e12, 42.0});
  auto sink = std::make_unique<replay::MemorySink>();
  replay::MemorySink* mem = sink.get();
  replay::Writer writer(std::move(sink), SampleHeader());
  for (double r : readings) {
    writer.ClockReading(r);
    writer.EndFrame();
  }
  writer.Finish();
  const replay::ReadResult res = replay::ReadRecording(mem->bytes());
  ASSERT_EQ(res.status, ReadStatus::kComplete) << res.error;
  ASSERT_EQ(res.recording.readings.size(), readings.size());
  for (size_t i = 0; i < readings.size(); ++i) {
    EXPECT_EQ(std::bit_cast<uint64_t>(res.recording.readings[i]),
              std::bit_cast<uint64_t>(readings[i]))
        << "reading " << i << " = " << readings[i];
  }
}

TEST(Recording, ThreeMinuteGamesAreSmall) {
  // 60 frames a second from the steady clock.
  const Written steady = MakeGame(3 * 60 * 60, true);
  // A window at 144 frames a second.
  const Written fast = MakeGame(3 * 60 * 144, true);
  std::printf("3 minutes at 60 and 144 frames a second: %zu and %zu bytes\n", steady.bytes.size(),
              fast.bytes.size());
  EXPECT_LT(steady.bytes.size(), 150u * 1024) << steady.bytes.size();
  EXPECT_LT(fast.bytes.size(), 350u * 1024) << fast.bytes.size();

  // A virtual clock: the fixed step costs one byte a reading.
  auto sink = std::make_unique<replay::MemorySink>();
  replay::MemorySink* mem = sink.get();
  replay::Writer writer(std::move(sink), SampleHeader());
  double t = 0.0;
  for (int f = 0; f < 3 * 60 * 60; ++f) {
    writer.ClockReading(t += 1000.0 / 60.0);
    writer.EndFrame();
  }
  writer.Finish();
  EXPECT_LT(mem->bytes().size(), 3u * 60 * 60 * 8 + 200);
}

TEST(Recording, ACutFileYieldsTheFramesBeforeTheCut) {
  const Written w = MakeGame(320, true);
  const size_t header = replay::EncodeHeader(SampleHeader()).size();
  size_t last_frames = 0;
  for (size_t cut = 0; cut < w.bytes.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const replay::ReadResult res =
        replay::ReadRecording(std::span<const uint8_t>(w.bytes).first(cut));
    if (cut < header) {
      ASSERT_EQ(res.status, ReadStatus::kNotRecording);
      ASSERT_FALSE(res.playable());
      ASSERT_TRUE(res.recording.frames.empty());
      continue;
    }
    ASSERT_EQ(res.status, ReadStatus::kTruncated) << res.error;
    ASSERT_TRUE(res.playable());
    ASSERT_NE(res.error.find("truncated"), std::string::npos) << res.error;
    ASSERT_FALSE(res.recording.finished);
    ExpectPrefixOf(res.recording, w);
    // Cutting later never yields less.
    ASSERT_GE(res.recording.frames.size(), last_frames);
    last_frames = res.recording.frames.size();
  }
  EXPECT_EQ(last_frames, 320u);
}

TEST(Recording, DamageAnywhereIsFoundAndNothingDamagedIsDelivered) {
  const Written w = MakeGame(320, true);
  const size_t header = replay::EncodeHeader(SampleHeader()).size();
  int damaged = 0;
  for (size_t at = 0; at < w.bytes.size(); ++at) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      SCOPED_TRACE("byte " + std::to_string(at) + " ^ " + std::to_string(flip));
      std::vector<uint8_t> bytes = w.bytes;
      bytes[at] ^= flip;
      const replay::ReadResult res = replay::ReadRecording(bytes);
      ASSERT_NE(res.status, ReadStatus::kComplete);
      ASSERT_FALSE(res.error.empty());
      if (at < header) {
        ASSERT_FALSE(res.playable());
        continue;
      }
      // A damaged count can make a record seem to run past the end.
      ASSERT_TRUE(res.status == ReadStatus::kDamaged || res.status == ReadStatus::kTruncated)
          << res.error;
      if (res.status == ReadStatus::kDamaged) ++damaged;
      ExpectPrefixOf(res.recording, w);
    }
  }
  EXPECT_GT(damaged, 0);
}

TEST(Recording, OtherVersionsAndOtherFilesAreRefused) {
  const Written w = MakeGame(10, true);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    ReadStatus status;
    const char* message;
  };
  std::vector<uint8_t> v2 = w.bytes;
  v2[8] = 2;
  std::vector<uint8_t> v0 = w.bytes;
  v0[8] = 0;
  const std::string text = "MS 100 start down\n";
  std::vector<uint8_t> after_end = w.bytes;
  after_end.push_back(0);
  const Case cases[] = {
      {"version 2", v2, ReadStatus::kOtherVersion,
       "recording format version 2; this program reads version 1"},
      {"version 0", v0, ReadStatus::kOtherVersion, "version 0"},
      {"a text file", {text.begin(), text.end()}, ReadStatus::kNotRecording, "not a recording"},
      {"empty", {}, ReadStatus::kNotRecording, "not a recording"},
      {"bytes after the end", after_end, ReadStatus::kDamaged, "follow the end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const replay::ReadResult res = replay::ReadRecording(c.bytes);
    EXPECT_EQ(res.status, c.status);
    EXPECT_NE(res.error.find(c.message), std::string::npos) << res.error;
    if (c.status != ReadStatus::kDamaged) {
      EXPECT_TRUE(res.recording.frames.empty());
    }
  }
}

TEST(Recording, AFileBeingWrittenCanBeReadUpToItsLastFrame) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("gfall-replay-" + std::to_string(::getpid()) + ".rec"))
                               .string();
  std::string error;
  auto writer = replay::Writer::ToFile(path, SampleHeader(), error);
  ASSERT_TRUE(writer) << error;
  for (int f = 0; f < 25; ++f) {
    writer->ClockReading(f * 16.5);
    writer->EndFrame();
  }
  writer->Checkpoint(CheckKind::kBallEnd, DigestOf(1), std::vector<int32_t>{100});
  // As a crash would leave it: the writer is still open.
  replay::ReadResult res = replay::ReadRecordingFile(path);
  EXPECT_EQ(res.status, ReadStatus::kTruncated);
  EXPECT_EQ(res.recording.frames.size(), 25u);
  EXPECT_EQ(res.recording.checkpoints.size(), 1u);
  writer->Finish();
  writer.reset();
  res = replay::ReadRecordingFile(path);
  EXPECT_EQ(res.status, ReadStatus::kComplete) << res.error;
  std::filesystem::remove(path);

  res = replay::ReadRecordingFile(path);
  EXPECT_EQ(res.status, ReadStatus::kNotRecording);
  EXPECT_NE(res.error.find("cannot read"), std::string::npos);
  EXPECT_FALSE(replay::Writer::ToFile("/nonexistent-dir/x.rec", SampleHeader(), error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
}

}  // namespace
