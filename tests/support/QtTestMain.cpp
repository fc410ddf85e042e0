#include <QDir>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#ifdef VORN_TEST_CORE
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif

int main(int argc, char** argv) {
    // Also when CTest lists the tests, which happens without our environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Neither the tests nor the programs they start touch the user's data,
    // configuration and runtime folders (the history, the view, the broker,
    // the program's socket), and no two test processes share them: each test
    // runs in a process of its own, so none attaches to another one's program.
    const QTemporaryDir home;
    const QString runtime = home.path() + QStringLiteral("/runtime");
    if (!home.isValid() ||
        !QDir().mkdir(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        qFatal("no private temporary folder for the test");
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    TestApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
