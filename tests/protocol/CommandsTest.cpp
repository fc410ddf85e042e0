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
