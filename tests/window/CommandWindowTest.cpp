#include "tests/window/WindowFixture.h"

#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::WindowFixture;
using Report = command::UsbOutReport;

Report report(std::string_view text) {
    Report r{};
    std::copy(text.begin(), text.end(), r.begin() + 1);
    return r;
}

TEST(WindowCommands, EveryHandlerSendsItsFrameAndBuildsItsReport) {
    WindowFixture f;
    TFmain& w = f.open();
    w.Edit4->setText("2caa");
    w.ComboBox2->setItemIndex(3);
    w.RadioGroup4->setItemIndex(1);
    const struct {
        void (TFmain::*handler)();
        const char* frame;
    } cases[] = {
        {&TFmain::Button3Click, "$LEARN#"},   {&TFmain::Panel1Click, "$W0#"},
        {&TFmain::Button8Click, "$FRX2caa#"}, {&TFmain::Panel5Click, "$W2#"},
        {&TFmain::Panel3Click, "$W1#"},       {&TFmain::Panel7Click, "$W3#"},
        {&TFmain::Panel12Click, "$W4#"},      {&TFmain::Panel14Click, "$W5#"},
        {&TFmain::Button5Click, "$TEST#"},    {&TFmain::Panel9Click, "$LEND#"},
        {&TFmain::Button6Click, "$FRX2CB4#"}, {&TFmain::Button7Click, "$FRX2CA0#"},
        {&TFmain::Button10Click, "$CAL#"},    {&TFmain::Button11Click, "$FAC#"},
        {&TFmain::Button9Click, "$IST31AB#"}, {&TFmain::Button4Click, "$T1#"},
    };
    for (const auto& c : cases) {
        (w.*c.handler)();
        const std::string_view frame(c.frame);
        EXPECT_EQ(f.unit.read(), QByteArray(c.frame));
        // The report is rewritten whole: nothing of a longer command is left.
        EXPECT_EQ(w.usbOutReport(), report(frame.substr(1, frame.size() - 2))) << c.frame;
    }
    EXPECT_EQ(w.Edit4->text(), "2caa"); // only the unit's answer changes it
    w.Edit4->setText("2CAG");           // no frequency: the tuning buttons send nothing
    for (auto handler : {&TFmain::Button8Click, &TFmain::Button6Click, &TFmain::Button7Click,
                         &TFmain::Button9Click})
        (w.*handler)();
    EXPECT_EQ(f.unit.read(50), QByteArray());
}

TEST(WindowCommands, ClicksSendCloseThePanelTheUnitsAnswerShowsAndAutoTxToggles) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QTest::mouseClick(w.Panel5, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$LEARN#$W2#");
    EXPECT_FALSE(w.Panel10->isVisible());
    EXPECT_EQ(w.Panel9->caption(), "KESSIDO"); // nothing shows before the unit answers
    f.unit.write("$LEARN#");
    w.Timer2Timer();
    EXPECT_EQ(w.Panel9->caption(), "Learn ID");
    EXPECT_EQ(w.Panel9->tag(), 1);
    QTest::mouseClick(w.Panel9, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$LEND#");
    f.unit.write("$LEND#");
    w.Timer2Timer();
    EXPECT_EQ(w.Panel9->tag(), 0);
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(w.Button4, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$T1#$T0#$T1#");
    EXPECT_EQ(w.Button4->text(), "AUTOTX OFF");
}

TEST(WindowCommands, AutoCalAndFactoryFollowTheUnitsState) {
    WindowFixture f;
    TFmain& w = f.open();
    f.unit.write("$CAL0#");
    w.Timer2Timer();
    w.Button10Click();
    EXPECT_EQ(w.state().CalibrationRunning, 0);
    EXPECT_EQ(w.Panel17->caption(), "");
    EXPECT_EQ(w.Panel17->color(), Panel::buttonFace());
    EXPECT_EQ(f.unit.read(50), QByteArray());
    w.Button10Click();
    EXPECT_EQ(f.unit.read(), "$CAL#");
    // The factory button sends what leads to the other state.
    f.unit.write("$FAC#");
    w.Timer2Timer();
    w.Button11Click();
    EXPECT_EQ(f.unit.read(), "$LEND#");
}

TEST(WindowCommands, WithNoLinkUpAWheelClickStillClosesThePanel) {
    QStringList settings = test::defaultSettings();
    settings[5] = "4"; // USB, and no device
    WindowFixture f(settings);
    TFmain& w = f.open();
    ASSERT_FALSE(w.serialOpen());
    w.BitBtn1Click();
    w.Panel5Click();
    EXPECT_FALSE(w.Panel10->isVisible());
    EXPECT_EQ(w.usbOutReport(), report("W2"));
}

} // namespace
} // namespace vorn
