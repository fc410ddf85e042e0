#include "link/SerialLink.h"

#include "link/SerialPortName.h"
#include "tests/support/PseudoTerminal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(SerialPortName, ChoicesNameTheFourComPortsAndUsb) {
    const char* expected[] = {"", "COM1", "COM2", "COM3", "COM4", "USB", ""};
    for (int choice = -1; choice <= 5; ++choice)
        EXPECT_EQ(comPortName(choice), expected[choice + 1]) << choice;
}

TEST(SerialPortName, ALinkInTheWorkingFolderEvenDanglingWinsOverTheSystemPort) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("COM2")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone"), dir.filePath("COM3"))); // simulator not up yet
    const QString resolved[] = {"", "/dev/ttyS0", dir.filePath("COM2"), dir.filePath("COM3"),
                                "/dev/ttyS3"};
    for (int choice = -1; choice < 4; ++choice)
        EXPECT_EQ(resolveSerialPortName(comPortName(choice), dir.path()), resolved[choice + 1]);
}

TEST(SerialLink, OpenFailuresTellAbsentPortsFromRefusedSettings) {
    SerialLink link;
    EXPECT_EQ(link.open(""), SerialLink::OpenResult::OpenFailed);
    EXPECT_EQ(link.open("/nonexistent/COM1"), SerialLink::OpenResult::OpenFailed);
    QTemporaryFile notALine; // opens, but takes no line settings
    ASSERT_TRUE(notALine.open());
    EXPECT_EQ(link.open(notALine.fileName()), SerialLink::OpenResult::SetFailed);
}

TEST(SerialLink, PollReadsWhatWaitsInOrderDiscardsMoreThanAHundredBytesAndWritesReachTheLine) {
    test::PseudoTerminal unit;
    SerialLink link;
    ASSERT_EQ(link.open(unit.devicePath()), SerialLink::OpenResult::Opened);
    unit.write("$LEARN#");
    EXPECT_EQ(link.poll(), "$LEARN#");
    const QByteArray hundred(100, 'x');
    unit.write(hundred);
    EXPECT_EQ(link.poll(), hundred);
    unit.write(hundred + "$");
    EXPECT_TRUE(link.poll().isEmpty());
    unit.write("#");
    EXPECT_EQ(link.poll(), "#"); // nothing of the discarded bytes is left over
    link.write("$LEARN#");
    link.write("$W2#");
    EXPECT_EQ(unit.read(), "$LEARN#$W2#");
}

} // namespace
} // namespace vorn
