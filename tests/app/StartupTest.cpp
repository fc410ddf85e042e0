// The program as a user starts it: a process in a working folder.
#include "app/CommandLine.h"
#include "app/Headless.h"
#include "history/HistoryStore.h"
#include "sim/Frames.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vorn {
namespace {

TEST(Startup, GoodSettingsKeepItRunningAndMissingOrBadOnesEndItWithTheirText) {
    const struct {
        QStringList lines; // none: no file at all
        QString text;      // on standard error; empty: it keeps running
    } cases[] = {
        {{}, "Cannot open file %1/setdata.txt"},
        {{"26", "45", "seventy"}, "%1/setdata.txt, line 3: 'seventy' is not a valid integer value"},
        {{"26", "45", "70", "0", "0", "0", "0"}, "line 8: '' is not a valid integer value"},
        {test::defaultSettings(), ""}};
    for (const auto& c : cases) {
        test::WorkDir dir;
        if (!c.lines.isEmpty())
            dir.writeSettings(c.lines);
        QProcess run;
        run.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("config")));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(VORN_BINARY), {});
        const bool finished = run.waitForFinished(c.text.isEmpty() ? 1500 : 10000);
        run.terminate();
        run.waitForFinished();
        const QString errors = QString::fromUtf8(run.readAllStandardError());
        EXPECT_EQ(finished, !c.text.isEmpty()) << errors.toStdString();
        EXPECT_TRUE(!finished || (run.exitCode() != 0 && errors.contains(c.text.arg(dir.path()))))
            << errors.toStdString();
    }
}

// A Unix socket that takes connections into its queue and never says a word.
class SilentSocket {
public:
    explicit SilentSocket(const QString& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
        listening_ =
            ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(fd_, 8) == 0;
    }
    ~SilentSocket() { ::close(fd_); }
    SilentSocket(const SilentSocket&) = delete;
    SilentSocket& operator=(const SilentSocket&) = delete;
    bool listening() const { return listening_; }
    // Whether someone has connected, waiting up to `ms` for it.
    bool connectedWithin(int ms) const {
        pollfd waiting{fd_, POLLIN, 0};
        return ::poll(&waiting, 1, ms) == 1;
    }

private:
    int fd_;
    bool listening_ = false;
};

// A session bus that takes the connection and never answers, as a stopped
// dbus-daemon does, holds up neither the start nor the end.
TEST(Startup, ASilentSessionBusHoldsUpNeitherTheStartNorTheEnd) {
    test::WorkDir dir;
    dir.writeSettings(test::defaultSettings());
    const test::PseudoTerminal unit;
    ASSERT_TRUE(QFile::link(unit.devicePath(), dir.file(QStringLiteral("COM1"))));
    const SilentSocket silentBus(dir.file(QStringLiteral("bus")));
    ASSERT_TRUE(silentBus.listening());
    QProcess run;
    run.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("config")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + dir.file("bus"));
    run.setProcessEnvironment(env);
    run.start(QStringLiteral(VORN_BINARY), {QStringLiteral("--headless")});
    // The bus is asked for once there is an alarm to show; the link is made
    // by then and reads the frame.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            unit.send(QByteArray::fromStdString(sim::frame(sim::longReport({1, 0, 40, 50}))));
            return silentBus.connectedWithin(200);
        },
        10000))
        << run.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
}

TEST(Startup, AQuitSignalEndsTheEventLoopAndASecondOneEndsTheProgramAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto quitOn = [](std::initializer_list<int> raised) {
        const QuitOnSignals quit(true);
        QTimer::singleShot(0, [raised] {
            for (const int s : raised)
                ::raise(s);
        });
        std::exit(QCoreApplication::exec() == 0 ? 0 : 2);
    };
    EXPECT_EXIT(quitOn({SIGTERM}), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(quitOn({SIGINT}), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(quitOn({SIGTERM, SIGINT}), testing::KilledBySignal(SIGINT), "");
    EXPECT_EXIT(quitOn({SIGINT, SIGINT}), testing::KilledBySignal(SIGINT), "");
}

// Whether the process is stopped (by SIGSTOP), from its state in /proc.
bool stopped(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "T";
}

// A logout (SIGHUP) or a stop (SIGTERM) closes the window as the user
// would: what the line brought is in the history, then the program's end.
TEST(Startup, AQuitSignalClosesTheWindowWithTheLastReadingsInTheHistory) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        test::WorkDir dir;
        dir.writeSettings(test::defaultSettings());
        const test::PseudoTerminal unit;
        ASSERT_TRUE(QFile::link(unit.devicePath(), dir.file(QStringLiteral("COM1"))));
        const QString path = dir.file(QStringLiteral("history.sqlite"));
        QProcess run;
        run.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("config")));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(VORN_BINARY), {QStringLiteral("--history"), path});
        const auto events = [&] {
            history::HistoryStore store;
            return store.open(path, history::OpenMode::ReadOnly).usable()
                       ? store.events(0, std::numeric_limits<history::TimeMs>::max())
                       : std::vector<history::Event>{};
        };
        // Its start is written at once, once its window and line are open; the
        // file is looked into once it has its log, as a reader then never
        // holds up the writer.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QFile::exists(path + QStringLiteral("-wal")) && !events().empty(); },
            10000))
            << run.readAllStandardError().toStdString();
        // The reports reach the line while the program is held, so that the
        // line being empty afterwards means the program has taken them.
        const qint64 pid = run.processId();
        ::kill(static_cast<pid_t>(pid), SIGSTOP);
        ASSERT_TRUE(QTest::qWaitFor([&] { return stopped(pid); }, 10000));
        for (int wheel = 0; wheel < 4; ++wheel)
            unit.write(QByteArray::fromStdString(
                sim::frame(sim::longReport({wheel, 0, 2 * (30 + wheel), 25 + 40}))));
        ::kill(static_cast<pid_t>(pid), SIGCONT);
        ASSERT_TRUE(unit.taken(10000));
        ::kill(static_cast<pid_t>(pid), signal);
        ASSERT_TRUE(run.waitForFinished(10000));
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
        history::HistoryStore store;
        ASSERT_TRUE(store.open(path, history::OpenMode::ReadOnly).usable());
        std::map<int, std::int32_t> pressures;
        store.forEachReading(0, std::numeric_limits<history::TimeMs>::max(),
                             [&](const history::Reading& r) { pressures[r.wheel] = r.pressure; });
        EXPECT_EQ(pressures, (std::map<int, std::int32_t>{{0, 60}, {1, 62}, {2, 64}, {3, 66}}));
        ASSERT_FALSE(events().empty());
        EXPECT_EQ(events().back().kind, history::EventKind::ProgramEnded) << signal;
    }
}

TEST(Startup, HeadlessAndEachMqttOptionReachTheProgramOptions) {
    const CommandLine c = parseCommandLine({"vorn", "--headless", "--mqtt-host", "b.lan",
                                            "--mqtt-password-file", "/p", "--mqtt-ca", "/ca"});
    ASSERT_EQ(c.action, CommandLine::Action::Run) << c.error.toStdString();
    EXPECT_TRUE(c.options.headless);
    const QMap<QString, QString> mqtt{
        {"host", "b.lan"}, {"password_file", "/p"}, {"ca_file", "/ca"}};
    EXPECT_EQ(c.options.mqtt, mqtt);
    EXPECT_EQ(parseCommandLine({"vorn", "--mqtt-port"}).exitCode, 2); // a value is needed
}

} // namespace
} // namespace vorn
