#include "protocol/Commands.h"

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
