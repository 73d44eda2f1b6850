#include "app/game.h"

#include "app/game_passes.h"

namespace app {

Game::Game(std::unique_ptr<Clock> c, std::unique_ptr<FramePasses> p)
    : clock(std::move(c)), passes(p ? std::move(p) : std::make_unique<GamePasses>()) {
  world.sound = &silent_sound;
  world.random = &random;
  rules.Bind(world);
  score_display.canvas = &score_recorder;
  score_display.sound = world.sound;
  // The rebound kickers kick from the reference points of the kickers among
  // the first four table objects.
  const auto& objects = rules::ObjectTemplates();
  for (size_t row = 0; row < 4; ++row) {
    const rules::ObjectTemplate& o = objects[row];
    if (o.kind == rules::kKindKicker && world.kicker_count < physics::kMaxKickers) {
      world.kicker_centres[static_cast<size_t>(world.kicker_count++)] = {static_cast<float>(o.x),
                                                                         static_cast<float>(o.y)};
    }
  }
}

}  // namespace app
