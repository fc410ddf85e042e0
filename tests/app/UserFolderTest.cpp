// `vorn --user-folder` as the desktop entry starts it: the real program with
// its data folder under a temporary home.
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vorn {
namespace {

const QByteArray kDefaultFile = "26\r\n45\r\n70\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";

// The program started with `--user-folder` from an empty folder, with `home`
// as HOME and the XDG values given.
struct UserFolderRun {
    UserFolderRun(const QString& home, const QString& dataHome, const QString& configHome) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(elsewhere.path());
        process.start(QStringLiteral(VORN_BINARY), {QStringLiteral("--user-folder")});
    }
    ~UserFolderRun() { process.terminate(), process.waitForFinished(); }
    QString errors() { return QString::fromUtf8(process.readAllStandardError()); }
    // Whether the program holds `device` open, checked for up to 5 s.
    bool holdsOpen(const QString& device) {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(process.processId()));
        return QTest::qWaitFor([&] {
            const auto open = fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot);
            return std::any_of(open.begin(), open.end(),
                               [&](const QFileInfo& fd) { return fd.symLinkTarget() == device; });
        });
    }

    test::WorkDir elsewhere; // no setdata.txt here: it must not be looked for
    QProcess process;
};

QFile::Permissions modeOf(const QString& path) {
    return QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

// The XDG rules: an absolute value is used, a relative or empty one ignored
// for the default under HOME; what is made there is the user's alone.
TEST(UserFolder, IsMadeForTheUserAloneWhereTheXdgRulesSayAndAForeignOneIsRefused) {
    constexpr QFile::Permissions kOwnerFolder =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    constexpr QFile::Permissions kOwnerFile = QFile::ReadOwner | QFile::WriteOwner;
    enum class Setup { None, FileInTheWay, ForeignFolder };
    const struct {
        QString dataHome, configHome; // "@" stands for the test's root
        Setup setup;
        QString data, config; // where the folder and vorn.conf go, under the root
        QString error;        // on standard error, then exit status 1
    } cases[] = {
        {"@/data", "@/config", Setup::None, "data", "config", ""},
        {"relative/data", "relative/config", Setup::None, "home/.local/share", "home/.config", ""},
        {"", "", Setup::None, "home/.local/share", "home/.config", ""},
        {"@/plain-file", "@/config", Setup::FileInTheWay, "plain-file", "",
         "Cannot make the folder @/plain-file/VORN: Not a directory"},
        {"@/data", "@/config", Setup::ForeignFolder, "data", "",
         "Cannot work in the folder @/data/VORN: it belongs to another user"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error.isEmpty() ? c.dataHome.toStdString() : c.error.toStdString());
        test::WorkDir root;
        const auto at = [&](QString text) { return text.replace(u'@', root.path()); };
        const QString folder = root.file(c.data + QStringLiteral("/VORN"));
        if (c.setup == Setup::FileInTheWay)
            root.write(c.data, "not a folder");
        if (c.setup == Setup::ForeignFolder) {
            if (::geteuid() != 0)
                continue; // only root can give a folder away
            ASSERT_TRUE(QDir().mkpath(folder));
            ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        }
        UserFolderRun run(root.file(QStringLiteral("home")), at(c.dataHome), at(c.configHome));
        if (!c.error.isEmpty()) {
            ASSERT_TRUE(run.process.waitForFinished(10000));
            EXPECT_EQ(run.process.exitCode(), 1);
            EXPECT_TRUE(run.errors().contains(at(c.error))) << run.errors().toStdString();
            EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/setdata.txt")));
            continue;
        }
        // Its per-user settings are the last thing it makes before it runs.
        const QString conf = root.file(c.config + QStringLiteral("/VORN/vorn.conf"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(conf); }, 10000))
            << run.errors().toStdString();
        EXPECT_EQ(run.process.state(), QProcess::Running) << run.errors().toStdString();
        EXPECT_EQ(root.read(c.data + QStringLiteral("/VORN/setdata.txt")), kDefaultFile);
        EXPECT_EQ(modeOf(folder + QStringLiteral("/setdata.txt")), kOwnerFile);
        for (QString made = folder; made != root.path(); made = QFileInfo(made).path())
            EXPECT_EQ(modeOf(made), kOwnerFolder) << made.toStdString();
        EXPECT_FALSE(QFileInfo::exists(run.elsewhere.file(QStringLiteral("relative"))));
    }
}

// A file of the user's own is kept, and the unit's link beside it is used.
TEST(UserFolder, AnExistingSettingsFileIsKeptAndItsPortOpened) {
    test::WorkDir home;
    const QByteArray mine = "30\r\n45\r\n70\r\n1\r\n0\r\n0\r\n0\r\n0\r\nmy note\n";
    ASSERT_TRUE(QDir().mkpath(home.file(QStringLiteral("data/VORN"))));
    home.write(QStringLiteral("data/VORN/setdata.txt"), mine);
    test::PseudoTerminal unit;
    ASSERT_TRUE(QFile::link(unit.devicePath(), home.file(QStringLiteral("data/VORN/COM1"))));
    UserFolderRun run(home.path(), home.file(QStringLiteral("data")),
                      home.file(QStringLiteral("config")));
    EXPECT_TRUE(run.holdsOpen(unit.devicePath())) << run.errors().toStdString();
    EXPECT_EQ(home.read(QStringLiteral("data/VORN/setdata.txt")), mine);
}

} // namespace
} // namespace vorn
