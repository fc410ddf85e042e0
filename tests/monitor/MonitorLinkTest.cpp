#include "tests/monitor/MonitorFixture.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <functional>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::MonitorFixture;
using Report = command::UsbOutReport;

Report report(std::string_view text) {
    Report r{};
    std::copy(text.begin(), text.end(), r.begin() + 1);
    return r;
}

TEST(MonitorCommands, EveryCommandSendsItsFrameAndBuildsItsReport) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    const QString freq = "2caa";
    const struct {
        std::function<void()> command;
        const char* frame;
    } cases[] = {
        {[&] { m.learn(); }, "$LEARN#"},
        {[&] { m.sendWheelCommand(0); }, "$W0#"},
        {[&] { m.setFrequency(freq); }, "$FRX2caa#"},
        {[&] { m.sendWheelCommand(2); }, "$W2#"},
        {[&] { m.sendWheelCommand(5); }, "$W5#"},
        {[&] { m.testMode(); }, "$TEST#"},
        {[&] { m.acknowledge(); }, "$LEND#"},
        {[&] { m.stepFrequency(freq, 9, true); }, "$FRX2CB4#"},
        {[&] { m.stepFrequency(freq, 9, false); }, "$FRX2CA0#"},
        {[&] { m.autoCalibrate(); }, "$CAL#"},
        {[&] { m.factory(); }, "$FAC#"},
        {[&] { m.sendRadioSettings(freq, 3, 1); }, "$IST31AB#"},
        {[&] { m.toggleAutoTx(); }, "$T1#"},
    };
    for (const auto& c : cases) {
        c.command();
        const std::string_view frame(c.frame);
        EXPECT_EQ(f.unit.read(), QByteArray(c.frame));
        // The report is rewritten whole: nothing of a longer command is left.
        EXPECT_EQ(m.usbOutReport(), report(frame.substr(1, frame.size() - 2))) << c.frame;
    }
    EXPECT_EQ(m.panels().frequencyText, "2CAA"); // only the unit's answer changes it
    m.setFrequency("2CAG");                      // no frequency: the tuning commands send nothing
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
            EXPECT_EQ(f.messages.shown[0].text, "open com(RS232) error");
            EXPECT_EQ(f.messages.shown[0].caption, "Comm Error");
            ASSERT_FALSE(f.messages.noted.empty()); // and why, on standard error
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

} // namespace
} // namespace vorn
