#include "platform/imgui_dialogs.h"

#include <SDL.h>
#include <imgui.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "backends/imgui_impl_sdl.h"
#include "backends/imgui_impl_sdlrenderer.h"
#include "imgui_internal.h"
#include "input/event_keyboard.h"
#include "platform/form_input.h"
#include "platform/scancodes.h"
#include "platform/sdl_events.h"

namespace platform {

namespace {

constexpr const char* kGameName = "Kestrune Pinball: Glimmerfall";

// One "em": the font's height, which follows the window's scale; every size
// in the forms is a multiple of it.
float Em() { return ImGui::GetFontSize(); }

// A column's heading over a gold rule as wide as the column (ImGui's own
// separator runs across the whole form, through the next column).
void Heading(const char* text, float width) {
  ImGui::TextUnformatted(text);
  const ImVec2 at = ImGui::GetCursorScreenPos();
  const float thick = std::max(1.0f, std::floor(Em() / 17.0f));
  ImGui::GetWindowDrawList()->AddRectFilled(
      ImVec2(std::floor(at.x), std::floor(at.y)),
      ImVec2(std::floor(at.x + width), std::floor(at.y) + thick),
      ImGui::GetColorU32(ImGuiCol_Separator));
  ImGui::Dummy(ImVec2(width, ImGui::GetStyle().ItemSpacing.y * 0.5f));
}

// The places of the controls the form in front drew this frame, for the
// forms' log (tests drive the forms through the window by them).
std::vector<std::pair<std::string, ImRect>>& Marks() {
  static std::vector<std::pair<std::string, ImRect>> marks;
  return marks;
}

void Mark(const char* label) {
  std::string name(label);
  if (const size_t hidden = name.find("##"); hidden != std::string::npos) name.erase(hidden);
  Marks().emplace_back(name, ImRect(ImGui::GetItemRectMin(), ImGui::GetItemRectMax()));
}

void ButtonRow() {
  ImGui::Spacing();
  ImGui::Spacing();
}

bool Button(const char* label, bool enabled = true) {
  if (!enabled) ImGui::BeginDisabled();
  const float width =
      std::max(Em() * 6.5f, ImGui::CalcTextSize(label, nullptr, true).x + Em() * 1.5f);
  bool pressed = ImGui::Button(label, ImVec2(width, 0));
  Mark(label);
  if (!enabled) ImGui::EndDisabled();
  return pressed && enabled;
}

ImVec4 Colour(uint32_t rgb, float alpha = 1.0f) {
  return ImVec4(static_cast<float>((rgb >> 16) & 255) / 255.0f,
                static_cast<float>((rgb >> 8) & 255) / 255.0f,
                static_cast<float>(rgb & 255) / 255.0f, alpha);
}

}  // namespace

float FormScale(int window_width, int window_height) {
  if (window_width <= 0 || window_height <= 0) return 1.0f;
  const float s = std::min(static_cast<float>(window_width) / 1024.0f,
                           static_cast<float>(window_height) / 768.0f);
  // Smaller windows get smaller forms, so that every form fits whole in
  // 640 x 480 (its face then 13 pixels high).
  return std::clamp(s, 0.75f, 4.0f);
}

void StyleForms(float scale) {
  // The menus' look: night-blue panels in a gold frame, holly-red buttons
  // that turn green under the pointer, cream text.
  ImGuiStyle style;
  ImGui::StyleColorsDark(&style);
  const ImVec4 navy = Colour(0x0c1a4a), navy_light = Colour(0x1c3a86), navy_mid = Colour(0x16285e),
               gold = Colour(0xf0c860), gold_dark = Colour(0xc07a10), red = Colour(0xb01c28),
               red_dark = Colour(0x7a1019), green = Colour(0x1f8a4a), green_dark = Colour(0x16703a),
               cream = Colour(0xfff6e0);
  ImVec4* c = style.Colors;
  c[ImGuiCol_Text] = cream;
  c[ImGuiCol_TextDisabled] = Colour(0x8a93b0);
  c[ImGuiCol_WindowBg] = navy;
  c[ImGuiCol_PopupBg] = navy;
  c[ImGuiCol_Border] = gold;
  c[ImGuiCol_BorderShadow] = Colour(0, 0);
  c[ImGuiCol_FrameBg] = navy_mid;
  c[ImGuiCol_FrameBgHovered] = navy_light;
  c[ImGuiCol_FrameBgActive] = navy_light;
  c[ImGuiCol_TitleBg] = red_dark;
  c[ImGuiCol_TitleBgActive] = red_dark;
  c[ImGuiCol_TitleBgCollapsed] = red_dark;
  c[ImGuiCol_CheckMark] = gold;
  c[ImGuiCol_SliderGrab] = gold;
  c[ImGuiCol_SliderGrabActive] = Colour(0xfff2b0);
  c[ImGuiCol_Button] = red;
  c[ImGuiCol_ButtonHovered] = green;
  c[ImGuiCol_ButtonActive] = green_dark;
  c[ImGuiCol_Header] = navy_light;
  c[ImGuiCol_HeaderHovered] = green;
  c[ImGuiCol_HeaderActive] = green_dark;
  c[ImGuiCol_Separator] = gold_dark;
  c[ImGuiCol_TableHeaderBg] = red_dark;
  c[ImGuiCol_TableBorderStrong] = gold_dark;
  c[ImGuiCol_TableBorderLight] = Colour(0x2a4a9a);
  c[ImGuiCol_TableRowBg] = Colour(0, 0);
  c[ImGuiCol_TableRowBgAlt] = Colour(0xffffff, 0.05f);
  c[ImGuiCol_NavHighlight] = gold;
  c[ImGuiCol_ModalWindowDimBg] = Colour(0x000000, 0.4f);
  style.WindowBorderSize = 2.0f;
  style.FrameBorderSize = 1.0f;
  c[ImGuiCol_Border] = gold;
  style.WindowRounding = 10.0f;
  style.FrameRounding = 6.0f;
  style.GrabRounding = 6.0f;
  style.TabRounding = 6.0f;
  style.WindowPadding = ImVec2(18, 14);
  style.FramePadding = ImVec2(10, 5);
  style.ItemSpacing = ImVec2(10, 8);
  style.ItemInnerSpacing = ImVec2(8, 6);
  style.GrabMinSize = 14.0f;
  style.WindowTitleAlign = ImVec2(0.5f, 0.5f);
  style.ScaleAllSizes(scale);
  ImGui::GetStyle() = style;
}

namespace {

// The forms' face: DejaVu Sans, the menus' own (Debian's fonts-dejavu-core).
constexpr const char* kFormFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr float kFontPixels = 17.0f;  // at 1024 x 768

}  // namespace

struct ImGuiDialogs::Form {
  std::string title;  // with a unique ImGui id after "###"
  float wrap_em = 24;
  std::function<int()> body;
  int cancel_result = kDialogCancel;
  Done done;
  bool escape_cancels = true;
  bool keys_are_answers = false;  // the capture form: no keyboard or pad navigation
  bool own_arrows = false;        // the form moves its focus with the arrows itself (ColumnNav)
  int frames = 0;
  int auto_frames = -1;  // scripted: answers by itself after so many frames
  std::function<int()> auto_answer;
  int limit = -1;  // gives up with the cancel result after so many frames
};

namespace {

// A key's press on the form in front (the forms behind it hear nothing).
bool Pressed(int key, bool repeat = false) {
  return ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
         ImGui::IsKeyPressed(key, repeat);
}

// Arrow keys in a form laid out in columns: Up and Down stay in the column,
// Left and Right step a focused slider, move along the button row, or cross
// to the item level with it in the next column. (ImGui's own arrows go by
// distance and would jump across columns.)
class ColumnNav {
 public:
  // After each item that takes the focus: its column (0, 1, ...; the row of
  // buttons under the columns is kButtonRow) and, for a slider, the value to step.
  void Item(int column, int* slider_value = nullptr, int lo = 0, int hi = 0) {
    items_.push_back({ImGui::GetItemID(), column, slider_value, lo, hi});
  }
  static constexpr int kButtonRow = 100;
  // Acts on this frame's arrow presses; true when a slider moved.
  bool Finish() {
    ImGuiContext& g = *GImGui;
    const int dy = Pressed(SDL_SCANCODE_DOWN, true) ? 1 : Pressed(SDL_SCANCODE_UP, true) ? -1 : 0;
    const int dx = Pressed(SDL_SCANCODE_RIGHT, true)  ? 1
                   : Pressed(SDL_SCANCODE_LEFT, true) ? -1
                                                      : 0;
    if ((dx == 0 && dy == 0) || items_.empty()) return false;
    int at = -1;
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].id == g.NavId) at = static_cast<int>(i);
    }
    if (at < 0) return Focus(0);
    const Entry& e = items_[static_cast<size_t>(at)];
    if (dx != 0 && e.slider != nullptr) {
      *e.slider = std::clamp(*e.slider + dx, e.lo, e.hi);
      return true;
    }
    if (dy != 0 && e.column != kButtonRow) {
      // The next item down (up) the column; below the last one, the buttons.
      for (int i = at + dy; i >= 0 && i < static_cast<int>(items_.size()); i += dy) {
        const int c = items_[static_cast<size_t>(i)].column;
        if (c == e.column || (dy > 0 && c == kButtonRow)) return Focus(i);
      }
      return false;
    }
    if (dy < 0) {  // from the buttons up to the bottom of the first column
      for (int i = at; i >= 0; --i) {
        if (items_[static_cast<size_t>(i)].column == 0) return Focus(i);
      }
      return false;
    }
    if (dy > 0) return false;
    if (e.column == kButtonRow) {
      const int i = at + dx;
      if (i >= 0 && i < static_cast<int>(items_.size()) &&
          items_[static_cast<size_t>(i)].column == kButtonRow) {
        return Focus(i);
      }
      return false;
    }
    // Across to the item of the next column at the same place down it.
    int row = 0;
    for (int i = 0; i < at; ++i) row += items_[static_cast<size_t>(i)].column == e.column;
    int best = -1, k = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].column != e.column + dx) continue;
      if (k <= row) best = static_cast<int>(i);
      ++k;
    }
    return best >= 0 && Focus(best);
  }

 private:
  struct Entry {
    ImGuiID id;
    int column;
    int* slider;
    int lo, hi;
  };
  bool Focus(int i) {
    ImGuiContext& g = *GImGui;
    ImGui::SetFocusID(items_[static_cast<size_t>(i)].id, g.CurrentWindow);
    g.NavDisableHighlight = false;
    g.NavDisableMouseHover = true;
    return false;
  }
  std::vector<Entry> items_;
};

}  // namespace

