#include "link/DeviceChangeWatcher.h"
#include "link/FakeHid.h"
#include "link/rxusbth.h"

#include <QCoreApplication>
#include <QtCore/qtestsupport_core.h>
#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <semaphore>
#include <thread>

namespace vorn {
namespace {

using namespace std::chrono_literals;

const HidEntry unit{"/fake/unit", 0x1234, 0x5678, 0};

UsbInReport numbered(std::uint32_t n) {
    UsbInReport r{0, '$'};
    std::memcpy(&r[2], &n, sizeof n);
    return r;
}

std::uint32_t numberOf(const QByteArray& r) {
    std::uint32_t n = 0;
    if (r.size() == 17)
        std::memcpy(&n, r.constData() + 2, sizeof n);
    return n;
}

// The unit on the fake, its device, the thread reading it, and the reports
// that reached the main thread.
struct Link {
    FakeHid fake;
    UsbHidDevice device{fake};
    std::atomic<int> receives{0};
    rxusbth thread{[this](UsbInReport& r) {
        ++receives;
        return device.UsbReadReport(r);
    }};
    QObject receiver;
    std::vector<QByteArray> received;
    bool allOnMainThread = true;

    explicit Link(bool searched = true) {
        fake.plug(unit);
        QObject::connect(
            &thread, &rxusbth::reportReceived, &receiver,
            [this](const QByteArray& r) {
                allOnMainThread &= QThread::currentThread() == qApp->thread();
                received.push_back(r);
            },
            Qt::QueuedConnection);
        if (searched) {
            EXPECT_TRUE(device.FindUsbDevice());
        }
    }
    bool receivedMoreThan(std::size_t n) {
        return QTest::qWaitFor([&] { return received.size() > n; }, 5000);
    }
    void startReading() {
        thread.resume();
        EXPECT_TRUE(QTest::qWaitFor([&] { return receives > 0; }, 2000));
    }
};

TEST(RxUsbThread, PauseWaitsForTheReportUnderWayAndParksBeforeTheNext) {
    // Each receive holds until the test lets it return a report.
    std::counting_semaphore<> entered{0}, go{0};
    rxusbth thread([&](UsbInReport& r) {
        entered.release();
        r = numbered(7);
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
    EXPECT_EQ(thread.state(), rxusbth::State::Pausing);
    go.release();
    EXPECT_TRUE(thread.waitUntilParked());
    EXPECT_EQ(delivered, 1); // handed on before parking
    EXPECT_EQ(thread.state(), rxusbth::State::Parked);

    thread.resume();
    ASSERT_TRUE(entered.try_acquire_for(2s));
    go.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return delivered == 2; }, 2000));
    thread.pause();
    go.release(); // so that stopping does not wait for a held receive
}

TEST(RxUsbThread, StopJoinsFromEveryState) {
    const struct {
        const char* name;
        bool searched;
        void (*bringTo)(Link&);
    } cases[] = {
        {"never started", true, [](Link&) {}},
        {"in a read of a silent unit", true, [](Link& l) { l.startReading(); }},
        {"failing reads without a handle", false, [](Link& l) { l.startReading(); }},
        {"pausing in a read", true,
         [](Link& l) {
             l.startReading();
             l.thread.pause();
         }},
        {"parked", true,
         [](Link& l) {
             l.startReading();
             l.thread.pause();
             EXPECT_TRUE(l.thread.waitUntilParked());
         }},
    };
    for (const auto& c : cases) {
        Link link(c.searched);
        c.bringTo(link);
        const auto start = std::chrono::steady_clock::now();
        link.thread.stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << c.name;
        EXPECT_EQ(link.thread.state(), rxusbth::State::Stopped) << c.name;
        link.thread.resume(); // a stopped loop stays stopped
        EXPECT_FALSE(link.thread.isRunning()) << c.name;
    }
}

TEST(RxUsbThread, FailingReadsAreRetriedAfterAShortDelayNotInASpin) {
    for (const bool searched : {true, false}) {
        Link link(searched);
        link.fake.unplug(unit.path);
        const auto start = std::chrono::steady_clock::now();
        link.thread.resume();
        ASSERT_TRUE(QTest::qWaitFor([&] { return link.receives >= 6; }, 2000));
        EXPECT_GE(std::chrono::steady_clock::now() - start, 5 * rxusbth::kRetryDelay) << searched;
    }
}

// Reports stream from the unit while it is unplugged and plugged in again a
// thousand times; the main thread pauses, searches and resumes as the
// connection monitor does, sends commands, and takes the reports.
TEST(UsbReceiveStress, ReplugsWhileStreamingKeepReportsWholeInOrderOnTheMainThread) {
    Link link;
    std::jthread unitSide([&](std::stop_token stop) {
        for (std::uint32_t n = 1; !stop.stop_requested();) {
            const UsbInReport report = numbered(n);
            if (link.fake.pushReport(unit.path, std::span(report).subspan(1)))
                ++n; // 16 bytes, as from a unit without report numbers
            else
                std::this_thread::sleep_for(200us);
        }
    });
    const std::array<std::uint8_t, 9> command{0, 'T', 'E', 'S', 'T'};
    link.thread.resume();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        link.fake.unplug(unit.path);
        link.thread.pause(); // the broadcast of the unplug
        if (cycle % 2 == 0) {
            ASSERT_TRUE(link.thread.waitUntilParked());
            EXPECT_FALSE(link.device.FindUsbDevice()); // searched while it is away
        }
        link.fake.plug(unit);
        ASSERT_TRUE(link.thread.waitUntilParked());
        ASSERT_TRUE(link.device.FindUsbDevice());
        link.thread.resume();
        EXPECT_TRUE(link.device.UsbWriteReport(command));
        if (cycle % 100 == 0) { // reception starts again after a replug
            EXPECT_TRUE(link.receivedMoreThan(link.received.size()));
        }
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(link.receivedMoreThan(link.received.size() + 100));
    unitSide.request_stop();
    unitSide.join();
    link.thread.stop();
    QCoreApplication::processEvents();

    std::vector<std::uint32_t> numbers;
    for (const QByteArray& r : link.received)
        numbers.push_back(numberOf(r));
    EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end(), std::greater_equal<>()),
              numbers.end()); // rising: whole, in order, none twice, none made up
    EXPECT_GT(numbers.front(), 0u);
    EXPECT_TRUE(link.allOnMainThread);
    EXPECT_EQ(link.fake.writtenReports(unit.path).size(), 1000u);
}

// Whether udev can be watched depends on the machine; either way the watcher
// is made, and broadcasts handed to it reach whoever listens.
TEST(DeviceChangeWatcher, InjectedBroadcastsArriveAsSignalsWithOrWithoutUdev) {
    DeviceChangeWatcher watcher;
    int broadcasts = 0;
    QObject::connect(&watcher, &DeviceChangeWatcher::deviceChanged, [&] { ++broadcasts; });
    for (int i = 0; i < 3; ++i)
        watcher.inject();
    EXPECT_EQ(broadcasts, 3);
}

} // namespace
} // namespace vorn
