// `vorn --user-folder` as the desktop entry starts it: the real program with
// its data folder under a temporary XDG_DATA_HOME.
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

const QByteArray kDefaultFile = "26\r\n45\r\n70\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";

// The program started from an empty folder with `dataHome` as XDG_DATA_HOME.
struct UserFolderRun {
    explicit UserFolderRun(const QString& dataHome) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
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

// Once without the folder, then with a file of the user's own and the unit's port.
TEST(UserFolder, AMissingFolderIsMadeWithTheDefaultsAndAnExistingOneIsKeptAndItsPortOpened) {
    test::WorkDir home;
    {
        UserFolderRun run(home.path());
        EXPECT_FALSE(run.process.waitForFinished(1500)) << run.errors().toStdString();
        EXPECT_EQ(home.read(QStringLiteral("VORN/setdata.txt")), kDefaultFile);
    }
    const QByteArray mine = "30\r\n45\r\n70\r\n1\r\n0\r\n0\r\n0\r\n0\r\nmy note\n";
    home.write(QStringLiteral("VORN/setdata.txt"), mine);
    test::PseudoTerminal unit;
    ASSERT_TRUE(QFile::link(unit.devicePath(), home.file(QStringLiteral("VORN/COM1"))));
    UserFolderRun run(home.path());
    EXPECT_TRUE(run.holdsOpen(unit.devicePath())) << run.errors().toStdString();
    EXPECT_EQ(home.read(QStringLiteral("VORN/setdata.txt")), mine);
}

TEST(UserFolder, AFolderThatCannotBeMadeEndsWithOneAndSaysWhy) {
    test::WorkDir home;
    home.write(QStringLiteral("plain-file"), "not a folder");
    UserFolderRun run(home.file(QStringLiteral("plain-file")));
    ASSERT_TRUE(run.process.waitForFinished(10000));
    EXPECT_EQ(run.process.exitCode(), 1);
    EXPECT_TRUE(run.errors().contains(
        QStringLiteral("Cannot make the folder %1/VORN").arg(home.file("plain-file"))));
}

} // namespace
} // namespace vorn
