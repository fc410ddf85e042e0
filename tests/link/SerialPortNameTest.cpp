#include "link/SerialPortName.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(SerialPortName, ChoicesNameTheFourComPortsAndUsb) {
    const char* expected[] = {"", "COM1", "COM2", "COM3", "COM4", "USB", ""};
    for (int choice = -1; choice <= 5; ++choice)
        EXPECT_EQ(comPortName(choice), QString::fromLatin1(expected[choice + 1])) << choice;
}

TEST(SerialPortName, ALinkInTheWorkingFolderWinsOverTheSystemPort) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("COM2"))));
    EXPECT_EQ(resolveSerialPortName(QStringLiteral("COM2"), dir.path()),
              dir.filePath(QStringLiteral("COM2")));
    EXPECT_EQ(resolveSerialPortName(QStringLiteral("COM1"), dir.path()),
              QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(resolveSerialPortName(QStringLiteral("COM4"), dir.path()),
              QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(resolveSerialPortName(QString(), dir.path()), QString());
}

TEST(SerialPortName, ADanglingLinkIsStillTheChosenPort) {
    // The simulator may not be up yet; opening then fails with the usual message.
    QTemporaryDir dir;
    ASSERT_TRUE(
        QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("COM1"))));
    EXPECT_EQ(resolveSerialPortName(QStringLiteral("COM1"), dir.path()),
              dir.filePath(QStringLiteral("COM1")));
}

} // namespace
} // namespace vorn
