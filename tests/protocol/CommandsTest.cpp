#include "protocol/Commands.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using Report = command::UsbOutReport;

TEST(Commands, BothFormsOfEveryCommandText) {
    const struct {
        std::string text;
        std::string serial;
        Report usb;
    } cases[] = {
        {std::string(command::Learn), "$LEARN#", {0, 'L', 'E', 'A', 'R', 'N', 0, 0, 0}},
        {std::string(command::End), "$LEND#", {0, 'L', 'E', 'N', 'D', 0, 0, 0, 0}},
        {command::wheel(2), "$W2#", {0, 'W', '2', 0, 0, 0, 0, 0, 0}},
        {command::wheel(5), "$W5#", {0, 'W', '5', 0, 0, 0, 0, 0, 0}},
        {std::string(command::Calibrate), "$CAL#", {0, 'C', 'A', 'L', 0, 0, 0, 0, 0}},
        {command::frequency("2caa"), "$FRX2caa#", {0, 'F', 'R', 'X', '2', 'c', 'a', 'a', 0}},
        {command::radioSettings(3, 1), "$IST31AB#", {0, 'I', 'S', 'T', '3', '1', 'A', 'B', 0}},
        {command::radioSettings(-1, 0), "$IST/0AB#", {0, 'I', 'S', 'T', '/', '0', 'A', 'B', 0}},
        {"TOOLONGTEXT", "$TOOLONGTEXT#", {0, 'T', 'O', 'O', 'L', 'O', 'N', 'G', 'T'}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(command::serialFrame(c.text), c.serial);
        EXPECT_EQ(command::usbReport(c.text), c.usb) << c.text;
    }
}

TEST(Commands, RadioTuningButtonsFromTheFrequencyText) {
    using Maybe = std::optional<std::string>;
    const struct {
        const char* text;
        int step; // ComboBox1 selection; -1 none
        Maybe set, up, down;
    } cases[] = {
        {"2CAA", 9, "FRX2CAA", "FRX2CB4", "FRX2CA0"},
        {"2caa", 0, "FRX2caa", "FRX2CAB", "FRX2CA9"},
        {"7", 9, "FRX0007", "FRX0011", "FRXFFFF"},
        {"FFFE", 9, "FRXFFFE", "FRX0000", "FRXFFF4"},
        {"0003", 9, "FRX0003", "FRX000D", "FRXFFFF"},
        {"FFFF", 0, "FRXFFFF", "FRX0000", "FRXFFFE"},
        {"0000", 0, "FRX0000", "FRX0001", "FRXFFFF"},
        {"2CAA", -1, "FRX2CAA", "FRX2CAA", "FRX2CAA"}, // typed step: no step at all
        {"2CAA0", 9, {}, {}, {}},
        {"", 9, {}, {}, {}},
        {"2CAG", 9, {}, {}, {}},
        {" 2CA", 9, {}, {}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(command::frequencySet(c.text), c.set) << c.text;
        EXPECT_EQ(command::frequencyStep(c.text, c.step, true), c.up) << c.text;
        EXPECT_EQ(command::frequencyStep(c.text, c.step, false), c.down) << c.text;
        EXPECT_EQ(command::radioSettingsSave(c.text, 3, 1), c.set ? Maybe("IST31AB") : Maybe())
            << c.text;
    }
}

TEST(Commands, AutomaticTransmissionAlternatesFromOn) {
    const char* expected[][2] = {{"T1", "AUTOTX OFF"}, {"T0", "AUTOTX ON"}, {"T1", "AUTOTX OFF"}};
    for (int clicks = 0; clicks < 3; ++clicks) {
        EXPECT_EQ(command::autotxStep(clicks).command, expected[clicks][0]);
        EXPECT_EQ(command::autotxStep(clicks).caption, expected[clicks][1]);
    }
    EXPECT_EQ(command::autotxStep(-1).command, "T0"); // after wrapping round
}

} // namespace
} // namespace vorn
