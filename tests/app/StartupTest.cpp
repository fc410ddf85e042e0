// The program as a user starts it: a process in a working folder.
#include "app/CommandLine.h"
#include "app/Headless.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
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
    // It asks the bus last, once its window and link are made.
    ASSERT_TRUE(silentBus.connectedWithin(10000)) << run.readAllStandardError().toStdString();
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
