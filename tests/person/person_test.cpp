// A person at the window: the game runs in a real X server (Xvfb) under a
// real window manager (openbox) and is driven only by what a person's hands
// send, keys and clicks through XTEST (xdotool). Where to click comes from
// the window's own log ($GFALL_UI_LOG: the menu items in picture pixels, each
// form's controls in window pixels); what the forms did is read back from
// the settings file. A crash, a form that does not open or close within
// 2 s, a control that does not answer or a settings file that does not
// match fails. With $GFALL_PERSON_SHOTS set, each form is kept as a PNG there.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/window_commands.h"
#include "platform/png_file.h"
#include "store/game_data.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool Have(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Waits for `done` to hold, looking every 20 ms, at most `ms` milliseconds.
template <typename F>
bool WaitFor(F done, int ms) {
  const auto end = Clock::now() + milliseconds(ms);
  while (true) {
    if (done()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& out, int keep_fd = -1) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd >= 0) {
    ::dup2(fd, 1);
    ::dup2(fd, 2);
  }
  for (int f = 3; f < 256; ++f) {
    if (f != keep_fd) ::close(f);
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

void Stop(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  int status = 0;
  if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 3000)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  pid = -1;
}

// An X server of its own (Xvfb picks a free display) with openbox managing it.
class Screen {
 public:
  Screen(int width, int height, const fs::path& dir) {
    // Xvfb picks a free display; another server starting at that moment may
    // take it first, and ours then gives up: it is started again.
    for (int attempt = 0; attempt < 4 && !ready_; ++attempt) ready_ = Open(width, height, dir);
  }
  ~Screen() {
    Stop(wm_);
    Stop(xvfb_);
  }
  bool ready() const { return ready_; }
  const std::string& display() const { return display_; }
  // Runs a command on this display; true when it succeeds.
  bool Run(const std::string& cmd) const {
    return std::system(("DISPLAY=" + display_ + " " + cmd + " >/dev/null 2>&1").c_str()) == 0;
  }
  std::string Output(const std::string& cmd) const {
    std::string text;
    if (FILE* p = ::popen(("DISPLAY=" + display_ + " " + cmd + " 2>/dev/null").c_str(), "r")) {
      char buf[256];
      while (std::fgets(buf, sizeof buf, p)) text += buf;
      ::pclose(p);
    }
    return text;
  }

 private:
  bool Open(int width, int height, const fs::path& dir) {
    Stop(wm_);
    Stop(xvfb_);
    int fds[2];
    if (::pipe(fds) != 0) return false;
    xvfb_ =
        Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
               std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"},
              {}, (dir / "xvfb.log").string(), fds[1]);
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) return false;
    display_ = ":" + number;
    // Ours answers (not another's on the same number).
    if (!WaitFor([&] { return Run("xprop -root >/dev/null") || !Alive(xvfb_); }, 5000) ||
        !Alive(xvfb_)) {
      return false;
    }
    wm_ = Spawn({"openbox", "--sm-disable"}, {"DISPLAY=" + display_}, (dir / "wm.log").string());
    // The window manager is in charge once it marks the root window.
    return WaitFor(
               [&] {
                 return Run("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'") ||
                        !Alive(xvfb_) || !Alive(wm_);
               },
               10000) &&
           Alive(xvfb_) && Alive(wm_);
  }
  static bool Alive(pid_t& pid) {
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, WNOHANG) == pid) pid = -1;
    return pid > 0;
  }

  pid_t xvfb_ = -1, wm_ = -1;
  std::string display_;
  bool ready_ = false;
};

struct Box {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int cx() const { return (x0 + x1) / 2; }
  int cy() const { return (y0 + y1) / 2; }
};

