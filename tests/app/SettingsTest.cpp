#include "tests/app/WindowFixture.h"
#include "tests/display/ScreenProbe.h"

#include <QDir>
#include <QFontInfo>
#include <QTest>
#include <csignal>
#include <gmock/gmock.h>
#include <sys/resource.h>

namespace vorn {
namespace {

using test::WindowFixture;
using testing::ThrowsMessage;

TEST(SettingsText, EveryLineEndReadsAsOneAndWritesAsCrLf) {
    const struct {
        QByteArray in, out;
    } cases[] = {
        {"1\r\n2\r\n", "1\r\n2\r\n"},
        {"1\n2\n", "1\r\n2\r\n"},
        {"1\r2\r", "1\r\n2\r\n"},
        {"1\n2", "1\r\n2\r\n"},
        {"1\n\r2", "1\r\n\r\n2\r\n"},
        {"", ""},
        {"x\xe9\x01y\n", "x\xe9\x01y\r\n"}, // bytes kept one to one
        {"\xEF\xBB\xBF"
         "26\r\n",
         "26\r\n"}, // a byte-order mark is read past, not saved
        {"\xEF\xBB\xBF\xEF\xBB\xBF"
         "26\n",
         "26\r\n"}, // nor is a second one, or the saved file would not read back the same
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsText::fromBytes(c.in).toBytes(), c.out) << c.in.toStdString();
    SettingsText text = SettingsText::fromBytes("a\nb\n");
    text.replaceLine(2, "C"); // no such line: nothing is added
    EXPECT_EQ(text.toBytes(), "a\r\nb\r\n");
}

TEST(SettingsText, WholeNumbersWithinThirtyTwoBitsAndNothingElse) {
    EXPECT_EQ(parseSettingInteger(" -2147483648 "), INT32_MIN);
    for (const char* bad : {"", "-", "1.5", "12a", "0x1A", "2147483648", "99999999999999999999"})
        EXPECT_THAT([&] { parseSettingInteger(bad); },
                    ThrowsMessage<std::runtime_error>("'" + std::string(bad) +
                                                      "' is not a valid integer value"));
}

TEST(SettingsWindow, TheOpenPanelCoversTheScreenAndLeavesEveryControlUncovered) {
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
}

TEST(SettingsWindow, StoredChoicesAreClampedToTheirControlsAndSavedBackSo) {
    const struct {
        int line; // 1-based
        const char* value;
        int selection;
    } cases[] = {
        {4, "4", 3}, {4, "-5", -1}, {5, "2", 1},   {6, "6", 4}, {6, "9", 4},   {6, "-7", -1},
        {7, "7", 7}, {7, "12", -1}, {7, "-1", -1}, {8, "5", 1}, {8, "-3", -1},
    };
    for (const auto& c : cases) {
        QStringList lines = test::defaultSettings();
        lines[c.line - 1] = c.value;
        WindowFixture f(lines);
        TFmain& w = f.open();
        const int selection[] = {w.RadioGroup1->itemIndex(), w.RadioGroup2->itemIndex(),
                                 w.RadioGroup3->itemIndex(), w.ComboBox2->itemIndex(),
                                 w.RadioGroup4->itemIndex()};
        EXPECT_EQ(selection[c.line - 4], c.selection) << "line " << c.line << ": " << c.value;
        w.BitBtn1Click();
        w.Button1Click();
        EXPECT_EQ(f.savedSettings().split('\n')[c.line - 1],
                  QByteArray::number(c.selection) + "\r");
    }
}

TEST(SettingsWindow, ASaveThatCannotBeWrittenIsShownAndKeepsThePanelOpen) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    w.RadioGroup1->setItemIndex(2);
    w.BitBtn2Click();
    const QString path = f.dir.file("setdata.txt");
    ASSERT_TRUE(QFile::remove(path) && QDir().mkdir(path)); // a folder in the file's place
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, "Cannot create file " + path);
    EXPECT_EQ(w.settings().LowPressureSet, 27); // taken over before the save
    EXPECT_TRUE(w.Panel10->isVisible());
    QTest::mouseClick(w.Button2, Qt::LeftButton); // the program carries on
    EXPECT_FALSE(w.Panel10->isVisible());
}

