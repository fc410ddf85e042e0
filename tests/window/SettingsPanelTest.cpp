// The settings panel laid over the screen: what it shows of the monitor's
// settings, how its controls step and choose, and what Save and Exit do.
#include "tests/display/ScreenProbe.h"
#include "tests/window/WindowFixture.h"

#include <QDir>
#include <QFontInfo>
#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::WindowFixture;

TEST(SettingsWindow, TheOpenPanelCoversTheScreenLeavesEveryControlUncoveredAndTypedTextSelects) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    w.BitBtn1Click();
    EXPECT_EQ(w.Panel10->geometry(), w.Image1->geometry());
    QList<QWidget*> controls = w.Panel10->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    controls += w.Panel16->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    EXPECT_GE(controls.size(), 36);
    for (QWidget* c : controls) {
        QWidget* hit = w.childAt(c->mapTo(&w, c->rect().center()));
        EXPECT_TRUE(hit == c || c->isAncestorOf(hit)) << c->metaObject()->className();
        EXPECT_TRUE(w.Panel10->rect().contains({c->mapTo(w.Panel10, QPoint()), c->size()}));
    }
    EXPECT_TRUE(w.Panel10->isAncestorOf(w.childAt(w.BitBtn1->geometry().center())));
    // Typed text that is no entry leaves no selection.
    const struct {
        ChoiceBox* box;
        const char* typed;
        int selection;
    } cases[] = {{w.ComboBox2, "fast", -1}, {w.ComboBox2, "336 ms", 3}, {w.ComboBox1, "11", -1}};
    for (const auto& c : cases) {
        c.box->lineEdit()->selectAll();
        QTest::keyClicks(c.box->lineEdit(), c.typed);
        QTest::keyClick(c.box->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(c.box->itemIndex(), c.selection) << c.typed;
    }
    EXPECT_EQ(w.ComboBox1->count(), 10);
}

TEST(SettingsPanel, StepsWrapAtBothInclusiveEndsOfEachColumn) {
    using enum PendingValue;
    const struct {
        PendingValue which;
        std::int32_t from, delta, to;
    } cases[] = {
        {LowPressure, 44, +1, 20},  {LowPressure, 20, -1, 44},     {LowPressure, 43, +1, 44},
        {HighPressure, 60, +1, 27}, {HighPressure, 27, -1, 60},    {HighPressure, 28, -1, 27},
        {HighTemp, 100, +1, 50},    {HighTemp, 50, -1, 100},       {HighTemp, 99, +1, 100},
        {LowPressure, 50, -1, 49},  {HighTemp, INT32_MAX, +1, 50}, {HighTemp, INT32_MIN, -1, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stepPending(c.from, c.delta, stepRange(c.which)), c.to) << c.from << c.delta;
}

TEST(SettingsPanel, NothingTakesEffectBeforeSaveTypedThresholdsAreNeverStoredAndLaterLinesKept) {
    // Lines after the eighth are no setting, but a save keeps them.
    // USB is the link, and there is no device: commands still close the panel.
    WindowFixture f({"10", "45", "70", "0", "0", "4", "0", "0", "nine stays", "  ten, too "});
    TFmain& w = f.open();
    w.show();
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit1->text(), "10"); // outside the buttons' range, kept until stepped
    w.BitBtn2Click();
    EXPECT_EQ(w.Edit1->text(), "11");
    w.RadioGroup1->setItemIndex(2);
    w.Button2Click(); // Exit
    EXPECT_EQ(f.core->settings().LowPressureSet, 10);
    EXPECT_EQ(f.core->settings().PressureUnitIndex, 0);
    EXPECT_EQ(w.Panel1->caption(), "Psi");
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit1->text(), "10");
    w.BitBtn3Click();
    EXPECT_EQ(w.Edit1->text(), "44");
    QTest::keyClicks(w.Edit1, "abc");
    EXPECT_EQ(w.Edit1->text(), "44"); // read-only: the arrows are the only way
    w.Button1Click();                 // the unit chosen before Exit is applied too
    EXPECT_EQ(f.core->settings().LowPressureSet, 44);
    EXPECT_EQ(f.core->settings().PressureUnitIndex, 2);
    EXPECT_EQ(f.savedSettings(),
              "44\r\n45\r\n70\r\n2\r\n0\r\n4\r\n0\r\n0\r\nnine stays\r\n  ten, too \r\n");
    w.BitBtn1Click();
    w.Panel5Click();
    EXPECT_FALSE(w.Panel10->isVisible());
    EXPECT_EQ(f.core->usbOutReport(), command::usbReport("W2"));

    // A save that cannot be written is shown and keeps the panel open.
    w.BitBtn1Click();
    w.RadioGroup1->setItemIndex(1);
    const QString path = f.dir.file("setdata.txt");
    ASSERT_TRUE(QFile::remove(path) && QDir().mkdir(path)); // a folder in the file's place
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, "Cannot create file " + path);
    EXPECT_TRUE(w.Panel10->isVisible());
    EXPECT_EQ(w.RadioGroup1->itemIndex(), 1);     // what was chosen stays chosen
    QTest::mouseClick(w.Button2, Qt::LeftButton); // the program carries on
    EXPECT_FALSE(w.Panel10->isVisible());
}

// The temperature digits and the threshold shown follow the unit; the
// threshold is still stepped and stored in degrees Celsius.
TEST(SettingsPanel, UnitsFollowEveryChoiceIncludingNone) {
    WindowFixture f;
    TFmain& w = f.open();
    f.unit.write(test::sensorFrame(0, 32, 70));
    f.core->Timer2Timer();
    const struct {
        int pressure, temperature;
        const char *pressureCaption, *temperatureCaption, *digits, *threshold;
    } cases[] = {{1, 1, "Bar", "Degree F", "158 L", "158"},
                 {2, 0, "Kpa", "Degree C", " 70 L", "70"},
                 {3, -1, "Kg/Cm", "", " 70 L", "70"},
                 {-1, 1, "", "Degree F", "158 L", "158"}};
    for (const auto& c : cases) {
        w.BitBtn1Click();
        w.RadioGroup1->setItemIndex(c.pressure);
        w.RadioGroup2->setItemIndex(c.temperature);
        w.Button1Click();
        EXPECT_EQ(f.core->settings().PressureUnitIndex, c.pressure);
        for (Panel* p : {w.Panel1, w.Panel3, w.Panel5, w.Panel7, w.Panel12, w.Panel14})
            EXPECT_EQ(p->caption(), c.pressureCaption);
        for (Panel* p : {w.Panel2, w.Panel4, w.Panel6, w.Panel8, w.Panel13, w.Panel15})
            EXPECT_EQ(p->caption(), c.temperatureCaption);
        f.core->Timer1Timer();
        EXPECT_EQ(test::readRow(w.canvas(), 0, 1), c.digits) << c.temperature;
        w.BitBtn1Click();
        EXPECT_EQ(w.Edit3->text(), c.threshold) << c.temperature;
        w.Button2Click();
    }
    w.BitBtn1Click();
    w.BitBtn6Click(); // 71 C
    EXPECT_EQ(w.Edit3->text(), "160");
    w.Button1Click();
    EXPECT_EQ(f.savedSettings().split('\n')[2], "71\r");
    // The default fonts have no "。" for the temperature choices; this one has.
    EXPECT_EQ(QFontInfo(w.RadioGroup2->font()).family(), "Sawarabi Gothic");
}

} // namespace
} // namespace vorn
