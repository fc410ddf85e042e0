#include "protocol/FrameParser.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <ranges>
#include <string>
#include <vector>

namespace vorn {
namespace {

using std::to_string;

// Records what the parser did to the window, in order, as one line.
struct Recorder final : MonitorEffects {
    std::string log;
    PanelColour brand = PanelColour::SkyBlue;

    void put(const std::string& s) { log += (log.empty() ? "" : ", ") + s; }
    void put(const char* what, PanelColour c) {
        put(what + std::string(std::array{"ButtonFace", "SkyBlue", "Red", "Blue", "Yellow",
                                          "Lime"}[static_cast<std::size_t>(c)]));
    }
    void setBrandCaption(std::string_view c) override { put("brand '" + std::string(c) + "'"); }
    void setBrandColour(PanelColour c) override { put("brand=", brand = c); }
    PanelColour brandColour() const override { return brand; }
    void setCalibrationCaption(std::string_view c) override { put("cal '" + std::string(c) + "'"); }
    void setCalibrationColour(PanelColour c) override { put("cal=", c); }
    void setFactoryColour(PanelColour c) override { put("factory=", c); }
    void setFrequencyText(std::string_view t) override { put("freq '" + std::string(t) + "'"); }
    void playTone(int hz, int ms) override { put("tone " + to_string(hz) + "/" + to_string(ms)); }
};

// The table as text; "reset" stands for all shown wheels without a reading.
std::vector<std::string> Fields(const TyreStateTable& t) {
    std::vector<std::string> f = {
        "mode=" + to_string(t.MonitorMode),          "alarm=" + to_string(t.AlarmActive),
        "ticks=" + to_string(t.CalibrationTicks),    "tuning=" + to_string(t.TuningValue),
        "calrun=" + to_string(t.CalibrationRunning), "factory=" + to_string(t.FactoryMode)};
    bool reset = true;
    for (int w = 0; w < kShownWheels; ++w)
        reset = reset && t.TyrePressure[w] == NoReading && t.TyreTemperature[w] == NoReading;
    if (reset)
        f.emplace_back("reset");
    for (int w = reset ? kShownWheels : 0; w < kWheelSlots; ++w)
        f.push_back("w" + to_string(w) + "=" + to_string(t.TyrePressure[w]) + "/" +
                    to_string(t.TyreTemperature[w]) + " s" + to_string(t.TyreStatus[w]) + " b" +
                    to_string(t.TyreBattery[w]));
    return f;
}

constexpr std::size_t kReportSize = FrameParser::kUsbReportSize;

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The effects in order, then every table field that changed. "|" separates
// the serial reads, or the USB frames, each placed after the report number 0
// and followed by zeros to the end of the report.
std::string Feed(bool usb, std::string_view input) {
    TyreStateTable table; // an alarm showing and a tick count, so clearing them shows
    table.AlarmActive = 1;
    table.CalibrationTicks = 7;
    const std::vector<std::string> before = Fields(table);
    Recorder effects;
    FrameParser parser(table, effects);
    for (const auto part : std::views::split(input, '|')) {
        std::string piece(part.begin(), part.end());
        if (!usb)
            parser.feedSerial(Bytes(piece));
        else
            parser.parseUsbReport(
                Bytes((char{} + piece).append(kReportSize, '\0').substr(0, kReportSize)));
    }
    for (const std::string& field : Fields(table))
        if (std::ranges::find(before, field) == before.end())
            effects.put(field);
    return effects.log;
}

using Cases = std::pair<std::string_view, std::string_view>[];

TEST(FrameParser, EachSerialInputGivesItsEffectsAndTableChanges) {
    const Cases cases = {
        // Framing: split reads, "$" restarting, a second "#" acting again.
        {"$TE$LEA|RN#X#", "brand=Red, brand 'Learn ID', mode=1, reset"},
        {"$LEARN##", "brand=Red, brand 'Learn ID', brand=Red, brand 'Learn ID', mode=1, reset"},
        // Replies.
        {"$TEST1#", "brand=Red, brand 'Eeprom Error', mode=2, reset"},
        {"$TESTRF#$TESTRF#$TESTRF#",
         "brand=Red, tone 2000/100, brand=Blue, tone 2000/100, brand=Red, tone 2000/100"},
        {"$TR0A2CAA#$FRX2cab#", "cal '2CAA 10', tone 2000/50, freq '2CAB', ticks=0, tuning=11434"},
        {"$CAL0#$CAL1#", "cal 'Start', cal=Yellow, cal 'Ok', cal=Lime, tone 2000/100, ticks=0"},
        {"$CAL0#$CAL2#", "cal 'Start', cal=Yellow, cal 'Error', cal=Red, tone 1000/400, ticks=0"},
        {"$FAC#", "factory=Yellow, factory=1"},
        {"$TEST#$LEND#", "brand=Red, brand 'Test Mode', brand=SkyBlue, brand 'KESSIDO', "
                         "factory=ButtonFace, alarm=0, reset"},
        // Sensor reports: the long and the short form, wheels 0 to 15, and a half psi from "4" up.
        {"$001520418D#$201403C6D#", "w0=65/65 s1 b0, w2=64/60 s1 b0"},
        {"$C01220409C#$F01220409F#", "w12=64/64 s1 b0, w15=64/64 s1 b0"},
        {"$011420408C#$A7222040A2#", "w0=65/64 s1 b1, w10=64/64 s0 b7"},
        {"$3Z152041BA#$0010FF7FCA#", "w0=510/127 s1 b0, w3=65/65 s1 b42"},
        // Dropped: wrong lengths, bad checksums, values or indexes.
        {"$LEARNX#$CAL3#$LEND #$TR142CAA#$TR0G2CAA#$TR002CAZ#$FRX2CAG#$FRX-001#", ""},
        {"$001520418d#$001520418E#$401403C6F#$201403c8D#", ""},
        {"$1015g041C3#$10152a41BF#$:015204197#", ""},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(Feed(false, input), expected) << input;
}

TEST(FrameParser, EachUsbFrameGivesItsEffectsAndTableChanges) {
    const Cases cases = {
        {"$LEARN#", "brand=Red, brand 'Learn ID', mode=1, reset"},
        {"$TEST#", "brand=Red, brand 'Test Mode', mode=2, reset"},
        {"$TESTRF#|$TESTRF#", "brand=Red, tone 2000/100, brand=Blue, tone 2000/100"},
        {"$TR132caa#|$FRX0001#", "cal '2CAA 19', freq '0001', ticks=0, tuning=11434"},
        {"$CAL0#", "cal 'Start', cal=Yellow, ticks=0, calrun=1"},
        {"$FAC#|$LEND#",
         "factory=Yellow, brand=SkyBlue, brand 'KESSIDO', factory=ButtonFace, alarm=0"},
        // Wheels 0 to 11, and a half psi only for "5".
        {"$001520418D#|$B01220409B#", "w0=65/65 s1 b0, w11=64/64 s1 b0"},
        {"$011420408C#|$0119204091#", "w0=64/64 s1 b1"},
        // Dropped: no "$" at byte 1, and what only the serial link knows.
        {" $LEARN#|$TEST1#|$TR00 CAA#|$LEND #|$201403C6D#|$C01220409C#", ""},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(Feed(true, input), expected) << input;
}

// A longer serial body keeps its first 14 characters and the last. A USB
// report counts from byte 0, which is not read, and must be 17 bytes long.
TEST(FrameParser, SerialBodiesStopAtFifteenAndUsbReportsAtSeventeenBytes) {
    TyreStateTable table;
    Recorder effects;
    FrameParser parser(table, effects);
    parser.feedSerial(Bytes("$ABCDEFGHIJKLMNOPQRST#"));
    EXPECT_EQ(parser.rxCount(), 15);
    for (std::string_view report : {"x$LEARN#xxxxxxxx", "x$LEARN#xxxxxxxxxx", "x$LEARN#xxxxxxxxx"})
        parser.parseUsbReport(Bytes(report));
    EXPECT_EQ(effects.log, "brand=Red, brand 'Learn ID'");
}

} // namespace
} // namespace vorn
