// The monitor in the desktop's tray, on a tray host of the test's own: the
// icon appears on the host in the colour of the worst wheel, the window
// closes into it while the monitor reads on, and Start at login writes the
// desktop's autostart entry.
#include "app/InsightWiring.h"
#include "app/WindowSession.h"
#include "insight/LiveInsight.h"
#include "monitor/UserSettings.h"
#include "tests/monitor/MonitorFixture.h"
#include "tests/support/TestSupport.h"
#include "tests/tray/TrayHost.h"
#include "tray/TrayIcon.h"
#include "window/TFmain.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using Level = TrayIcon::Level;

using test::within;

// The colour in the middle of the icon `item` shows the host (its
// IconPixmap: ARGB, each pixel in network byte order); invalid when there
// is none. Asked without blocking: this thread answers for the item.
QColor iconColour(const QString& item) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        item, QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("IconPixmap");
    const QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(get, 10000);
    if (!within(15000, [&] { return call.isFinished(); }) || call.isError())
        return {};
    const auto pixmaps = qvariant_cast<QDBusArgument>(
        qvariant_cast<QDBusVariant>(call.reply().arguments().value(0)).variant());
    int width = 0, height = 0;
    QByteArray argb;
    pixmaps.beginArray();
    if (!pixmaps.atEnd()) {
        pixmaps.beginStructure();
        pixmaps >> width >> height >> argb;
        pixmaps.endStructure();
    }
    const qsizetype at = 4 * (qsizetype{height / 2} * width + width / 2);
    if (at + 4 > argb.size())
        return {};
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(argb[at + i]); };
    return QColor(byte(1), byte(2), byte(3), byte(0));
}

