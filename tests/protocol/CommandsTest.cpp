#include "protocol/Commands.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using namespace std::string_view_literals;
using Maybe = std::optional<std::string>;

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
