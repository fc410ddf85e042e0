#include "tests/window/WindowFixture.h"

#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::WindowFixture;

// The clicks reach the monitor, close the panel, and the window shows what
// the unit answers.
TEST(WindowCommands, ClicksSendCloseThePanelTheUnitsAnswerShowsAndAutoTxToggles) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QTest::mouseClick(w.Panel5, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$LEARN#$W2#");
    EXPECT_FALSE(w.Panel10->isVisible());
    f.receive("$LEARN#");
    EXPECT_EQ(w.Panel9->caption(), "Learn ID");
    EXPECT_EQ(w.Panel9->tag(), 1);
    QTest::mouseClick(w.Panel9, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$LEND#");
    f.receive("$LEND#$CAL0#$FAC#$FRX2cab#");
    EXPECT_EQ(w.Panel9->tag(), 0);
    EXPECT_EQ(w.Panel17->caption(), "Start");
    EXPECT_EQ(w.Panel17->color(), QColor(255, 255, 0));
    EXPECT_EQ(w.Panel18->color(), QColor(255, 255, 0));
    EXPECT_EQ(w.Edit4->text(), "2CAB");
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    w.Edit4->setText("2caa");
    for (QPushButton* b : {w.Button4, w.Button4, w.Button8, w.Button9})
        QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$T1#$T0#$FRX2caa#$IST00AB#");
    EXPECT_EQ(w.Button4->text(), "AUTOTX ON");
    EXPECT_EQ(w.Panel11->caption(), "RS232 CONNECTED");
}

TEST(WindowCommands, WithNoLinkUpAWheelClickStillClosesThePanel) {
    QStringList settings = test::defaultSettings();
    settings[5] = "4"; // USB, and no device
    WindowFixture f(settings);
    TFmain& w = f.open();
    ASSERT_FALSE(f.core->serialOpen());
    w.BitBtn1Click();
    w.Panel5Click();
    EXPECT_FALSE(w.Panel10->isVisible());
    EXPECT_EQ(f.core->usbOutReport(), command::usbReport("W2"));
}

} // namespace
} // namespace vorn
