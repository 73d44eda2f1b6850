#pragma once
// Writes a recording as the game goes: the header at once, then each frame
// when it ends, each checkpoint when it is taken and the end record when the
// game is over. Every record is handed to the file (flushed) as soon as it is
// complete, so a crash leaves a readable recording up to the last frame.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "replay/codec.h"
#include "replay/recording.h"

namespace replay {

// Where the bytes go.
class Sink {
 public:
  virtual ~Sink() = default;
  // False when the bytes could not be written (disk full, closed file).
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
};

// Bytes kept in memory (tests, benchmarks).
class MemorySink final : public Sink {
 public:
  bool Write(std::span<const uint8_t> bytes) override {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return true;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A file, written and flushed record by record.
class FileSink final : public Sink {
 public:
  // Creates (or truncates) the file; false with a message when it cannot.
  bool Open(const std::string& path, std::string& error);
  ~FileSink() override;
  bool Write(std::span<const uint8_t> bytes) override;

 private:
  std::FILE* file_ = nullptr;
};

class Writer {
 public:
  // Writes the header to the sink at once.
  Writer(std::unique_ptr<Sink> sink, const Header& header);
  // A writer to a new file; null with a message when the file cannot be made.
  static std::unique_ptr<Writer> ToFile(const std::string& path, const Header& header,
                                        std::string& error);

  // The current frame: a clock reading as the frame loop saw it, an input
  // change; EndFrame writes the frame.
  void ClockReading(double ms);
  void Event(const InputEvent& event);
  void EndFrame();
  // The state after the frame just written.
  void Checkpoint(CheckKind kind, const StateDigest& digest, std::span<const int32_t> scores);
  // The end record: the game was recorded to its end. Nothing more is written.
  void Finish();

  // False once a write failed (the rest of the game is not recorded).
  bool ok() const { return ok_; }
  bool finished() const { return finished_; }
  uint32_t frames() const { return frames_; }
  uint64_t bytes_written() const { return bytes_; }

 private:
  // Appends the running check to record_ and hands it to the sink.
  void Emit();

  std::unique_ptr<Sink> sink_;
  std::vector<uint8_t> record_;
  std::vector<double> readings_;
  std::vector<InputEvent> events_;
  codec::ClockCode clock_;
  uint32_t crc_ = 0;
  uint32_t frames_ = 0;
  uint64_t bytes_ = 0;
  bool ok_ = true;
  bool finished_ = false;
};

// The bytes of a header as the writer puts them first in a file.
std::vector<uint8_t> EncodeHeader(const Header& header);

}  // namespace replay
