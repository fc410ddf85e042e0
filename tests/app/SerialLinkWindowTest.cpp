#include "tests/app/WindowFixture.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::WindowFixture;

TEST(WindowSerialLink, OpensTheChosenPortOrSaysWhyNot) {
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
        WindowFixture f(settings);
        if (c.linkTo)
            QFile::link(QString::fromLatin1(c.linkTo), f.dir.file("COM2"));
        TFmain& w = f.open();
        EXPECT_EQ(w.serialOpen(), c.open) << c.port;
        ASSERT_EQ(f.messages.shown.size(), c.refused ? 1u : 0u) << c.port;
        if (c.refused) {
            EXPECT_EQ(f.messages.shown[0].text, "open com(RS232) error");
            EXPECT_EQ(f.messages.shown[0].caption, "Comm Error");
            ASSERT_FALSE(f.messages.noted.empty()); // and why, on standard error
            EXPECT_TRUE(!c.linkTo || f.messages.noted.back().contains(f.dir.file("COM2")));
        }
    }
}

TEST(WindowSerialLink, FramesFromTheLineReachTheStateTableAndThePanels) {
    WindowFixture f;
    TFmain& w = f.open();
    w.Timer2Timer();
    EXPECT_EQ(w.Panel11->caption(), ""); // a silent unit shows nothing
    f.unit.write("$CAL0#$FRX2cab#$TR0A2CAA#$FAC#$2014");
    w.Timer2Timer();
    f.unit.write("03C6D#");
    w.Timer2Timer();
    EXPECT_EQ(w.Panel11->caption(), "RS232 CONNECTED");
    EXPECT_EQ(w.state().TyrePressure[2], 64); // a frame split over two polls
    EXPECT_EQ(w.Panel17->caption(), "2CAA 10");
    EXPECT_EQ(w.Panel17->color(), QColor(255, 255, 0));
    EXPECT_EQ(w.Edit4->text(), "2CAB");
    EXPECT_EQ(w.Panel18->color(), QColor(255, 255, 0));
    EXPECT_EQ(f.tones.played.size(), 1u);
}

// The user links the unit as COM1 while the program runs (it took the
// system's port for want of it): the link is used at once, and followed when
// it is pointed at another terminal; each is said once.
TEST(WindowSerialLink, AComLinkMadeWhileRunningIsOpenedAndFollowedWhereItLeads) {
    WindowFixture f;
    QFile::remove(f.dir.file("COM1"));
    TFmain& w = f.open();
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
            QTest::qWaitFor([&] { return w.state().TyrePressure[1] == 2 * step.psi; }, 10000));
        EXPECT_EQ(w.Panel11->caption(), "RS232 CONNECTED");
    }
    EXPECT_EQ(said("appeared") + said("now leads to"), 2);
}

// The unit is switched off (its side of the line closes) and comes back
// under the same name on a new terminal, twice.
TEST(WindowSerialLink, AHungUpLineIsClosedIdlesAndReopensWhenItsNameReturns) {
    WindowFixture f;
    TFmain& w = f.open();
    for (QTimer* t : {w.Timer1, w.Timer2, w.Timer3})
        t->stop(); // only the line may wake the event loop
    f.unit.write("$001520418D#");
    w.Timer2Timer();
    ASSERT_EQ(w.Panel11->caption(), "RS232 CONNECTED");
    f.unit.hangUp();
    int wakeUps = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     w.Panel11, [&] { ++wakeUps; });
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_LT(wakeUps, 10); // a handle left watched wakes it thousands of times
    EXPECT_FALSE(w.serialOpen());
    EXPECT_EQ(w.Panel11->caption(), "");
    EXPECT_TRUE(f.messages.shown.empty());
    ASSERT_FALSE(f.messages.noted.empty());
    EXPECT_TRUE(f.messages.noted.back().contains(f.dir.file("COM1")));

    // A look for the port every 2 s: every twentieth poll.
    for (const bool broadcast : {false, true}) {
        QFile::remove(f.dir.file("COM1"));
        for (int tick = 0; tick < 20; ++tick)
            w.Timer2Timer(); // a look while the link is away takes no other port
        EXPECT_FALSE(w.serialOpen());
        test::PseudoTerminal unit;
        QFile::link(unit.devicePath(), f.dir.file("COM1"));
        if (broadcast)
            w.FormWndProc(kDeviceChangeMessage); // looked for at the next poll
        else
            for (int tick = 1; tick < 20; ++tick)
                w.Timer2Timer(); // looked for only every 2 s
        EXPECT_FALSE(w.serialOpen());
        w.Timer2Timer();
        EXPECT_TRUE(w.serialOpen());
        unit.write("$001520418D#");
        w.Timer2Timer();
        EXPECT_EQ(w.Panel11->caption(), "RS232 CONNECTED");
        w.Button3Click();
        EXPECT_EQ(unit.read(), "$LEARN#");
        unit.hangUp();
        w.Timer2Timer(); // the poll sees it too
        EXPECT_FALSE(w.serialOpen());
    }
}

} // namespace
} // namespace vorn
