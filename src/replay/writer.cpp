#include "replay/writer.h"

#include "core/crc32.h"
#include "core/file_io.h"

namespace replay {

using codec::PutFixed;
using codec::PutSigned;
using codec::PutString;
using codec::PutVarint;

bool FileSink::Open(const std::string& path, std::string& error) {
  std::string why;
  file_ = core::OpenPrivateFileForWriting(path, why);
  if (!file_) {
    error = "cannot create " + path + ": " + why;
    return false;
  }
  return true;
}

FileSink::~FileSink() {
  if (file_) std::fclose(file_);
}

bool FileSink::Write(std::span<const uint8_t> bytes) {
  if (!file_) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return false;
  return std::fflush(file_) == 0;
}

std::vector<uint8_t> EncodeHeader(const Header& h) {
  std::vector<uint8_t> body;
  PutString(body, h.program_version);
  PutFixed(body, h.pack_hash, 8);
  PutFixed(body, h.tuning_hash, 8);
  PutVarint(body, static_cast<uint64_t>(h.players));
  PutFixed(body, h.seed, 4);
  PutSigned(body, h.display_width);
  PutSigned(body, h.display_height);
  PutString(body, h.display_mode);
  PutString(body, h.run_mode);
  PutSigned(body, h.started_unix);
  PutVarint(body, h.settings.size());
  for (const auto& [name, value] : h.settings) {
    PutString(body, name);
    PutString(body, value);
  }

  std::vector<uint8_t> out(std::begin(kMagic), std::end(kMagic));
  PutFixed(out, kFormatVersion, 2);
  PutVarint(out, body.size());
  out.insert(out.end(), body.begin(), body.end());
  PutFixed(out, core::Crc32(out), 4);
  return out;
}

Writer::Writer(std::unique_ptr<Sink> sink, const Header& header) : sink_(std::move(sink)) {
  record_ = EncodeHeader(header);
  crc_ = core::Crc32Update(0, record_);
  ok_ = sink_->Write(record_);
  bytes_ = record_.size();
  record_.clear();
}

std::unique_ptr<Writer> Writer::ToFile(const std::string& path, const Header& header,
                                       std::string& error) {
  auto sink = std::make_unique<FileSink>();
  if (!sink->Open(path, error)) return nullptr;
  auto w = std::make_unique<Writer>(std::move(sink), header);
  if (!w->ok()) {
    error = "cannot write " + path;
    return nullptr;
  }
  return w;
}

void Writer::ClockReading(double ms) { readings_.push_back(ms); }

void Writer::Event(const InputEvent& event) { events_.push_back(event); }

void Writer::Emit() {
  crc_ = core::Crc32Update(crc_, record_);
  PutFixed(record_, crc_, 4);
  crc_ = core::Crc32Update(crc_, std::span<const uint8_t>(record_).last(4));
  if (ok_) ok_ = sink_->Write(record_);
  bytes_ += record_.size();
  record_.clear();
}

void Writer::EndFrame() {
  if (finished_) return;
  record_.push_back(codec::kTagFrame);
  PutVarint(record_, (readings_.size() << 1) | (events_.empty() ? 0 : 1));
  for (double r : readings_) clock_.Put(record_, r);
  if (!events_.empty()) {
    PutVarint(record_, events_.size());
    for (const InputEvent& e : events_) {
      record_.push_back(static_cast<uint8_t>(e.kind));
      switch (e.kind) {
        case EventKind::kActions:
          PutVarint(record_, static_cast<uint32_t>(e.a));
          break;
        case EventKind::kCommand:
        case EventKind::kKey:
        case EventKind::kLoopState:
          PutSigned(record_, e.a);
          PutSigned(record_, e.b);
          break;
        case EventKind::kPointer:
          PutSigned(record_, e.a);
          PutSigned(record_, e.b);
          PutSigned(record_, e.c);
          break;
        case EventKind::kLoopTime:
          PutSigned(record_, e.a);
          PutFixed(record_, codec::DoubleBits(e.time), 8);
          break;
        case EventKind::kAnswer:
          PutString(record_, e.dialog);
          PutString(record_, e.result);
          PutString(record_, e.text);
          break;
      }
    }
  }
  readings_.clear();
  events_.clear();
  ++frames_;
  Emit();
}

void Writer::Checkpoint(CheckKind kind, const StateDigest& digest,
                        std::span<const int32_t> scores) {
  if (finished_) return;
  record_.push_back(codec::kTagCheckpoint);
  // The frame just written (the first frame is 0).
  PutVarint(record_, frames_ == 0 ? 0 : frames_ - 1);
  record_.push_back(static_cast<uint8_t>(kind));
  PutVarint(record_, digest.size());
  for (uint64_t part : digest) PutFixed(record_, part, 8);
  PutVarint(record_, scores.size());
  for (int32_t s : scores) PutSigned(record_, s);
  Emit();
}

void Writer::Finish() {
  if (finished_) return;
  record_.push_back(codec::kTagEnd);
  PutVarint(record_, frames_);
  Emit();
  finished_ = true;
}

}  // namespace replay
