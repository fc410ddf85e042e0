// A window attached to vornd, the owner of the unit on a pseudo-terminal:
// it shows the owner's screen, sends its clicks to it, plays its tones, and
// takes the unit over when the owner ends. Only the owner keeps the history
// and publishes: the window does both only once it holds the unit.
#include "app/HistoryViews.h"
#include "app/WindowSession.h"
#include "charts/HistoryWindow.h"
#include "link/FakeHid.h"
#include "sim/Frames.h"
#include "tests/monitor/MonitorFixture.h"
#include "tests/monitor/OwnerProcess.h"
#include "tests/publish/Broker.h"
#include "tests/support/TestSupport.h"
#include "window/TFmain.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <csignal>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::within;

QByteArray report(int wheel, int psi, int celsius) {
    return QByteArray::fromStdString(
        sim::frame(sim::longReport({wheel, 0, 2 * psi, celsius + 40})));
}

// A window session of this process beside `owner`, started: a view of the
// owner while it serves.
struct Session {
    static ProgramOptions quiet() {
        ProgramOptions o;
        o.notify = false;
        o.noHistory = true;
        return o;
    }
    explicit Session(const test::Owner& owner, ProgramOptions o = quiet())
        : options(std::move(o)),
          session(options, {owner.dir.path(), &messages, &tones, &hid, nullptr}) {
        session.start();
    }
    ProgramOptions options;
    test::RecordingMessageSink messages;
    test::RecordingToneSink tones;
    FakeHid hid;
    WindowSession session;
};

TEST(AttachedWindow, ShowsTheOwnersScreenSendsItsClicksPlaysTheTonesAndTakesOverWhenTheOwnerEnds) {
    test::Owner owner(VORND_BINARY);
    test::Broker broker;
    owner.dir.write("password", QByteArray(test::Broker::kPassword) + "\n");
    QFile::setPermissions(owner.dir.file("password"), QFile::ReadOwner | QFile::WriteOwner);
    ProgramOptions withOutputs;
    withOutputs.notify = false;
    withOutputs.historyFile = owner.dir.file("window-history.sqlite");
    withOutputs.mqtt = {{"host", "127.0.0.1"},
                        {"port", QString::number(broker.plainPort())},
                        {"user", test::Broker::kUser},
                        {"password_file", owner.dir.file("password")}};
    Session attached(owner, withOutputs);
    WindowSession& session = attached.session;
    const ProgramOptions& options = attached.options;
    auto& tones = attached.tones;
    ASSERT_FALSE(session.owns());
    TFmain* window = session.window();
    ASSERT_NE(window, nullptr);
    auto* views = window->findChild<HistoryViews*>();
    ASSERT_NE(views, nullptr);
    EXPECT_TRUE(views->showHistoryWindow()->statusText().contains(
        "the VORN that owns the unit keeps no history"));

    owner.unit.send(report(1, 20, 25)); // below the low threshold
    // The panels and the table come as separate lines: wait for both.
    EXPECT_TRUE(within(5000, [&] {
        return window->Panel9->caption() == "ALARM !" &&
               window->core().state().TyrePressure[1] == 40;
    }));
    EXPECT_EQ(window->Panel11->caption(), "RS232 CONNECTED");
    EXPECT_EQ(window->Panel1->caption(), "Psi");
    // Hovering wheel 1's digits tells when it last reported, as in the owner's window.
    QHelpEvent hover(QEvent::ToolTip, QPoint(400, 60),
                     window->Image1->mapToGlobal(QPoint(400, 60)));
    QCoreApplication::sendEvent(window->Image1, &hover);
    EXPECT_TRUE(QToolTip::text().startsWith("Wheel 1: last report "))
        << QToolTip::text().toStdString();
    window->Panel5Click();
    EXPECT_EQ(owner.unit.read(5000), "$W2#");
    // The owner's alarm tone sounds here, within a blink.
    EXPECT_TRUE(within(3000, [&] { return !tones.played.empty(); }));
    EXPECT_EQ(tones.played.front().hz, 2000);
    EXPECT_FALSE(QFile::exists(options.historyFile));
    QFile brokerLog(broker.file("broker.log"));
    ASSERT_TRUE(brokerLog.open(QIODevice::ReadOnly));
    EXPECT_FALSE(brokerLog.readAll().contains("New client connected"));

    QElapsedTimer handOver;
    handOver.start();
    ::kill(static_cast<pid_t>(owner.process.processId()), SIGTERM);
    ASSERT_TRUE(within(5000, [&] { return session.owns(); }));
    EXPECT_LT(handOver.elapsed(), 3000);
    window = session.window();
    owner.unit.send(report(0, 33, 30));
    EXPECT_TRUE(within(5000, [&] { return window->core().state().TyrePressure[0] == 66; }));
    window->Panel1Click();
    EXPECT_EQ(owner.unit.read(5000), "$W0#");
    // Now the owner, the window keeps the history and publishes.
    EXPECT_TRUE(broker.waitForLog("New client connected").contains("New client connected"));
    EXPECT_TRUE(within(5000, [&] { return QFile::exists(options.historyFile); }));
}

