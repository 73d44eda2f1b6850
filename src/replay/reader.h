#pragma once
// Reads a recording back. A file of another format version is refused; a
// truncated or damaged file is reported with a clear message, and what was
// readable before the fault is still delivered (for --replay-partial).

#include <cstdint>
#include <span>
#include <string>

#include "replay/recording.h"

namespace replay {

enum class ReadStatus {
  kComplete,      // every record read, ending with the end record
  kTruncated,     // the file ends early: a crash, or a game still being recorded
  kDamaged,       // a record fails its check or makes no sense
  kOtherVersion,  // another format version: nothing is read
  kNotRecording,  // no recording at all (or its header is damaged): nothing is read
};

struct ReadResult {
  ReadStatus status = ReadStatus::kNotRecording;
  // Empty when complete; otherwise what is wrong, for the player
  // ("damaged at byte 1234, after frame 56").
  std::string error;
  // Everything read before the fault (only the header when the first frame
  // is already damaged; nothing for kOtherVersion and kNotRecording).
  Recording recording;
  uint16_t version = 0;  // the file's format version, when it has one

  bool complete() const { return status == ReadStatus::kComplete; }
  // A header was read, so the frames that were readable can be played.
  bool playable() const {
    return status == ReadStatus::kComplete || status == ReadStatus::kTruncated ||
           status == ReadStatus::kDamaged;
  }
};

ReadResult ReadRecording(std::span<const uint8_t> bytes);
// Reads a file; a file that cannot be opened is kNotRecording with the reason.
ReadResult ReadRecordingFile(const std::string& path);

}  // namespace replay
