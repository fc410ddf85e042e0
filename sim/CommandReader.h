#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::sim {

// Turns what arrives from the program into command texts. On the serial line
// a command is "$" + text + "#" and may come in any number of pieces; bytes
// outside a frame and over-long frames are dropped.
class CommandReader {
public:
    // No command of the program is longer than this.
    static constexpr std::size_t kMaxCommand = 8;

    // The commands completed by `bytes`, in order.
    std::vector<std::string> feed(std::string_view bytes);

    // The command in a 9-byte USB output report (byte 0 is the report number,
    // the text runs up to the first zero byte); nothing for any other length.
    static std::optional<std::string> fromUsbReport(std::span<const std::uint8_t> report);

private:
    enum class State { Idle, InFrame, Overlong };

    State state_ = State::Idle;
    std::string body_;
};

} // namespace vorn::sim
