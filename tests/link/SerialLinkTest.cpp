#include "link/SerialLink.h"

#include "tests/support/PseudoTerminal.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(SerialLink, OpenFailuresTellAbsentPortsFromRefusedSettings) {
    SerialLink absent;
    EXPECT_EQ(absent.open(QStringLiteral("/nonexistent/COM1")), SerialLink::OpenResult::OpenFailed);
    EXPECT_EQ(absent.open(QString()), SerialLink::OpenResult::OpenFailed);
    SerialLink notALine;
    EXPECT_EQ(notALine.open(QStringLiteral("/dev/null")), SerialLink::OpenResult::SetFailed);
    EXPECT_FALSE(absent.isOpen());
    EXPECT_FALSE(notALine.isOpen());
    EXPECT_TRUE(notALine.poll().isEmpty());
}

TEST(SerialLink, PollReadsWhatWaitsInOrderAndDiscardsMoreThanAHundredBytes) {
    test::PseudoTerminal unit;
    SerialLink link;
    ASSERT_EQ(link.open(unit.devicePath()), SerialLink::OpenResult::Opened);
    EXPECT_TRUE(link.poll().isEmpty());
    unit.write("$LEA");
    unit.write("RN#");
    EXPECT_EQ(link.poll(), "$LEARN#");
    const QByteArray hundred(100, 'x');
    unit.write(hundred);
    EXPECT_EQ(link.poll(), hundred);
    unit.write(hundred + "$");
    EXPECT_TRUE(link.poll().isEmpty());
    unit.write("#");
    EXPECT_EQ(link.poll(), "#"); // nothing of the discarded bytes is left over
}

TEST(SerialLink, WritesWholeFramesToTheLine) {
    test::PseudoTerminal unit;
    SerialLink link;
    ASSERT_EQ(link.open(unit.devicePath()), SerialLink::OpenResult::Opened);
    link.write("$LEARN#");
    link.write("$W2#");
    EXPECT_EQ(unit.read(), "$LEARN#$W2#");
}

} // namespace
} // namespace vorn