ImGuiDialogs::ImGuiDialogs() = default;
ImGuiDialogs::~ImGuiDialogs() { Close(); }

void ImGuiDialogs::FollowWindowScale() {
  int w = 0, h = 0;
  SDL_GetWindowSize(window_, &w, &h);
  const float scale = FormScale(w, h);
  if (scale == scale_) return;
  scale_ = scale;
  ImGuiIO& io = ImGui::GetIO();
  io.Fonts->Clear();
  ImFontConfig config;
  config.OversampleH = 2;
  std::error_code ec;
  font_loaded_ =
      std::filesystem::is_regular_file(kFormFont, ec) &&
      io.Fonts->AddFontFromFileTTF(kFormFont, std::round(kFontPixels * scale), &config) != nullptr;
  if (!font_loaded_) {
    // Without the font file: ImGui's own face, scaled.
    ImFontConfig fallback;
    fallback.SizePixels = std::round(13.0f * scale);
    io.Fonts->AddFontDefault(&fallback);
  }
  ImGui_ImplSDLRenderer_DestroyFontsTexture();  // made again at the next frame
  StyleForms(scale);
}

bool ImGuiDialogs::Open(SDL_Window* window, SDL_Renderer* renderer) {
  if (open_) return true;
  if (!window || !renderer) return false;
  // Game controllers move through the forms (the backend opens the first one).
  controllers_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // nothing written beside the game
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_NavEnableGamepad;
  io.ConfigInputTextCursorBlink = false;  // a form at rest draws nothing new
  if (!ImGui_ImplSDL2_InitForSDLRenderer(window) || !ImGui_ImplSDLRenderer_Init(renderer)) {
    ImGui::DestroyContext();
    if (controllers_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    controllers_ = false;
    return false;
  }
  // Space, Enter and the keypad's Enter all press the focused control.
  io.KeyMap[ImGuiKey_Space] = kActivateKeyIndex;
  window_ = window;
  renderer_ = renderer;
  input_ = std::make_unique<FormInput>();
  open_ = true;
  scale_ = 0.0f;
  FollowWindowScale();
  return true;
}

void ImGuiDialogs::Close() {
  if (!open_) return;
  stack_.clear();
  ImGui_ImplSDLRenderer_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  open_ = false;
  input_.reset();
  if (controllers_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  controllers_ = false;
}

void ImGuiDialogs::Push(std::string title, float wrap_em, std::function<int()> body,
                        int cancel_result, Done done, bool escape_cancels, bool keys_are_answers) {
  auto f = std::make_unique<Form>();
  f->title = std::move(title) + "###form" + std::to_string(++serial_);
  f->wrap_em = wrap_em;
  f->body = std::move(body);
  f->cancel_result = cancel_result;
  f->done = std::move(done);
  f->escape_cancels = escape_cancels;
  f->keys_are_answers = keys_are_answers;
  // A scripted close or a limit applies to this form only, not to the ones it opens.
  f->auto_frames = auto_frames_;
  f->auto_answer = std::move(auto_answer_);
  auto_answer_ = nullptr;
  f->limit = next_limit_;
  auto_frames_ = -1;
  next_limit_ = -1;
  if (!open_) {
    if (f->done) f->done(cancel_result);
    return;
  }
  // A key held as the form opens (an Enter for the plunger) is not its answer.
  if (input_) {
    input_->HoldFromBefore(stack_.empty(), [this](int scancode) {
      const uint8_t code = DiCodeOfScancode(scancode);
      return keyboard_ != nullptr && code != 0 && keyboard_->held(code);
    });
  }
  if (log_ != nullptr) {
    std::fprintf(log_, "open %s\n", f->title.substr(0, f->title.find("###")).c_str());
    std::fflush(log_);
  }
  stack_.push_back(std::move(f));
  settle_frames_ = 3;
}

void ImGuiDialogs::Pop(int result) {
  if (stack_.empty()) return;
  std::unique_ptr<Form> f = std::move(stack_.back());
  stack_.pop_back();
  settle_frames_ = 3;
  if (stack_.empty() && input_) input_->ReleaseAll(ImGui::GetIO());
  if (f->done) f->done(result);
  // Said once its answer has been acted on (saved, say).
  if (log_ != nullptr) {
    std::fprintf(log_, "close %s %d\n", f->title.substr(0, f->title.find("###")).c_str(), result);
    std::fflush(log_);
  }
}

void ImGuiDialogs::CancelAll() {
  while (!stack_.empty()) Pop(stack_.back()->cancel_result);
}

bool ImGuiDialogs::AtRest() const {
  if (stack_.empty()) return true;
  const Form& top = *stack_.back();
  if (settle_frames_ > 0 || (input_ && input_->Pending()) || top.auto_frames >= 0 ||
      top.limit >= 0 || top.keys_are_answers) {
    return false;
  }
  // Keys or buttons held (a slider dragged, a key repeating) keep it moving.
  const ImGuiIO& io = ImGui::GetIO();
  for (bool b : io.MouseDown) {
    if (b) return false;
  }
  for (bool k : io.KeysDown) {
    if (k) return false;
  }
  return io.NavInputs[ImGuiNavInput_Activate] == 0.0f && io.NavInputs[ImGuiNavInput_Cancel] == 0.0f;
}

void ImGuiDialogs::Frame(const std::function<void(const Event&)>& pass_on) {
  if (!open_ || stack_.empty()) return;
  ImGuiIO& io = ImGui::GetIO();
  bool ending = false, closed = false;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_TEXTINPUT || e.type == SDL_TEXTEDITING) {
      input_->Take(e);
      continue;
    }
    Event pe;
    const bool known = TranslateEvent(e, pe);
    if (known && IsFullscreenToggle(pe)) {
      if (pass_on) pass_on(pe);
      continue;
    }
    if (known && (pe.kind == EventKind::kKeyDown || pe.kind == EventKind::kKeyUp) &&
        keyboard_ != nullptr) {
      keyboard_->KeyEvent(pe.key, pe.kind == EventKind::kKeyDown);
    }
    input_->Take(e);
    if (!known) continue;
    switch (pe.kind) {
      case EventKind::kTerminate:
        ending = true;
        if (pass_on) pass_on(pe);
        break;
      case EventKind::kClose:
        closed = true;
        break;
      case EventKind::kFocusLost:
        if (keyboard_ != nullptr) keyboard_->ReleaseAll();
        input_->ReleaseAll(io);
        break;
      case EventKind::kResized:
      case EventKind::kExposed:
        settle_frames_ = std::max(settle_frames_, 2);
        if (pass_on) pass_on(pe);
        break;
      default:
        break;
    }
  }
  if (ending) {
    // The program is asked to end: every form gives way.
    CancelAll();
    return;
  }
  if (closed) {
    Pop(stack_.back()->cancel_result);
    if (stack_.empty()) return;
  }
  Form& top = *stack_.back();
  FollowWindowScale();
  // Every key and button is the capture form's answer, not a way around it.
  const ImGuiConfigFlags nav =
      ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_NavEnableGamepad;
  if (top.keys_are_answers) {
    io.ConfigFlags &= ~nav;
  } else {
    io.ConfigFlags |= nav;
  }
  // A form in columns takes the arrows itself.
  io.KeyMap[ImGuiKey_UpArrow] = top.own_arrows ? -1 : SDL_SCANCODE_UP;
  io.KeyMap[ImGuiKey_DownArrow] = top.own_arrows ? -1 : SDL_SCANCODE_DOWN;
  io.KeyMap[ImGuiKey_LeftArrow] = top.own_arrows ? -1 : SDL_SCANCODE_LEFT;
  io.KeyMap[ImGuiKey_RightArrow] = top.own_arrows ? -1 : SDL_SCANCODE_RIGHT;
  ImGui_ImplSDLRenderer_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  // The backend's mouse (the pointer's place on the screen, less where it
  // thinks the window is) gives way to the events' own positions.
  bool keys = false;
  if (input_->Apply(io, keys)) settle_frames_ = std::max(settle_frames_, 3);
  // A key shows where the keyboard is and lets Space and Enter press the
  // focused control from the first key on (ImGui waits for an arrow first).
  if (keys && !top.keys_are_answers) GImGui->NavDisableHighlight = false;
  ImGui::NewFrame();
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  int result = 0;
  // A form opened during this frame shows from the next one.
  const size_t shown = stack_.size();
  for (size_t i = 0; i < shown; ++i) {
    Form& f = *stack_[i];
    const bool front = i + 1 == shown;
    // Centred over the game window; sized to what it holds.
    ImGui::SetNextWindowPos(
        ImVec2(vp->WorkPos.x + vp->WorkSize.x * 0.5f, vp->WorkPos.y + vp->WorkSize.y * 0.5f),
        ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    // A form behind the one in front stays whole (the game's picture does
    // not show through it) but answers nothing.
    if (!front) {
      ImGui::PushStyleVar(ImGuiStyleVar_DisabledAlpha, 1.0f);
      ImGui::BeginDisabled();
    }
    ImGui::Begin(f.title.c_str(), nullptr,
                 ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_AlwaysAutoResize);
    // The form in front keeps the keyboard, whatever was clicked beside it.
    if (front && !ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows)) {
      ImGui::SetWindowFocus();
    }
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + f.wrap_em * Em());
    Marks().clear();
    const int r = f.body();
    ImGui::PopTextWrapPos();
    if (front && f.frames == 2 && log_ != nullptr) {
      // Where its controls are, in window pixels, once it has settled.
      const std::string title = f.title.substr(0, f.title.find("###"));
      for (const auto& [label, rect] : Marks()) {
        std::fprintf(log_, "item %s|%s %d %d %d %d\n", title.c_str(), label.c_str(),
                     static_cast<int>(rect.Min.x), static_cast<int>(rect.Min.y),
                     static_cast<int>(rect.Max.x), static_cast<int>(rect.Max.y));
      }
      std::fprintf(log_, "shown %s\n", title.c_str());
      std::fflush(log_);
    }
    if (front) {
      result = r;
      // Escape, or a controller's B (ImGui's "cancel" input, just pressed), leaves the form.
      const bool pad_back = io.NavInputsDownDuration[ImGuiNavInput_Cancel] == 0.0f;
      if (result == 0 && f.escape_cancels &&
          (Pressed(SDL_SCANCODE_ESCAPE) ||
           (pad_back && ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows)))) {
        result = f.cancel_result;
      }
    }
    ImGui::End();
    if (!front) {
      ImGui::EndDisabled();
      ImGui::PopStyleVar();
    }
  }
  ImGui::Render();
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (paint_backdrop_) paint_backdrop_();
  ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
  // The form in front may have opened another over it in this frame.
  Form& drawn = *stack_.back();
  if (drawn_hook_) drawn_hook_(drawn.frames);
  SDL_RenderPresent(renderer_);
  if (settle_frames_ > 0) --settle_frames_;
  if (&drawn != &top) {
    ++drawn.frames;
    return;
  }
  ++top.frames;
  if (result == 0 && top.limit >= 0 && top.frames >= top.limit) result = top.cancel_result;
  if (result == 0 && top.auto_frames >= 0 && top.frames >= top.auto_frames && top.auto_answer) {
    result = top.auto_answer();
    if (stack_.back().get() != &top) return;  // it opened a form over itself
  }
  if (result != 0) Pop(result);
}

