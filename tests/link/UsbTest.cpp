#include "link/FakeHid.h"
#include "link/UsbConnectionMonitor.h"
#include "link/UsbWriter.h"
#include "link/rxusbth.h"

#include <QtCore/qtestsupport_core.h>
#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <semaphore>
#include <thread>

namespace vorn {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const HidEntry unitA{"/fake/unit-a", 0x1234, 0x5678, 0};
const HidEntry unitB{"/fake/unit-b", 0x1234, 0x5678, 1};
const HidEntry otherProduct{"/fake/other-product", 0x1234, 0x5679, 0};
const HidEntry otherVendor{"/fake/other-vendor", 0x1235, 0x5678, 0};

std::optional<Bytes> readOne(UsbHidDevice& device) {
    UsbInReport in{};
    return device.UsbReadReport(in) ? std::optional(Bytes(in.begin(), in.end())) : std::nullopt;
}

// Unit A on the fake, found, and a receive thread reading it, not started.
struct Link {
    Link() {
        fake.plug(unitA);
        EXPECT_TRUE(device.FindUsbDevice());
    }
    FakeHid fake;
    UsbHidDevice device{fake};
    std::atomic<int> receives{0};
    rxusbth thread{[this](UsbInReport& r) {
        ++receives;
        return device.UsbReadReport(r);
    }};
};

TEST(UsbHidDevice, SearchTakesTheFirstMatchingInterfaceThatOpensElseKeepsTheOldHandles) {
    FakeHid fake;
    UsbHidDevice device(fake);
    const std::vector<HidEntry> listed{otherProduct, otherVendor, unitA, unitB};
    for (const HidEntry& e : listed)
        fake.plug(e);
    // Which one the read handle reads from: each gets a report marked with its place.
    const auto readsFrom = [&]() -> std::optional<std::uint8_t> {
        for (std::uint8_t i = 0; i < listed.size(); ++i)
            fake.pushReport(listed[i].path, Bytes(17, i));
        const auto read = readOne(device);
        return read ? std::optional((*read)[1]) : std::nullopt;
    };
    fake.failOpens(unitA.path, 1);
    ASSERT_TRUE(device.FindUsbDevice()); // other products skipped, goes on after a failed probe
    EXPECT_EQ(readsFrom(), 3);
    ASSERT_TRUE(device.FindUsbDevice());
    EXPECT_EQ(readsFrom(), 2); // the first of the two
    fake.failOpens(unitA.path, 1);
    fake.failOpens(unitB.path, 1);
    EXPECT_FALSE(device.FindUsbDevice());
    EXPECT_EQ(readsFrom(), 2); // the old handles kept
    fake.replug(unitA.path);
    EXPECT_EQ(readsFrom(), std::nullopt); // the old instance's handle
    ASSERT_TRUE(device.FindUsbDevice());  // a replug needs a new search
    EXPECT_EQ(readsFrom(), 2);
}

TEST(UsbHidDevice, ReadsTakeSixteenOrSeventeenBytesAndWaitAHundredMillisecondsAtMost) {
    Link link;
    for (std::size_t size = 1; size <= FakeHid::kMaxReportSize; ++size) {
        Bytes report(size, static_cast<std::uint8_t>(size));
        ASSERT_TRUE(link.fake.pushReport(unitA.path, report));
        if (size == 16)
            report.insert(report.begin(), 0); // comes with report number 0 before it
        const auto expected = size == 16 || size == 17 ? std::optional(report) : std::nullopt;
        EXPECT_EQ(readOne(link.device), expected) << size;
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readOne(link.device), std::nullopt); // a silent unit
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(took >= 95ms && took < 1s);
}

// The device vanishes after the first or the second open of a search.
TEST(UsbHidDevice, ADeviceGoneBetweenTheSearchsOpensFailsTheWholeSearch) {
    for (const int opens : {1, 2}) {
        FakeHid fake;
        fake.plug(unitA);
        UsbHidDevice device(fake);
        fake.unplugAfterOpens(unitA.path, opens);
        EXPECT_FALSE(device.FindUsbDevice()) << opens;
        EXPECT_FALSE(device.UsbWriteReport(std::array<std::uint8_t, 9>{})) << opens;
        EXPECT_EQ(fake.openHandles(), 0) << opens;
    }
}

// A device the kernel is stuck on: a write that does not return until released.
// Sixteen reports wait at most; a seventeenth is refused.
TEST(UsbWriter, AStuckWriteHoldsUpNobodyLateOrTooManyReportsAreDroppedTheRestGoInOrder) {
    FakeHid fake;
    fake.plug(unitA);
    const auto report = [](int n) { return UsbWriter::Report{0, static_cast<std::uint8_t>(n)}; };
    UsbWriter writer;
    writer.setHandle(fake.open(unitA.path));
    fake.holdWrites(true);
    writer.send(report(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.writesHeld() == 1; }));
    // Clicked while it is stuck: two whose 100 ms are over by the time it
    // takes reports again, two stamped ahead so that no slow machine makes
    // them late.
    const auto now = UsbWriter::Clock::now();
    for (const auto& [n, at] :
         {std::pair{2, now - 150ms}, {3, now + 1s}, {4, now - 101ms}, {5, now + 1s}})
        EXPECT_TRUE(writer.send(report(n), at));
    for (int n = 6; n <= 18; ++n)
        EXPECT_EQ(writer.send(report(n), now + 1s), n <= 17) << n;
    fake.holdWrites(false);
    std::vector<Bytes> sent{{0, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 3, 0, 0, 0, 0, 0, 0, 0}};
    for (std::uint8_t n = 5; n <= 17; ++n)
        sent.push_back({0, n, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(QTest::qWaitFor([&] { return fake.writtenReports(unitA.path) == sent; }));
}

TEST(HidapiBackend, APathThatDoesNotExistGivesNoHandle) {
    EXPECT_EQ(makeHidapiBackend()->open("/nonexistent/hidraw"), nullptr);
}

TEST(RxUsbThread, PauseWaitsForTheReportUnderWayAndParksBeforeTheNext) {
    std::binary_semaphore entered{0}, go{0}; // each receive returns a report when let go
    rxusbth thread([&](UsbInReport&) {
        entered.release();
        return go.try_acquire_for(2s);
    });
    std::atomic<int> delivered{0};
    QObject::connect(&thread, &rxusbth::reportReceived, [&] { ++delivered; });
    thread.pause(); // not started: nothing to wait for
    EXPECT_TRUE(thread.waitUntilParked(0ms));
    thread.resume();
    ASSERT_TRUE(entered.try_acquire_for(2s));
    thread.pause();
    EXPECT_FALSE(thread.waitUntilParked(30ms));
    go.release();
    EXPECT_TRUE(thread.waitUntilParked());
    EXPECT_EQ(delivered, 1); // handed on before parking
}

TEST(RxUsbThread, StopJoinsFromEveryState) {
    // Never started, in a read of a silent unit, pausing in a read, parked.
    for (int steps = 0; steps < 4; ++steps) {
        Link link;
        if (steps >= 1)
            link.thread.resume();
        EXPECT_TRUE(QTest::qWaitFor([&] { return steps == 0 || link.receives > 0; }));
        if (steps >= 2)
            link.thread.pause();
        EXPECT_TRUE(steps < 3 || link.thread.waitUntilParked());
        const auto start = std::chrono::steady_clock::now();
        link.thread.stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << steps;
        EXPECT_FALSE(link.thread.isRunning()) << steps;
    }
}

// A silent unit costs about ten reads a second; a gone one must not cost
// more than some tens: five retries take 100 ms at least, a spin microseconds.
TEST(RxUsbThread, FailingReadsAreRetriedAfterAShortDelayNotInASpin) {
    Link link;
    link.fake.unplug(unitA.path);
    const auto start = std::chrono::steady_clock::now();
    link.thread.resume();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.receives >= 6; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

// Reports stream from the unit while it is unplugged and plugged in again a thousand
// times; the main thread pauses, searches and resumes as the connection monitor does,
// sends commands (nine bytes, report number 0), and takes the reports through the queued signal
// (only the main thread touches `received`, which ThreadSanitizer checks).
TEST(UsbReceiveStress, ReplugsWhileStreamingKeepQueuedReportsWholeAndInOrder) {
    Link link;
    std::vector<QByteArray> received;
    QObject::connect(
        &link.thread, &rxusbth::reportReceived, &link.thread,
        [&](const QByteArray& r) { received.push_back(r); }, Qt::QueuedConnection);
    std::jthread unitSide([&](std::stop_token stop) {
        std::array<std::uint8_t, 16> report{'$'}; // as from a unit without report numbers
        for (std::uint32_t n = 1; !stop.stop_requested(); std::this_thread::sleep_for(50us)) {
            std::memcpy(&report[1], &n, sizeof n);
            n += link.fake.pushReport(unitA.path, report); // the next number once this one is taken
        }
    });
    // The first byte is always sent as report number 0.
    const std::array<std::uint8_t, 9> command{0x7f, 'T', 'E', 'S', 'T'};
    link.thread.resume();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        link.fake.unplug(unitA.path);
        link.thread.pause(); // the broadcast of the unplug
        ASSERT_TRUE(link.thread.waitUntilParked());
        EXPECT_FALSE(link.device.FindUsbDevice()); // searched while it is away
        link.fake.plug(unitA);
        ASSERT_TRUE(link.device.FindUsbDevice());
        link.thread.resume();
        EXPECT_TRUE(link.device.UsbWriteReport(command));
        ASSERT_TRUE(QTest::qWaitFor( // out before the next unplug
            [&] { return link.fake.writtenReports(unitA.path).size() == cycle + 1u; }));
        EXPECT_TRUE(cycle % 100 != 0 || // now and then: reception starts again
                    QTest::qWaitFor([&, n = received.size()] { return received.size() > n; }));
    }
    ASSERT_TRUE(QTest::qWaitFor([&, n = received.size()] { return received.size() > n + 100; }));
    std::uint32_t last = 0; // rising: whole, in order, none twice, none made up
    for (const QByteArray& r : received) {
        ASSERT_TRUE(r.size() == 17 && r.startsWith(QByteArray("\0$", 2)));
        std::uint32_t n = 0;
        std::memcpy(&n, r.constData() + 2, sizeof n);
        ASSERT_GT(n, last);
        last = n;
    }
    EXPECT_EQ(link.fake.writtenReports(unitA.path),
              std::vector<Bytes>(1000, {0, 'T', 'E', 'S', 'T', 0, 0, 0, 0}));
} // the unit's side stops first, then the receive thread

TEST(UsbConnectionMonitor, FirstSearchOnTheEleventhTickAndBroadcastsPostponeUntilElevenQuietTicks) {
    // The ticks (of 1 to 100) on which a search is due, with a broadcast before each of the
    // ticks `first` to `last`.
    const auto searches = [](int first, int last) {
        UsbConnectionMonitor monitor;
        std::vector<int> due;
        for (int t = 1; t <= 100; ++t) {
            if (t >= first && t <= last)
                monitor.deviceChanged();
            if (monitor.tick())
                due.push_back(t);
        }
        return due;
    };
    EXPECT_EQ(searches(0, -1), std::vector<int>{11});
    EXPECT_EQ(searches(5, 5), std::vector<int>{15});
    EXPECT_EQ(searches(20, 40), (std::vector<int>{11, 50})); // a burst of one a tick
}

} // namespace
} // namespace vorn