// The game in the window, its log read as it grows.
class Game {
 public:
  Game(const Screen& screen, const fs::path& dir, std::vector<std::string> args)
      : screen_(screen), dir_(dir), log_(dir / "ui.log") {
    std::vector<std::string> argv = {GFALL_EXE,      "--window",     "--data",
                                     GFALL_DATA_DIR, "--config-dir", (dir / "config").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = Spawn(
        argv,
        {"DISPLAY=" + screen.display(), "SDL_AUDIODRIVER=dummy", "GFALL_UI_LOG=" + log_.string(),
         "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_CONFIG_HOME=" + (dir / "xdg").string()},
        (dir / "game.out").string());
  }
  ~Game() { Stop(pid_); }

  // False once the game has ended (its status then in exit_status()).
  bool Alive() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      status_ = status;
      return false;
    }
    return true;
  }
  int exit_status() const { return status_; }

  // Reads the new lines of the log; the menu and form places are kept.
  void Read() {
    std::ifstream in(log_);
    in.seekg(static_cast<std::streamoff>(read_));
    std::string line;
    while (std::getline(in, line)) {
      if (in.eof()) break;  // a line still being written
      read_ += line.size() + 1;
      lines_.push_back(line);
      if (line.rfind("state ", 0) == 0) state_ = line.substr(6);
      std::istringstream s(line);
      std::string word;
      s >> word;
      if (word == "picture") {
        s >> picture_w_ >> picture_h_;
        menu_.clear();
      } else if (word == "menu") {
        int command;
        Box b;
        s >> command >> b.x0 >> b.y0 >> b.x1 >> b.y1;
        menu_[command] = b;
      } else if (word == "item") {
        // "item TITLE|LABEL X0 Y0 X1 Y1": the label may hold spaces.
        std::vector<std::string> words;
        while (s >> word) words.push_back(word);
        if (words.size() < 5) continue;
        Box b;
        const size_t n = words.size();
        b.x0 = std::stoi(words[n - 4]);
        b.y0 = std::stoi(words[n - 3]);
        b.x1 = std::stoi(words[n - 2]);
        b.y1 = std::stoi(words[n - 1]);
        std::string key = words[0];
        for (size_t i = 1; i + 4 < n; ++i) key += " " + words[i];
        items_[key] = b;
      }
    }
  }
  // Waits for a line of the log said since the last key or click (or
  // since `from`); false after `ms` or when the game ends.
  bool Expect(const std::string& line, int ms = 2000) { return ExpectFrom(line, acted_, ms); }
  bool ExpectFrom(const std::string& line, size_t from, int ms) {
    return WaitFor(
               [&] {
                 Read();
                 return Seen(line, from) || !Alive();
               },
               ms) &&
           Seen(line, from);
  }
  // Where the log stands before an action.
  size_t Mark() {
    Read();
    return lines_.size();
  }
  // Waits until the window shows `state` (title, main, pause, play, forms).
  bool ExpectState(const std::string& state, int ms = 2000) {
    return WaitFor(
               [&] {
                 Read();
                 return state_ == state || !Alive();
               },
               ms) &&
           state_ == state;
  }
  bool Seen(const std::string& line, size_t from = 0) const {
    for (size_t i = from; i < lines_.size(); ++i) {
      if (lines_[i] == line) return true;
    }
    return false;
  }
  // The window, once it shows.
  bool FindWindow() {
    return WaitFor(
               [&] {
                 window_ = screen_.Output("xdotool search --onlyvisible --name 'Kestrune'");
                 if (const size_t nl = window_.find('\n'); nl != std::string::npos)
                   window_.resize(nl);
                 return !window_.empty() || !Alive();
               },
               20000) &&
           !window_.empty();
  }
  // The window's inside size now.
  bool WindowSize(int& w, int& h) {
    const std::string geo = screen_.Output("xdotool getwindowgeometry --shell " + window_);
    w = h = 0;
    std::istringstream s(geo);
    std::string line;
    while (std::getline(s, line)) {
      if (line.rfind("WIDTH=", 0) == 0) w = std::stoi(line.substr(6));
      if (line.rfind("HEIGHT=", 0) == 0) h = std::stoi(line.substr(7));
    }
    return w > 0 && h > 0;
  }

  // A key tapped (down and up 5 ms apart, as a fast typist or a tool does).
  void Tap(const std::string& key) {
    acted_ = Mark();
    screen_.Run("xdotool key --delay 5 " + key);
  }
  // A click at a place of the window (window pixels).
  void ClickAt(int x, int y) {
    acted_ = Mark();
    screen_.Run("xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " +
                std::to_string(y) + " click 1");
  }
  // A click on a menu item: its place in the picture, mapped to the window
  // as a person sees it (the picture scaled to fit, aspect kept, centred).
  bool ClickMenu(int command) {
    Read();
    auto it = menu_.find(command);
    int w, h;
    if (it == menu_.end() || picture_w_ <= 0 || !WindowSize(w, h)) return false;
    const double scale =
        std::min(static_cast<double>(w) / picture_w_, static_cast<double>(h) / picture_h_);
    const double ox = (w - picture_w_ * scale) / 2, oy = (h - picture_h_ * scale) / 2;
    ClickAt(static_cast<int>(ox + it->second.cx() * scale),
            static_cast<int>(oy + it->second.cy() * scale));
    return true;
  }
  // A click on a control of a form: "TITLE|LABEL".
  bool Click(const std::string& item, double fx = 0.5) {
    Read();
    auto it = items_.find(item);
    if (it == items_.end()) return false;
    const Box& b = it->second;
    ClickAt(b.x0 + static_cast<int>((b.x1 - b.x0) * fx), b.cy());
    return true;
  }
  bool Has(const std::string& item) const { return items_.count(item) != 0; }

  // The window as it shows, kept as a PNG under $GFALL_PERSON_SHOTS.
  void Shot(const std::string& name) {
    const char* dir = std::getenv("GFALL_PERSON_SHOTS");
    if (dir == nullptr || *dir == '\0') return;
    const fs::path xwd = dir_ / "shot.xwd";
    if (!screen_.Run("xwd -silent -id " + window_ + " -out " + xwd.string())) return;
    std::ifstream in(xwd, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto field = [&](size_t i) {
      return static_cast<uint32_t>(d[i * 4] << 24 | d[i * 4 + 1] << 16 | d[i * 4 + 2] << 8 |
                                   d[i * 4 + 3]);
    };
    if (d.size() < 100 || field(11) != 32) return;
    const uint32_t header = field(0), w = field(4), h = field(5), bpl = field(12),
                   colours = field(19);
    const size_t at = header + static_cast<size_t>(colours) * 12;
    if (d.size() < at + static_cast<size_t>(bpl) * h) return;
    platform::RgbFrame f;
    f.width = static_cast<int32_t>(w);
    f.height = static_cast<int32_t>(h);
    f.pixels.resize(static_cast<size_t>(w) * h * 3);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t* p = &d[at + static_cast<size_t>(y) * bpl + x * 4];
        uint8_t* q = &f.pixels[(static_cast<size_t>(y) * w + x) * 3];
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
      }
    }
    fs::create_directories(dir);
    platform::WritePng((fs::path(dir) / (name + ".png")).string(), f);
  }

  store::GameData Settings() const {
    store::GameData d;
    const fs::path file = store::GameDataPath(store::GameDataFolder((dir_ / "config").string()));
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (bytes.empty() || !store::ParseGameData(bytes, d, {})) d = {};
    return d;
  }
  std::string window_ini() const {
    std::ifstream in(dir_ / "config" / "window.ini");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  const Screen& screen_;
  fs::path dir_, log_;
  pid_t pid_ = -1;
  int status_ = -1;
  size_t read_ = 0;
  size_t acted_ = 0;  // the log's length at the last key or click
  std::vector<std::string> lines_;
  int picture_w_ = 0, picture_h_ = 0;
  std::string state_;
  std::map<int, Box> menu_;
  std::map<std::string, Box> items_;
  std::string window_;
};

