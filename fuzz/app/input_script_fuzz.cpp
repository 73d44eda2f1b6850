// Headless input scripts: any text parses or is refused with a line number;
// a script that parses is then played on the built-in test table for a few
// hundred frames, as `gfall --headless --test-table --input` plays it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "app/frame_loop.h"
#include "app/game_passes.h"
#include "app/headless.h"
#include "app/input_script.h"

namespace {

constexpr int kFrames = 600;

void Play(const std::vector<app::ScriptEvent>& script) {
  auto clock = std::make_unique<app::FakeClock>();
  app::FakeClock* c = clock.get();
  app::Game g(std::move(clock), std::make_unique<app::GamePasses>());
  g.random.Seed(1);
  physics::PlayfieldReset(g.world, g.random);
  app::UseTestTable(g);
  app::StartGame(g, false);
  app::ScriptFeed feed(script);
  for (int n = 0; n < kFrames && !g.flow.state.game_ended; ++n) {
    c->Advance(1000.0 / 60.0);
    feed.Deliver(c->Now(), g, nullptr, nullptr, nullptr);
    app::FrameGate(g);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto events =
      app::ParseInputScript(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (events) {
    double last = 0.0;
    for (const app::ScriptEvent& e : *events) {
      if (e.ms < last || e.action < -1 || e.action > 5) std::abort();
      last = e.ms;
    }
    Play(*events);
  } else if (error.rfind("line ", 0) != 0) {
    std::abort();
  }
  return 0;
}