bool ImGuiDialogs::RunUntilClosed(int max_frames, const std::function<void(int)>& before_frame) {
  for (int frame = 0; frame < max_frames && !stack_.empty(); ++frame) {
    if (before_frame) before_frame(frame);
    Frame({});
  }
  return stack_.empty();
}

void ImGuiDialogs::Options(const ui::OptionsForm& form, const render::ModeTable& modes,
                           const OptionsHooks& hooks,
                           std::function<void(int, const ui::OptionsForm&)> done) {
  auto f = std::make_shared<ui::OptionsForm>(form);
  Push(
      "Options", 30,
      [f, &modes, hooks]() -> int {
        ColumnNav nav;
        const float column = Em() * 15;
        ImGui::BeginGroup();
        Heading("Sound", column);
        // The stored steps run 0 loudest .. 9 silent; the sliders show loudness
        // 0 (silent) to 9 (loudest), left to right.
        int music = 9 - f->values.music_volume;
        int sound = 9 - f->values.sound_volume;
        bool music_on = f->values.music_on != 0, sounds_on = f->values.sounds_on != 0;
        if (ImGui::Checkbox("Music", &music_on)) f->values.music_on = music_on;
        Mark("Music");
        nav.Item(0);
        ImGui::SetNextItemWidth(column);
        ImGui::SliderInt("##music", &music, 0, 9, "Music volume %d", ImGuiSliderFlags_NoInput);
        Mark("Music volume");
        nav.Item(0, &music, 0, 9);
        ImGui::Spacing();
        if (ImGui::Checkbox("Game sounds", &sounds_on)) f->values.sounds_on = sounds_on;
        Mark("Game sounds");
        nav.Item(0);
        ImGui::SetNextItemWidth(column);
        ImGui::SliderInt("##sound", &sound, 0, 9, "Sound volume %d", ImGuiSliderFlags_NoInput);
        Mark("Sound volume");
        nav.Item(0, &sound, 0, 9);
        ImGui::Spacing();
        Heading("Table", column);
        bool nudge = f->values.show_nudge != 0;
        if (ImGui::Checkbox("Display Nudge", &nudge)) f->values.show_nudge = nudge;
        Mark("Display Nudge");
        nav.Item(0);
        // The controls form opens over this one, from the next frame.
        if (Button("Change Controls...") && hooks.change_controls) hooks.change_controls();
        nav.Item(0);
        ImGui::Spacing();
        Heading("Demonstration", column);
        bool kept = f->values.demo_kept_game != 0;
        if (ImGui::Checkbox("Best kept game", &kept)) f->values.demo_kept_game = kept;
        Mark("Best kept game");
        nav.Item(0);
        ImGui::EndGroup();
        ImGui::SameLine(0, Em() * 2);
        ImGui::BeginGroup();
        static constexpr std::array<const char*, 3> kResolutions = {
            "Low (640 x 480)", "Medium (800 x 600)", "High (1024 x 768)"};
        static constexpr std::array<const char*, 3> kDepths = {"Low (8-bit)", "Medium (16-bit)",
                                                               "High (32-bit)"};
        // A titled column of three radio buttons; a greyed one cannot be chosen.
        const float right = Em() * 11.5f;
        auto radio_column =
            [right, &nav](const char* title, const std::array<const char*, 3>& names, int id_base,
                          const std::array<bool, 3>& enabled, int checked, const auto& choose) {
              Heading(title, right);
              for (int n = 0; n < 3; ++n) {
                const size_t i = static_cast<size_t>(n);
                ImGui::PushID(id_base + n);
                if (!enabled[i]) ImGui::BeginDisabled();
                if (ImGui::RadioButton(names[i], checked == n)) choose(n);
                Mark(names[i]);
                if (!enabled[i]) ImGui::EndDisabled();
                if (enabled[i]) nav.Item(1);
                ImGui::PopID();
              }
            };
        radio_column("Resolution", kResolutions, 500, f->resolution_enabled, f->r,
                     [&](int n) { ui::ChooseResolution(*f, modes, n); });
        ImGui::Spacing();
        radio_column("Colour Depth", kDepths, 600, f->level_enabled, f->level,
                     [&](int n) { ui::ChooseColourLevel(*f, modes, n); });
        ImGui::Spacing();
        Heading("Scaling", right);
        bool sharp = f->values.sharp_scaling != 0;
        if (ImGui::Checkbox("Sharp (whole steps)", &sharp)) f->values.sharp_scaling = sharp;
        Mark("Sharp (whole steps)");
        nav.Item(1);
        ImGui::EndGroup();
        ButtonRow();
        int result = 0;
        if (Button("OK")) result = kDialogOk;
        nav.Item(ColumnNav::kButtonRow);
        ImGui::SameLine();
        if (Button("Cancel")) result = kDialogCancel;
        nav.Item(ColumnNav::kButtonRow);
        ImGui::SameLine();
        if ((Button("Help") || Pressed(SDL_SCANCODE_F1)) && hooks.help) {
          hooks.help("::/Settings.htm");
        }
        nav.Item(ColumnNav::kButtonRow);
        nav.Finish();
        // The sliders act at once (a drag, a click or the arrow keys).
        if (9 - music != f->values.music_volume) {
          f->values.music_volume = 9 - music;
          if (hooks.music_volume_changed) hooks.music_volume_changed(f->values.music_volume);
        }
        if (9 - sound != f->values.sound_volume) {
          f->values.sound_volume = 9 - sound;
          if (hooks.sound_volume_changed) hooks.sound_volume_changed(f->values.sound_volume);
        }
        return result;
      },
      kDialogCancel,
      [f, done = std::move(done)](int result) {
        if (done) done(result, *f);
      });
  if (open_) stack_.back()->own_arrows = true;
}

