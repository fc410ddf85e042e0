// The program as a user starts it: a process in a working folder.
#include "app/CommandLine.h"
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

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