// One size of window: the screen, the game's own arguments, and a size the
// window is then given by the window manager (0: as it opens).
struct Size {
  const char* name;
  int screen_w, screen_h;
  std::vector<std::string> args;
  int resize_w = 0, resize_h = 0;
};

class PersonTest : public ::testing::TestWithParam<Size> {
 protected:
  void SetUp() override {
    for (const char* p : {"Xvfb", "openbox", "xdotool", "xprop", "xwd"}) {
      if (!Have(p)) GTEST_SKIP() << "no " << p << " (scripts/install-deps.sh installs it)";
    }
    if (!fs::exists(fs::path(GFALL_DATA_DIR) / "GFALL.DAT")) GTEST_SKIP() << "no GFALL.DAT";
    dir_ =
        fs::temp_directory_path() /
        ("gfall_person_" + std::to_string(::getpid()) + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + GetParam().name);
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }
  // Starts the game on a screen of the size and passes the title.
  void Start() {
    const Size& s = GetParam();
    screen_ = std::make_unique<Screen>(s.screen_w, s.screen_h, dir_);
    ASSERT_TRUE(screen_->ready()) << "no X server with a window manager";
    game_ = std::make_unique<Game>(*screen_, dir_, s.args);
    // Loading takes long on a busy machine; the title says it is done.
    ASSERT_TRUE(game_->ExpectState("title", 120000)) << "no title";
    ASSERT_TRUE(game_->FindWindow()) << "no window";
    if (s.resize_w > 0) {
      screen_->Run("xdotool windowsize " + WindowId() + " " + std::to_string(s.resize_w) + " " +
                   std::to_string(s.resize_h));
      int w = 0, h = 0;
      ASSERT_TRUE(WaitFor([&] { return game_->WindowSize(w, h) && w == s.resize_w; }, 5000))
          << "the window manager did not resize the window";
    }
    game_->Tap("space");
    ASSERT_TRUE(game_->ExpectState("main")) << "the title did not give way to a key";
  }
  std::string WindowId() {
    std::string id = screen_->Output("xdotool search --onlyvisible --name 'Kestrune'");
    if (const size_t nl = id.find('\n'); nl != std::string::npos) id.resize(nl);
    return id;
  }
  std::string Shot(const std::string& form) { return std::string(GetParam().name) + "-" + form; }
  // The form opened and settled (its controls logged).
  void Shown(const std::string& title) {
    ASSERT_TRUE(game_->Expect("shown " + title)) << title << " did not open";
    game_->Shot(Shot(title == "Kestrune Pinball: Glimmerfall" ? "message" : title));
  }
  void Closed(const std::string& title, int result) {
    ASSERT_TRUE(game_->Expect("close " + title + " " + std::to_string(result)))
        << title << " did not close with " << result;
    ASSERT_TRUE(game_->Alive());
  }
  // Quits from the main menu and checks that the game ended well.
  void QuitFromMainMenu() {
    ASSERT_TRUE(game_->ExpectState("main"));
    ASSERT_TRUE(game_->ClickMenu(core::kCommandQuit));
    ASSERT_TRUE(WaitFor([&] { return !game_->Alive(); }, 10000)) << "Quit did not end the game";
    EXPECT_TRUE(WIFEXITED(game_->exit_status()) && WEXITSTATUS(game_->exit_status()) == 0);
    game_->Read();
    EXPECT_TRUE(game_->Seen("end"));
  }