void ImGuiDialogs::NewVideoMode(Done done) {
  Push(
      "New Video Mode", 24,
      []() -> int {
        ImGui::TextWrapped("%s", std::string(ui::kNewVideoModeText).c_str());
        ButtonRow();
        if (Button("OK")) return kDialogOk;
        ImGui::SameLine();
        if (Button("Cancel")) return kDialogCancel;
        return 0;
      },
      kDialogCancel, std::move(done));
}

void ImGuiDialogs::About(const std::function<void()>& open_link, Done done) {
  const std::string title = std::string("About ") + kGameName;
  Push(
      title, 24,
      [open_link]() -> int {
        ImGui::TextUnformatted(kGameName);
        ImGui::TextUnformatted(std::string(ui::kVersionText).c_str());
        ImGui::Spacing();
        ImGui::TextWrapped("A Christmas pinball table for one to four players.");
        ImGui::Spacing();
        // A link: gold, as the menus' lettering.
        ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_CheckMark));
        const bool visit = ImGui::Selectable(
            "Visit our web page", false, 0, ImVec2(ImGui::CalcTextSize("Visit our web page").x, 0));
        ImGui::PopStyleColor();
        Mark("Visit our web page");
        if (visit && open_link) open_link();
        ButtonRow();
        const bool ok = Button("OK");
        ImGui::SetItemDefaultFocus();  // Enter closes it; the link is a click away
        return ok ? kDialogOk : 0;
      },
      kDialogCancel, std::move(done));
}

