#include "app/frame_passes.h"

#include "app/game.h"
#include "physics/flipper.h"
#include "rules/rules.h"

namespace app {

namespace {

void SyncRules(Game& g) {
  rules::SetClock(g.rules, g.frame.now_whole, static_cast<int32_t>(g.frame.frame_time_whole),
                  g.frame.frame_time);
  g.rules.main_menu_shown = g.flags.main_menu_shown;
  g.rules.table.flags.computer_playing = g.flags.computer_playing;
}

}  // namespace

void FramePasses::UpdateFlipper(Game& g, int control, bool pressed, int hold_factor) {
  physics::UpdateFlipper(g.world, control, pressed, hold_factor);
}

void FramePasses::HitPass(Game& g) {
  SyncRules(g);
  rules::HitPass(g.rules);
}

void FramePasses::FlipperSounds(Game& g) { physics::FlipperSounds(g.world); }

void FramePasses::RulesFrame(Game& g) {
  SyncRules(g);
  rules::RulesFrameEarly(g.rules, g.flipper_controls[0] != 0, g.flipper_controls[1] != 0);
  rules::RulesFrameLate(g.rules);
}

void FramePasses::RefreshFlipperImages(Game& g) { physics::RefreshFlipperImages(g.world, false); }

}  // namespace app
