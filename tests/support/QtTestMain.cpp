#include <QApplication>
#include <gmock/gmock.h>

int main(int argc, char** argv) {
    // Also when CTest lists the tests, which happens without our environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
