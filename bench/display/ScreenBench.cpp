// Cost of the drawing of each 100 ms tick: a steady screen must cost next to
// nothing, a tick that changes everything must stay well inside the period.
#include "display/MonitorScreen.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vorn;

struct Screen {
    Canvas canvas;
    TyreStateTable state;
    MonitorSettings settings;
    MonitorScreen screen{canvas, state, settings};

    Screen() {
        screen.DrawStaticScreen();
        for (int w = 0; w < kShownWheels; ++w)
            screen.DrawBatteryIcon(w);
    }
    // Two looks that differ in every lit segment of all 36 cells and in
    // every tyre and battery icon: "32.0" lime over "110" red, then "50.0"
    // red over "-40" lime, with the status words the monitor gives them.
    void report(bool first) {
        for (int w = 0; w < kShownWheels; ++w) {
            state.StoreSensorReport(w, first ? 3 : 0, true, first ? 64 : 100, first ? 150 : 0);
            state.TyreStatus[w] |= first ? status::HighTemperature : status::HighPressure;
        }
    }
};

void SteadyTick(benchmark::State& bench) {
    Screen s;
    s.report(true);
    s.screen.RefreshDisplay(0);
    for (auto _ : bench)
        s.screen.RefreshDisplay(0);
}
BENCHMARK(SteadyTick);

void TickRedrawingEverything(benchmark::State& bench) {
    Screen s;
    bool first = true;
    for (auto _ : bench) {
        s.report(first);
        first = !first;
        s.screen.RefreshDisplay(first ? 1 : 0);
    }
}
BENCHMARK(TickRedrawingEverything)->Unit(benchmark::kMicrosecond);

void DrawStaticScreen(benchmark::State& bench) {
    Screen s;
    for (auto _ : bench)
        s.screen.DrawStaticScreen();
}
BENCHMARK(DrawStaticScreen)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
