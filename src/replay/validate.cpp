#include "replay/validate.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

#include "core/control_binding.h"
#include "core/window_commands.h"

namespace replay {

namespace {

std::string_view KindName(EventKind kind) {
  switch (kind) {
    case EventKind::kActions:
      return "actions";
    case EventKind::kCommand:
      return "command";
    case EventKind::kKey:
      return "key";
    case EventKind::kPointer:
      return "pointer";
    case EventKind::kAnswer:
      return "answer";
    case EventKind::kLoopState:
      return "loop state";
    case EventKind::kLoopTime:
      return "loop time";
  }
  return "unknown";
}

// Shortest exact form; whole numbers of ms in full ("1000000000000").
std::string Num(double v) {
  if (std::fabs(v) < 1e16 && v == std::trunc(v)) return std::to_string(static_cast<int64_t>(v));
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool Within(int64_t v, int64_t lo, int64_t hi) { return v >= lo && v <= hi; }

std::string Range(int64_t lo, int64_t hi) {
  return "is outside " + std::to_string(lo) + ".." + std::to_string(hi);
}

bool ParseU32(std::string_view s, uint32_t& v) {
  return !s.empty() && std::from_chars(s.data(), s.data() + s.size(), v) ==
                           std::from_chars_result{s.data() + s.size(), std::errc()};
}

std::optional<Problem> CheckHeader(const Header& h) {
  auto bad = [](std::string field, std::string why) {
    return Problem{"header", std::move(field), std::move(why)};
  };
  if (!Within(h.players, 1, 4)) return bad("players", Range(1, 4));
  if (!Within(h.display_width, 0, 16384)) return bad("display width", Range(0, 16384));
  if (!Within(h.display_height, 0, 16384)) return bad("display height", Range(0, 16384));
  for (const auto& [name, value] : h.settings) {
    const std::string field = "setting " + name;
    if (name == "computer" || name == "test-table") {
      if (value != "0" && value != "1") return bad(field, "is not 0 or 1");
    } else if (name == "start") {
      if (value != "menus" && value != "play" && value != "demo") {
        return bad(field, "is not menus, play or demo");
      }
    } else if (name == "width") {
      if (value != "0" && value != "640" && value != "800" && value != "1024") {
        return bad(field, "is not 640, 800 or 1024");
      }
    } else if (name == "random") {
      uint32_t v = 0;
      if (!ParseU32(value, v)) return bad(field, "is not a whole number of 32 bits");
    } else if (name == "player") {
      if (value.size() > 64) return bad(field, "is longer than 64 bytes");
    }
    // Other names are kept for later versions and never read.
  }
  return std::nullopt;
}

std::optional<std::string> CheckEvent(const InputEvent& e, const Limits& l) {
  switch (e.kind) {
    case EventKind::kActions:
      if (!Within(e.a, 0, (1 << core::kActionCount) - 1)) {
        return "actions " + Range(0, (1 << core::kActionCount) - 1);
      }
      return std::nullopt;
    case EventKind::kCommand:
      if (!Within(e.a, core::kFirstWindowCommand, core::kLastWindowCommand)) {
        return "command " + Range(core::kFirstWindowCommand, core::kLastWindowCommand);
      }
      if (!Within(e.b, -1, 65535)) return "argument " + Range(-1, 65535);
      return std::nullopt;
    case EventKind::kKey:
      if (!Within(e.a, 0, l.max_scan_code)) return "scan code " + Range(0, l.max_scan_code);
      if (!Within(e.b, 0, 1)) return "up/down " + Range(0, 1);
      return std::nullopt;
    case EventKind::kPointer:
      if (!Within(e.a, -l.max_pointer, l.max_pointer)) {
        return "x " + Range(-l.max_pointer, l.max_pointer);
      }
      if (!Within(e.b, -l.max_pointer, l.max_pointer)) {
        return "y " + Range(-l.max_pointer, l.max_pointer);
      }
      if (!Within(e.c, 0, (1 << l.pointer_buttons) - 1)) {
        return "buttons " + Range(0, (1 << l.pointer_buttons) - 1);
      }
      return std::nullopt;
    case EventKind::kAnswer:
      // Lengths are bounded by the reader; a dialog that does not know the
      // answer refuses it.
      return std::nullopt;
    case EventKind::kLoopState: {
      const int64_t n = static_cast<int64_t>(l.loop_inputs.size());
      if (!Within(e.a, 0, n - 1)) return "input " + Range(0, n - 1);
      const auto [lo, hi] = l.loop_inputs[static_cast<size_t>(e.a)];
      if (!Within(e.b, lo, hi)) return "value " + Range(lo, hi);
      return std::nullopt;
    }
    case EventKind::kLoopTime: {
      const int64_t n = static_cast<int64_t>(l.loop_times.size());
      if (!Within(e.a, 0, n - 1)) return "time " + Range(0, n - 1);
      if (!std::isfinite(e.time)) return "value is not a finite number";
      const auto [lo, hi] = l.loop_times[static_cast<size_t>(e.a)];
      if (e.time < lo || e.time > hi) {
        return "value " + Num(e.time) + " is outside " + Num(lo) + ".." + Num(hi);
      }
      return std::nullopt;
    }
  }
  return "kind " + std::to_string(static_cast<int>(e.kind)) + " is not known";
}

}  // namespace

std::string Problem::Line() const { return record + ", " + field + ": " + why; }

std::optional<Problem> Validate(const Recording& r, const Limits& l) {
  if (auto p = CheckHeader(r.header)) return p;

  // The shape the reader builds; checked again, as everything below indexes by it.
  uint64_t readings = 0, events = 0;
  for (size_t i = 0; i < r.frames.size(); ++i) {
    const Frame& f = r.frames[i];
    const std::string record = "frame " + std::to_string(i);
    if (f.first_reading != readings || f.first_event != events ||
        readings + f.reading_count > r.readings.size() ||
        events + f.event_count > r.events.size()) {
      return Problem{record, "ranges", "do not follow the frame before"};
    }
    readings += f.reading_count;
    events += f.event_count;
  }
  if (readings != r.readings.size() || events != r.events.size()) {
    return Problem{"frames", "ranges", "do not cover the readings and events"};
  }

  double last = 0.0;
  for (size_t i = 0; i < r.frames.size(); ++i) {
    const Frame& f = r.frames[i];
    const std::string record = "frame " + std::to_string(i);
    if (f.reading_count > l.max_readings_per_frame) {
      return Problem{record, "clock readings",
                     std::to_string(f.reading_count) + " are more than the " +
                         std::to_string(l.max_readings_per_frame) + " a frame makes"};
    }
    if (f.event_count > l.max_events_per_frame) {
      return Problem{record, "events",
                     std::to_string(f.event_count) + " are more than the " +
                         std::to_string(l.max_events_per_frame) + " a frame takes"};
    }
    const auto rs = r.ReadingsOf(f);
    for (size_t k = 0; k < rs.size(); ++k) {
      const double v = rs[k];
      auto bad = [&](std::string why) {
        return Problem{record, "clock reading " + std::to_string(k), std::move(why)};
      };
      if (!std::isfinite(v)) return bad("is not a finite number");
      if (v < 0.0 || v > l.max_clock_ms) {
        return bad(Num(v) + " is outside 0.." + Num(l.max_clock_ms));
      }
      if (v < last) return bad(Num(v) + " goes back from " + Num(last));
      last = v;
    }
    const auto es = r.EventsOf(f);
    for (size_t k = 0; k < es.size(); ++k) {
      if (auto why = CheckEvent(es[k], l)) {
        return Problem{
            record, "event " + std::to_string(k) + " (" + std::string(KindName(es[k].kind)) + ")",
            *why};
      }
    }
  }

  for (size_t i = 0; i < r.checkpoints.size(); ++i) {
    const Checkpoint& c = r.checkpoints[i];
    const std::string record = "checkpoint " + std::to_string(i);
    if (c.frame >= r.frames.size()) return Problem{record, "frame", "was not recorded"};
    if (i > 0 && c.frame < r.checkpoints[i - 1].frame) {
      return Problem{record, "frame", "comes before the checkpoint before it"};
    }
    if (c.kind < CheckKind::kBallEnd || c.kind > CheckKind::kInterval) {
      return Problem{record, "kind", "is not known"};
    }
    if (c.scores.size() > 4) return Problem{record, "scores", "are more than 4 players'"};
    for (size_t k = 0; k < c.scores.size(); ++k) {
      if (!Within(c.scores[k], 0, l.max_score)) {
        return Problem{record, "score " + std::to_string(k), Range(0, l.max_score)};
      }
    }
  }
  return std::nullopt;
}

}  // namespace replay
