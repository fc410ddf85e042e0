// What a newcomer meets first: the command line and the pointer's hints.
#include "app/CommandLine.h"
#include "app/HistoryCommand.h"
#include "monitor/UserSettings.h"
#include "tests/window/WindowFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QMetaMethod>
#include <QProcess>
#include <gtest/gtest.h>

namespace vorn {
namespace {

// The real program with no display at all: none of these may need one.
TEST(CommandLine, HelpVersionAndMistakesNeedNoDisplayNorSettings) {
    const struct {
        QStringList args;
        int exitCode;
        const char* out; // expected in standard output
        const char* err; // expected in standard error
    } cases[] = {
        {{"--help"}, 0, "--version", ""},
        {{"--version"}, 0, "vorn " VORN_VERSION, ""},
        {{"--no-such-option"}, 2, "", "Unknown option 'no-such-option'"},
        {{"stray"}, 2, "", "Unexpected argument 'stray'"},
        {{"--history-days", "soon"}, 2, "", "--history-days: 'soon' is not a whole number"},
        {{"--history-days"}, 2, "", "Missing value after '--history-days'"},
        {{"--history-raw-days", "7"},
         2,
         "",
         "--history-raw-days: '7' is not a whole number from 8"},
    };
    test::WorkDir empty; // no setdata.txt
    for (const auto& c : cases) {
        QProcess p;
        p.setWorkingDirectory(empty.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VORN_BINARY), c.args);
        ASSERT_TRUE(p.waitForFinished(10000)) << c.args.join(' ').toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().contains(c.out)) << c.out;
        EXPECT_TRUE(p.readAllStandardError().contains(c.err)) << c.err;
    }
}

// The history's days come from the command line, else from [history] in
// vorn.conf, else the defaults; a value in the file that cannot be used keeps
// the default.
TEST(CommandLine, HistoryDaysComeFromTheCommandLineOverVornConf) {
    const QString folder = userConfigHome() + QStringLiteral("/VORN");
    ASSERT_TRUE(QDir().mkpath(folder));
    const struct {
        const char* conf;
        QStringList args;
        int days, rawDays;
    } cases[] = {
        {"", {}, 400, 30},
        {"[history]\ndays=200\nraw_days=10\n", {}, 200, 10},
        {"[history]\ndays=200\nraw_days=10\n", {"--history-raw-days", "9"}, 200, 9},
        {"[history]\ndays=0\nraw_days=7,5\n", {"--history-days", "50"}, 50, 30},
    };
    for (const auto& c : cases) {
        QFile conf(folder + QStringLiteral("/vorn.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
        conf.write(c.conf);
        conf.close();
        const CommandLine command = parseCommandLine(QStringList{"vorn"} + c.args);
        const history::Retention keep = historyRetentionFor(command.options);
        EXPECT_EQ(std::pair(keep.days, keep.rawDays), std::pair(c.days, c.rawDays)) << c.conf;
    }
    QFile::remove(folder + QStringLiteral("/vorn.conf"));
}

// Whether anything listens to a panel's clicks; the member is protected, and
// naming it through a derived class is the lawful way to reach it.
struct ClickListeners : Panel {
    static bool any(const Panel* panel) {
        return (panel->*(&ClickListeners::isSignalConnected))(
            QMetaMethod::fromSignal(&Panel::clicked));
    }
};

// A control a user can click or type into explains itself, or sits inside
// one that does (the radio buttons of a group share its hint).
TEST(ToolTips, EveryControlThatDoesSomethingExplainsItself) {
    test::WindowFixture f;
    TFmain& w = f.open();
    int checked = 0;
    for (QWidget* widget : w.findChildren<QWidget*>()) {
        auto* panel = qobject_cast<Panel*>(widget);
        const bool acts =
            qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
            (qobject_cast<QLineEdit*>(widget) && !widget->parent()->inherits("QComboBox")) ||
            (panel && ClickListeners::any(panel));
        if (!acts)
            continue;
        ++checked;
        bool explained = false;
        for (QWidget* up = widget; up && up != &w && !explained; up = up->parentWidget())
            explained = !up->toolTip().isEmpty();
        EXPECT_TRUE(explained) << widget->metaObject()->className() << " "
                               << widget->objectName().toStdString() << " "
                               << widget->property("text").toString().toStdString();
    }
    EXPECT_GT(checked, 30); // buttons, edits, lists, radio buttons and panels were all seen
}

} // namespace
} // namespace vorn
