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

TEST(Startup, AMissingOrBadSettingsFileEndsItWithTheTextOnStandardError) {
    const struct {
        QStringList lines; // none: no file at all
        QString text;
    } cases[] = {{{}, "Cannot open file %1/setdata.txt"},
                 {{"26", "45", "seventy"}, "'seventy' is not a valid integer value"}};
    for (const auto& c : cases) {
        test::WorkDir dir;
        if (!c.lines.isEmpty())
            dir.writeSettings(c.lines);
        const ProcessRun run = runVorn(dir, 10000);
        ASSERT_TRUE(run.finished);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.errors.contains(c.text.arg(dir.path()))) << run.errors.toStdString();
    }
}

TEST(Startup, GoodSettingsKeepTheProgramRunningUntilStopped) {
    test::WorkDir dir;
    dir.writeSettings(test::defaultSettings());
    const ProcessRun run = runVorn(dir, 1500);
    EXPECT_FALSE(run.finished) << run.errors.toStdString();
}

} // namespace
} // namespace vorn
