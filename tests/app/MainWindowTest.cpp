#include "tests/app/WindowFixture.h"

#include <QDir>
#include <QTest>
#include <csignal>
#include <gmock/gmock.h>
#include <sys/resource.h>

namespace vorn {
namespace {

using test::WindowFixture;

TEST(MainWindow, DefaultSettingsGiveComOnePsiAndDegreesCelsius) {
    WindowFixture f;
    TFmain& w = f.open();
    EXPECT_EQ(w.settings().LowPressureSet, 26);
    EXPECT_EQ(w.settings().HighPressureSet, 45);
    EXPECT_EQ(w.settings().HighTempSet, 70);
    EXPECT_EQ(w.settings().PressureUnitIndex, 0);
    EXPECT_EQ(w.RadioGroup3->itemIndex(), 0);
    for (Panel* p : {w.Panel1, w.Panel3, w.Panel5, w.Panel7, w.Panel12, w.Panel14})
        EXPECT_EQ(p->caption(), "Psi");
    for (Panel* p : {w.Panel2, w.Panel4, w.Panel6, w.Panel8, w.Panel13, w.Panel15})
        EXPECT_EQ(p->caption(), "Degree C");
    EXPECT_EQ(w.Panel9->caption(), "KESSIDO");
    EXPECT_EQ(w.Panel9->color(), QColor(166, 202, 240));
    EXPECT_EQ(w.Panel9->tag(), 0);
    EXPECT_FALSE(w.Panel10->isVisibleTo(&w));
    EXPECT_FALSE(w.Memo1->isVisibleTo(&w));
    EXPECT_TRUE(f.messages.shown.empty());
    for (QTimer* t : {w.Timer1, w.Timer2, w.Timer3}) {
        EXPECT_TRUE(t->isActive());
        EXPECT_EQ(t->interval(), 100);
    }
}

TEST(MainWindow, ChoiceTextsAreTheUnitsOwn) {
    WindowFixture f;
    TFmain& w = f.open();
    QStringList rates;
    for (int i = 0; i < w.ComboBox2->count(); ++i)
        rates << w.ComboBox2->itemText(i);
    EXPECT_EQ(rates, (QStringList{"42   ms", "84   ms", "168 ms", "336 ms", "672 ms", "1.3  sec",
                                  "2.6  sec", "5.2 sec"}));
    EXPECT_EQ(w.ComboBox1->itemIndex(), 9);
    EXPECT_EQ(w.ComboBox1->currentText(), "10");
    EXPECT_EQ(w.Edit4->text(), "2CAA");
    EXPECT_EQ(w.Button4->text(), "AUTOTX ON");
}

TEST(MainWindow, GeometryAndPanelPlacesAfterShowing) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.windowTitle(), "VORN");
    EXPECT_EQ(w.size(), QSize(480, 476));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.Image1->geometry(), QRect(0, 0, 480, 476));
    EXPECT_EQ(w.BitBtn1->geometry(), QRect(362, 175, 80, 70));
    EXPECT_EQ(w.Panel9->geometry(), QRect(10, 210, 120, 35));
    const struct {
        Panel* panel;
        QRect place;
    } places[] = {
        {w.Panel1, {20, 2, 100, 20}},     {w.Panel2, {20, 137, 100, 20}},
        {w.Panel3, {350, 2, 100, 20}},    {w.Panel4, {350, 137, 100, 20}},
        {w.Panel5, {20, 262, 100, 20}},   {w.Panel6, {20, 397, 100, 20}},
        {w.Panel7, {350, 262, 100, 20}},  {w.Panel8, {350, 397, 100, 20}},
        {w.Panel12, {20, 442, 100, 20}},  {w.Panel13, {20, 577, 100, 20}},
        {w.Panel14, {350, 442, 100, 20}}, {w.Panel15, {350, 577, 100, 20}},
        {w.Panel11, {170, 410, 120, 20}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.panel->geometry(), p.place) << p.panel->caption().toStdString();
}

TEST(MainWindow, OpenSettingsPanelShowsEveryControlUncovered) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    w.BitBtn1Click();
    EXPECT_EQ(w.Panel10->geometry(), w.Image1->geometry());
    // The control found at the middle of each control is that control (or a
    // part of it): nothing lies over it, the panel covers the SET button.
    QList<QWidget*> controls = w.Panel10->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    controls += w.Panel16->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    EXPECT_GE(controls.size(), 36);
    for (QWidget* c : controls) {
        const QPoint middle = c->mapTo(&w, c->rect().center());
        QWidget* hit = w.childAt(middle);
        EXPECT_TRUE(hit == c || c->isAncestorOf(hit))
            << c->metaObject()->className() << " " << c->objectName().toStdString() << " at "
            << middle.x() << "," << middle.y() << " is covered by "
            << (hit ? hit->metaObject()->className() : "nothing");
        const QRect inPanel(c->mapTo(w.Panel10, QPoint(0, 0)), c->size());
        EXPECT_TRUE(w.Panel10->rect().contains(inPanel));
    }
    EXPECT_TRUE(w.Panel10->isAncestorOf(w.childAt(w.BitBtn1->geometry().center())));
}

