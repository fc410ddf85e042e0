#include "tests/monitor/MonitorFixture.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::MonitorFixture;
// Each command's frame through the core is checked by
// MonitorSocket.AClientGetsTheWholeState..., its USB report by
// MonitorUsb.CommandsGoToBothLinks...; here what no table there shows.
TEST(MonitorCommands, OnlyTheUnitsAnswerChangesTheFrequencyShownAndNoValidOneSendsNothing) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    m.setFrequency("2cab");
    EXPECT_EQ(f.unit.read(), "$FRX2cab#");
    EXPECT_EQ(m.panels().frequencyText, "2CAA");
    m.setFrequency("2CAG");
    m.stepFrequency("2CAG", 0, true);
    m.sendRadioSettings("", 0, 0);
    EXPECT_EQ(f.unit.read(50), QByteArray());
}

// A second Auto Cal only stops watching; Factory sends what leads to the other state.
TEST(MonitorCommands, AutoCalAndFactoryFollowTheUnitsState) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    f.receive("$CAL0#$FAC#");
    m.autoCalibrate();
    EXPECT_EQ(m.state().CalibrationRunning, 0);
    EXPECT_EQ(m.panels().calibrationCaption, "");
    EXPECT_EQ(m.panels().calibrationColour, PanelColour::ButtonFace);
    m.factory();
    m.autoCalibrate();
    EXPECT_EQ(f.unit.read(), "$LEND#$CAL#");
}

TEST(MonitorSerialLink, OpensTheChosenPortOrSaysWhyNot) {
    const struct {
        const char* port;   // line 6 of the settings
        const char* linkTo; // what COM2 in the working folder points at, if anything
        bool open, refused;
    } cases[] = {
        // COM1 is the fixture's terminal, an ordinary file is no port at all,
        // and 4 is USB: no serial port at all.
        {"0", nullptr, true, false},       {"1", "/nonexistent/tty", false, true},
        {"1", "setdata.txt", false, true}, {"4", nullptr, false, false},
        {"-7", nullptr, false, true},
    };
    for (const auto& c : cases) {
        QStringList settings = test::defaultSettings();
        settings[5] = QString::fromLatin1(c.port);
        MonitorFixture f(settings);
        if (c.linkTo)
            QFile::link(QString::fromLatin1(c.linkTo), f.dir.file("COM2"));
        MonitorCore& m = f.start();
        EXPECT_EQ(m.serialOpen(), c.open) << c.port;
        ASSERT_EQ(f.messages.shown.size(), c.refused ? 1u : 0u) << c.port;
        if (c.refused) {
            // The unit's own line, then why, as on standard error.
            ASSERT_FALSE(f.messages.noted.empty());
            EXPECT_EQ(f.messages.shown[0].text,
                      "open com(RS232) error\n" + f.messages.noted.back());
            EXPECT_EQ(f.messages.shown[0].caption, "Comm Error");
            EXPECT_TRUE(!c.linkTo || f.messages.noted.back().contains(f.dir.file("COM2")));
        }
    }
}

TEST(MonitorSerialLink, FramesFromTheLineReachTheStateTableAndThePanels) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    m.Timer2Timer();
    EXPECT_EQ(m.panels().linkText, ""); // a silent unit shows nothing
    f.unit.write("$CAL0#$FRX2cab#$TR0A2CAA#$FAC#$2014");
    m.Timer2Timer();
    f.unit.write("03C6D#");
    m.Timer2Timer();
    EXPECT_EQ(m.panels().linkText, "RS232 CONNECTED");
    EXPECT_EQ(m.state().TyrePressure[2], 64); // a frame split over two polls
    EXPECT_EQ(m.panels().calibrationCaption, "2CAA 10");
    EXPECT_EQ(m.panels().calibrationColour, PanelColour::Yellow);
    EXPECT_EQ(m.panels().frequencyText, "2CAB");
    EXPECT_EQ(m.panels().factoryColour, PanelColour::Yellow);
    EXPECT_EQ(f.tones.played.size(), 1u);
}

