#pragma once

#include <string>
#include <utility>

namespace vorn::sim {

// Owns one file descriptor.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// The unit's end of a pseudo-terminal. The program at the other end opens
// slavePath(); the line is raw, so nothing is echoed or translated. The
// master is non-blocking and stays open for the whole run, so the other side
// may close and reopen the line as often as it likes.
class PtyMaster {
public:
    PtyMaster(); // throws std::system_error
    int fd() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }

private:
    UniqueFd master_;
    std::string slavePath_;
};

} // namespace vorn::sim
