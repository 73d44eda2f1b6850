#include "app/game.h"

namespace app {

Game::Game(std::unique_ptr<Clock> c, std::unique_ptr<FramePasses> p)
    : clock(std::move(c)), passes(std::move(p)) {
  world.sound = &silent_sound;
  world.random = &random;
  rules.Bind(world);
  score_display.canvas = &score_recorder;
  score_display.sound = world.sound;
}

}  // namespace app
