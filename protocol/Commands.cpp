#include "protocol/Commands.h"

#include "protocol/HexText.h"

#include <algorithm>

namespace vorn::command {

namespace {
char digit(int index) {
    return static_cast<char>('0' + std::clamp(index, -1, 9));
}
} // namespace

std::string wheel(int wheelNumber) {
    return std::string("W") + digit(wheelNumber);
}

std::string frequency(std::string_view fourCharacters) {
    return "FRX" + std::string(fourCharacters);
}

std::string radioSettings(int rateIndex, int autotxIndex) {
    return std::string("IST") + digit(rateIndex) + digit(autotxIndex) + "AB";
}

std::optional<std::string> frequencySet(std::string_view editText) {
    const std::optional<std::string> word = NormalizeHex4(editText);
    if (!word)
        return std::nullopt;
    return frequency(*word);
}

std::optional<std::string> frequencyStep(std::string_view editText, int stepIndex, bool up) {
    constexpr int kTop = 0xFFFF;
    const int value = ParseHexText(editText);
    if (value < 0)
        return std::nullopt;
    const int step = std::clamp(stepIndex, -1, kTop) + 1;
    int next = up ? value + step : value - step;
    // Past an end the value starts again at the other end, not at the remainder.
    if (next > kTop)
        next = 0;
    else if (next < 0)
        next = kTop;
    return frequency(FormatHex4(next));
}

std::optional<std::string> radioSettingsSave(std::string_view editText, int rateIndex,
                                             int autotxIndex) {
    if (!NormalizeHex4(editText))
        return std::nullopt;
    return radioSettings(rateIndex, autotxIndex);
}

AutotxStep autotxStep(std::int32_t clicksSoFar) {
    if ((clicksSoFar & 1) == 0)
        return {"T1", "AUTOTX OFF"};
    return {"T0", "AUTOTX ON"};
}

std::string serialFrame(std::string_view text) {
    return "$" + std::string(text) + "#";
}

UsbOutReport usbReport(std::string_view text) {
    UsbOutReport report{};
    const std::size_t n = std::min(text.size(), report.size() - 1);
    std::copy_n(text.begin(), n, report.begin() + 1);
    return report;
}

} // namespace vorn::command