void ImGuiDialogs::SubmitOffer(Done done) {
  Push(
      kGameName, 26,
      []() -> int {
        ImGui::TextUnformatted("Congratulations!");
        ImGui::TextWrapped("You have beaten the first place in your local high score table!");
        ImGui::TextWrapped(
            "Would you like to send your score to the official on-line high score table?");
        ImGui::TextWrapped("This opens your web browser.");
        ButtonRow();
        if (Button("Yes")) return kDialogOk;
        ImGui::SameLine();
        if (Button("No")) return kDialogCancel;
        return 0;
      },
      kDialogCancel, std::move(done));
}

void ImGuiDialogs::Question(const char* text, Done done) {
  const std::string shown(text);
  Push(
      kGameName, 24,
      [shown]() -> int {
        ImGui::TextWrapped("%s", shown.c_str());
        ButtonRow();
        if (Button("OK")) return kDialogOk;
        ImGui::SameLine();
        if (Button("Cancel")) return kDialogCancel;
        return 0;
      },
      kDialogCancel, std::move(done));
}

void ImGuiDialogs::Notice(std::string_view text, Done done) {
  const std::string shown(text);
  Push(
      kGameName, 26,
      [shown]() -> int {
        ImGui::TextWrapped("%s", shown.c_str());
        ButtonRow();
        if (Button("OK")) return kDialogOk;
        return 0;
      },
      kDialogOk, std::move(done));
}

