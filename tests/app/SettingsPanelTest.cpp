#include "tests/app/WindowFixture.h"

#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::WindowFixture;

TEST(StepPending, WrapsAtBothInclusiveEndsOfEachColumn) {
    const struct {
        PendingValue which;
        std::int32_t from;
        int delta;
        std::int32_t to;
    } cases[] = {
        {PendingValue::LowPressure, 43, +1, 44},
        {PendingValue::LowPressure, 44, +1, 20},
        {PendingValue::LowPressure, 21, -1, 20},
        {PendingValue::LowPressure, 20, -1, 44},
        {PendingValue::HighPressure, 59, +1, 60},
        {PendingValue::HighPressure, 60, +1, 27},
        {PendingValue::HighPressure, 28, -1, 27},
        {PendingValue::HighPressure, 27, -1, 60},
        {PendingValue::HighTemp, 99, +1, 100},
        {PendingValue::HighTemp, 100, +1, 50},
        {PendingValue::HighTemp, 51, -1, 50},
        {PendingValue::HighTemp, 50, -1, 100},
        // Values from the file outside the range step until they pass an end.
        {PendingValue::LowPressure, 10, +1, 11},
        {PendingValue::LowPressure, 10, -1, 44},
        {PendingValue::LowPressure, 50, -1, 49},
        {PendingValue::LowPressure, 50, +1, 20},
        {PendingValue::HighTemp, 2147483647, +1, 50},
        {PendingValue::HighTemp, -2147483647 - 1, -1, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stepPending(c.from, c.delta, stepRange(c.which)), c.to)
            << static_cast<int>(c.which) << ": " << c.from << " " << c.delta;
}

TEST(SettingsPanel, OpensWithTheThresholdsInEffectAndStepsShowInTheEdits) {
    WindowFixture f({"10", "45", "100", "0", "0", "0", "0", "0"});
    TFmain& w = f.open();
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit1->text(), "10");
    w.BitBtn2Click();
    EXPECT_EQ(w.Edit1->text(), "11");
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit1->text(), "10");
    w.BitBtn3Click();
    EXPECT_EQ(w.Edit1->text(), "44");
    w.BitBtn6Click();
    EXPECT_EQ(w.Edit3->text(), "50");
    w.BitBtn5Click();
    EXPECT_EQ(w.Edit2->text(), "44");
    EXPECT_EQ(w.pending().HighPressureEdit, 44);
}

TEST(SettingsPanel, ExitStoresNothingAndTheNextOpeningShowsTheThresholdsInEffect) {
    WindowFixture f;
    TFmain& w = f.open();
    const QByteArray file = f.savedSettings();
    w.BitBtn1Click();
    for (int i = 0; i < 3; ++i)
        w.BitBtn2Click();
    w.RadioGroup1->setItemIndex(2); // Kpa
    w.Button2Click();
    EXPECT_FALSE(w.Panel10->isVisible());
    EXPECT_EQ(w.settings().LowPressureSet, 26);
    EXPECT_EQ(w.settings().PressureUnitIndex, 0);
    EXPECT_EQ(w.Panel1->caption(), "Psi");
    EXPECT_EQ(f.savedSettings(), file);
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit1->text(), "26");
    // The unit chosen before Exit is still chosen and a later Save applies it.
    w.BitBtn4Click();
    w.Button1Click();
    EXPECT_EQ(w.settings().PressureUnitIndex, 2);
    EXPECT_EQ(w.settings().HighPressureSet, 46);
    EXPECT_EQ(w.Panel7->caption(), "Kpa");
    EXPECT_EQ(f.savedSettings(), "26\r\n46\r\n70\r\n2\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST(SettingsPanel, TypedThresholdTextIsNeverStored) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    w.Edit1->clear();
    QTest::keyClicks(w.Edit1, "abc");
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    EXPECT_EQ(w.settings().LowPressureSet, 26);
    EXPECT_TRUE(f.savedSettings().startsWith("26\r\n"));
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(w.Edit1->text(), "26");
}

TEST(SettingsPanel, UnitCaptionsFollowEveryChoiceAtSaveOnly) {
    WindowFixture f;
    TFmain& w = f.open();
    const struct {
        int pressure;
        int temperature;
        const char* pressureCaption;
        const char* temperatureCaption;
    } cases[] = {{1, 1, "Bar", "Degree F"},
                 {2, 0, "Kpa", "Degree C"},
                 {3, -1, "Kg/Cm", ""},
                 {-1, 1, "", "Degree F"},
                 {0, 0, "Psi", "Degree C"}};
    for (const auto& c : cases) {
        w.BitBtn1Click();
        const QString before = w.Panel3->caption();
        w.RadioGroup1->setItemIndex(c.pressure);
        w.RadioGroup2->setItemIndex(c.temperature);
        EXPECT_EQ(w.Panel3->caption(), before);
        w.Button1Click();
        EXPECT_EQ(w.settings().PressureUnitIndex, c.pressure);
        for (Panel* p : {w.Panel1, w.Panel3, w.Panel5, w.Panel7, w.Panel12, w.Panel14})
            EXPECT_EQ(p->caption(), c.pressureCaption);
        for (Panel* p : {w.Panel2, w.Panel4, w.Panel6, w.Panel8, w.Panel13, w.Panel15})
            EXPECT_EQ(p->caption(), c.temperatureCaption);
    }
}

TEST(SettingsPanel, TypedRateThatIsNoEntryLeavesNoSelection) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    w.BitBtn1Click();
    w.ComboBox2->lineEdit()->selectAll();
    QTest::keyClicks(w.ComboBox2->lineEdit(), "fast");
    EXPECT_EQ(w.ComboBox2->itemIndex(), -1);
    w.ComboBox2->lineEdit()->selectAll();
    QTest::keyClicks(w.ComboBox2->lineEdit(), "336 ms");
    EXPECT_EQ(w.ComboBox2->itemIndex(), 3);
    w.ComboBox1->lineEdit()->selectAll();
    QTest::keyClicks(w.ComboBox1->lineEdit(), "11");
    QTest::keyClick(w.ComboBox1->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(w.ComboBox1->itemIndex(), -1);
    EXPECT_EQ(w.ComboBox1->count(), 10);
}

TEST(SettingsPanel, LearnAndTestButtonsCloseThePanel) {
    WindowFixture f;
    TFmain& w = f.open();
    for (QPushButton* b : {w.Button3, w.Button5}) {
        w.show();
        w.BitBtn1Click();
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_FALSE(w.Panel10->isVisible()) << b->text().toStdString();
    }
}

} // namespace
} // namespace vorn
