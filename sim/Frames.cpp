#include "sim/Frames.h"

#include <algorithm>

namespace vorn::sim {
namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

char digit(int value) {
    return static_cast<char>('0' + std::clamp(value, 0, 9));
}

std::string withChecksum(std::string body) {
    return body + checksum(body);
}

} // namespace

std::string hexPair(unsigned value) {
    return {kHexDigits[(value >> 4) & 0xF], kHexDigits[value & 0xF]};
}

std::string hexQuad(unsigned value) {
    return hexPair(value >> 8) + hexPair(value);
}

std::optional<std::uint16_t> parseHexQuad(std::string_view text) {
    if (text.size() != 4)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        const int d = hexValue(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return static_cast<std::uint16_t>(value);
}

std::string checksum(std::string_view body) {
    unsigned sum = 0;
    for (const char c : body)
        sum += static_cast<unsigned char>(c);
    return hexPair(sum);
}

std::string frame(std::string_view body) {
    std::string out;
    out.reserve(body.size() + 2);
    out += '$';
    out += body;
    out += '#';
    return out;
}

std::string longReport(const SensorReading& r) {
    const int halfPsi = std::clamp(r.halfPsi, 0, 511);
    std::string body{kHexDigits[static_cast<unsigned>(std::clamp(r.wheel, 0, 15))],
                     digit(r.battery), '1', (halfPsi % 2 != 0) ? '5' : '0'};
    body += hexPair(static_cast<unsigned>(halfPsi / 2));
    body += hexPair(static_cast<unsigned>(std::clamp(r.temperatureRaw, 0, 255)));
    return withChecksum(std::move(body));
}

std::string shortReport(const SensorReading& r) {
    std::string body{digit(std::clamp(r.wheel, 0, 3)), digit(r.battery), '1'};
    body += hexPair(static_cast<unsigned>(std::clamp(r.halfPsi, 0, 255)));
    body += hexPair(static_cast<unsigned>(std::clamp(r.temperatureRaw, 0, 255)));
    return withChecksum(std::move(body));
}

std::optional<UsbInReport> usbInReport(std::string_view wholeFrame) {
    UsbInReport report{};
    if (wholeFrame.size() > report.size() - 1)
        return std::nullopt;
    std::copy(wholeFrame.begin(), wholeFrame.end(), report.begin() + 1);
    return report;
}

} // namespace vorn::sim
