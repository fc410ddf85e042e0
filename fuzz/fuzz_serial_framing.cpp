// Any byte stream on the serial line: feeding it in pieces must act exactly as
// feeding it at once, never crash, and leave only what a frame can produce.
#include "protocol/FrameParser.h"
#include "protocol/HexText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

using vorn::PanelColour;

void Require(bool holds) {
    if (!holds)
        std::abort();
}

bool IsUpperHex4(std::string_view text) {
    return text.size() == 4 && vorn::FormatHex4(vorn::ParseHexText(text)) == text;
}

bool IsKnown(std::string_view text, std::initializer_list<std::string_view> known) {
    return std::ranges::find(known, text) != known.end();
}

// A tuning caption: four uppercase hex digits, a space and an index 0 to 19.
bool IsTuningCaption(std::string_view text) {
    if (text.size() < 6 || text[4] != ' ' || !IsUpperHex4(text.substr(0, 4)))
        return false;
    for (int index = 0; index < 20; ++index)
        if (text.substr(5) == std::to_string(index))
            return true;
    return false;
}

// Checks every effect as it happens and keeps them in order for comparison.
class CheckingEffects final : public vorn::MonitorEffects {
public:
    std::vector<std::string> log;
    PanelColour brand = PanelColour::SkyBlue;

    void setBrandCaption(std::string_view c) override {
        Require(IsKnown(c, {"Learn ID", "Test Mode", "Eeprom Error", "KESSIDO"}));
        log.emplace_back(c);
    }
    void setBrandColour(PanelColour c) override { brand = c, add('b', c); }
    PanelColour brandColour() const override { return brand; }
    void setCalibrationCaption(std::string_view c) override {
        Require(IsKnown(c, {"Start", "Ok", "Error"}) || IsTuningCaption(c));
        log.emplace_back(c);
    }
    void setCalibrationColour(PanelColour c) override { add('c', c); }
    void setFactoryColour(PanelColour c) override { add('f', c); }
    void setFrequencyText(std::string_view t) override {
        Require(IsUpperHex4(t));
        log.emplace_back(t);
    }
    void playTone(int hz, int ms) override {
        Require((hz == 2000 && (ms == 100 || ms == 50)) || (hz == 1000 && ms == 400));
        log.push_back(std::to_string(hz) + "/" + std::to_string(ms));
    }

private:
    void add(char panel, PanelColour c) {
        log.push_back(std::string(1, panel) + std::to_string(static_cast<int>(c)));
    }
};

void RequireReachable(const vorn::TyreStateTable& t, int rxCount) {
    Require(rxCount >= 0 && rxCount <= 15);
    for (int w = 0; w < vorn::kWheelSlots; ++w) {
        // Pressure: two digits times two plus a half, or no reading (511).
        Require(t.TyrePressure[w] >= 0 && t.TyrePressure[w] <= vorn::NoReading);
        Require((t.TyreTemperature[w] >= 0 && t.TyreTemperature[w] <= 255) ||
                t.TyreTemperature[w] == vorn::NoReading);
        Require(t.TyreBattery[w] >= -'0' && t.TyreBattery[w] <= 255 - '0');
        Require((t.TyreStatus[w] & ~vorn::status::SensorFlag) == 0);
    }
    Require(t.MonitorMode >= 0 && t.MonitorMode <= 2 && t.AlarmActive == 0);
    Require(t.CalibrationRunning <= 1 && t.FactoryMode <= 1);
    Require(t.TuningValue >= 0 && t.TuningValue <= 0xFFFF && t.CalibrationTicks == 0);
}

bool SameTable(const vorn::TyreStateTable& a, const vorn::TyreStateTable& b) {
    return a.TyrePressure == b.TyrePressure && a.TyreTemperature == b.TyreTemperature &&
           a.TyreStatus == b.TyreStatus && a.TyreBattery == b.TyreBattery &&
           a.TyreReportAge == b.TyreReportAge && a.MonitorMode == b.MonitorMode &&
           a.CalibrationRunning == b.CalibrationRunning && a.FactoryMode == b.FactoryMode &&
           a.TuningValue == b.TuningValue;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the piece sizes; a serial poll hands over 1 to 100 bytes.
    const std::size_t seed = data[0];
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    vorn::TyreStateTable wholeTable;
    CheckingEffects wholeEffects;
    vorn::FrameParser whole(wholeTable, wholeEffects);
    whole.feedSerial(stream);

    vorn::TyreStateTable piecesTable;
    CheckingEffects piecesEffects;
    vorn::FrameParser pieces(piecesTable, piecesEffects);
    for (std::size_t at = 0, i = 0; at < stream.size(); ++i) {
        const std::size_t length = std::min(stream.size() - at, 1 + (seed + 13 * i) % 100);
        pieces.feedSerial(stream.subspan(at, length));
        at += length;
        RequireReachable(piecesTable, pieces.rxCount());
    }

    Require(whole.rxCount() == pieces.rxCount());
    Require(wholeEffects.log == piecesEffects.log);
    Require(SameTable(wholeTable, piecesTable));
    RequireReachable(wholeTable, whole.rxCount());
    return 0;
}