void ImGuiDialogs::ResetScoresConfirm(Done done) {
  Question("Are you sure you want to delete all high scores?", std::move(done));
}

void ImGuiDialogs::HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                              const std::string& name, const HighScoreHooks& hooks,
                              std::function<void(int, const std::string&)> done) {
  struct State {
    store::HighScoreTable table;
    // 10 characters of UTF-8 take at most 40 bytes.
    std::array<char, 41> edit{};
    bool focus_edit = false;
    bool watch_column = false;
  };
  auto st = std::make_shared<State>();
  st->table = table;
  const bool entering = entry_row >= 0 && entry_row < store::kHighScoreRows;
  std::strncpy(st->edit.data(), name.c_str(), st->edit.size() - 1);
  st->focus_edit = entering;
  // A column of Watch buttons while viewing, when a row has a kept recording.
  for (int row = 0; !entering && hooks.can_watch && row < store::kHighScoreRows; ++row) {
    st->watch_column = st->watch_column || hooks.can_watch(row);
  }
  Push(
      kGameName, 24,
      [this, st, entering, entry_row, score, hooks]() -> int {
        // Fixed columns: the form takes their width (a stretched column would
        // shrink to nothing in a form sized to its content).
        if (ImGui::BeginTable("scores", st->watch_column ? 4 : 3,
                              ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersOuterH)) {
          ImGui::TableSetupColumn("", ImGuiTableColumnFlags_WidthFixed, Em() * 1.8f);
          ImGui::TableSetupColumn("Name", ImGuiTableColumnFlags_WidthFixed, Em() * 12);
          ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed, Em() * 7);
          if (st->watch_column) {
            ImGui::TableSetupColumn("", ImGuiTableColumnFlags_WidthFixed, Em() * 4);
          }
          // The headings as plain text: ImGui's header cells would take the
          // keyboard's first stop from the form's buttons.
          ImGui::TableNextRow(ImGuiTableRowFlags_Headers);
          for (const char* heading : {"", "Name", "Score"}) {
            ImGui::TableNextColumn();
            ImGui::TextUnformatted(heading);
          }
          for (int row = 0; row < store::kHighScoreRows; ++row) {
            ImGui::TableNextRow();
            ImGui::TableNextColumn();
            ImGui::Text("%d.", row + 1);
            ImGui::TableNextColumn();
            int32_t row_score = st->table[static_cast<size_t>(row)].score;
            if (entering && row == entry_row) {
              if (st->focus_edit) {
                ImGui::SetKeyboardFocusHere();
                st->focus_edit = false;
              }
              ImGui::SetNextItemWidth(-1);
              // The name offered is selected: typing replaces it.
              ImGui::InputText("##name", st->edit.data(), st->edit.size(),
                               ImGuiInputTextFlags_CallbackEdit | ImGuiInputTextFlags_AutoSelectAll,
                               [](ImGuiInputTextCallbackData* d) {
                                 // At most 10 characters, never splitting one.
                                 int chars = 0;
                                 for (int i = 0; i < d->BufTextLen; ++i) {
                                   if ((static_cast<unsigned char>(d->Buf[i]) & 0xC0) == 0x80)
                                     continue;
                                   if (++chars > 10) {
                                     d->DeleteChars(i, d->BufTextLen - i);
                                     break;
                                   }
                                 }
                                 return 0;
                               });
              Mark("name");
              row_score = score;
            } else {
              ImGui::TextUnformatted(st->table[static_cast<size_t>(row)].name.c_str());
            }
            ImGui::TableNextColumn();
            std::string text = store::FormatScore(row_score);
            ImGui::SetCursorPosX(ImGui::GetCursorPosX() + ImGui::GetColumnWidth() -
                                 ImGui::CalcTextSize(text.c_str()).x);
            ImGui::TextUnformatted(text.c_str());
            if (st->watch_column) {
              ImGui::TableNextColumn();
              if (hooks.can_watch(row)) {
                ImGui::PushID(row);
                if (ImGui::SmallButton("Watch") && hooks.watch) hooks.watch(row);
                Mark(("Watch " + std::to_string(row + 1)).c_str());
                ImGui::PopID();
              }
            }
          }
          ImGui::EndTable();
        }
        ButtonRow();
        if (Button("Reset High Scores", !entering)) {
          // Asked over the table; on OK the table is cleared and shows empty.
          ResetScoresConfirm([st, hooks](int r) {
            if (r != kDialogOk) return;
            if (hooks.reset) hooks.reset();
            for (store::HighScoreEntry& e : st->table) e = {};
          });
        }
        ImGui::SameLine();
        if (Button("OK") || (entering && Pressed(SDL_SCANCODE_RETURN))) return kDialogOk;
        ImGui::SameLine();
        if ((Button("Help") || Pressed(SDL_SCANCODE_F1)) && hooks.help) {
          hooks.help("::/Instruction.htm#High_Scores");
        }
        return 0;
      },
      kDialogCancel,
      [st, done = std::move(done)](int result) {
        if (done) done(result, std::string(st->edit.data()));
      });
}

