#pragma once
// A table for rule tests without the physics: a surface map painted in code,
// balls placed by hand, a recording sound and a hand-driven clock.

#include <vector>

#include "core/random15.h"
#include "core/table_sound.h"
#include "physics/world.h"
#include "rules/rules.h"

namespace rules_test {

struct PlayedSound {
  int slot;
  float x, y;
};

class RecordingSound final : public core::TableSound {
 public:
  void PlayTableSound(int slot, float x, float y, bool, bool) override {
    played.push_back({slot, x, y});
  }
  void PlayTableSoundWithSpeed(int slot, float x, float y, float speed, bool, bool) override {
    played.push_back({slot, x, y});
    last_speed = speed;
  }
  void StopSound(int) override {}
  bool IsPlaying(int) override { return false; }

  int Count(int slot) const {
    int n = 0;
    for (const PlayedSound& p : played) n += p.slot == slot;
    return n;
  }

  std::vector<PlayedSound> played;
  float last_speed = 0.0f;
};

class FakeFlow final : public rules::FlowHooks {
 public:
  void HoleReleaseStep() override { ++release_steps; }
  int release_steps = 0;
};

struct RulesHarness {
  RulesHarness() {
    world.map = physics::SurfaceMap(800, 1514, 0);
    world.sound = &sound;
    world.random = &random;
    rules.Bind(world);
    rules.flow = &flow;
    rules::ResetObjects(rules.table);
    world.balls[1].in_play = 0;
    PlaceBall(0, 400.0f, 1000.0f);
  }

  void Paint(int x0, int y0, int x1, int y1, int code) {
    world.map.Fill(x0, y0, x1, y1, static_cast<uint8_t>(code));
  }

  // Puts a ball in play at a position with a velocity and the surface code
  // the physics would have left in its record.
  physics::BallRecord& PlaceBall(int i, float x, float y, float vx = 0.0f, float vy = 0.0f,
                                 int surface_code = 0) {
    physics::BallRecord& b = world.balls[i];
    b.in_play = 1;
    b.held = 0;
    b.waiting_at_plunger = 0;
    b.x = x;
    b.y = y;
    b.vx = vx;
    b.vy = vy;
    b.surface_code = surface_code;
    return b;
  }

  // One hit pass after a physics step of `ms` milliseconds.
  void HitPass(int ms = 7) {
    now += ms;
    rules::SetClock(rules, now, ms, ms);
    rules::HitPass(rules);
  }

  // One rules frame of `ms` milliseconds (the table's per-frame work).
  void Frame(int ms = 16, bool left = false, bool right = false) {
    now += ms;
    rules::SetClock(rules, now, ms, ms);
    rules::RulesFrameEarly(rules, left, right);
    rules::RulesFrameLate(rules);
  }
  void Frames(int count, int ms = 16) {
    for (int i = 0; i < count; ++i) Frame(ms);
  }

  int32_t Score() const { return rules.players.Current().score; }
  int32_t Bonus() const { return rules.players.Current().bonus_level; }
  rules::TableObject& Obj(int row) { return rules.table.objects[row]; }
  int Drawn(int row) const { return rules.recorder.FrameOfRow(row); }

  core::Random15 random;
  RecordingSound sound;
  FakeFlow flow;
  physics::World world;
  rules::Rules rules;
  uint32_t now = 10000;
};

}  // namespace rules_test
