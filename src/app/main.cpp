// gfall: the game. The window front end is not built yet; for now the program
// runs the table simulation headless on a virtual clock and reports the balls.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "app/clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/table_run.h"
#include "physics/ball.h"

namespace {

constexpr const char* kUsage =
    "usage: gfall [--headless] [--frames N] [--seed S] [--fps F] [--trace]\n"
    "  --headless   run the simulation without a window (the window is not built yet,\n"
    "               so this is also what happens without it)\n"
    "  --frames N   frames to run (default 600)\n"
    "  --seed S     seed of the random source (default 1)\n"
    "  --fps F      frames per second of the virtual clock (default 60)\n"
    "  --trace      print the balls after every frame\n"
    "  --help       this text\n";

struct Options {
  bool headless = false;
  bool trace = false;
  long frames = 600;
  unsigned long seed = 1;
  double fps = 60.0;
};

bool ParseNumber(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// Returns 0 to run, 1 for a usage error, 2 after --help.
int Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](double& out, double lo, double hi) {
      if (i + 1 >= argc || !ParseNumber(argv[i + 1], out) || !(out >= lo && out <= hi)) {
        std::fprintf(stderr, "gfall: %s needs a number from %g to %g\n", a.c_str(), lo, hi);
        return false;
      }
      ++i;
      return true;
    };
    double v = 0.0;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 2;
    } else if (a == "--headless") {
      o.headless = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--frames") {
      if (!value(v, 0, 100000000)) return 1;
      o.frames = static_cast<long>(v);
    } else if (a == "--seed") {
      if (!value(v, 0, 4294967295.0)) return 1;
      o.seed = static_cast<unsigned long>(v);
    } else if (a == "--fps") {
      if (!value(v, 1, 10000)) return 1;
      o.fps = v;
    } else {
      std::fprintf(stderr, "gfall: unknown option %s\n%s", a.c_str(), kUsage);
      return 1;
    }
  }
  return 0;
}

// A walled test field the size of the table: the ball is served from the
// plunger and bounces around until it settles on the floor.
physics::SurfaceMap TestField() {
  physics::SurfaceMap map(800, 1500, 0);
  map.Fill(0, 0, 800, 8, physics::kCodeWall);
  map.Fill(0, 0, 8, 1500, physics::kCodeWall);
  map.Fill(792, 0, 800, 1500, physics::kCodeWall);
  map.Fill(0, 1490, 800, 1500, physics::kCodeWall);
  return map;
}

void PrintBall(const physics::BallRecord& b, int i) {
  std::printf("ball %d: %s x=%.3f y=%.3f vx=%.4f vy=%.4f surface=%d\n", i,
              b.in_play ? "in play" : "out", b.x, b.y, b.vx, b.vy, b.surface_code);
}

int Run(const Options& o) {
  auto owned = std::make_unique<app::FakeClock>();
  app::FakeClock* clock = owned.get();
  app::Game game(std::move(owned));
  game.random.Seed(static_cast<uint32_t>(o.seed));
  game.world.map = TestField();
  physics::BallReset(game.world.balls);
  physics::PlaceBallAtPlunger(game.world.balls, 0, game.world.tuning, game.random);
  game.world.balls[0].launched = 1;

  const double frame_ms = 1000.0 / o.fps;
  long steps = 0;
  for (long i = 0; i < o.frames; ++i) {
    clock->Advance(frame_ms);
    app::FrameGate(game);
    steps += game.frame.steps_run;
    if (o.trace) {
      std::printf("frame %ld t=%.3f steps=%d ", i + 1, clock->Now(), game.frame.steps_run);
      PrintBall(game.world.balls[0], 0);
    }
  }
  std::printf("frames %ld, steps %ld, clock %.3f ms, seed %lu\n", o.frames, steps, clock->Now(),
              o.seed);
  for (int i = 0; i < physics::kBallCount; ++i) PrintBall(game.world.balls[i], i);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (app::WantsTableRun(argc, argv)) return app::TableRunMain(argc, argv);
    Options o;
    int parsed = Parse(argc, argv, o);
    if (parsed == 2) return 0;
    if (parsed != 0) return 1;
    if (!o.headless) {
      std::puts("gfall: the window front end is not built yet; running the table headless.");
    }
    return Run(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gfall: %s\n", e.what());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "gfall: unexpected error\n");
    return 1;
  }
}
