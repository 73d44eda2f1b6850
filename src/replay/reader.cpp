#include "replay/reader.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "core/crc32.h"
#include "core/file_io.h"
#include "replay/codec.h"

namespace replay {

namespace {

using codec::Cursor;

std::string AfterFrame(const Recording& r) {
  return r.frames.empty() ? std::string("before the first frame")
                          : "after frame " + std::to_string(r.frames.size() - 1);
}

bool ReadHeader(std::span<const uint8_t> bytes, ReadResult& out, size_t& end) {
  const size_t magic = sizeof kMagic;
  if (bytes.size() < magic || !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin())) {
    out.status = ReadStatus::kNotRecording;
    out.error = "not a recording (it does not start with the recording mark)";
    return false;
  }
  Cursor in(bytes);
  in.Fixed(magic);
  out.version = static_cast<uint16_t>(in.Fixed(2));
  if (in.failed()) {
    out.status = ReadStatus::kNotRecording;
    out.error = "not a recording (it ends inside its header)";
    return false;
  }
  if (out.version != kFormatVersion) {
    out.status = ReadStatus::kOtherVersion;
    out.error = "recording format version " + std::to_string(out.version) +
                "; this program reads version " + std::to_string(kFormatVersion);
    return false;
  }
  const uint64_t length = in.Varint();
  if (in.failed() || length > codec::kMaxHeaderBytes || in.remaining() < length + 4) {
    out.status = ReadStatus::kNotRecording;
    out.error = in.failed() || length > codec::kMaxHeaderBytes
                    ? "damaged recording header"
                    : "not a recording (it ends inside its header)";
    return false;
  }
  const size_t body_start = in.pos();
  const size_t crc_at = body_start + length;
  const uint32_t crc = static_cast<uint32_t>(codec::Cursor(bytes.subspan(crc_at, 4)).Fixed(4));
  if (core::Crc32(bytes.first(crc_at)) != crc) {
    out.status = ReadStatus::kNotRecording;
    out.error = "damaged recording header (its check does not match)";
    return false;
  }

  Cursor body(bytes.subspan(body_start, length));
  Header& h = out.recording.header;
  h.program_version = body.String();
  h.pack_hash = body.Fixed(8);
  h.tuning_hash = body.Fixed(8);
  const uint64_t players = body.Varint();
  h.players = static_cast<int32_t>(std::min<uint64_t>(players, 1000));
  h.seed = static_cast<uint32_t>(body.Fixed(4));
  h.display_width = body.Int32();
  h.display_height = body.Int32();
  h.display_mode = body.String();
  h.run_mode = body.String();
  h.started_unix = body.Signed();
  const uint64_t settings = body.Varint();
  if (settings > codec::kMaxSettings) body.Fail();
  for (uint64_t i = 0; i < settings && !body.failed(); ++i) {
    std::string name = body.String();
    std::string value = body.String();
    h.settings.emplace_back(std::move(name), std::move(value));
  }
  if (body.failed() || !body.at_end() || players < 1 || players > codec::kMaxPlayers) {
    out.status = ReadStatus::kNotRecording;
    out.error = "damaged recording header (its fields make no sense)";
    out.recording.header = Header{};
    return false;
  }
  end = crc_at + 4;
  return true;
}

bool ReadEvent(Cursor& in, InputEvent& e) {
  const uint8_t kind = in.Byte();
  e.kind = static_cast<EventKind>(kind);
  switch (e.kind) {
    case EventKind::kActions: {
      const uint64_t mask = in.Varint();
      if (mask > 0xFFFF) in.Fail();
      e.a = static_cast<int32_t>(mask);
      break;
    }
    case EventKind::kCommand:
    case EventKind::kKey:
    case EventKind::kLoopState:
      e.a = in.Int32();
      e.b = in.Int32();
      break;
    case EventKind::kPointer:
      e.a = in.Int32();
      e.b = in.Int32();
      e.c = in.Int32();
      break;
    case EventKind::kLoopTime:
      e.a = in.Int32();
      e.time = codec::BitsDouble(in.Fixed(8));
      break;
    case EventKind::kAnswer:
      e.dialog = in.String();
      e.result = in.String();
      e.text = in.String();
      break;
    default:
      in.Fail();
  }
  return !in.failed();
}

// One frame record after its tag; appends to the recording only when whole.
bool ReadFrame(Cursor& in, codec::ClockCode& clock, Recording& r) {
  const uint64_t head = in.Varint();
  const uint64_t readings = head >> 1;
  // Every reading takes at least one byte, every event two.
  if (in.failed()) return false;
  if (readings > in.remaining()) return in.RanOut(), false;
  Frame f;
  f.first_reading = static_cast<uint32_t>(r.readings.size());
  f.reading_count = static_cast<uint32_t>(readings);
  f.first_event = static_cast<uint32_t>(r.events.size());
  codec::ClockCode saved = clock;
  for (uint64_t i = 0; i < readings && !in.failed(); ++i) r.readings.push_back(clock.Get(in));
  if (!in.failed() && (head & 1)) {
    const uint64_t events = in.Varint();
    if (events == 0) in.Fail();
    if (events > in.remaining() / 2) in.RanOut();
    for (uint64_t i = 0; i < events && !in.failed(); ++i) {
      InputEvent e;
      if (ReadEvent(in, e)) r.events.push_back(std::move(e));
    }
  }
  if (in.failed()) {
    r.readings.resize(f.first_reading);
    r.events.resize(f.first_event);
    clock = saved;
    return false;
  }
  f.event_count = static_cast<uint32_t>(r.events.size() - f.first_event);
  r.frames.push_back(f);
  return true;
}

bool ReadCheckpoint(Cursor& in, const Recording& r, Checkpoint& c) {
  const uint64_t frame = in.Varint();
  const uint8_t kind = in.Byte();
  const uint64_t parts = in.Varint();
  if (in.failed()) return false;
  if (frame >= r.frames.size() || (kind < 1 || kind > 4) || parts != kDigestParts ||
      (!r.checkpoints.empty() && frame < r.checkpoints.back().frame)) {
    return in.Fail(), false;
  }
  c.frame = static_cast<uint32_t>(frame);
  c.kind = static_cast<CheckKind>(kind);
  for (uint64_t& p : c.digest) p = in.Fixed(8);
  const uint64_t scores = in.Varint();
  if (scores > codec::kMaxPlayers) in.Fail();
  for (uint64_t i = 0; i < scores && !in.failed(); ++i) c.scores.push_back(in.Int32());
  return !in.failed();
}

}  // namespace

