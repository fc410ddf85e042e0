#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gmock/gmock.h>

int main(int argc, char** argv) {
    // Also when CTest lists the tests, which happens without our environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Neither the tests nor the programs they start touch the user's data
    // folder (the reading history lives there).
    const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
