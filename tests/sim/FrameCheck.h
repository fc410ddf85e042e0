#pragma once

// Reads the unit's frames with the program's own parser.
#include "protocol/FrameParser.h"

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

// The value of hexadecimal digits.
inline int hex(std::string_view s) {
    return std::stoi(std::string(s), nullptr, 16);
}

// Notes whether the parser did anything a user would see or hear.
struct Seen : MonitorEffects {
    void setBrandCaption(std::string_view) override { any = true; }
    void setBrandColour(PanelColour) override { any = true; }
    PanelColour brandColour() const override { return PanelColour::SkyBlue; }
    void setCalibrationCaption(std::string_view) override { any = true; }
    void setCalibrationColour(PanelColour) override { any = true; }
    void setFactoryColour(PanelColour) override { any = true; }
    void setFrequencyText(std::string_view) override { any = true; }
    void playTone(int, int) override { any = true; }
    void sensorStored(int w, ReportLink) override { wheel = w; }
    bool any = false;
    int wheel = -1;
};

// One body, framed and fed to a fresh parser as the serial line brings it.
inline Checked check(std::string_view body) {
    TyreStateTable table;
    Seen seen;
    FrameParser parser(table, seen);
    const std::string frame = "$" + std::string(body) + "#";
    parser.feedSerial({reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size()});
    if (seen.wheel >= 0) {
        const auto w = static_cast<std::size_t>(seen.wheel);
        return {body.size() == 9 ? Kind::ShortReport : Kind::LongReport, seen.wheel,
                table.TyrePressure[w], table.TyreTemperature[w]};
    }
    return {seen.any ? Kind::Reply : Kind::Invalid};
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