// The user links the unit as COM1 while the program runs (it took the
// system's port for want of it): the link is used at once, and followed when
// it is pointed at another terminal; each is said once.
TEST(MonitorSerialLink, AComLinkMadeWhileRunningIsOpenedAndFollowedWhereItLeads) {
    MonitorFixture f;
    QFile::remove(f.dir.file("COM1"));
    MonitorCore& m = f.start();
    const test::PseudoTerminal other;
    const auto said = [&](const char* what) {
        return std::ranges::count_if(f.messages.noted,
                                     [&](const QString& line) { return line.contains(what); });
    };
    const struct {
        const test::PseudoTerminal& unit;
        const char* said;
        int psi;
    } steps[] = {{f.unit, "COM1 appeared in the working folder", 30},
                 {other, "COM1 in the working folder now leads to", 31}};
    for (const auto& step : steps) {
        const auto link = [&] {
            QFile::remove(f.dir.file("COM1"));
            QFile::link(step.unit.devicePath(), f.dir.file("COM1"));
        };
        if (&step.unit == &f.unit)
            QTimer::singleShot(2000, link); // a while after the start
        else
            link();
        ASSERT_TRUE(QTest::qWaitFor([&] { return said(step.said) == 1; }, 10000));
        step.unit.write(test::sensorFrame(1, step.psi, 25));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return m.state().TyrePressure[1] == 2 * step.psi; }, 10000));
        EXPECT_EQ(m.panels().linkText, "RS232 CONNECTED");
    }
    EXPECT_EQ(said("appeared") + said("now leads to"), 2);
}

// The unit is switched off (its side of the line closes) and comes back
// under the same name on a new terminal, twice.
TEST(MonitorSerialLink, AHungUpLineIsClosedIdlesAndReopensWhenItsNameReturns) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    for (QTimer* t : {m.Timer1, m.Timer2, m.Timer3})
        t->stop(); // only the line may wake the event loop
    f.unit.write("$001520418D#");
    m.Timer2Timer();
    ASSERT_EQ(m.panels().linkText, "RS232 CONNECTED");
    f.unit.hangUp();
    int wakeUps = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &m, [&] { ++wakeUps; });
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_LT(wakeUps, 10); // a handle left watched wakes it thousands of times
    EXPECT_FALSE(m.serialOpen());
    EXPECT_EQ(m.panels().linkText, "");
    EXPECT_TRUE(f.messages.shown.empty());
    ASSERT_FALSE(f.messages.noted.empty());
    EXPECT_TRUE(f.messages.noted.back().contains(f.dir.file("COM1")));

    // A look for the port every 2 s: every twentieth poll.
    for (const bool broadcast : {false, true}) {
        QFile::remove(f.dir.file("COM1"));
        for (int tick = 0; tick < 20; ++tick)
            m.Timer2Timer(); // a look while the link is away takes no other port
        EXPECT_FALSE(m.serialOpen());
        test::PseudoTerminal unit;
        QFile::link(unit.devicePath(), f.dir.file("COM1"));
        if (broadcast)
            m.deviceChanged(); // looked for at the next poll
        else
            for (int tick = 1; tick < 20; ++tick)
                m.Timer2Timer(); // looked for only every 2 s
        EXPECT_FALSE(m.serialOpen());
        m.Timer2Timer();
        EXPECT_TRUE(m.serialOpen());
        unit.write("$001520418D#");
        m.Timer2Timer();
        EXPECT_EQ(m.panels().linkText, "RS232 CONNECTED");
        m.learn();
        EXPECT_EQ(unit.read(), "$LEARN#");
        unit.hangUp();
        m.Timer2Timer(); // the poll sees it too
        EXPECT_FALSE(m.serialOpen());
    }
}

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
    int changes = 0; // found or lost, as views hear of it
    QObject::connect(&m, &MonitorCore::linksChanged, [&] { ++changes; });
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
    EXPECT_EQ(changes, 2);
    f.hid.replug(kUnitPath);
    f.broadcast();
    f.ticks(11);
    EXPECT_EQ(m.panels().linkText, "USB CONNECTED");
    // The unit comes back as a new instance without the system saying so
    // (the old handles read nothing: UsbHidDevice.SearchTakes...); then some
    // other device is plugged in, and the unit is searched for and reopened.
    f.hid.replug(kUnitPath);
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
