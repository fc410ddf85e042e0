#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::sim {

// What the unit sends over USB: byte 0 the report number (0), then one frame
// from "$" to "#", zero padded.
inline constexpr std::size_t kUsbInReportSize = 17;
// What the program sends over USB: byte 0 the report number, then the command
// text without "$" and "#", zero padded.
inline constexpr std::size_t kUsbOutReportSize = 9;
using UsbInReport = std::array<std::uint8_t, kUsbInReportSize>;

// One wheel's reading as the unit forwards it.
struct SensorReading {
    int wheel = 0;           // 0 to 5
    int battery = 0;         // digit 0 to 9; non-zero shows the low-battery icon
    int halfPsi = 0;         // pressure in half-psi steps
    int temperatureRaw = 40; // degrees Celsius plus 40
};

// Two uppercase hexadecimal digits of the low byte of `value`.
std::string hexPair(unsigned value);
// Four uppercase hexadecimal digits of the low 16 bits of `value`.
std::string hexQuad(unsigned value);
// Exactly four hexadecimal digits of either case; nothing otherwise.
std::optional<std::uint16_t> parseHexQuad(std::string_view text);

// The sum of the character codes modulo 256, as two uppercase hex digits.
std::string checksum(std::string_view body);

// "$" + body + "#".
std::string frame(std::string_view body);

// Body of a long-form report: wheel, battery, sensor flag, half-psi digit,
// whole psi as a hex pair, temperature as a hex pair, checksum.
std::string longReport(const SensorReading& reading);
// Body of a short-form report (wheels 0 to 3 only): wheel, battery, sensor
// flag, half-psi steps as a hex pair, temperature as a hex pair, checksum.
std::string shortReport(const SensorReading& reading);

// The frame as a USB input report; nothing when it does not fit.
std::optional<UsbInReport> usbInReport(std::string_view wholeFrame);

} // namespace vorn::sim
