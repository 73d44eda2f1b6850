#include "app/input_script.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "app/game.h"
#include "app/window_proc.h"
#include "core/file_io.h"
#include "input/event_keyboard.h"
#include "ui/dialog_answers.h"
#include "ui/window_message.h"

namespace app {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> w;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
    if (j > i) w.push_back(s.substr(i, j - i));
    i = j;
  }
  return w;
}

int ActionOf(std::string_view name) {
  if (name == "left") return core::kActionLeftFlipper;
  if (name == "right") return core::kActionRightFlipper;
  if (name == "nudge-left") return core::kActionNudgeLeft;
  if (name == "nudge-up") return core::kActionNudgeUp;
  if (name == "nudge-right") return core::kActionNudgeRight;
  if (name == "start") return core::kActionStart;
  return -1;
}

bool ParseMs(std::string_view s, double& out) {
  std::string text(s);
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && !text.empty() && std::isfinite(out) && out >= 0.0 &&
         out <= 1e12;
}

}  // namespace

std::optional<std::vector<ScriptEvent>> ParseInputScript(std::string_view text,
                                                         std::string& error) {
  std::vector<ScriptEvent> events;
  int line_no = 0;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = Trim(text.substr(0, nl));
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    ++line_no;
    if (line.empty() || line.front() == '#') continue;
    const auto w = Words(line);
    auto fail = [&](const char* what) {
      error = "line " + std::to_string(line_no) + ": " + what;
      return std::nullopt;
    };
    if (w.size() >= 2 && w[1] == "answer") {
      if (w.size() < 4) return fail("expected \"MS answer DIALOG RESULT [TEXT]\"");
      ScriptEvent e;
      if (!ParseMs(w[0], e.ms)) return fail("bad time");
      e.kind = ScriptKind::kAnswer;
      e.dialog = std::string(w[2]);
      e.result = std::string(w[3]);
      if (w.size() > 4) {
        const size_t from = static_cast<size_t>(w[4].data() - line.data());
        e.text = std::string(line.substr(from));
      }
      events.push_back(std::move(e));
      continue;
    }
    if (w.size() == 4 && (w[1] == "key" || w[1] == "mouse" || w[1] == "click" || w[1] == "press" ||
                          w[1] == "release")) {
      ScriptEvent e;
      if (!ParseMs(w[0], e.ms)) return fail("bad time");
      auto number = [](std::string_view t, int& out) {
        int base = 10;
        if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
          t.remove_prefix(2);
          base = 16;
        }
        auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out, base);
        return ec == std::errc() && p == t.data() + t.size() && out >= 0 && out <= 65535;
      };
      if (w[1] == "key") {
        e.kind = ScriptKind::kKey;
        if (!number(w[2], e.code) || e.code > 255) return fail("bad key code");
        if (w[3] == "down") {
          e.down = true;
        } else if (w[3] != "up") {
          return fail("expected down or up");
        }
      } else {
        e.kind = w[1] == "mouse"   ? ScriptKind::kMouse
                 : w[1] == "click" ? ScriptKind::kClick
                 : w[1] == "press" ? ScriptKind::kPress
                                   : ScriptKind::kRelease;
        if (!number(w[2], e.x) || !number(w[3], e.y)) return fail("bad position");
      }
      events.push_back(std::move(e));
      continue;
    }
    if (w.size() != 3) return fail("expected \"MS ACTION down|up\" or \"MS cmd N\"");
    ScriptEvent e;
    if (w[1] == "shot") {
      // A picture of the window at that moment, named by a plain word.
      if (!ParseMs(w[0], e.ms)) return fail("bad time");
      if (w[2].find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") !=
          std::string_view::npos) {
        return fail("a shot name is lower-case letters, digits, - and _");
      }
      e.kind = ScriptKind::kShot;
      e.text = std::string(w[2]);
      events.push_back(std::move(e));
      continue;
    }
    if (!ParseMs(w[0], e.ms)) return fail("bad time");
    if (w[1] == "cmd") {
      e.kind = ScriptKind::kCommand;
      int n = 0;
      auto [p, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), n);
      if (ec != std::errc() || p != w[2].data() + w[2].size()) return fail("bad command number");
      e.command = n;
    } else {
      e.action = ActionOf(w[1]);
      if (e.action < 0) return fail("unknown action");
      if (w[2] == "down") {
        e.down = true;
      } else if (w[2] != "up") {
        return fail("expected down or up");
      }
    }
    events.push_back(e);
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.ms < b.ms; });
  return events;
}

std::optional<std::vector<ScriptEvent>> ReadInputScript(const std::string& path,
                                                        std::string& error) {
  std::string text, why;
  if (!core::ReadRegularTextFile(path, core::kMaxScriptBytes, text, why)) {
    error = "cannot read " + path + ": " + why;
    return std::nullopt;
  }
  std::string line_error;
  auto parsed = ParseInputScript(text, line_error);
  if (!parsed) error = path + ": " + line_error;
  return parsed;
}

void ScriptFeed::Deliver(double now, Game& g, MessageQueue* q, ui::ScriptedAnswers* answers,
                         input::EventKeyboard* keyboard) {
  while (next < script.size() && script[next].ms <= now) {
    const ScriptEvent& e = script[next++];
    if (e.kind == ScriptKind::kAction) {
      actions[static_cast<size_t>(e.action)] = e.down ? 1 : 0;
      g.actions[static_cast<size_t>(e.action)] = e.down ? 1 : 0;
      continue;
    }
    if (e.kind == ScriptKind::kCommand && q == nullptr) {
      g.host.PostCommand(e.command, 0);
      continue;
    }
    if (q == nullptr) continue;  // keys, the mouse, answers and pictures need the window
    switch (e.kind) {
      case ScriptKind::kAction:
        break;
      case ScriptKind::kCommand:
        q->Post(ui::CommandMessage(e.command));
        break;
      case ScriptKind::kKey: {
        if (keyboard) keyboard->KeyEvent(static_cast<uint8_t>(e.code), e.down);
        int32_t key = ui::VirtualKeyFromScanCode(e.code);
        if (key == ui::vk::kShift) shift = e.down;
        q->Post(ui::KeyMessage(e.down ? ui::MessageKind::kKeyDown : ui::MessageKind::kKeyUp, key,
                               shift));
        break;
      }
      case ScriptKind::kMouse:
        q->Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
        break;
      case ScriptKind::kClick:
        q->Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
        q->Post(ui::MouseMessage(ui::MessageKind::kLeftButtonDown, e.x, e.y));
        q->Post(ui::MouseMessage(ui::MessageKind::kLeftButtonUp, e.x, e.y));
        break;
      case ScriptKind::kPress:
        q->Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
        q->Post(ui::MouseMessage(ui::MessageKind::kLeftButtonDown, e.x, e.y));
        break;
      case ScriptKind::kRelease:
        q->Post(ui::MouseMessage(ui::MessageKind::kMouseMove, e.x, e.y));
        q->Post(ui::MouseMessage(ui::MessageKind::kLeftButtonUp, e.x, e.y));
        break;
      case ScriptKind::kAnswer:
        if (answers) answers->pending.push_back({e.dialog, e.result, e.text});
        break;
      case ScriptKind::kShot:
        if (on_shot) on_shot(e.text);
        break;
    }
  }
}

}  // namespace app
