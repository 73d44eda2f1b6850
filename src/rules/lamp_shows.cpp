#include "rules/lamp_shows.h"

#include <vector>

#include "rules/table_objects.h"

namespace rules {

namespace {

// Builds a script step by step.
class Script {
 public:
  void On(int row) { Add(kOpLampOn, row); }
  void Off(int row) { Add(kOpLampOff, row); }
  void Wait(int ticks) { Add(kOpWait, ticks); }
  void Restart() { Add(kOpRestart, 0); }
  void End() { Add(kOpEnd, 0); }
  void Add(uint8_t op, int arg) { steps_.push_back({op, static_cast<uint8_t>(arg)}); }

  void Group(const std::vector<int>& rows, bool on) {
    for (int r : rows) Add(on ? kOpLampOn : kOpLampOff, r);
  }
  // The lamps one by one (or n at a time) with a wait of one tick between.
  void Sweep(const std::vector<int>& rows, bool on, int per_tick) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (i > 0 && i % per_tick == 0) Wait(1);
      Add(on ? kOpLampOn : kOpLampOff, rows[i]);
    }
  }

  void Store(LampShow& show) const {
    for (size_t i = 0; i < steps_.size() && i < show.steps.size(); ++i) show.steps[i] = steps_[i];
  }

 private:
  std::vector<ShowStep> steps_;
};

std::vector<int> Rows(int first, int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back(first + i);
  return v;
}

std::vector<int> Concat(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

std::vector<int> Tree() { return Rows(kRowTreeFirst, 4); }
std::vector<int> Santa() { return Rows(kRowSantaFirst, 5); }
std::vector<int> Bonus() { return Rows(kRowBonusFirst, kBonusLamps); }
// Bonus lamps 5g to 5g + 4.
std::vector<int> BonusGroup(int g) { return Rows(kRowBonusFirst + 5 * g, 5); }

void AllOff(Script& s) {
  s.Group(Tree(), false);
  s.Group(Santa(), false);
  s.Group(Bonus(), false);
}

// TREE and the bonus row on, a pause, SANTA on; then all of them off again in
// the same order, per_tick lamps per tick.
void SweepOnOff(Script& s, int per_tick) {
  s.Sweep(Concat({Tree(), Bonus()}), true, per_tick);
  s.Wait(3);
  s.Sweep(Santa(), true, per_tick);
  s.Wait(1);
  s.Sweep(Concat({Tree(), Bonus(), Santa()}), false, per_tick);
}

// Groups lit one after the other with two ticks between, held, then put out
// from TREE through the bonus groups to SANTA.
void GroupShow(Script& s, const std::vector<std::vector<int>>& on_order) {
  s.Wait(1);
  AllOff(s);
  s.Wait(5);
  for (size_t i = 0; i < on_order.size(); ++i) {
    if (i > 0) s.Wait(2);
    s.Group(on_order[i], true);
  }
  s.Wait(5);
  const std::vector<std::vector<int>> off_order = {Tree(),        BonusGroup(0), BonusGroup(1),
                                                   BonusGroup(2), BonusGroup(3), Santa()};
  for (size_t i = 0; i < off_order.size(); ++i) {
    if (i > 0) s.Wait(2);
    s.Group(off_order[i], false);
  }
  s.Wait(5);
  s.End();
}

}  // namespace

std::array<LampShow, kShowSlots> BuildLampShows() {
  std::array<LampShow, kShowSlots> shows{};

  Script attract;
  attract.Wait(30);
  AllOff(attract);
  SweepOnOff(attract, 1);
  attract.Restart();
  attract.Store(shows[kShowAttract]);

  Script sweep;
  sweep.Wait(10);
  AllOff(sweep);
  SweepOnOff(sweep, 2);
  sweep.End();
  sweep.Store(shows[kShowSweep]);

  Script award;
  GroupShow(award, {Tree(), BonusGroup(0), BonusGroup(1), BonusGroup(2), BonusGroup(3), Santa()});
  award.Store(shows[kShowAward]);

  Script skill;
  GroupShow(skill, {Santa(), BonusGroup(3), BonusGroup(2), BonusGroup(1), BonusGroup(0), Tree()});
  skill.Store(shows[kShowSkillShot]);
  return shows;
}

namespace {

// Marks (or unmarks) every lamp a show switches; unmarking gives the lamp back
// its logical picture.
void WalkOwnedLamps(Table& table, const LampShow& show, bool own) {
  for (const ShowStep& step : show.steps) {
    if (step.op != kOpLampOn && step.op != kOpLampOff && step.op != kOpWait) break;
    if (step.op == kOpWait) continue;
    TableObject& o = table.objects[step.arg];
    if (own) {
      o.show_owned = 1;
      continue;
    }
    o.show_owned = 0;
    if (o.state == 1) ShowLamp(table, step.arg, true);
    if (o.state == 0) ShowLamp(table, step.arg, false);
  }
}

}  // namespace

void StartLampShow(Table& table, int n) {
  if (n < 0 || n >= kShowSlots) return;
  LampShow& show = table.shows[n];
  show.active = 1;
  show.position = -1;
  // A show stopped in the middle of a wait starts afresh.
  show.elapsed = 0;
  show.wait = 0;
  WalkOwnedLamps(table, show, true);
}

void StopLampShow(Table& table, int n) {
  if (n < 0 || n >= kShowSlots) return;
  LampShow& show = table.shows[n];
  if (show.active) WalkOwnedLamps(table, show, false);
  show.active = 0;
  show.position = -1;
}

void StopAllLampShows(Table& table) {
  for (int n = 0; n < kShowSlots; ++n) StopLampShow(table, n);
}

void StepLampShows(Table& table, int32_t frame_time) {
  for (int n = 0; n < kShowSlots; ++n) {
    LampShow& show = table.shows[n];
    if (!show.active) continue;
    show.elapsed += frame_time;
    if (show.elapsed <= show.step_period) continue;
    show.elapsed = 0;
    if (show.wait > 0) {
      --show.wait;
      continue;
    }
    bool running = true;
    while (running) {
      if (++show.position >= kShowSteps) {
        StopLampShow(table, n);
        break;
      }
      const ShowStep step = show.steps[show.position];
      switch (step.op) {
        case kOpLampOn:
          ShowLamp(table, step.arg, true);
          break;
        case kOpLampOff:
          ShowLamp(table, step.arg, false);
          break;
        case kOpWait:
          show.wait = step.arg;
          running = false;
          break;
        case kOpRestart:
          show.position = -1;
          running = false;
          break;
        default:
          StopLampShow(table, n);
          running = false;
          break;
      }
    }
  }
}

}  // namespace rules
