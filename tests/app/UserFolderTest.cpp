// `vorn --user-folder` as the desktop entry starts it: the real program with
// its data folder under a temporary XDG_DATA_HOME.
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace vorn {
namespace {

const QByteArray kDefaultFile = "26\r\n45\r\n70\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";

// The program started from an empty folder with `dataHome` as XDG_DATA_HOME.
class UserFolderRun {
public:
    explicit UserFolderRun(const QString& dataHome) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(elsewhere_.path());
        process_.start(QStringLiteral(VORN_BINARY), {QStringLiteral("--user-folder")});
        process_.waitForStarted();
    }
    ~UserFolderRun() {
        process_.terminate();
        process_.waitForFinished();
    }
    bool ended(int ms) { return process_.waitForFinished(ms); }
    int exitCode() const { return process_.exitCode(); }
    QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }
    // Whether the program holds `device` open, checked until `ms` have passed.
    bool holdsOpen(const QString& device, int ms) const {
        QElapsedTimer clock;
        clock.start();
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(process_.processId()));
        do {
            for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
                if (fd.symLinkTarget() == device)
                    return true;
            QThread::msleep(50);
        } while (clock.elapsed() < ms);
        return false;
    }

private:
    test::WorkDir elsewhere_; // no setdata.txt here: it must not be looked for
    QProcess process_;
};

TEST(UserFolder, AMissingFolderIsMadeWithTheDefaultSettingsAndTheProgramRunsThere) {
    test::WorkDir home;
    UserFolderRun run(home.path());
    EXPECT_FALSE(run.ended(1500)) << run.errors().toStdString();
    EXPECT_EQ(home.read(QStringLiteral("VORN/setdata.txt")), kDefaultFile);
}

TEST(UserFolder, AnExistingFileIsKeptByteForByteAndTheComLinkThereIsOpened) {
    test::WorkDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("VORN")));
    const QByteArray mine = "30\r\n45\r\n70\r\n1\r\n0\r\n0\r\n0\r\n0\r\nmy note\n";
    home.write(QStringLiteral("VORN/setdata.txt"), mine);
    test::PseudoTerminal unit;
    ASSERT_TRUE(QFile::link(unit.devicePath(), home.file(QStringLiteral("VORN/COM1"))));
    UserFolderRun run(home.path());
    EXPECT_TRUE(run.holdsOpen(unit.devicePath(), 5000)) << run.errors().toStdString();
    EXPECT_EQ(home.read(QStringLiteral("VORN/setdata.txt")), mine);
}

TEST(UserFolder, AFolderThatCannotBeMadeEndsWithOneAndSaysWhy) {
    test::WorkDir home;
    home.write(QStringLiteral("plain-file"), "not a folder");
    UserFolderRun run(home.file(QStringLiteral("plain-file")));
    ASSERT_TRUE(run.ended(10000));
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(run.errors().contains(
        QStringLiteral("Cannot make the folder %1/VORN").arg(home.file("plain-file"))));
}

} // namespace
} // namespace vorn
