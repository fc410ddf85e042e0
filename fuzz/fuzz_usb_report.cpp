// Any sequence of USB input reports: never crash, ignore reports of another
// length entirely, and leave only what a frame can produce.
#include "protocol/FrameParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

using vorn::PanelColour;

void Require(bool holds) {
    if (!holds)
        std::abort();
}

// Counts effects so that an ignored report can be seen to have done nothing.
class CountingEffects final : public vorn::MonitorEffects {
public:
    int calls = 0;
    PanelColour brand = PanelColour::SkyBlue;

    void setBrandCaption(std::string_view) override { ++calls; }
    void setBrandColour(PanelColour c) override { brand = c, ++calls; }
    PanelColour brandColour() const override { return brand; }
    void setCalibrationCaption(std::string_view) override { ++calls; }
    void setCalibrationColour(PanelColour) override { ++calls; }
    void setFactoryColour(PanelColour) override { ++calls; }
    void setFrequencyText(std::string_view text) override {
        Require(text.size() == 4);
        ++calls;
    }
    void playTone(int hz, int ms) override {
        Require(hz > 0 && ms > 0);
        ++calls;
    }
};

void RequireReachable(const vorn::TyreStateTable& t) {
    for (int w = 0; w < vorn::kWheelSlots; ++w) {
        // Only wheels 0 to 11 can be reported over USB; the rest keep their start values.
        const bool reportable = w < 12;
        Require(t.TyrePressure[w] >= 0 && t.TyrePressure[w] <= vorn::NoReading);
        Require((t.TyreTemperature[w] >= 0 && t.TyreTemperature[w] <= 255) ||
                t.TyreTemperature[w] == vorn::NoReading);
        Require(reportable || (t.TyrePressure[w] == 0 && t.TyreTemperature[w] == 40));
        Require(t.TyreBattery[w] >= -'0' && t.TyreBattery[w] <= 255 - '0');
    }
    Require(t.MonitorMode >= 0 && t.MonitorMode <= 2);
    Require(t.CalibrationRunning <= 1 && t.FactoryMode <= 1);
    Require(t.TuningValue >= 0 && t.TuningValue <= 0xFFFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kReport = vorn::FrameParser::kUsbReportSize;
    vorn::TyreStateTable table;
    CountingEffects effects;
    vorn::FrameParser parser(table, effects);
    const std::span<const std::uint8_t> input(data, size);
    for (std::size_t at = 0; at < size; at += kReport) {
        const std::span<const std::uint8_t> rest = input.subspan(at);
        // Shorter and longer spans over the same bytes are not reports.
        const int before = effects.calls;
        const vorn::TyreStateTable snapshot = table;
        parser.parseUsbReport(rest.first(std::min(rest.size(), kReport - 1)));
        if (rest.size() > kReport)
            parser.parseUsbReport(rest.first(kReport + 1));
        Require(effects.calls == before && table.TyrePressure == snapshot.TyrePressure &&
                table.TyreTemperature == snapshot.TyreTemperature &&
                table.MonitorMode == snapshot.MonitorMode &&
                table.TuningValue == snapshot.TuningValue);
        if (rest.size() >= kReport)
            parser.parseUsbReport(rest.first(kReport));
        RequireReachable(table);
    }
    return 0;
}
