// The program as a user starts it: a process in a working folder.
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace vorn {
namespace {

struct ProcessRun {
    bool finished;
    int exitCode;
    QString errors;
};

ProcessRun runVorn(const test::WorkDir& dir, int waitMs) {
    QProcess p;
    p.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VORN_BINARY), {});
    if (!p.waitForStarted())
        return {false, -1, QStringLiteral("did not start")};
    const bool finished = p.waitForFinished(waitMs);
    if (!finished) {
        p.terminate();
        p.waitForFinished();
    }
    return {finished, p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

TEST(Startup, MissingSettingsFileEndsWithItsTextOnStandardError) {
    test::WorkDir dir;
    const ProcessRun run = runVorn(dir, 10000);
    ASSERT_TRUE(run.finished);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("Cannot open file " + dir.file("setdata.txt")))
        << run.errors.toStdString();
}

TEST(Startup, BadLineEndsWithItsText) {
    test::WorkDir dir;
    dir.writeSettings({"26", "45", "seventy"});
    const ProcessRun run = runVorn(dir, 10000);
    ASSERT_TRUE(run.finished);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("'seventy' is not a valid integer value"))
        << run.errors.toStdString();
}

TEST(Startup, GoodSettingsKeepTheProgramRunningUntilStopped) {
    test::WorkDir dir;
    dir.writeSettings(test::defaultSettings());
    const ProcessRun run = runVorn(dir, 1500);
    EXPECT_FALSE(run.finished) << run.errors.toStdString();
}

} // namespace
} // namespace vorn
