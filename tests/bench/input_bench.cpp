// The cost of the event tap's callback per event, which the system bounds: a
// slow callback gets the tap switched off. Aims: a key press well under 50 ns, a
// click with six screens well under 500 ns.

#include <benchmark/benchmark.h>

#include "../input/input_rig.h"

namespace hushpad {
namespace {

using namespace inputtest;

// A locked controller over the given number of screens side by side.
struct LockedRig {
  explicit LockedRig(int screenCount)
      : farAway{kScreenWidth * (screenCount - 0.5), kScreenHeight / 2} {
    rig.screens.frames = screensSideBySide(screenCount);
    rig.lockNow();
  }
  InputRig rig;
  Point farAway;  // mid-height on the last screen: far from the button and every menu bar
};

void runCallback(benchmark::State& state, InputLockController& controller, EventType type,
                 Point location) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(controller.eventTapCallback(type, location));
  }
}

void BM_KeyDownWhileLocked(benchmark::State& state) {
  LockedRig locked(1);
  runCallback(state, locked.rig.controller, kKeyDown, kOnButton);
}
BENCHMARK(BM_KeyDownWhileLocked);

void BM_ClickOnTheButton(benchmark::State& state) {
  LockedRig locked(1);
  runCallback(state, locked.rig.controller, kLeftMouseDown, kOnButton);
}
BENCHMARK(BM_ClickOnTheButton);

// The button is checked for reachability too: six screens, each with a camera
// housing beside which the button sits on the main one.
void BM_ClickOnTheButtonBesideCameraHousings(benchmark::State& state) {
  LockedRig locked(6);
  for (const Rect& screen : locked.rig.screens.frames) {
    locked.rig.screens.housings.push_back(makeRect(minX(screen) + 640, 868, 160, 32));
  }
  runCallback(state, locked.rig.controller, kLeftMouseDown, kOnButton);
}
BENCHMARK(BM_ClickOnTheButtonBesideCameraHousings);

// Every location test runs to its end.
void BM_ClickFarAway(benchmark::State& state) {
  LockedRig locked(static_cast<int>(state.range(0)));
  runCallback(state, locked.rig.controller, kLeftMouseDown, locked.farAway);
}
BENCHMARK(BM_ClickFarAway)->Arg(1)->Arg(6);

// Without a button the strip test walks every screen.
void BM_ClickFarAwayWithoutAButton(benchmark::State& state) {
  LockedRig locked(static_cast<int>(state.range(0)));
  locked.rig.button.reset();
  runCallback(state, locked.rig.controller, kLeftMouseDown, locked.farAway);
}
BENCHMARK(BM_ClickFarAwayWithoutAButton)->Arg(1)->Arg(6);

void BM_EventWhileUnlocked(benchmark::State& state) {
  LockedRig locked(1);
  locked.rig.controller.unlock();
  runCallback(state, locked.rig.controller, kLeftMouseDown, kOnButton);
}
BENCHMARK(BM_EventWhileUnlocked);

}  // namespace
}  // namespace hushpad

BENCHMARK_MAIN();
