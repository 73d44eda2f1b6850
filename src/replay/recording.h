#pragma once
// A recorded game: the header that says what it was played with, every
// frame's clock readings and input changes, and the game-state digests taken
// at each ball's end and at the game's end. docs/replay-format.md describes
// the file; writer.h writes it as the game goes, reader.h reads it back.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace replay {

inline constexpr char kMagic[8] = {'G', 'F', 'R', 'E', 'C', 'O', 'R', 'D'};
inline constexpr uint16_t kFormatVersion = 1;

// What the game was played with. A replay is refused when the pack or the
// tuning differ from the ones loaded now.
struct Header {
  std::string program_version;
  uint64_t pack_hash = 0;     // HashBytes of GFALL.DAT (0: no pack, the built-in test table)
  uint64_t tuning_hash = 0;   // TuningHash of the tuning in force when play began
  int32_t players = 1;        // 1..4
  uint32_t seed = 0;          // the random seed actually used
  int32_t display_width = 0;  // 0 x 0 when nothing was shown
  int32_t display_height = 0;
  std::string display_mode;  // "window", "full screen" or "none"
  std::string run_mode;      // the way of running: "window", "play", "headless", ...
  int64_t started_unix = 0;  // seconds since 1970 (UTC) when recording began
  // Further settings the driver needs to set the game up again, by name
  // ("computer" = "1", "test-table" = "1", "player" = "Anna", ...).
  std::vector<std::pair<std::string, std::string>> settings;

  // The value of a setting, or `fallback` when it is absent.
  std::string_view Setting(std::string_view name, std::string_view fallback = {}) const;
};

// One input change within a frame.
enum class EventKind : uint8_t {
  kActions = 1,    // a: the held actions after the change, bit n = core::Action n
  kCommand = 2,    // a: window command, b: its argument
  kKey = 3,        // a: keyboard scan code, b: 1 down, 0 up
  kPointer = 4,    // a, b: window position, c: buttons held (bit 0 left)
  kAnswer = 5,     // a dialog answered: dialog, result, text
  kLoopState = 6,  // a: which input of the frame loop (the driver's numbering), b: its new value
  kLoopTime = 7,   // a: which time of the frame loop (the driver's numbering), time: its new value
};

struct InputEvent {
  EventKind kind = EventKind::kActions;
  int32_t a = 0, b = 0, c = 0;
  double time = 0.0;                 // kLoopTime only
  std::string dialog, result, text;  // kAnswer only

  static InputEvent Actions(int32_t mask) { return Make(EventKind::kActions, mask, 0, 0); }
  static InputEvent Command(int32_t command, int32_t arg) {
    return Make(EventKind::kCommand, command, arg, 0);
  }
  static InputEvent Key(int32_t code, bool down) { return Make(EventKind::kKey, code, down, 0); }
  static InputEvent Pointer(int32_t x, int32_t y, int32_t buttons) {
    return Make(EventKind::kPointer, x, y, buttons);
  }
  static InputEvent LoopState(int32_t which, int32_t value) {
    return Make(EventKind::kLoopState, which, value, 0);
  }
  static InputEvent LoopTime(int32_t which, double time) {
    InputEvent e = Make(EventKind::kLoopTime, which, 0, 0);
    e.time = time;
    return e;
  }
  static InputEvent Answer(std::string dialog, std::string result, std::string text) {
    InputEvent e = Make(EventKind::kAnswer, 0, 0, 0);
    e.dialog = std::move(dialog);
    e.result = std::move(result);
    e.text = std::move(text);
    return e;
  }
  static InputEvent Make(EventKind kind, int32_t a, int32_t b, int32_t c) {
    InputEvent e;
    e.kind = kind;
    e.a = a;
    e.b = b;
    e.c = c;
    return e;
  }

  friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

// One frame: its clock readings and events are ranges of Recording::readings
// and Recording::events.
struct Frame {
  uint32_t first_reading = 0;
  uint32_t reading_count = 0;
  uint32_t first_event = 0;
  uint32_t event_count = 0;
};

// The named parts of the game-state digest (state_hash.h). A divergence is
// reported by the first part that differs.
enum DigestPart : int {
  kPartBall0Position,
  kPartBall0Motion,
  kPartBall0State,
  kPartBall1Position,
  kPartBall1Motion,
  kPartBall1State,
  kPartFlippers,
  kPartScores,
  kPartLamps,
  kPartRandom,
  kPartRules,
  kPartGameFlow,
  kPartNudge,
  kDigestParts
};
// "ball 0 position", "scores", ...
std::string_view DigestPartName(int part);

using StateDigest = std::array<uint64_t, kDigestParts>;

// kLastFrame: where the recording stopped, whatever the reason; kInterval:
// every kIntervalFrames frames of a game in play, so a divergence is found
// close to where it began.
enum class CheckKind : uint8_t { kBallEnd = 1, kGameEnd = 2, kLastFrame = 3, kInterval = 4 };
inline constexpr uint32_t kIntervalFrames = 120;
// "ball end", "game end", "last frame", "periodic check"
std::string_view CheckKindName(CheckKind kind);

// The state after a frame at which a ball ended or the game ended.
struct Checkpoint {
  uint32_t frame = 0;  // index of the frame just played
  CheckKind kind = CheckKind::kBallEnd;
  StateDigest digest{};
  std::vector<int32_t> scores;  // every player's score at that moment
};

struct Recording {
  Header header;
  std::vector<Frame> frames;
  std::vector<double> readings;
  std::vector<InputEvent> events;
  std::vector<Checkpoint> checkpoints;
  bool finished = false;  // the end record was read: the game was recorded to its end

  std::span<const double> ReadingsOf(const Frame& f) const {
    return std::span<const double>(readings).subspan(f.first_reading, f.reading_count);
  }
  std::span<const InputEvent> EventsOf(const Frame& f) const {
    return std::span<const InputEvent>(events).subspan(f.first_event, f.event_count);
  }
  // The recorded game time: the last clock reading minus the first (ms).
  double DurationMs() const;
};

// 64-bit FNV-1a: the pack hash, the tuning hash and the digest parts.
uint64_t HashBytes(std::span<const uint8_t> bytes, uint64_t h = 0xcbf29ce484222325ull);
// The hash of a whole file; false (with a message) when it cannot be read.
bool HashFile(const std::string& path, uint64_t& hash, std::string& error);

}  // namespace replay
