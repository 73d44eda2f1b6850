#include "platform/imgui_dialogs.h"

#include <SDL.h>
#include <imgui.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "backends/imgui_impl_sdl.h"
#include "backends/imgui_impl_sdlrenderer.h"
#include "input/event_keyboard.h"
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

void ButtonRow() {
  ImGui::Spacing();
  ImGui::Spacing();
}

bool Button(const char* label, bool enabled = true) {
  if (!enabled) ImGui::BeginDisabled();
  const float width =
      std::max(Em() * 6.5f, ImGui::CalcTextSize(label, nullptr, true).x + Em() * 1.5f);
  bool pressed = ImGui::Button(label, ImVec2(width, 0));
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
  return std::clamp(s, 1.0f, 4.0f);
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
  if (!ImGui_ImplSDL2_InitForSDLRenderer(window) || !ImGui_ImplSDLRenderer_Init(renderer)) {
    ImGui::DestroyContext();
    if (controllers_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    controllers_ = false;
    return false;
  }
  window_ = window;
  renderer_ = renderer;
  open_ = true;
  scale_ = 0.0f;
  FollowWindowScale();
  return true;
}

void ImGuiDialogs::Close() {
  if (!open_) return;
  ImGui_ImplSDLRenderer_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  open_ = false;
  if (controllers_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  controllers_ = false;
}

int ImGuiDialogs::Run(const char* title, float wrap_em, const std::function<int()>& body,
                      int cancel_result, bool escape_cancels) {
  if (!open_) return cancel_result;
  // A scripted close applies to this dialog only, not to the ones it opens.
  const int auto_frames = auto_frames_;
  const int auto_result = auto_result_;
  auto_frames_ = -1;
  int result = 0;
  int frames = 0;
  bool first = true;
  bool ending = false;
  while (result == 0) {
    if (frame_hook_) frame_hook_(frames);
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      ImGui_ImplSDL2_ProcessEvent(&e);
      platform::Event key;
      if (keyboard_ != nullptr && platform::TranslateEvent(e, key) &&
          (key.kind == platform::EventKind::kKeyDown || key.kind == platform::EventKind::kKeyUp)) {
        keyboard_->KeyEvent(key.key, key.kind == platform::EventKind::kKeyDown);
      }
      if (e.type == SDL_QUIT) result = cancel_result, ending = true;
      if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) {
        result = cancel_result;
      }
    }
    if (ending) {
      // The program is asked to end: the form gives way, and the request
      // goes on to the game's own loop.
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
    }
    if (result != 0) break;
    if (frame_limit_ >= 0 && frames >= frame_limit_) return cancel_result;
    FollowWindowScale();
    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    const ImGuiViewport* vp = ImGui::GetMainViewport();
    // Centred over the game window.
    ImGui::SetNextWindowPos(
        ImVec2(vp->WorkPos.x + vp->WorkSize.x * 0.5f, vp->WorkPos.y + vp->WorkSize.y * 0.5f),
        ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    // Sized to what it holds; wrapped text runs `wrap_em` ems at most.
    ImGui::Begin(title, nullptr,
                 ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_AlwaysAutoResize);
    if (first) ImGui::SetWindowFocus();
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + wrap_em * Em());
    result = body();
    ImGui::PopTextWrapPos();
    // Escape, or a controller's B (ImGui's "cancel" input, just pressed), leaves the form.
    const bool pad_back = ImGui::GetIO().NavInputsDownDuration[ImGuiNavInput_Cancel] == 0.0f;
    if (result == 0 && escape_cancels &&
        ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
        (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false) || pad_back)) {
      result = cancel_result;
    }
    ImGui::End();
    ImGui::Render();
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (paint_backdrop_) paint_backdrop_();
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    if (drawn_hook_) drawn_hook_(frames);
    SDL_RenderPresent(renderer_);
    first = false;
    ++frames;
    if (result == 0 && auto_frames >= 0 && frames >= auto_frames) result = auto_result;
    if (result == 0 && frame_limit_ < 0 && auto_frames < 0) SDL_Delay(10);
  }
  return result;
}

