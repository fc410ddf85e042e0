#include "protocol/Commands.h"
#include "protocol/Readout.h"
#include "protocol/TyreStateTable.h"

#include <climits>
#include <gtest/gtest.h>
#include <limits>

namespace vorn {
namespace {

using namespace std::string_view_literals;
using Maybe = std::optional<std::string>;

constexpr auto TestMode = static_cast<std::int32_t>(MonitorModeValue::Test);
constexpr std::int32_t Alarms = status::LowPressure | status::HighTemperature;
constexpr std::int32_t Oldest = std::numeric_limits<std::int32_t>::max();

// FrameParserTest sees the readings of wheels 0 to 5 cleared by a reset and the rest kept.
TEST(TyreStateTable, AReportSetsOrClearsOnlyTheSensorBitAndAResetKeepsStatusAndBattery) {
    TyreStateTable t;
    t.TyreStatus[1] = Alarms;
    t.TyreReportAge[1] = 42;
    t.StoreSensorReport(1, 5, true, 65, 66);
    EXPECT_EQ(t.TyreStatus[1], Alarms | status::SensorFlag);
    EXPECT_EQ(t.TyreReportAge[1], 0);
    t.ResetReadings();
    EXPECT_EQ(t.TyreStatus[1], Alarms | status::SensorFlag);
    EXPECT_EQ(t.TyreBattery[1], 5);
    EXPECT_EQ(t.TyreTemperature[6], ZeroCelsius); // as every wheel starts
    t.StoreSensorReport(1, 0, false, 10, 20);
    EXPECT_EQ(t.TyreStatus[1], Alarms);
}

TEST(TyreStateTable, AReportForAWheelOutsideTheTableChangesNothing) {
    TyreStateTable t;
    for (int wheel : {-1, 16, 1000})
        t.StoreSensorReport(wheel, 1, true, 1, 1);
    for (auto array : {&TyreStateTable::TyrePressure, &TyreStateTable::TyreTemperature,
                       &TyreStateTable::TyreStatus, &TyreStateTable::TyreBattery,
                       &TyreStateTable::TyreReportAge})
        EXPECT_EQ(t.*array, TyreStateTable().*array);
}

// Mode, ticks, the age the wheels start from, and whether wheels 0 to 3 lost
// their readings; 4 and 5 never do. An age saturates rather than wrapping.
TEST(TyreStateTable, TestModeClearsFrontWheelsSilentForElevenTicks) {
    const std::tuple<std::int32_t, int, std::int32_t, bool> cases[] = {
        {TestMode, 10, 0, false}, {TestMode, 11, 0, true}, {TestMode, 1, Oldest, true},
        {0, 40, 0, false},        {1, 40, 0, false},
    };
    for (const auto& [mode, ticks, age, cleared] : cases) {
        TyreStateTable t;
        t.MonitorMode = mode;
        for (int w = 0; w < kShownWheels; ++w)
            t.StoreSensorReport(w, 1, true, 64, 60);
        t.TyreReportAge.fill(age);
        for (int i = 0; i < ticks; ++i)
            t.AgeTestMode();
        for (int w = 0; w < kShownWheels; ++w) {
            EXPECT_EQ(t.TyrePressure[w], cleared && w < 4 ? NoReading : 64) << ticks << w;
            EXPECT_EQ(t.TyreTemperature[w], cleared && w < 4 ? AgedTemperature : 60) << ticks << w;
        }
    }
}

std::string shown(const std::optional<RowGlyphs>& row) {
    return row ? RowText(*row) : "---";
}

// Without a reading (400 or more, or a negative value that only a damaged
// frame brings) the row is dashes.
TEST(Readout, PressureReadsInEveryUnit) {
    const std::tuple<std::int32_t, std::int32_t, std::string> rows[] = {
        {0, 19, "09.5"},    {0, 64, "32.0"},  {0, 199, "99.5"}, {0, 200, "100"},  {0, 201, "100"},
        {0, 399, "199"},    {0, 91, "45.5"},  {1, 64, "2.20"},  {1, 289, "9.97"}, {1, 290, "10.0"},
        {1, 399, "13.7"},   {2, 64, "220"},   {2, 289, "997"},  {2, 290, "999"},  {2, 18, "062"},
        {3, 64, "2.24"},    {3, 289, "10.1"}, {4, 64, "000"},   {0, 400, "---"},  {1, -1, "---"},
        {0, INT_MIN, "---"}};
    for (const auto& [unit, p, text] : rows)
        EXPECT_EQ(shown(PressureGlyphs(p, unit)), text) << unit << " " << p;
}

TEST(Readout, TemperatureReadsInCelsius) {
    const std::pair<std::int32_t, std::string> rows[] = {
        {0, "-40"},   {39, "-01"},  {40, " 00"},  {110, " 70"}, {139, " 99"}, {140, "100"},
        {198, "158"}, {-59, "-99"}, {199, "---"}, {511, "---"}, {-60, "---"}, {INT_MIN, "---"}};
    for (const auto& [t, text] : rows)
        EXPECT_EQ(shown(TemperatureGlyphs(t)), text) << t;
}

// Text, serial form, and USB form: report number 0, the text, zeros to nine bytes.
TEST(Commands, SerialAndUsbFormsOfCommandTexts) {
    const std::tuple<std::string, std::string_view, std::string_view> cases[] = {
        {std::string(command::Learn), "$LEARN#", "\0LEARN\0\0\0"sv},
        {command::wheel(5), "$W5#", "\0W5\0\0\0\0\0\0"sv},
        {command::radioSettings(-1, 0), "$IST/0AB#", "\0IST/0AB\0"sv},
        {"TOOLONGTEXT", "$TOOLONGTEXT#", "\0TOOLONGT"sv},
    };
    for (const auto& [text, serial, usb] : cases) {
        EXPECT_EQ(command::serialFrame(text), serial);
        EXPECT_TRUE(std::ranges::equal(command::usbReport(text), usb)) << text;
    }
}

// Text, step selection (-1 none: a typed step, no step at all), then Freq Set,
// Freq + and Freq - (past an end: the other end); RF Save goes only with valid
// text: one to four hexadecimal digits, nothing else.
TEST(Commands, RadioTuningButtonsFromTheFrequencyText) {
    const std::tuple<const char*, int, Maybe, Maybe, Maybe> cases[] = {
        {"2CAA", 9, "FRX2CAA", "FRX2CB4", "FRX2CA0"},
        {"2caa", 0, "FRX2caa", "FRX2CAB", "FRX2CA9"},
        {"7", 9, "FRX0007", "FRX0011", "FRXFFFF"},
        {"FFFE", 9, "FRXFFFE", "FRX0000", "FRXFFF4"},
        {"2CAA", -1, "FRX2CAA", "FRX2CAA", "FRX2CAA"},
        {"2CAA0", 9, {}, {}, {}},
        {"2CAG", 9, {}, {}, {}},
        {"", 9, {}, {}, {}},
        {" 7", 9, {}, {}, {}},
        {"-1", 9, {}, {}, {}},
        {"G2345", 9, {}, {}, {}}};
    for (const auto& [text, step, set, up, down] : cases) {
        EXPECT_EQ(command::frequencySet(text), set) << text;
        EXPECT_EQ(command::frequencyStep(text, step, true), up) << text;
        EXPECT_EQ(command::frequencyStep(text, step, false), down) << text;
        EXPECT_EQ(command::radioSettingsSave(text, 3, 1), set ? Maybe("IST31AB") : Maybe()) << text;
    }
}

// Clicks so far (-1 after wrapping round), then the command and the caption.
TEST(Commands, AutomaticTransmissionAlternatesFromOn) {
    for (const auto& [clicks, text, caption] :
         {std::tuple{0, "T1", "AUTOTX OFF"}, {1, "T0", "AUTOTX ON"}, {-1, "T0", "AUTOTX ON"}}) {
        EXPECT_EQ(command::autotxStep(clicks).command, text) << clicks;
        EXPECT_EQ(command::autotxStep(clicks).caption, caption) << clicks;
    }
}

} // namespace
} // namespace vorn
