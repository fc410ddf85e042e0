#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gmock/gmock.h>
#include <optional>
#ifdef VORN_TEST_CORE
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif
#ifdef VORN_TEST_DESKTOP
#include "tests/support/PrivateDesktop.h"
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
#ifdef VORN_TEST_DESKTOP
    // A desktop of this process's own; listing the tests needs none.
    std::optional<vorn::test::PrivateDesktop> desktop;
    if (std::none_of(argv, argv + argc,
                     [](const char* a) { return std::strcmp(a, "--gtest_list_tests") == 0; }))
        desktop.emplace();
#endif
    TestApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