ReadResult ReadRecording(std::span<const uint8_t> bytes) {
  ReadResult out;
  size_t pos = 0;
  if (!ReadHeader(bytes, out, pos)) return out;
  Recording& r = out.recording;
  uint32_t crc = core::Crc32Update(0, bytes.first(pos));
  codec::ClockCode clock;

  while (pos < bytes.size()) {
    Cursor in(bytes.subspan(pos));
    const uint8_t tag = in.Byte();
    const size_t frames_before = r.frames.size();
    const size_t checkpoints_before = r.checkpoints.size();
    const codec::ClockCode clock_before = clock;
    bool end_record = false;
    if (tag == codec::kTagFrame) {
      ReadFrame(in, clock, r);
    } else if (tag == codec::kTagCheckpoint) {
      Checkpoint c;
      if (ReadCheckpoint(in, r, c)) r.checkpoints.push_back(std::move(c));
    } else if (tag == codec::kTagEnd) {
      const uint64_t frames = in.Varint();
      if (!in.failed() && frames != r.frames.size()) in.Fail();
      end_record = true;
    } else {
      in.Fail();
    }
    // Takes back a record that was read but failed, keeping what came before.
    auto undo = [&] {
      r.frames.resize(frames_before);
      r.checkpoints.resize(checkpoints_before);
      clock = clock_before;
      const Frame last = r.frames.empty() ? Frame{} : r.frames.back();
      r.readings.resize(last.first_reading + last.reading_count);
      r.events.resize(last.first_event + last.event_count);
    };
    const size_t body = in.pos();
    const uint32_t check = static_cast<uint32_t>(in.Fixed(4));
    if (in.failed()) {
      undo();
      if (in.ran_out()) {
        out.status = ReadStatus::kTruncated;
        out.error = "truncated inside a record " + AfterFrame(r);
      } else {
        out.status = ReadStatus::kDamaged;
        out.error = "damaged at byte " + std::to_string(pos + in.pos()) + ", " + AfterFrame(r);
      }
      return out;
    }
    crc = core::Crc32Update(crc, bytes.subspan(pos, body));
    if (crc != check) {
      undo();
      out.status = ReadStatus::kDamaged;
      out.error = "damaged at byte " + std::to_string(pos) + " (a record fails its check), " +
                  AfterFrame(r);
      return out;
    }
    crc = core::Crc32Update(crc, bytes.subspan(pos + body, 4));
    pos += body + 4;
    if (end_record) {
      r.finished = true;
      if (pos != bytes.size()) {
        out.status = ReadStatus::kDamaged;
        out.error = "damaged: " + std::to_string(bytes.size() - pos) +
                    " bytes follow the end of the recording";
        return out;
      }
      out.status = ReadStatus::kComplete;
      return out;
    }
  }
  out.status = ReadStatus::kTruncated;
  out.error = "truncated " + AfterFrame(r) + " (the game was not recorded to its end)";
  return out;
}

ReadResult ReadRecordingFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string why;
  if (!core::ReadRegularFile(path, core::kMaxRecordingBytes, bytes, why)) {
    ReadResult out;
    out.error = "cannot read " + path + ": " + why;
    return out;
  }
  return ReadRecording(bytes);
}

}  // namespace replay