  fs::path dir_;
  std::unique_ptr<Screen> screen_;
  std::unique_ptr<Game> game_;
};

constexpr const char* kOptions = "Options";
constexpr int kOk = 1, kCancel = 2;

// Every size: Options by keys (a control changed, then Cancel: nothing kept),
// Options by the mouse (a box, a slider, Controls over it with a binding
// captured from a key, OK in both: all kept), then Quit.
TEST_P(PersonTest, OptionsAndControlsByKeysAndMouse) {
  Start();
  if (HasFatalFailure()) return;
  Game& g = *game_;
  const store::GameData before = g.Settings();

  // Keys: Down twice to Options, Enter; Space on the first box; Escape.
  g.Tap("Down");
  g.Tap("Down");
  g.Tap("Return");
  Shown(kOptions);
  if (HasFatalFailure()) return;
  g.Tap("space");
  g.Tap("Escape");
  Closed(kOptions, kCancel);
  if (HasFatalFailure()) return;
  EXPECT_EQ(g.Settings().settings.music_on, before.settings.music_on) << "Cancel kept a change";

  // The mouse: the menu item, the Music box, the sound slider near its left
  // end, Change Controls..., the Left Flipper's button, a key, OK, OK.
  ASSERT_TRUE(g.ExpectState("main"));
  ASSERT_TRUE(g.ClickMenu(core::kCommandOptions));
  Shown(kOptions);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(g.Click("Options|Music"));
  ASSERT_TRUE(g.Click("Options|Sound volume", 0.08));
  ASSERT_TRUE(g.Click("Options|Change Controls..."));
  Shown("Change Controls");
  if (HasFatalFailure()) return;
  ASSERT_TRUE(g.Click("Change Controls|Left Flipper"));
  Shown("Change Control");
  if (HasFatalFailure()) return;
  // The capture lets its first quarter second go by (the click that opened
  // it is not the new binding): a person who pressed too soon presses again.
  const size_t asked = g.Mark();
  ASSERT_TRUE(WaitFor(
      [&] {
        g.Tap("a");
        return g.ExpectFrom("close Change Control 1", asked, 400);
      },
      4000))
      << "the capture did not take a key";
  if (HasFatalFailure()) return;
  ASSERT_TRUE(g.Click("Change Controls|OK"));
  Closed("Change Controls", kOk);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(g.Click("Options|OK"));
  Closed(kOptions, kOk);
  if (HasFatalFailure()) return;
  const store::GameData after = g.Settings();
  EXPECT_EQ(after.settings.music_on, before.settings.music_on ? 0 : 1);
  EXPECT_EQ(after.settings.sound_volume, 9) << "the slider's left end is silent (step 9)";
  EXPECT_EQ(after.bindings.sets[0][0].code, 0x1E) << "the Left Flipper is not on A";
  QuitFromMainMenu();
}

