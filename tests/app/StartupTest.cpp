// The program as a user starts it: a process in a working folder.
#include "app/CommandLine.h"
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
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.file(QStringLiteral("config")));
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
        const ProcessRun run = runVorn(dir, c.text.isEmpty() ? 1500 : 10000);
        EXPECT_EQ(run.finished, !c.text.isEmpty()) << run.errors.toStdString();
        if (run.finished) {
            EXPECT_NE(run.exitCode, 0);
            EXPECT_TRUE(run.errors.contains(c.text.arg(dir.path()))) << run.errors.toStdString();
        }
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
