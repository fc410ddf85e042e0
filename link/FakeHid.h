#pragma once

#include "link/HidBackend.h"

#include <cstddef>
#include <functional>
#include <memory>

namespace vorn {

// An in-memory HID service for tests and the simulated unit. Devices are
// plugged and unplugged at will; each plug makes a new instance, and handles
// to an earlier instance fail from then on, as after a real replug. Every
// member may be called from any thread.
//
// It lists every device present whatever numbers are asked for, like a
// system that lists all its HID interfaces: the caller checks the numbers.
class FakeHid : public HidBackend {
public:
    using OutputHook = std::function<void(std::span<const std::uint8_t>)>;

    // Like hidraw, a device keeps only so many unread reports; later ones are lost.
    static constexpr std::size_t kQueueLimit = 64;
    static constexpr std::size_t kMaxReportSize = 64;

    FakeHid();
    ~FakeHid() override;
    FakeHid(const FakeHid&) = delete;
    FakeHid& operator=(const FakeHid&) = delete;

    // Plugs a device in as a new instance. A path seen before keeps its place
    // in the listing (and its output record and hook); a new one goes last.
    void plug(const HidEntry& entry);
    // Handles to the device fail from now on; a read waiting on one returns.
    void unplug(const std::string& path);
    // Unplug and plug again: a new instance with an empty input queue.
    void replug(const std::string& path);
    // The next `count` opens of `path` fail.
    void failOpens(const std::string& path, int count);
    // The device vanishes (is unplugged) right after its next `opens` opens.
    void unplugAfterOpens(const std::string& path, int opens);
    // While held, every read (or write) that starts waits, whatever its
    // time-out, until released: a device the kernel is stuck on. A held read
    // then returns with nothing.
    void holdReads(bool hold);
    void holdWrites(bool hold);
    int readsHeld() const;
    int writesHeld() const;
    // Handles not yet destroyed, on every device.
    int openHandles() const;

    // Queues one input report on the present instance. False (and nothing
    // queued) when the device is absent, its queue is full, or the report is
    // empty or longer than kMaxReportSize.
    bool pushReport(const std::string& path, std::span<const std::uint8_t> report);
    // Every output report written to the device, in order, across instances.
    std::vector<std::vector<std::uint8_t>> writtenReports(const std::string& path) const;
    // Called on the writing thread for each output report, after it is
    // recorded; it may push input reports in reply.
    void setOutputHook(const std::string& path, OutputHook hook);
    // Reads started on any handle so far; tells a reader that spins.
    std::uint64_t readCalls() const;

    std::vector<HidEntry> enumerate(std::uint16_t vendorId, std::uint16_t productId) override;
    std::unique_ptr<HidHandle> open(const std::string& path) override;

private:
    struct State;
    class Handle;
    std::shared_ptr<State> state_; // shared with the handles, which may outlive us
};

} // namespace vorn
