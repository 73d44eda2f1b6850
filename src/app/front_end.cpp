#include "app/front_end.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "input/event_keyboard.h"
#include "platform/open_url.h"
#include "platform/single_instance.h"
#include "store/game_data.h"
#include "store/web_address.h"

namespace app {

// Every mode is offered: the buffers are ours, whatever the screen.
render::ModeTable AllModes() {
  render::ModeTable t;
  for (auto& row : t.available) row.fill(true);
  return t;
}

// Menu items without pictures (headless runs) get a 200×40 box each, 50
// pixels apart from (100, 100), so scripted mouse positions have something
// to hit.
void PlaceMenuItems(render::SpriteSlots& slots, const ui::MenuScreen& screen) {
  for (int32_t i = 0; i < screen.count; ++i) {
    int32_t slot = screen.items[static_cast<size_t>(i)].sprite;
    render::TrueColourSprite& s = slots.slots[static_cast<size_t>(slot)];
    if (s.frame_count > 0) continue;
    s.frame_count = 4;
    s.frames.resize(4);
    s.width = 200;
    s.height = 40;
    s.x = 100;
    s.y = 100 + 50 * i;
  }
}

std::string WindowJson(const Window& w, const FrontEndHost& host,
                       const ui::ScriptedAnswers& answers, bool quit) {
  nlohmann::ordered_json j;
  j["loading"] = w.app.loading_phase;
  j["title"] = w.app.title_shown;
  j["main_menu"] = w.app.main_menu_shown;
  j["pause_menu"] = w.app.pause_menu_shown;
  j["computer_playing"] = w.app.computer_playing;
  j["main_selected"] = w.menus.main_menu.selected;
  j["pause_selected"] = w.menus.pause_menu.selected;
  j["dialog_depth"] = w.flags.dialog_depth;
  j["quit"] = quit ? 1 : 0;
  j["restart"] = w.flags.restart_requested;
  j["saves"] = host.saves;
  j["saving"] = host.saving;
  j["dialogs"] = answers.log;
  j["help"] = host.log.size();
  j["notices"] = host.notices;
  // Script texts may hold anything; invalid UTF-8 is replaced, never written raw.
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

namespace {

// Whether a file can be made in `folder` (created when missing); the reason when not.
bool FolderWritable(const std::filesystem::path& folder, std::string& reason) {
  if (!platform::MakePrivateFolders(folder.string(), reason)) return false;
  std::string pattern = (folder / ".gfall-probe.XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(name.data());
  return true;
}

}  // namespace

GameDataStart OpenGameData(const std::filesystem::path& file, store::GameData& data,
                           const store::IdentitySource& id) {
  GameDataStart start;
  // Not about the file, but said at the same moment: a score server address
  // from the environment that cannot be used.
  if (std::string problem = store::ScoreServerProblem(std::getenv("GFALL_SCORE_SERVER"));
      !problem.empty()) {
    start.notices.push_back(problem);
  }
  if (file.empty()) {
    store::ApplyDefaults(data, id);
    start.saving = false;
    start.notices.push_back(
        "There is no folder for the game data file (HOME is not set; --config-dir names "
        "one): saving is off, settings and high scores last until the game is closed.");
    return start;
  }
  store::RemoveStaleTemporaryFiles(file);
  const store::GameDataLoad load = store::LoadGameData(file, data, id);
  if (!load.message.empty()) start.notices.push_back(load.message);
  if (!load.may_save) {
    start.saving = false;
    return start;
  }
  std::string reason;
  if (!FolderWritable(file.parent_path(), reason)) {
    start.saving = false;
    start.notices.push_back("The folder " + file.parent_path().string() + " cannot be written (" +
                            reason +
                            "): saving is off, settings and high scores last until the game is "
                            "closed.");
  }
  return start;
}

void HeadlessScreen::OpenUrl(const std::string& url) {
  const std::string opener = platform::UrlOpenerCommand();
  std::string error;
  if (!opener.empty()) platform::OpenUrlWith(opener, url, error);
}

}  // namespace app