int ImGuiDialogs::Options(ui::OptionsForm& f, const render::ModeTable& modes,
                          const OptionsHooks& hooks) {
  return Run(
      "Options", 30,
      [&]() -> int {
        const float column = Em() * 15;
        ImGui::BeginGroup();
        Heading("Sound", column);
        // The stored steps run 0 loudest .. 9 silent; the sliders show loudness
        // 0 (silent) to 9 (loudest), left to right.
        int music = 9 - f.values.music_volume;
        int sound = 9 - f.values.sound_volume;
        bool music_on = f.values.music_on != 0, sounds_on = f.values.sounds_on != 0;
        if (ImGui::Checkbox("Music", &music_on)) f.values.music_on = music_on;
        ImGui::SetNextItemWidth(column);
        if (ImGui::SliderInt("##music", &music, 0, 9, "Music volume %d")) {
          f.values.music_volume = 9 - music;
          if (hooks.music_volume_changed) hooks.music_volume_changed(f.values.music_volume);
        }
        ImGui::Spacing();
        if (ImGui::Checkbox("Game sounds", &sounds_on)) f.values.sounds_on = sounds_on;
        ImGui::SetNextItemWidth(column);
        if (ImGui::SliderInt("##sound", &sound, 0, 9, "Sound volume %d")) {
          f.values.sound_volume = 9 - sound;
          if (hooks.sound_volume_changed) hooks.sound_volume_changed(f.values.sound_volume);
        }
        ImGui::Spacing();
        Heading("Table", column);
        bool nudge = f.values.show_nudge != 0;
        if (ImGui::Checkbox("Display Nudge", &nudge)) f.values.show_nudge = nudge;
        if (Button("Change Controls...") && hooks.change_controls) hooks.change_controls();
        ImGui::Spacing();
        Heading("Demonstration", column);
        bool kept = f.values.demo_kept_game != 0;
        if (ImGui::Checkbox("Best kept game", &kept)) f.values.demo_kept_game = kept;
        ImGui::EndGroup();
        ImGui::SameLine(0, Em() * 2);
        ImGui::BeginGroup();
        static constexpr std::array<const char*, 3> kResolutions = {
            "Low (640 x 480)", "Medium (800 x 600)", "High (1024 x 768)"};
        static constexpr std::array<const char*, 3> kDepths = {"Low (8-bit)", "Medium (16-bit)",
                                                               "High (32-bit)"};
        // A titled column of three radio buttons; a greyed one cannot be chosen.
        const float right = Em() * 11.5f;
        auto radio_column = [right](const char* title, const std::array<const char*, 3>& names,
                                    int id_base, const std::array<bool, 3>& enabled, int checked,
                                    const auto& choose) {
          Heading(title, right);
          for (int n = 0; n < 3; ++n) {
            const size_t i = static_cast<size_t>(n);
            ImGui::PushID(id_base + n);
            if (!enabled[i]) ImGui::BeginDisabled();
            if (ImGui::RadioButton(names[i], checked == n)) choose(n);
            if (!enabled[i]) ImGui::EndDisabled();
            ImGui::PopID();
          }
        };
        radio_column("Resolution", kResolutions, 500, f.resolution_enabled, f.r,
                     [&](int n) { ui::ChooseResolution(f, modes, n); });
        ImGui::Spacing();
        radio_column("Colour Depth", kDepths, 600, f.level_enabled, f.level,
                     [&](int n) { ui::ChooseColourLevel(f, modes, n); });
        ImGui::Spacing();
        Heading("Scaling", right);
        bool sharp = f.values.sharp_scaling != 0;
        if (ImGui::Checkbox("Sharp (whole steps)", &sharp)) f.values.sharp_scaling = sharp;
        ImGui::EndGroup();
        ButtonRow();
        int result = 0;
        if (Button("OK")) result = kDialogOk;
        ImGui::SameLine();
        if (Button("Cancel")) result = kDialogCancel;
        ImGui::SameLine();
        if ((Button("Help") || ImGui::IsKeyPressed(SDL_SCANCODE_F1, false)) && hooks.help) {
          hooks.help("::/Settings.htm");
        }
        return result;
      },
      kDialogCancel);
}

