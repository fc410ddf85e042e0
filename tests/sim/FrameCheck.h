#pragma once

// Reads the unit's frames by the rules the program applies to what it reads,
// written apart from the unit's own encoder.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn::sim::test {

enum class Kind { Reply, LongReport, ShortReport, Invalid };

// A frame body as the program reads it; `wheel` is -1 unless it is a report.
struct Checked {
    Kind kind;
    int wheel = -1;
    int halfPsi = 0;
    int temperatureRaw = 0;
};

// The value of hexadecimal digits, or -1 when `s` holds any other character.
inline int hex(std::string_view s, std::string_view digits = "0123456789ABCDEF") {
    return s.find_first_not_of(digits) == s.npos ? std::stoi(std::string(s), nullptr, 16) : -1;
}

// The last two characters: the byte sum of the others modulo 256 in upper-case hex.
inline bool checksumMatches(std::string_view b) {
    unsigned sum = 0;
    for (const char c : b.substr(0, b.size() - 2))
        sum += static_cast<unsigned char>(c);
    return hex(b.substr(b.size() - 2)) == static_cast<int>(sum % 256);
}

inline Checked check(std::string_view b) {
    const std::string_view replies[] = {"LEARN", "TEST", "TEST1", "TESTRF", "FAC",
                                        "LEND",  "CAL0", "CAL1",  "CAL2"};
    const std::string_view anyHex = "0123456789ABCDEFabcdef";
    if (std::ranges::find(replies, b) != std::end(replies) ||
        (b.size() == 7 && b.starts_with("FRX") && hex(b.substr(3), anyHex) >= 0) ||
        (b.size() == 8 && b.starts_with("TR") && hex(b.substr(2), anyHex) >= 0))
        return {Kind::Reply};
    if (b.size() == 10 && checksumMatches(b) && hex(b.substr(0, 1)) >= 0 &&
        hex(b.substr(4, 4)) >= 0)
        return {Kind::LongReport, hex(b.substr(0, 1)), 2 * hex(b.substr(4, 2)) + (b[3] >= '4'),
                hex(b.substr(6, 2))};
    if (b.size() == 9 && checksumMatches(b) && b[0] >= '0' && b[0] <= '3' &&
        hex(b.substr(3, 4)) >= 0)
        return {Kind::ShortReport, b[0] - '0', hex(b.substr(3, 2)), hex(b.substr(5, 2))};
    return {Kind::Invalid};
}

// Cuts a serial byte stream into frame bodies as the program's framing does:
// "$" starts a body, "#" ends it. Keeps the bytes outside any frame: a "#"
// among them would make the program read the last body again.
struct StreamCutter {
    std::vector<std::string> feed(std::string_view bytes) {
        std::vector<std::string> bodies;
        for (const char c : bytes) {
            if (c == '$')
                body.emplace();
            else if (c == '#' && body)
                bodies.push_back(*std::exchange(body, std::nullopt));
            else if (body)
                *body += c;
            else
                stray += c;
        }
        return bodies;
    }
    std::optional<std::string> body;
    std::string stray;
};

} // namespace vorn::sim::test