QAction* menuAction(TrayIcon& tray, const QString& text) {
    for (QAction* a : tray.menu().actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

// The owner of the unit on the fixture's pseudo-terminal, as `vorn` makes it.
struct TraySession {
    explicit TraySession(bool minimized) {
        options.notify = false;
        options.noHistory = true;
        options.minimized = minimized;
        session.start();
    }
    test::MonitorFixture f;
    ProgramOptions options;
    WindowSession session{options, {f.dir.path(), &f.messages, &f.tones, &f.hid, nullptr}};
};

TEST(Tray, AppearsOnTheHostInTheColourOfTheWorstWheelAndOffersToAcknowledgeAnAlarm) {
    const test::TrayHost host;
    ASSERT_TRUE(host.registered());
    TraySession run(true);
    TrayIcon* tray = run.session.tray();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(run.session.window()->isVisible()); // --minimized: in the tray
    ASSERT_TRUE(within(10000, [&] { return !host.items().isEmpty(); }));
    const QString item = host.items().first();
    EXPECT_EQ(iconColour(item), TrayIcon::levelColour(Level::Normal));
    QAction* acknowledge = menuAction(*tray, QStringLiteral("Acknowledge alarm"));
    ASSERT_NE(acknowledge, nullptr);
    EXPECT_FALSE(acknowledge->isVisible());

    run.f.unit.write(test::sensorFrame(1, 20, 25)); // below the low threshold
    EXPECT_TRUE(
        within(10000, [&] { return iconColour(item) == TrayIcon::levelColour(Level::Alarm); }));
    EXPECT_TRUE(tray->icon().toolTip().contains("Wheel 1: 20.0 psi, 25 °C, low pressure"))
        << tray->icon().toolTip().toStdString();
    EXPECT_TRUE(tray->icon().toolTip().contains("Wheel 3: no reading"));
    ASSERT_TRUE(acknowledge->isVisible());
    acknowledge->trigger(); // as a click on the brand panel
    EXPECT_EQ(run.session.window()->core().panels().brandCaption, "KESSIDO");
    EXPECT_FALSE(acknowledge->isVisible());
    EXPECT_EQ(run.f.unit.read(0), QByteArray()) << "acknowledging sends nothing to the unit";

    run.f.unit.write(test::sensorFrame(1, 32, 25));
    EXPECT_TRUE(
        within(10000, [&] { return iconColour(item) == TrayIcon::levelColour(Level::Normal); }));
}

// In the program's own event loop, which ends when the program would: the
// closed window must not end it, Quit must.
TEST(Tray, ClosingTheWindowHidesItWhileTheMonitorReadsOnAndQuitEndsTheProgram) {
    const test::TrayHost host;
    TraySession run(false);
    ASSERT_NE(run.session.tray(), nullptr);
    TFmain* window = run.session.window();
    ASSERT_TRUE(window->isVisible());
    QAction* quit = menuAction(*run.session.tray(), QStringLiteral("Quit"));
    ASSERT_NE(quit, nullptr);

    QTimer::singleShot(0, window, [&] {
        window->close();
        run.f.unit.write(test::sensorFrame(0, 33, 30));
    });
    bool quitting = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (!quitting && !window->isVisible() && window->core().state().TyrePressure[0] == 66) {
            quitting = true;
            quit->trigger();
        }
    });
    look.start(20);
    QTimer::singleShot(20000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(quitting) << "the program ended with the window";
    EXPECT_FALSE(window->isVisible());
}

// The analysis is the monitor's child, made anew when vorn.conf is read
// again: the tray finds the one there is.
TEST(Tray, IsAmberWhileTheAnalysisOfTheOwnerWarnsOfATyre) {
    test::MonitorFixture f;
    MonitorCore& core = f.start();
    test::RecordingMessageSink messages;
    TrayIcon tray(messages);
    tray.follow(core);
    f.receive(test::sensorFrame(0, 33, 20));
    EXPECT_EQ(tray.level(), Level::Normal);

    using insight::kMinuteMs;
    constexpr insight::TimeMs kNow = 10 * insight::kHourMs;
    auto* live = new insight::LiveInsight(
        {}, 26, [] { return kNow; }, &core);
    showWarnings(core, *live);
    // Wheel 1 fell silent half an hour ago while wheel 0 reported on.
    live->warmUp([](insight::TyreInsight& analysis, insight::TimeMs at, const std::atomic<bool>&) {
        for (insight::TimeMs t = at - 60 * kMinuteMs; t <= at; t += 30'000) {
            analysis.add(t, 0, 66, 60);
            if (t <= at - 30 * kMinuteMs)
                analysis.add(t, 1, 66, 60);
        }
        return true;
    });
    ASSERT_TRUE(within(10000, [&] { return !live->warming(); }));
    core.Timer1Timer();
    EXPECT_EQ(tray.level(), Level::Warning);
    EXPECT_TRUE(tray.icon().toolTip().contains("Wheel 1: no report for 30 minutes"))
        << tray.icon().toolTip().toStdString();
}

TEST(Tray, StartAtLoginWritesAndRemovesTheAutostartEntryAndSaysWhyWhenItCannot) {
    test::RecordingMessageSink messages;
    TrayIcon tray(messages);
    QAction* startAtLogin = menuAction(tray, QStringLiteral("Start at login"));
    ASSERT_NE(startAtLogin, nullptr);
    const QString path = userConfigHome() + QStringLiteral("/autostart/vorn.desktop");
    EXPECT_FALSE(startAtLogin->isChecked());

    startAtLogin->trigger();
    EXPECT_TRUE(startAtLogin->isChecked());
    QFile entry(path);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArrayList lines = entry.readAll().split('\n');
    entry.close();
    for (const char* line :
         {"[Desktop Entry]", "Type=Application", "Name=VORN", "Exec=vorn --user-folder --minimized",
          "Icon=vorn", "X-GNOME-Autostart-enabled=true"})
        EXPECT_TRUE(lines.contains(line)) << line;
    startAtLogin->trigger();
    EXPECT_FALSE(startAtLogin->isChecked());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(messages.shown.empty());

    // Something else in the entry's place: said, and the item stays off.
    ASSERT_TRUE(QDir().mkpath(path));
    startAtLogin->trigger();
    EXPECT_FALSE(startAtLogin->isChecked());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(path)) << messages.shown[0].text.toStdString();
}

} // namespace
} // namespace vorn
