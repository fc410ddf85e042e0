#include "protocol/FrameParser.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vorn {
namespace {

// Records what the parser did to the window, in order.
class RecordingEffects final : public MonitorEffects {
public:
    std::vector<std::string> log;
    PanelColour brand = PanelColour::SkyBlue;

    void setBrandCaption(std::string_view c) override { add("brand '", c, "'"); }
    void setBrandColour(PanelColour c) override { add("brand=", Name(brand = c)); }
    PanelColour brandColour() const override { return brand; }
    void setCalibrationCaption(std::string_view c) override { add("cal '", c, "'"); }
    void setCalibrationColour(PanelColour c) override { add("cal=", Name(c)); }
    void setFactoryColour(PanelColour c) override { add("factory=", Name(c)); }
    void setFrequencyText(std::string_view t) override { add("freq '", t, "'"); }
    void playTone(int hz, int ms) override { add("tone ", S(hz) + "/" + S(ms)); }

private:
    static std::string S(int v) { return std::to_string(v); }
    static std::string_view Name(PanelColour c) {
        constexpr std::array<std::string_view, 6> names{"ButtonFace", "SkyBlue", "Red",
                                                        "Blue",       "Yellow",  "Lime"};
        return names.at(static_cast<std::size_t>(c));
    }
    void add(std::string_view a, std::string_view b, std::string_view c = "") {
        log.push_back(std::string(a).append(b).append(c));
    }
};

// Each case starts with an alarm showing and a calibration tick count, so clearing them shows.
TyreStateTable Baseline() {
    TyreStateTable t;
    t.AlarmActive = 1;
    t.CalibrationTicks = 7;
    return t;
}

// The effects in order, then every table field that differs from the baseline;
// "reset" stands for all shown wheels without a reading.
std::string Outcome(const RecordingEffects& e, const TyreStateTable& t) {
    const TyreStateTable b = Baseline();
    std::string out;
    auto put = [&out](const std::string& s) { out += (out.empty() ? "" : ", ") + s; };
    std::ranges::for_each(e.log, put);
    const std::pair<const char*, std::int32_t TyreStateTable::*> fields[] = {
        {"mode", &TyreStateTable::MonitorMode},
        {"alarm", &TyreStateTable::AlarmActive},
        {"ticks", &TyreStateTable::CalibrationTicks},
        {"tuning", &TyreStateTable::TuningValue}};
    for (const auto& [name, field] : fields)
        if (t.*field != b.*field)
            put(name + ("=" + std::to_string(t.*field)));
    if (t.CalibrationRunning != b.CalibrationRunning)
        put("calrun=" + std::to_string(t.CalibrationRunning));
    if (t.FactoryMode != b.FactoryMode)
        put("factory=" + std::to_string(t.FactoryMode));
    const bool reset = std::all_of(t.TyrePressure.begin(), t.TyrePressure.begin() + kShownWheels,
                                   [](int p) { return p == NoReading; });
    if (reset)
        put("reset");
    for (int w = reset ? kShownWheels : 0; w < kWheelSlots; ++w)
        if (t.TyrePressure[w] != b.TyrePressure[w] || t.TyreTemperature[w] != b.TyreTemperature[w])
            put("w" + std::to_string(w) + "=" + std::to_string(t.TyrePressure[w]) + "/" +
                std::to_string(t.TyreTemperature[w]) + " s" + std::to_string(t.TyreStatus[w]) +
                " b" + std::to_string(t.TyreBattery[w]));
    return out;
}

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// How a case reaches the parser: serial reads, USB frames placed from byte 1 of
// a 17-byte report, or USB reports passed exactly as written.
enum class Via { Serial, Usb, UsbBytes };

// "|" separates the serial reads, or the USB reports, of one case.
struct Case {
    Via via;
    std::string_view input;
    std::string_view expected;
};

std::string Feed(const Case& c) {
    TyreStateTable table = Baseline();
    RecordingEffects effects;
    FrameParser parser(table, effects);
    for (std::string_view rest = c.input; !rest.empty();) {
        const std::string_view piece = rest.substr(0, rest.find('|'));
        rest.remove_prefix(std::min(rest.size(), piece.size() + 1));
        std::array<std::uint8_t, FrameParser::kUsbReportSize> report{};
        std::copy_n(piece.begin(), std::min(piece.size(), report.size() - 1), report.begin() + 1);
        if (c.via == Via::Usb)
            parser.parseUsbReport(report);
        else if (c.via == Via::UsbBytes)
            parser.parseUsbReport(Bytes(piece));
        else
            parser.feedSerial(Bytes(piece));
    }
    return Outcome(effects, table);
}

const Case kCases[] = {
    // Framing.
    {Via::Serial, "$LEA|RN#", "brand=Red, brand 'Learn ID', mode=1, reset"},
    {Via::Serial, "$LEARN##",
     "brand=Red, brand 'Learn ID', brand=Red, brand 'Learn ID', mode=1, reset"},
    {Via::Serial, "$TE$LEARN#X#", "brand=Red, brand 'Learn ID', mode=1, reset"},
    {Via::Serial, "$LEARNX#", ""},
    {Via::Serial, "$ABCDEFGHIJKLMNOPQRST#", ""},
    {Via::Usb, " $LEARN#", ""},
    {Via::Usb, "$LEARN#", "brand=Red, brand 'Learn ID', mode=1, reset"},
    {Via::UsbBytes, "x$LEARN#xxxxxxxxx", "brand=Red, brand 'Learn ID', mode=1, reset"},
    {Via::UsbBytes, "x$LEARN#xxxxxxxx|x$LEARN#xxxxxxxxxx", ""},
    // Replies.
    {Via::Serial, "$TEST#", "brand=Red, brand 'Test Mode', mode=2, reset"},
    {Via::Usb, "$TEST#", "brand=Red, brand 'Test Mode', mode=2, reset"},
    {Via::Serial, "$TEST1#", "brand=Red, brand 'Eeprom Error', mode=2, reset"},
    {Via::Usb, "$TEST1#", ""},
    {Via::Serial, "$TESTRF#$TESTRF#$TESTRF#",
     "brand=Red, tone 2000/100, brand=Blue, tone 2000/100, brand=Red, tone 2000/100"},
    {Via::Usb, "$TESTRF#|$TESTRF#", "brand=Red, tone 2000/100, brand=Blue, tone 2000/100"},
    {Via::Serial, "$TR0A2CAA#", "cal '2CAA 10', tone 2000/50, tuning=11434"},
    {Via::Usb, "$TR132caa#", "cal '2CAA 19', tuning=11434"},
    {Via::Serial, "$TR142CAA#$TR0G2CAA#$TR002CAZ#", ""},
    {Via::Usb, "$TR00 CAA#", ""},
    {Via::Serial, "$FRX2cab#", "freq '2CAB', ticks=0"},
    {Via::Usb, "$FRX0001#", "freq '0001', ticks=0"},
    {Via::Serial, "$FRX2CAG#$FRX-001#", ""},
    {Via::Serial, "$CAL0#$CAL1#",
     "cal 'Start', cal=Yellow, cal 'Ok', cal=Lime, tone 2000/100, ticks=0"},
    {Via::Usb, "$CAL0#", "cal 'Start', cal=Yellow, ticks=0, calrun=1"},
    {Via::Serial, "$CAL0#$CAL2#",
     "cal 'Start', cal=Yellow, cal 'Error', cal=Red, tone 1000/400, ticks=0"},
    {Via::Serial, "$CAL3#", ""},
    {Via::Serial, "$FAC#", "factory=Yellow, factory=1"},
    {Via::Usb, "$FAC#|$LEND#",
     "factory=Yellow, brand=SkyBlue, brand 'KESSIDO', factory=ButtonFace, alarm=0"},
    {Via::Serial, "$TEST#$LEND#",
     "brand=Red, brand 'Test Mode', brand=SkyBlue, brand 'KESSIDO', factory=ButtonFace, alarm=0, "
     "reset"},
    {Via::Usb, "$LEND #", ""},
    // Sensor reports: checksums, wheel ranges and the half-psi digit per link.
    {Via::Serial, "$001520418D#", "w0=65/65 s1 b0"},
    {Via::Usb, "$001520418D#", "w0=65/65 s1 b0"},
    {Via::Serial, "$201403C6D#", "w2=64/60 s1 b0"},
    {Via::Usb, "$201403C6D#", ""},
    {Via::Serial, "$001520418d#$001520418E#", ""},
    {Via::Serial, "$C01220409C#", "w12=64/64 s1 b0"},
    {Via::Usb, "$C01220409C#", ""},
    {Via::Usb, "$B01220409B#", "w11=64/64 s1 b0"},
    {Via::Serial, "$F01220409F#", "w15=64/64 s1 b0"},
    {Via::Serial, "$011420408C#", "w0=65/64 s1 b1"},
    {Via::Usb, "$011420408C#|$0119204091#", "w0=64/64 s1 b1"},
    {Via::Serial, "$011420408C#$010420408B#", "w0=65/64 s0 b1"},
    {Via::Serial, "$A7222040A2#", "w10=64/64 s0 b7"},
    {Via::Serial, "$3Z152041BA#", "w3=65/65 s1 b42"},
    {Via::Serial, "$0010FF7FCA#", "w0=510/127 s1 b0"},
    // Reports with a valid checksum but a value that is not an uppercase digit.
    {Via::Serial, "$1015g041C3#$10152a41BF#$:015204197#", ""},
    {Via::Serial, "$401403C6F#$201403c8D#", ""},
};

TEST(FrameParser, EachInputGivesItsEffectsAndTableChanges) {
    for (const Case& c : kCases)
        EXPECT_EQ(Feed(c), c.expected) << c.input;
}

TEST(FrameParser, SerialFramingCountsBodyCharactersUpToFifteen) {
    const std::pair<std::string_view, int> cases[] = {{"", 0},
                                                      {"$LEARN#", 5},
                                                      {"$LEARN#X", 6},
                                                      {"ABC#", 3},
                                                      {"$ABC$", 0},
                                                      {"$ABCDEFGHIJKLMNOPQRST", 15},
                                                      {"$ABCDEFGHIJKLMNOPQRST#", 15}};
    for (const auto& [input, count] : cases) {
        TyreStateTable table;
        RecordingEffects effects;
        FrameParser parser(table, effects);
        parser.feedSerial(Bytes(input));
        EXPECT_EQ(parser.rxCount(), count) << input;
    }
}

} // namespace
} // namespace vorn
