// Cost of the 100 ms display tick: a steady screen must cost next to
// nothing, a tick that changes everything must stay well inside the period.
#include "display/MonitorScreen.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vorn;

class SilentEffects : public MonitorEffects {
public:
    void setBrandCaption(std::string_view) override {}
    void setBrandColour(PanelColour colour) override { brand_ = colour; }
    PanelColour brandColour() const override { return brand_; }
    void setCalibrationCaption(std::string_view) override {}
    void setCalibrationColour(PanelColour) override {}
    void setFactoryColour(PanelColour) override {}
    void setFrequencyText(std::string_view) override {}
    void playTone(int, int) override {}

private:
    PanelColour brand_ = PanelColour::SkyBlue;
};

struct Screen {
    Canvas canvas;
    TyreStateTable state;
    MonitorSettings settings;
    SilentEffects effects;
    MonitorScreen screen{canvas, state, settings, effects};

    Screen() {
        screen.DrawStaticScreen();
        for (int w = 0; w < kShownWheels; ++w)
            screen.DrawBatteryIcon(w);
    }
    // Two looks that differ in every lit segment of all 36 cells and in
    // every tyre and battery icon: "32.0" lime over "110" red, then "50.0"
    // red over "-40" lime.
    void report(bool first) {
        for (int w = 0; w < kShownWheels; ++w)
            state.StoreSensorReport(w, first ? 3 : 0, true, first ? 64 : 100, first ? 150 : 0);
    }
};

void SteadyTick(benchmark::State& bench) {
    Screen s;
    s.report(true);
    s.screen.Timer1Timer();
    for (auto _ : bench)
        s.screen.Timer1Timer();
}
BENCHMARK(SteadyTick);

void TickRedrawingEverything(benchmark::State& bench) {
    Screen s;
    bool first = true;
    for (auto _ : bench) {
        s.report(first);
        first = !first;
        s.screen.Timer1Timer();
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
