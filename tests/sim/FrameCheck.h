#pragma once

// Checks the unit's frames by the rules the program applies to what it reads,
// written apart from the unit's own encoder.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::sim::test {

// A reading as the program would store it from a sensor report.
struct Reading {
    int wheel;
    int halfPsi;
    int temperatureRaw;
};

enum class Kind { Reply, LongReport, ShortReport, Invalid };

struct Checked {
    Kind kind;
    std::optional<Reading> reading; // for the two report kinds
};

inline bool hexOnly(std::string_view s, bool lowerAllowed) {
    return s.find_first_not_of(lowerAllowed ? "0123456789ABCDEFabcdef" : "0123456789ABCDEF") ==
           std::string_view::npos;
}

inline int hex(std::string_view s) {
    return std::stoi(std::string(s), nullptr, 16);
}

inline bool checksumMatches(std::string_view body, std::size_t summed) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < summed; ++i)
        sum += static_cast<unsigned char>(body[i]);
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", sum % 256);
    return body.substr(summed) == expected;
}

inline Checked check(std::string_view b) {
    for (const char* exact :
         {"LEARN", "TEST", "TEST1", "TESTRF", "FAC", "LEND", "CAL0", "CAL1", "CAL2"}) {
        if (b == exact)
            return {Kind::Reply, std::nullopt};
    }
    if ((b.size() == 7 && b.starts_with("FRX") && hexOnly(b.substr(3), true)) ||
        (b.size() == 8 && b.starts_with("TR") && hexOnly(b.substr(2), true) &&
         hex(b.substr(2, 2)) < 20))
        return {Kind::Reply, std::nullopt};
    if (b.size() == 10 && checksumMatches(b, 8) && hexOnly(b.substr(0, 1), false) &&
        hexOnly(b.substr(4, 4), false)) {
        const int half = b[3] >= '4' ? 1 : 0;
        return {Kind::LongReport,
                Reading{hex(b.substr(0, 1)), 2 * hex(b.substr(4, 2)) + half, hex(b.substr(6, 2))}};
    }
    if (b.size() == 9 && checksumMatches(b, 7) && b[0] >= '0' && b[0] <= '3' &&
        hexOnly(b.substr(3, 4), false))
        return {Kind::ShortReport, Reading{b[0] - '0', hex(b.substr(3, 2)), hex(b.substr(5, 2))}};
    return {Kind::Invalid, std::nullopt};
}

// Cuts a serial byte stream into frame bodies the way the program's framing
// does: "$" starts a body, "#" ends it. Bytes outside any frame are counted,
// and among them the "#" that would make the program read the last body again.
class StreamCutter {
public:
    std::vector<std::string> feed(std::string_view bytes) {
        std::vector<std::string> bodies;
        for (const char c : bytes) {
            if (c == '$') {
                body_.emplace();
            } else if (c == '#' && body_) {
                bodies.push_back(*body_);
                body_.reset();
            } else if (body_) {
                *body_ += c;
            } else {
                ++stray_;
                strayEnds_ += c == '#' ? 1 : 0;
            }
        }
        return bodies;
    }
    int strayBytes() const { return stray_; }
    int strayEnds() const { return strayEnds_; }

private:
    std::optional<std::string> body_;
    int stray_ = 0;
    int strayEnds_ = 0;
};

} // namespace vorn::sim::test
