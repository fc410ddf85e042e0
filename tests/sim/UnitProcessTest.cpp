// vorn-unit-sim as a user starts it.
#include "tests/sim/FrameCheck.h"
#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QtCore/qtestsupport_core.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

namespace vorn::sim {
namespace {

TEST(UnitSimProgram, HelpAndVersionEndWithZeroAndABadArgumentWithTwoAndTheReason) {
    const std::tuple<QStringList, int, const char*> cases[] = {
        {{"--help"}, 0, "--scenario NAME"},
        {{"-h"}, 0, "--verbose"},
        {{"--version"}, 0, "vorn-unit-sim " VORN_VERSION},
        {{"--bogus"}, 2, "unknown option '--bogus'"},
        {{"--wheels", "5"}, 2, "--wheels takes 4 or 6, not '5'"},
        {{"--rate=8"}, 2, "--rate takes a digit from 0 to 7"},
        {{"--seed", "-1"}, 2, "--seed takes a whole number"},
        {{"--scenario", "rain"}, 2, "unknown scenario 'rain'"},
        {{"--link", "a/b"}, 2, "--link takes a plain file name"},
        {{"--verbose=yes"}, 2, "--verbose takes no value"},
        {{"--wheels"}, 2, "--wheels needs a value"}};
    for (const auto& [args, exitCode, message] : cases) {
        const vorn::test::Ran ran = vorn::test::runToEnd(VORN_UNIT_SIM, args, {});
        EXPECT_EQ(ran.exitCode, exitCode) << message;
        EXPECT_TRUE((exitCode == 0 ? ran.out : ran.err).contains(message)) << ran.err.toStdString();
    }
}

// Opens the raw line through the link as the program does, writes `command`
// and reads frame bodies until `enough` holds of them, for 5 s at most.
using Bodies = std::vector<std::string>;
Bodies talk(const QString& link, std::string_view command,
            const std::function<bool(const Bodies&)>& enough) {
    const int fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios mode{};
    EXPECT_EQ(::tcgetattr(fd, &mode), 0);
    EXPECT_EQ(mode.c_lflag & (ECHO | ICANON), 0u) << "the line must not echo";
    EXPECT_EQ(::write(fd, command.data(), command.size()), std::ssize(command));
    test::StreamCutter cutter;
    Bodies bodies;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        char buffer[4096];
        const auto n =
            static_cast<std::size_t>(std::max(::read(fd, buffer, sizeof buffer), ssize_t{0}));
        std::ranges::move(cutter.feed({buffer, n}), std::back_inserter(bodies));
        return enough(bodies);
    })) << command;
    ::close(fd);
    return bodies;
}

long reports(const Bodies& bodies) {
    return std::ranges::count_if(bodies, [](auto& b) { return test::check(b).wheel >= 0; });
}

TEST(UnitSimProgram, ServesTheLinkAcrossReopensAndRemovesItOnTerminate) {
    const vorn::test::WorkDir dir;
    const QString link = dir.file(QStringLiteral("COM1"));
    QProcess sim;
    sim.start(QStringLiteral(VORN_UNIT_SIM), QStringList{"--folder", dir.path(), "--seed", "3"});
    ASSERT_TRUE(sim.waitForReadyRead(3000)) << "no start-up line";
    ASSERT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"));

    talk(link, "", [](const Bodies& bodies) { return reports(bodies) >= 2; });
    // Served again at the next open; a report sent just before the line
    // closed may still wait there. That learning keeps every wheel quiet is
    // the model's: Sequence.ReportsFollowRate...
    talk(link, "$LEARN#", [](const Bodies& bodies) { return std::ranges::count(bodies, "LEARN"); });

    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

} // namespace
} // namespace vorn::sim
