#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// The texts of the unit's commands and their two forms on the links.
namespace command {

inline constexpr std::string_view Learn = "LEARN";
inline constexpr std::string_view End = "LEND";
inline constexpr std::string_view Test = "TEST";
inline constexpr std::string_view Calibrate = "CAL";
inline constexpr std::string_view Factory = "FAC";

// "W0" to "W5": the command of one wheel's caption panel.
std::string wheel(int wheelNumber);

// "FRX" and the four characters of a frequency word.
std::string frequency(std::string_view fourCharacters);

// "IST", the data-rate digit, the automatic-transmission digit and "AB".
// A missing selection (-1) gives the character just below "0".
std::string radioSettings(int rateIndex, int autotxIndex);

// The radio tuning buttons, from the text of the frequency edit. Each gives
// nothing when the text is not 1 to 4 hexadecimal characters.
// Freq Set: the text as typed, padded to four characters.
std::optional<std::string> frequencySet(std::string_view editText);
// Freq + and Freq -: the value stepped by stepIndex + 1 (0 for no selection,
// -1), wrapping to the other end of 0 to 65535, always in capitals.
std::optional<std::string> frequencyStep(std::string_view editText, int stepIndex, bool up);
// RF Save: the radio settings, sent only while the frequency text is valid.
std::optional<std::string> radioSettingsSave(std::string_view editText, int rateIndex,
                                             int autotxIndex);

// What the automatic-transmission button sends and then reads, chosen by the
// number of clicks so far: "T1" and "AUTOTX OFF" on every odd click, "T0"
// and "AUTOTX ON" on every even one.
struct AutotxStep {
    std::string_view command;
    std::string_view caption;
};
AutotxStep autotxStep(std::int32_t clicksSoFar);

// The serial form: "$", the text, "#", nothing else.
std::string serialFrame(std::string_view text);

// The USB form: report number 0, the text, zeros to the end. Texts longer
// than the report holds are cut (no command of the unit is).
inline constexpr std::size_t kUsbOutReportSize = 9;
using UsbOutReport = std::array<std::uint8_t, kUsbOutReportSize>;
UsbOutReport usbReport(std::string_view text);

} // namespace command
} // namespace vorn