TEST(AttachedWindow, WhenAnotherVorndTakesTheUnitOverTheWindowAttachesToIt) {
    test::Owner owner(VORND_BINARY);
    Session attached(owner);
    WindowSession& session = attached.session;
    ASSERT_FALSE(session.owns());
    // The window's loop stands still until the second vornd holds the unit
    // and listens, so the window finds an owner when it looks.
    QProcess second;
    const QString history = owner.dir.file("second.sqlite");
    owner.start(second, VORND_BINARY, {"--history", history});
    ::kill(static_cast<pid_t>(owner.process.processId()), SIGTERM);
    ASSERT_TRUE(owner.process.waitForFinished(5000));
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(test::socketPath()) && clock.elapsed() < 5000)
        QThread::msleep(10);
    ASSERT_TRUE(QFile::exists(test::socketPath()));
    owner.unit.send(report(2, 33, 30));
    ASSERT_TRUE(
        within(5000, [&] { return session.window()->core().state().TyrePressure[2] == 66; }));
    EXPECT_FALSE(session.owns());
    session.window()->Panel5Click();
    EXPECT_EQ(owner.unit.read(5000), "$W2#");
    // Its history window reads the file the new owner keeps.
    auto* views = session.window()->findChild<HistoryViews*>();
    ASSERT_NE(views, nullptr);
    HistoryWindow* chart = views->showHistoryWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return chart->loadsShown() > 0; }, 10000));
    EXPECT_FALSE(chart->statusText().contains("no history")) << qPrintable(chart->statusText());
    second.kill();
    second.waitForFinished(5000);
}

TEST(AttachedWindow, ATakeOverOnABrokenSettingsFileShowsTheLineAndEndsTheProgram) {
    test::Owner owner(VORND_BINARY);
    Session attached(owner);
    WindowSession& session = attached.session;
    ASSERT_FALSE(session.owns());
    owner.dir.write("setdata.txt", "26\r\nforty\r\n");
    ::kill(static_cast<pid_t>(owner.process.processId()), SIGTERM);
    ASSERT_TRUE(within(5000, [&] { return !attached.messages.shown.empty(); }));
    EXPECT_TRUE(attached.messages.shown.front().text.endsWith("setdata.txt, line 2"))
        << qPrintable(attached.messages.shown.front().text);
    EXPECT_FALSE(session.owns());
}

TEST(AttachedWindow, ASecondVornComesToTheFirstWindowAndEndsWithZero) {
    test::Owner owner(VORND_BINARY);
    QProcess first, second;
    owner.start(first, VORN_BINARY);
    const QString meeting = monitorRuntimeFolder().path + "/window.sock";
    ASSERT_TRUE(within(10000, [&] { return QFile::exists(meeting); }));
    owner.start(second, VORN_BINARY);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

} // namespace
} // namespace vorn