TEST(SettingsWindow, AnInterruptedSaveLeavesTheOldFileWhole) {
    WindowFixture f;
    TFmain& w = f.open();
    const QByteArray before = f.savedSettings();
    w.BitBtn1Click();
    w.BitBtn6Click();
    // A disk that takes no more than 10 bytes, as a full one would.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{10, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(w.Button1Click(), std::runtime_error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(f.savedSettings(), before);
    EXPECT_EQ(QDir(f.dir.path()).entryList({"setdata*"}, QDir::Files), QStringList{"setdata.txt"});
}

// The folder refuses the temporary file of an atomic save (as the kernel
// sees it for an ordinary user), but setdata.txt itself may be written.
TEST(SettingsFile, AFolderThatTakesNoNewFileGetsTheFileWrittenInPlace) {
    test::WorkDir dir;
    const QString path = dir.file("setdata.txt");
    dir.write("setdata.txt", "26\r\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::Permissions(0x6666)));       // rw for all
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::Permissions(0x5505))); // r-x, no write
    test::runUnprivileged(
        [&] { EXPECT_NO_THROW(saveSettingsFile(path, SettingsText::fromBytes("27\n45\n"))); });
    QFile::setPermissions(dir.path(), QFile::Permissions(0x7700)); // removable again
    EXPECT_EQ(dir.read("setdata.txt"), "27\r\n45\r\n");
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
    WindowFixture f({"10", "45", "70", "0", "0", "0", "0", "0", "nine stays", "  ten, too "});
    TFmain& w = f.open();
    w.show();
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit1->text(), "10"); // outside the buttons' range, kept until stepped
    w.BitBtn2Click();
    EXPECT_EQ(w.Edit1->text(), "11");
    w.RadioGroup1->setItemIndex(2);
    w.Button2Click(); // Exit
    EXPECT_EQ(w.settings().LowPressureSet, 10);
    EXPECT_EQ(w.settings().PressureUnitIndex, 0);
    EXPECT_EQ(w.Panel1->caption(), "Psi");
    w.BitBtn1Click();
    EXPECT_EQ(w.Edit1->text(), "10");
    w.BitBtn3Click();
    EXPECT_EQ(w.Edit1->text(), "44");
    QTest::keyClicks(w.Edit1, "abc");
    EXPECT_EQ(w.Edit1->text(), "44"); // read-only: the arrows are the only way
    w.Button1Click();                 // the unit chosen before Exit is applied too
    EXPECT_EQ(w.settings().LowPressureSet, 44);
    EXPECT_EQ(w.settings().PressureUnitIndex, 2);
    EXPECT_EQ(f.savedSettings(),
              "44\r\n45\r\n70\r\n2\r\n0\r\n0\r\n0\r\n0\r\nnine stays\r\n  ten, too \r\n");
}

// The temperature digits and the threshold shown follow the unit; the
// threshold is still stepped and stored in degrees Celsius.
TEST(SettingsPanel, UnitsFollowEveryChoiceIncludingNone) {
    WindowFixture f;
    TFmain& w = f.open();
    f.unit.write(test::sensorFrame(0, 32, 70));
    w.Timer2Timer();
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
        EXPECT_EQ(w.settings().PressureUnitIndex, c.pressure);
        for (Panel* p : {w.Panel1, w.Panel3, w.Panel5, w.Panel7, w.Panel12, w.Panel14})
            EXPECT_EQ(p->caption(), c.pressureCaption);
        for (Panel* p : {w.Panel2, w.Panel4, w.Panel6, w.Panel8, w.Panel13, w.Panel15})
            EXPECT_EQ(p->caption(), c.temperatureCaption);
        w.Timer1Timer();
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

TEST(SettingsPanel, TypedTextThatIsNoEntryLeavesNoSelection) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    w.BitBtn1Click();
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

} // namespace
} // namespace vorn
