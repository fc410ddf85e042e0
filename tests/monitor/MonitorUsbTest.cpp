#include "tests/monitor/MonitorFixture.h"

#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::MonitorFixture;

const std::string kUnitPath = "/dev/hidraw-unit";

std::vector<std::uint8_t> usbReport(std::string_view frame) {
    std::vector<std::uint8_t> r(17, 0);
    std::copy(frame.begin(), frame.end(), r.begin() + 1);
    return r;
}

struct UsbFixture : MonitorFixture {
    UsbFixture() { hid.plug({kUnitPath, kUnitVendorId, kUnitProductId, 0}); }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            core->Timer3Timer();
    }
    void broadcast() { core->deviceChanged(); }
};

TEST(MonitorUsb, FoundOnTheEleventhTickLostOnUnplugAndReopenedOnAnyDevicesBroadcast) {
    UsbFixture f;
    MonitorCore& m = f.start();
    f.ticks(10);
    EXPECT_FALSE(m.usbConnected());
    f.ticks(1);
    EXPECT_TRUE(m.usbConnected());
    EXPECT_EQ(m.panels().linkText, "USB CONNECTED");
    f.unit.write("$LEND#");
    m.Timer2Timer();
    EXPECT_EQ(m.panels().linkText, "RS232 CONNECTED");
    f.hid.unplug(kUnitPath);
    f.broadcast();
    EXPECT_FALSE(m.usbConnected());
    f.ticks(11);
    EXPECT_EQ(m.panels().linkText, "");
    f.hid.replug(kUnitPath);
    f.broadcast();
    f.ticks(11);
    EXPECT_EQ(m.panels().linkText, "USB CONNECTED");
    // The unit comes back as a new instance without the system saying so:
    // the old handles read nothing.
    f.hid.replug(kUnitPath);
    f.hid.pushReport(kUnitPath, usbReport("$001520418D#"));
    QTest::qWait(300); // time for a report to arrive, if it could
    EXPECT_EQ(m.state().TyrePressure[0], 0);
    // Some other device is plugged in: the unit is searched for and reopened.
    f.hid.plug({"/dev/hidraw-mouse", 0x046d, 0xc077, 0});
    f.broadcast();
    f.ticks(11);
    f.hid.pushReport(kUnitPath, usbReport("$001520418D#"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.state().TyrePressure[0] == 65; }));
}

// Plugged in but not yet found (before the eleventh tick, and after a
// broadcast) nothing goes to USB; once found, commands go to both links and
// frames come from both, and a device stuck on a write holds up neither the
// commands nor the monitor's end.
TEST(MonitorUsb, CommandsGoToBothLinksOnceFoundAndNeverWaitForAStuckDevice) {
    UsbFixture f;
    MonitorCore& m = f.start();
    f.ticks(10);
    m.sendWheelCommand(0);
    f.ticks(1);
    ASSERT_TRUE(m.usbConnected());
    f.broadcast();
    m.sendWheelCommand(1);
    f.ticks(11);
    m.learn();
    m.sendWheelCommand(2);
    EXPECT_EQ(f.unit.read(), "$W0#$W1#$LEARN#$W2#");
    const std::vector<std::uint8_t> learn{0, 'L', 'E', 'A', 'R', 'N', 0, 0, 0};
    const std::vector<std::uint8_t> w2{0, 'W', '2', 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.hid.writtenReports(kUnitPath).size() == 2; }));
    EXPECT_EQ(f.hid.writtenReports(kUnitPath), (std::vector{learn, w2}));
    f.hid.pushReport(kUnitPath, usbReport("$001520418D#"));
    f.unit.write("$201403C6D#");
    m.Timer2Timer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m.state().TyrePressure[0] == 65; }));
    EXPECT_EQ(m.state().TyrePressure[2], 64);
    f.hid.holdWrites(true);
    m.sendWheelCommand(2); // returns while its write is stuck
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.hid.writesHeld() == 1; }));
    f.core.reset();
    f.hid.holdWrites(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.hid.openHandles() == 0; })); // the writer let go
    EXPECT_EQ(f.hid.writtenReports(kUnitPath), (std::vector{learn, w2, w2}));
}

// A read that holds the receive thread past the search's bounded wait for it
// to pause: the search stays due and runs on a later tick.
TEST(MonitorUsb, ASearchWaitsForAStuckReadOnLaterTicks) {
    UsbFixture f;
    MonitorCore& m = f.start();
    f.ticks(11);
    f.hid.holdReads(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.hid.readsHeld() == 1; }));
    f.broadcast();
    f.ticks(12);
    EXPECT_FALSE(m.usbConnected());
    EXPECT_EQ(m.panels().linkText, "USB CONNECTED"); // no search has run to change it
    f.hid.holdReads(false);
    f.ticks(1);
    EXPECT_TRUE(m.usbConnected());
}

} // namespace
} // namespace vorn
