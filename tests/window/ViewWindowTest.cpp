// The window's height, the six-wheel view and the repaint of what changed,
// probed on the screen as shown.
#include "tests/display/ScreenProbe.h"
#include "tests/window/WindowFixture.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

namespace vorn {
namespace {

using test::WindowFixture;

// The unit sends `frames`; then one serial poll and one display tick.
void show(test::WindowFixture& f, const QByteArray& frames) {
    f.receive(frames);
    QApplication::processEvents();
}

// Starts in the design's view, where wheels 4 and 5 are drawn below the lower
// edge and their panels take no click; the menu shows them, and the choice
// holds at the next start.
TEST(WindowView, TheSixWheelViewShowsWheelsFourAndFiveAndIsKeptForTheNextStart) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (int wheel = 0; wheel < 5; ++wheel)
        f.unit.write(test::sensorFrame(wheel, 32, 30));
    show(f, test::sensorFrame(5, 20, 85));
    EXPECT_EQ(test::readRow(w.canvas(), 4, 0), "32.0 L");
    EXPECT_EQ(test::shownScreen(w).size(), QSize(480, 442));
    EXPECT_EQ(w.Panel9->caption(), "KESSIDO"); // wheel 5 is hot, but does not count
    const std::array panels{w.Panel12, w.Panel13, w.Panel14, w.Panel15};
    for (Panel* p : panels)
        EXPECT_FALSE(w.rect().intersects(p->geometry()));

    ASSERT_EQ(w.contextMenu().actions().front()->text(), "Show six wheels");
    w.contextMenu().actions().front()->trigger();
    show(f, test::sensorFrame(5, 32, 86)); // a new status word raises again
    const QImage shown = test::shownScreen(w);
    EXPECT_EQ(shown.height(), 600);
    EXPECT_EQ(test::readRow(shown, 4, 0), "32.0 L");
    EXPECT_EQ(test::readRow(shown, 5, 1), " 86 R");
    EXPECT_EQ(w.Panel9->caption(), "ALARM !"); // now it counts
    for (Panel* p : panels)
        EXPECT_TRUE(w.rect().contains(p->geometry()));
    QTest::mouseClick(w.Panel12, Qt::LeftButton);
    QTest::mouseClick(w.Panel14, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$W4#$W5#");

    f.close();
    EXPECT_TRUE(f.open().sixWheelView());
    EXPECT_EQ(f.core->wheels(), 6);
    EXPECT_EQ(f.window->height(), 600);
    EXPECT_EQ(f.savedSettings(), test::defaultSettings().join("\r\n").toLatin1() + "\r\n");
}

struct PaintLog : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted.push_back(static_cast<QPaintEvent*>(event)->region());
        return false;
    }
    std::vector<QRegion> painted;
};

TEST(WindowView, RepaintingOnlyWhatChangedShowsExactlyTheCanvas) {
    WindowFixture f;
    TFmain& w = f.open();
    w.setSixWheelView(true);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    std::mt19937 random(11);
    for (int i = 0; i < 40; ++i) {
        const auto r = random();
        show(f, test::sensorFrame(int(r % 6), int(r / 6 % 60), int(r / 360 % 120)));
    }
    PaintLog log;
    w.Image1->installEventFilter(&log);
    show(f, test::sensorFrame(0, 33, 33));
    ASSERT_FALSE(log.painted.empty());
    for (const QRegion& r : log.painted) // wheel 0 and the antenna lie in the left half
        EXPECT_LT(r.boundingRect().right(), 240);

    const QImage shown = test::shownScreen(w);
    QRegion uncovered(w.Image1->geometry());
    for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        uncovered -= c != w.Image1 && c->isVisible() ? c->geometry() : QRect();
    for (const QRect& r : uncovered)
        EXPECT_EQ(shown.copy(r), w.canvas().image().copy(r)) << r.x() << "," << r.y();
}

} // namespace
} // namespace vorn