struct ClampCase {
    int line; // 1-based
    const char* value;
    int selection;
};

TEST(MainWindow, StoredChoicesAreClampedToTheirControls) {
    const ClampCase cases[] = {
        {4, "3", 3},   {4, "4", 3},   {4, "-1", -1}, {4, "-5", -1}, {5, "1", 1},   {5, "2", 1},
        {5, "-2", -1}, {6, "4", 4},   {6, "6", 4},   {6, "9", 4},   {6, "-7", -1}, {7, "7", 7},
        {7, "8", -1},  {7, "12", -1}, {7, "-1", -1}, {8, "1", 1},   {8, "5", 1},   {8, "-3", -1},
    };
    for (const ClampCase& c : cases) {
        QStringList lines = test::defaultSettings();
        lines[c.line - 1] = QString::fromLatin1(c.value);
        WindowFixture f(lines);
        TFmain& w = f.open();
        const int selection[] = {w.RadioGroup1->itemIndex(), w.RadioGroup2->itemIndex(),
                                 w.RadioGroup3->itemIndex(), w.ComboBox2->itemIndex(),
                                 w.RadioGroup4->itemIndex()};
        EXPECT_EQ(selection[c.line - 4], c.selection) << "line " << c.line << " " << c.value;
        // Save writes back what the control holds, -1 for none.
        w.BitBtn1Click();
        w.Button1Click();
        EXPECT_EQ(f.savedSettings().split('\n')[c.line - 1],
                  QByteArray::number(c.selection) + "\r");
    }
}

TEST(MainWindow, MissingOrBadSettingsEndStartUpWithTheirText) {
    WindowFixture missing;
    QFile::remove(missing.dir.file("setdata.txt"));
    EXPECT_THAT([&] { missing.open(); },
                testing::ThrowsMessage<std::runtime_error>(
                    "Cannot open file " + missing.dir.file("setdata.txt").toStdString()));

    const struct {
        QStringList lines;
        std::string text;
    } bad[] = {
        {{"26", "45", "x70", "0", "0", "0", "0", "0"}, "'x70' is not a valid integer value"},
        {{"26", "45", "70", "0", "0", "0", "0"}, "'' is not a valid integer value"},
        {{"26", "", "70", "0", "0", "0", "0", "0"}, "'' is not a valid integer value"},
        {{"26", "45", "70", "0", "0", "0", "4294967296", "0"},
         "'4294967296' is not a valid integer value"},
        {{}, "'' is not a valid integer value"},
    };
    for (const auto& b : bad) {
        WindowFixture f(b.lines);
        EXPECT_THAT([&] { f.open(); }, testing::ThrowsMessage<std::runtime_error>(b.text));
    }
}

TEST(MainWindow, SaveKeepsExtraLinesAndWritesCrLf) {
    WindowFixture f;
    f.dir.write("setdata.txt", "30\n50\n80\n1\n1\n2\n3\n1\nnine stays\n  ten, too \n");
    TFmain& w = f.open();
    EXPECT_EQ(w.settings().HighTempSet, 80);
    EXPECT_EQ(w.Memo1->toPlainText().split('\n').size(), 10);
    w.BitBtn1Click();
    w.Button1Click();
    EXPECT_EQ(f.savedSettings(),
              "30\r\n50\r\n80\r\n1\r\n1\r\n2\r\n3\r\n1\r\nnine stays\r\n  ten, too \r\n");
}

TEST(MainWindow, SaveThatCannotBeWrittenIsShownAndKeepsThePanelOpen) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    QTest::mouseClick(w.BitBtn1, Qt::LeftButton);
    w.RadioGroup1->setItemIndex(2);
    w.BitBtn2Click(); // pending low threshold 27
    // A folder where the file should be: the save cannot replace it.
    const QString path = f.dir.file("setdata.txt");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, "Cannot create file " + path);
    EXPECT_EQ(w.settings().LowPressureSet, 27); // taken over before the save
    EXPECT_EQ(w.settings().PressureUnitIndex, 0);
    EXPECT_EQ(w.Panel1->caption(), "Psi");
    EXPECT_TRUE(w.Panel10->isVisible());
    // The program carries on: the next handler works.
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_FALSE(w.Panel10->isVisible());
}

TEST(MainWindow, InterruptedSaveLeavesTheOldFileWhole) {
    WindowFixture f;
    TFmain& w = f.open();
    const QByteArray before = f.savedSettings();
    w.BitBtn1Click();
    w.BitBtn6Click();
    // Let the disk refuse anything beyond 10 bytes, as a full disk would.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 10;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(w.Button1Click(), std::runtime_error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(f.savedSettings(), before);
    EXPECT_EQ(QDir(f.dir.path()).entryList({"setdata*"}, QDir::Files), QStringList{"setdata.txt"});
}

} // namespace
} // namespace vorn
