#include "sim/CommandReader.h"

#include "sim/Frames.h"

#include <algorithm>

namespace vorn::sim {

std::vector<std::string> CommandReader::feed(std::string_view bytes) {
    std::vector<std::string> done;
    for (const char c : bytes) {
        if (c == '$') {
            state_ = State::InFrame;
            body_.clear();
        } else if (c == '#') {
            if (state_ == State::InFrame)
                done.push_back(body_);
            state_ = State::Idle;
            body_.clear();
        } else if (state_ == State::InFrame) {
            if (body_.size() < kMaxCommand)
                body_ += c;
            else
                state_ = State::Overlong;
        }
    }
    return done;
}

std::optional<std::string> CommandReader::fromUsbReport(std::span<const std::uint8_t> report) {
    if (report.size() != kUsbOutReportSize)
        return std::nullopt;
    const auto text = report.subspan(1);
    const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    return std::string(text.begin(), end);
}

} // namespace vorn::sim
