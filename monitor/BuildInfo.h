#pragma once

#include <array>
#include <string_view>

namespace vorn {

namespace detail {

// The compiler's date ("Dec  7 2026") as an ISO date ("2026-12-07").
constexpr std::array<char, 11> isoDate(std::string_view date) {
    constexpr std::string_view months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const auto month = static_cast<int>(months.find(date.substr(0, 3)) / 3 + 1);
    const auto tens = static_cast<char>('0' + month / 10);
    const auto ones = static_cast<char>('0' + month % 10);
    const char day = date[4] == ' ' ? '0' : date[4];
    return {date[7], date[8], date[9], date[10], '-', tens, ones, '-', day, date[5], '\0'};
}

static_assert(std::string_view(isoDate("Dec  7 2026").data()) == "2026-12-07");
static_assert(std::string_view(isoDate("Jan 31 2027").data()) == "2027-01-31");

inline constexpr std::array<char, 11> kBuildDateText = isoDate(__DATE__);

} // namespace detail

// Set by the build from the project's version.
inline constexpr const char* kVersion = VORN_VERSION;
// The day the program was built, as YYYY-MM-DD (SOURCE_DATE_EPOCH fixes it
// for a reproducible build).
inline constexpr const char* kBuildDate = detail::kBuildDateText.data();

} // namespace vorn
