// vorn-unit-sim as a user starts it.
#include "tests/sim/FrameCheck.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace vorn::sim {
namespace {

struct Outcome {
    int exitCode;
    QString out;
    QString errors;
};

Outcome runToEnd(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VORN_UNIT_SIM), args);
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

TEST(UnitSimProgram, HelpNamesEveryOptionAndScenario) {
    const Outcome o = runToEnd({"--help"});
    EXPECT_EQ(o.exitCode, 0);
    for (const char* word : {"--scenario", "--wheels", "--seed", "--rate", "--short", "--link",
                             "--folder", "--verbose", "slow-leak", "cal-silent"})
        EXPECT_TRUE(o.out.contains(word)) << word;
}

struct BadCase {
    QStringList args;
    const char* message;
};

class UnitSimBadArguments : public testing::TestWithParam<BadCase> {};
void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.args.join(' ').toStdString();
}

TEST_P(UnitSimBadArguments, EndWithTwoAndSayWhy) {
    const Outcome o = runToEnd(GetParam().args);
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(o.errors.contains(GetParam().message)) << o.errors.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnitSimBadArguments,
    testing::Values(BadCase{{"--bogus"}, "unknown option '--bogus'"},
                    BadCase{{"--wheels", "5"}, "--wheels takes 4 or 6, not '5'"},
                    BadCase{{"--rate=8"}, "--rate takes a digit from 0 to 7"},
                    BadCase{{"--seed", "-1"}, "--seed takes a whole number"},
                    BadCase{{"--scenario", "rain"}, "unknown scenario 'rain'"},
                    BadCase{{"--link", "a/b"}, "--link takes a plain file name"},
                    BadCase{{"--verbose=yes"}, "--verbose takes no value"},
                    BadCase{{"--wheels"}, "--wheels needs a value"}));

// CPU time the process has used, in clock ticks: user plus system time, the
// 14th and 15th fields of /proc/<pid>/stat (the 12th and 13th after the name).
long cpuTicks(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLong() + fields[12].toLong() : -1;
}

// Opens the line through the link as the program does and reads for `ms`
// after writing `command`; checks that the line is raw.
std::string talk(const QString& link, std::string_view command, int ms) {
    const int fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    std::string got;
    termios mode{};
    EXPECT_EQ(::tcgetattr(fd, &mode), 0);
    EXPECT_EQ(mode.c_lflag & (ECHO | ICANON), 0u) << "the line must not echo";
    EXPECT_EQ(::write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    for (int left = ms; left > 0 && fd >= 0; left -= 20) {
        pollfd p{fd, POLLIN, 0};
        char buffer[512];
        if (::poll(&p, 1, 20) > 0)
            got.append(buffer, static_cast<std::size_t>(std::max(0L, ::read(fd, buffer, 512))));
    }
    if (fd >= 0)
        ::close(fd);
    return got;
}

std::size_t reportCount(const std::string& bytes) {
    std::size_t n = 0;
    for (const std::string& body : test::StreamCutter().feed(bytes))
        n += test::check(body).reading ? 1 : 0;
    return n;
}

TEST(UnitSimProgram, ServesTheLinkAcrossReopensAndRemovesItOnTerminate) {
    const vorn::test::WorkDir dir;
    const QString link = dir.file(QStringLiteral("COM1"));
    QProcess sim;
    sim.start(QStringLiteral(VORN_UNIT_SIM), QStringList{"--folder", dir.path(), "--seed", "3"});
    ASSERT_TRUE(sim.waitForReadyRead(3000)) << "no start-up line";
    ASSERT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));
    // Nobody on the line yet: the unit waits without spinning.
    QThread::msleep(500);
    const long idleTicks = cpuTicks(sim.processId());
    EXPECT_TRUE(idleTicks >= 0 && idleTicks < 10) << idleTicks;

    EXPECT_GE(reportCount(talk(link, "", 500)), 2u);
    // A report sent just before the line closed may still wait at the next open.
    const std::string reply = talk(link, "$LEARN#", 500);
    const auto learn = reply.find("$LEARN#");
    ASSERT_NE(learn, std::string::npos) << reply;
    EXPECT_EQ(reportCount(reply.substr(learn)), 0u) << "learning keeps every wheel quiet";
    EXPECT_NE(talk(link, "$LEND#", 500).find("$LEND#"), std::string::npos);

    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

} // namespace
} // namespace vorn::sim