// The other menu items and a game, once (at 1024 x 768): High Scores and About by the mouse
// and keys, a game started, launched, flipped, paused, resumed and left.
class PersonGameTest : public PersonTest {};

TEST_P(PersonGameTest, MenusAndAGame) {
  Start();
  if (HasFatalFailure()) return;
  Game& g = *game_;
  const std::string table = "Kestrune Pinball: Glimmerfall";
  ASSERT_TRUE(g.ClickMenu(core::kCommandHighScores));
  Shown(table);
  if (HasFatalFailure()) return;
  g.Tap("Escape");
  Closed(table, kCancel);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(g.ExpectState("main"));
  ASSERT_TRUE(g.ClickMenu(core::kCommandAbout));
  Shown("About " + table);
  if (HasFatalFailure()) return;
  g.Tap("Return");  // the focused OK
  Closed("About " + table, kOk);
  if (HasFatalFailure()) return;

  ASSERT_TRUE(g.ExpectState("main"));
  ASSERT_TRUE(g.ClickMenu(core::kCommandNewGame));
  ASSERT_TRUE(g.ExpectState("play")) << "New Game did not start a game";
  screen_->Run("xdotool keydown Return sleep 0.4 keyup Return");  // the plunger
  g.Tap("Shift_L");
  g.Tap("Shift_R");
  g.Tap("Escape");
  ASSERT_TRUE(g.ExpectState("pause")) << "Escape did not pause";
  ASSERT_TRUE(g.ClickMenu(core::kCommandResume));
  ASSERT_TRUE(g.ExpectState("play")) << "Resume did not go back to play";
  g.Tap("Escape");
  ASSERT_TRUE(g.ExpectState("pause"));
  // Options from the pause menu, then leave the game from the pause menu.
  ASSERT_TRUE(g.ClickMenu(core::kCommandPauseOptions));
  Shown(kOptions);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(g.Click("Options|Change Controls..."));
  Shown("Change Controls");
  if (HasFatalFailure()) return;
  g.Tap("Escape");
  Closed("Change Controls", kCancel);
  if (HasFatalFailure()) return;
  g.Tap("Escape");
  Closed(kOptions, kCancel);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(g.ExpectState("pause"));
  ASSERT_TRUE(g.ClickMenu(core::kCommandEndGame));
  QuitFromMainMenu();
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PersonTest,
    ::testing::Values(Size{"640", 1024, 768, {"--width", "640"}},
                      Size{"1024", 1280, 1024, {"--width", "1024"}},
                      Size{"1280scaled", 1600, 1200, {"--width", "1024"}, 1280, 1024},
                      Size{"fullscreen", 1280, 1024, {"--width", "1024", "--fullscreen"}}),
    [](const ::testing::TestParamInfo<Size>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Once, PersonGameTest,
                         ::testing::Values(Size{"1024", 1280, 1024, {"--width", "1024"}}),
                         [](const ::testing::TestParamInfo<Size>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
