#include "link/SerialLink.h"

#include "link/SerialPortName.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace vorn {
namespace {

// Each choice's name, then the port it opens: a link in the working folder,
// even a dangling one (the simulator not up yet), wins over the system port.
TEST(SerialPortName, ChoicesNameTheComPortsAndUsbAndALinkInTheWorkingFolderWins) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("COM2")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone"), dir.filePath("COM3")));
    // "here": the link of that name in the working folder.
    const std::pair<QString, QString> cases[] = {
        {"", ""},         {"COM1", "/dev/ttyS0"}, {"COM2", "here"},
        {"COM3", "here"}, {"COM4", "/dev/ttyS3"}, {"USB", "USB"},
        {"", ""}};
    for (int choice = -1; choice <= 5; ++choice) {
        const auto& [name, port] = cases[choice + 1];
        EXPECT_EQ(comPortName(choice), name) << choice;
        EXPECT_EQ(resolveSerialPortName(name, dir.path()),
                  port == "here" ? dir.filePath(name) : port);
    }
}

// What a user is told when the port does not open: the path, the system's
// reason and the hint that fits. Real kernel objects, apart from the refused
// settings, which no terminal here refuses.
TEST(SerialLink, OpenFailuresNameTheFaultTheSystemsReasonAndAHint) {
    QTemporaryDir dir;
    const QString regular = dir.filePath("file"), locked = dir.filePath("locked");
    const QString noPort = dir.filePath("ttyS70");
    for (const QString& path : {regular, locked})
        QFile(path).open(QIODevice::WriteOnly);
    QFile::setPermissions(locked, {});
    const bool madeNode = ::mknod(QFile::encodeName(noPort).constData(), S_IFCHR | 0600,
                                  makedev(4, 70)) == 0; // a UART number with no UART (as root)
    test::PseudoTerminal heldLine, freeLine;
    SerialLink holder; // another program that has the port open
    ASSERT_TRUE(holder.open(heldLine.devicePath()).opened());

    const auto openAsNobody = [](const QString& path) {
        SerialOpenResult result;
        test::runUnprivileged([&] { result = SerialLink().open(path); });
        return result;
    };
    const struct {
        QString path;
        SerialOpenResult result;
        SerialFault fault;
        const char* reason;
        const char* hint;
    } cases[] = {
        {dir.filePath("COM1"), SerialLink().open(dir.filePath("COM1")), SerialFault::NotFound,
         "No such file", "`ln -s /dev/ttyUSB0 COM1`"},
        {regular, SerialLink().open(regular), SerialFault::NoPort, "", "ln -s"},
        {noPort, madeNode ? SerialLink().open(noPort) : SerialOpenResult{SerialFault::NoPort, {}},
         SerialFault::NoPort, "", "ln -s"},
        {locked, openAsNobody(locked), SerialFault::NoPermission, "Permission denied", "dialout"},
        {heldLine.devicePath(), SerialLink().open(heldLine.devicePath()), SerialFault::Busy, "",
         "another program holds it"},
        {freeLine.devicePath(),
         diagnoseSerialOpenFailure(freeLine.devicePath(), QSerialPort::UnsupportedOperationError,
                                   "Invalid argument"),
         SerialFault::SettingsRefused, "Invalid argument", "refused 9600 baud 8N1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result.fault, c.fault) << c.path.toStdString();
        const QString line = serialFailureLine("COM1", c.path, c.result);
        EXPECT_TRUE(line.contains(c.path) && line.contains(c.reason) && line.contains(c.hint))
            << line.toStdString();
    }
    EXPECT_EQ(SerialLink().open("").fault, SerialFault::NotFound);
}

TEST(SerialLink, PollReadsWhatWaitsInOrderDiscardsMoreThanAHundredBytesAndWritesReachTheLine) {
    test::PseudoTerminal unit;
    SerialLink link;
    ASSERT_TRUE(link.open(unit.devicePath()).opened());
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

// The unit reads nothing for a while: the line's output queue fills and
// Qt reports the refused write (EAGAIN) as a resource error. Frames are
// dropped whole, the port stays open, and once the unit reads again the
// frames go out.
TEST(SerialLink, AFullOutputQueueDropsFramesAndKeepsThePort) {
    test::PseudoTerminal unit;
    SerialLink link;
    ASSERT_TRUE(link.open(unit.devicePath()).opened());
    bool lost = false;
    QObject::connect(&link, &SerialLink::lost, [&] { lost = true; });
    constexpr int kFrames = 10000; // 70 kB; a terminal holds some 16 kB
    for (int i = 0; i < kFrames; ++i)
        link.write("$LEARN#");
    QCoreApplication::processEvents();
    ASSERT_TRUE(link.isOpen());
    EXPECT_TRUE(link.poll().isEmpty());
    EXPECT_FALSE(lost);

    QByteArray received = unit.read();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        link.write("$W2#");
        received += unit.read(10);
        return received.endsWith("$W2#");
    }));
    const QRegularExpression whole(QStringLiteral("^(\\$LEARN#)+(\\$W2#)+$"));
    EXPECT_TRUE(whole.match(QString::fromLatin1(received)).hasMatch());
    EXPECT_LT(received.count("$LEARN#"), kFrames); // some were dropped
    EXPECT_TRUE(link.isOpen());
    EXPECT_FALSE(lost);
}

} // namespace
} // namespace vorn
