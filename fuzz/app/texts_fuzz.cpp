// Texts from outside the program: FUZZ_READER picks the reader.
//   1 the dialog answer texts of an input script (options, controls, high score)
//   2 the help address (folder and topic)
//   3 the command line's short switches
//   4 entered names and the score server address

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/dialog_forms.h"
#include "app/help.h"
#include "app/startup.h"
#include "store/game_data.h"
#include "store/web_address.h"

#ifndef FUZZ_READER
#define FUZZ_READER 1
#endif

namespace {

// The characters of a UTF-8 text, or -1 when it is not valid UTF-8.
long Characters(std::string_view s) {
  long n = 0;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<uint8_t>(s[i]);
    size_t len = b < 0x80             ? 1
                 : (b & 0xE0) == 0xC0 ? 2
                 : (b & 0xF0) == 0xE0 ? 3
                 : (b & 0xF8) == 0xF0 ? 4
                                      : 0;
    if (len == 0 || i + len > s.size()) return -1;
    for (size_t k = 1; k < len; ++k) {
      if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return -1;
    }
    i += len;
    ++n;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  switch (FUZZ_READER) {
    case 1: {
      ui::ScriptedAnswers answers;
      app::ScriptedForms forms(answers, [] { return false; });
      app::ControlsFormHooks hooks;
      int captures = 0;
      hooks.capture = [&](int32_t action) {
        if (action < 0 || action > 5) std::abort();
        ++captures;
        return true;
      };
      hooks.restore_defaults = [&] { forms.RestoreDefaultsConfirm(); };
      app::ScriptedForms::RunControlsSteps(text, hooks, answers);
      // The same text as the answer of each form that takes one.
      render::ModeTable modes;
      for (auto& row : modes.available) row.fill(true);
      ui::OptionsForm form = ui::OpenOptionsForm(ui::OptionsValues{}, modes, false);
      answers.pending.push_back({"options", "ok", std::string(text)});
      forms.Options(form, modes, {});
      answers.pending.push_back({"highscore", "ok", std::string(text)});
      store::HighScoreTable table{};
      std::string name = "Player 1";
      forms.HighScores(table, 3, 100, name, {}, {});
      answers.pending.push_back({"controls", "ok", std::string(text)});
      forms.Controls(hooks);
      break;
    }
    case 2: {
      const size_t split = size ? data[0] % (size) : 0;
      const std::string folder = "/" + std::string(text.substr(0, split));
      const std::string topic(text.substr(split));
      const std::string url =
          app::HelpUrl({folder}, topic, [](const std::string&) { return true; });
      if (url.empty()) break;
      if (url.rfind("file:///", 0) != 0) std::abort();
      // Up to the anchor, only unreserved bytes, separators and escapes.
      const std::string path = url.substr(0, url.find('#'));
      for (char c : path.substr(7)) {
        const auto b = static_cast<uint8_t>(c);
        if (b <= 0x20 || b >= 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '?' ||
            c == '\\' || c == ' ') {
          std::abort();
        }
      }
      break;
    }
    case 3: {
      const app::Switches s = app::ScanSwitches(text);
      if ((s.safe_mode != 0 && s.safe_mode != 1) ||
          (s.skip_instance_check != 0 && s.skip_instance_check != 1)) {
        std::abort();
      }
      app::VideoChoice v;
      app::ApplySafeMode(s, v);
      break;
    }
    default: {
      const size_t max = size ? data[0] % 16 : 10;
      const std::string name = store::CleanName(text, max);
      const long chars = Characters(name);
      if (chars < 0 || static_cast<size_t>(chars) > max) std::abort();
      for (char c : name) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x20 || b == 0x7F) std::abort();
      }
      if (store::CleanName(name, max) != name) std::abort();  // cleaning is idempotent
      const std::string address(text);
      if (store::IsWebAddress(address) &&
          address.find_first_of(" \n\r\t\"<>") != std::string::npos) {
        std::abort();
      }
      break;
    }
  }
  return 0;
}