void ImGuiDialogs::Controls(const ControlsHooks& hooks, Done done) {
  static constexpr std::array<const char*, 6> kActions = {
      "Left Flipper", "Right Flipper", "Nudge from Left", "Nudge Up", "Nudge from Right", "Start"};
  Push(
      "Change Controls", 24,
      [hooks]() -> int {
        for (int a = 0; a < 6; ++a) {
          ImGui::PushID(1001 + 10 * a);
          ImGui::AlignTextToFramePadding();
          ImGui::TextUnformatted(kActions[static_cast<size_t>(a)]);
          ImGui::SameLine(Em() * 9);
          std::string text = hooks.binding_text ? hooks.binding_text(a) : std::string();
          // The capture form opens over this one.
          const bool change = ImGui::Button((text + "##bind").c_str(), ImVec2(Em() * 13, 0));
          Mark(kActions[static_cast<size_t>(a)]);
          if (change && hooks.change) hooks.change(a);
          ImGui::PopID();
        }
        ButtonRow();
        // The confirmation opens over this one; on OK the defaults are back.
        if (Button("Restore Defaults...") && hooks.restore_defaults) hooks.restore_defaults();
        ImGui::Spacing();
        if (Button("OK")) return kDialogOk;
        ImGui::SameLine();
        if (Button("Cancel")) return kDialogCancel;
        ImGui::SameLine();
        if ((Button("Help") || Pressed(SDL_SCANCODE_F1)) && hooks.help) {
          hooks.help("::/Controls.htm");
        }
        return 0;
      },
      kDialogCancel, std::move(done));
}

void ImGuiDialogs::RestoreDefaultsConfirm(Done done) {
  Question("Are you sure you want to restore the default settings?", std::move(done));
}

void ImGuiDialogs::Capture(std::string_view prompt, std::function<int()> tick, Done done) {
  const std::string text(prompt);
  Push(
      "Change Control", 20,
      [text, tick = std::move(tick)]() -> int {
        ImGui::TextWrapped("%s", text.c_str());
        ButtonRow();
        if (Button("Cancel")) return kDialogCancel;
        return tick();
      },
      kDialogCancel, std::move(done), /*escape_cancels=*/false, /*keys_are_answers=*/true);
}

}  // namespace platform
