#pragma once

#include "protocol/MonitorEffects.h"
#include "protocol/TyreStateTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vorn {

// Turns the unit's frames, from the serial byte stream or from USB input
// reports, into updates of the tyre state table and the window's feedback.
// Every byte is untrusted: whatever does not decode cleanly is dropped.
class FrameParser {
public:
    // A USB input report: the report number, then one frame from byte 1.
    static constexpr std::size_t kUsbReportSize = 17;
    // Body characters the serial framing holds; later ones overwrite the last.
    static constexpr std::size_t kRxFrameSize = 16;

    FrameParser(TyreStateTable& table, MonitorEffects& effects);

    // Bytes from the serial line, in arrival order and in pieces of any size;
    // a frame may span several calls.
    void feedSerial(std::span<const std::uint8_t> bytes);

    // One whole USB input report; any other length is ignored.
    void parseUsbReport(std::span<const std::uint8_t> report);

    // Body characters held by the serial framing, 0 to 15.
    int rxCount() const { return rxCount_; }

    // Which link a frame came by, and what it asked for; named here so the
    // dispatch tables in the source can refer to them.
    enum class Link { Serial, Usb };
    enum class Reply {
        Learn,
        Test,
        TestEepromError,
        TestRf,
        Tuning,
        Frequency,
        Calibration,
        Factory,
        LearnEnd,
        SensorShort,
        SensorLong
    };

private:
    void takeSerialByte(std::uint8_t byte);
    void dispatchSerial();
    void apply(Reply reply, std::string_view body, Link link);

    void enterMode(MonitorModeValue mode, std::string_view caption);
    void toggleRadioTest();
    void showTuning(std::string_view body);
    void showFrequency(std::string_view body);
    void showCalibration(char step);
    void enterFactory();
    void endMode();
    void storeSensor(std::string_view body, bool shortForm, Link link);

    TyreStateTable& table_;
    MonitorEffects& effects_;
    std::array<char, kRxFrameSize> rxFrame_{};
    int rxCount_ = 0;
};

} // namespace vorn