int ImGuiDialogs::NewVideoMode() {
  return Run(
      "New Video Mode", 24,
      [&]() -> int {
        ImGui::TextWrapped("%s", std::string(ui::kNewVideoModeText).c_str());
        ButtonRow();
        if (Button("OK")) return kDialogOk;
        ImGui::SameLine();
        if (Button("Cancel")) return kDialogCancel;
        return 0;
      },
      kDialogCancel);
}

int ImGuiDialogs::About(const std::function<void()>& open_link) {
  const std::string title = std::string("About ") + kGameName;
  return Run(
      title.c_str(), 24,
      [&]() -> int {
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
        if (visit && open_link) open_link();
        ButtonRow();
        if (Button("OK")) return kDialogOk;
        return 0;
      },
      kDialogCancel);
}

int ImGuiDialogs::SubmitOffer() {
  return Run(
      kGameName, 26,
      [&]() -> int {
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
      kDialogCancel);
}

int ImGuiDialogs::Question(const char* text) {
  return Run(
      kGameName, 24,
      [&]() -> int {
        ImGui::TextWrapped("%s", text);
        ButtonRow();
        if (Button("OK")) return kDialogOk;
        ImGui::SameLine();
        if (Button("Cancel")) return kDialogCancel;
        return 0;
      },
      kDialogCancel);
}

int ImGuiDialogs::Notice(std::string_view text) {
  const std::string shown(text);
  return Run(
      kGameName, 26,
      [&]() -> int {
        ImGui::TextWrapped("%s", shown.c_str());
        ButtonRow();
        if (Button("OK")) return kDialogOk;
        return 0;
      },
      kDialogOk);
}

int ImGuiDialogs::ResetScoresConfirm() {
  return Question("Are you sure you want to delete all high scores?");
}

int ImGuiDialogs::HighScores(const store::HighScoreTable& table, int entry_row, int32_t score,
                             std::string& name, const HighScoreHooks& hooks) {
  const bool entering = entry_row >= 0 && entry_row < store::kHighScoreRows;
  // 10 characters of UTF-8 take at most 40 bytes.
  std::array<char, 41> edit{};
  std::strncpy(edit.data(), name.c_str(), edit.size() - 1);
  bool focus_edit = entering;
  bool reset_asked = false;
  // A column of Watch buttons while viewing, when a row has a kept recording.
  bool watch_column = false;
  for (int row = 0; !entering && hooks.can_watch && row < store::kHighScoreRows; ++row) {
    watch_column = watch_column || hooks.can_watch(row);
  }
  int result = Run(
      kGameName, 24,
      [&]() -> int {
        // Fixed columns: the form takes their width (a stretched column would
        // shrink to nothing in a form sized to its content).
        if (ImGui::BeginTable("scores", watch_column ? 4 : 3,
                              ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersOuterH)) {
          ImGui::TableSetupColumn("", ImGuiTableColumnFlags_WidthFixed, Em() * 1.8f);
          ImGui::TableSetupColumn("Name", ImGuiTableColumnFlags_WidthFixed, Em() * 12);
          ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed, Em() * 7);
          if (watch_column) ImGui::TableSetupColumn("", ImGuiTableColumnFlags_WidthFixed, Em() * 4);
          ImGui::TableHeadersRow();
          for (int row = 0; row < store::kHighScoreRows; ++row) {
            ImGui::TableNextRow();
            ImGui::TableNextColumn();
            ImGui::Text("%d.", row + 1);
            ImGui::TableNextColumn();
            int32_t row_score = table[static_cast<size_t>(row)].score;
            if (entering && row == entry_row) {
              if (focus_edit) {
                ImGui::SetKeyboardFocusHere();
                focus_edit = false;
              }
              ImGui::SetNextItemWidth(-1);
              ImGui::InputText("##name", edit.data(), edit.size(), ImGuiInputTextFlags_CallbackEdit,
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
              row_score = score;
            } else {
              ImGui::TextUnformatted(table[static_cast<size_t>(row)].name.c_str());
            }
            ImGui::TableNextColumn();
            std::string text = store::FormatScore(row_score);
            ImGui::SetCursorPosX(ImGui::GetCursorPosX() + ImGui::GetColumnWidth() -
                                 ImGui::CalcTextSize(text.c_str()).x);
            ImGui::TextUnformatted(text.c_str());
            if (watch_column) {
              ImGui::TableNextColumn();
              if (hooks.can_watch(row)) {
                ImGui::PushID(row);
                if (ImGui::SmallButton("Watch") && hooks.watch) hooks.watch(row);
                ImGui::PopID();
              }
            }
          }
          ImGui::EndTable();
        }
        ButtonRow();
        if (Button("Reset High Scores", !entering)) reset_asked = true;
        ImGui::SameLine();
        if (Button("OK") ||
            (entering && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false)))
          return kDialogOk;
        ImGui::SameLine();
        if ((Button("Help") || ImGui::IsKeyPressed(SDL_SCANCODE_F1, false)) && hooks.help) {
          hooks.help("::/Instruction.htm#High_Scores");
        }
        if (reset_asked) return 3;  // asked outside this frame, then the table shows again
        return 0;
      },
      kDialogCancel);
  while (result == 3) {
    if (ResetScoresConfirm() == kDialogOk && hooks.reset) hooks.reset();
    reset_asked = false;
    result = HighScores(table, -1, 0, name, hooks);
  }
  if (result == kDialogOk && entering) name = edit.data();
  return result;
}

