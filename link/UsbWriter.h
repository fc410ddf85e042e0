#pragma once

#include "link/HidBackend.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

namespace vorn {

// Sends output reports on a thread of its own, which owns the write handle,
// so a device that does not take them never holds up the caller. Reports go
// out in the order they were given; one that cannot start within kStartLimit
// of its command is dropped, so a burst of clicks on a stuck device is not
// replayed seconds later. Destruction never waits for a write stuck in the
// kernel: that thread is left to finish it alone, owning only what it uses.
class UsbWriter {
public:
    using Clock = std::chrono::steady_clock;
    using Report = std::array<std::uint8_t, 9>;
    static constexpr std::chrono::milliseconds kStartLimit{100};
    static constexpr std::size_t kQueueLimit = 16;

    UsbWriter();
    ~UsbWriter();
    UsbWriter(const UsbWriter&) = delete;
    UsbWriter& operator=(const UsbWriter&) = delete;

    // The handle the following reports go to (null: they are dropped).
    void setHandle(std::unique_ptr<HidHandle> handle);
    bool hasHandle() const;
    // Queues one report and returns at once; false when the queue is full.
    bool send(const Report& report, Clock::time_point commandTime = Clock::now());
    // Drops every report not yet started.
    void discardPending();

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_; // also held by the thread
};

} // namespace vorn