int ImGuiDialogs::Controls(const ControlsHooks& hooks) {
  static constexpr std::array<const char*, 6> kActions = {
      "Left Flipper", "Right Flipper", "Nudge from Left", "Nudge Up", "Nudge from Right", "Start"};
  bool defaults_asked = false;
  int result = Run(
      "Change Controls", 24,
      [&]() -> int {
        for (int a = 0; a < 6; ++a) {
          ImGui::PushID(1001 + 10 * a);
          ImGui::AlignTextToFramePadding();
          ImGui::TextUnformatted(kActions[static_cast<size_t>(a)]);
          ImGui::SameLine(Em() * 9);
          std::string text = hooks.binding_text ? hooks.binding_text(a) : std::string();
          if (ImGui::Button((text + "##bind").c_str(), ImVec2(Em() * 13, 0)) && hooks.change) {
            hooks.change(a);
          }
          ImGui::PopID();
        }
        ButtonRow();
        if (Button("Restore Defaults...")) defaults_asked = true;
        ImGui::Spacing();
        if (Button("OK")) return kDialogOk;
        ImGui::SameLine();
        if (Button("Cancel")) return kDialogCancel;
        ImGui::SameLine();
        if ((Button("Help") || ImGui::IsKeyPressed(SDL_SCANCODE_F1, false)) && hooks.help) {
          hooks.help("::/Controls.htm");
        }
        if (defaults_asked) return 3;  // asked outside this frame, then the form shows again
        return 0;
      },
      kDialogCancel);
  while (result == 3) {
    if (hooks.restore_defaults) hooks.restore_defaults();
    defaults_asked = false;
    result = Controls(hooks);
  }
  return result;
}

int ImGuiDialogs::RestoreDefaultsConfirm() {
  return Question("Are you sure you want to restore the default settings?");
}

int ImGuiDialogs::Capture(std::string_view prompt, const std::function<int()>& tick) {
  if (!open_) return kDialogCancel;
  const std::string text(prompt);
  // Every key and button is the form's answer, not a way around it: no
  // keyboard or joypad navigation while it shows (the mouse may cancel).
  ImGuiIO& io = ImGui::GetIO();
  const ImGuiConfigFlags flags = io.ConfigFlags;
  io.ConfigFlags &= ~(ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_NavEnableGamepad);
  const int result = Run(
      "Change Control", 20,
      [&]() -> int {
        ImGui::TextWrapped("%s", text.c_str());
        ButtonRow();
        if (Button("Cancel")) return kDialogCancel;
        return tick();
      },
      kDialogCancel, /*escape_cancels=*/false);
  io.ConfigFlags = flags;
  return result;
}

}  // namespace platform
