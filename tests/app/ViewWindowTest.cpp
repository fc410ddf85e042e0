// The window's height, the six-wheel view and the repaint of what changed,
// probed on the screen as shown.
#include "tests/app/WindowFixture.h"
#include "tests/display/ScreenProbe.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

namespace vorn {
namespace {

using test::WindowFixture;

void tick(TFmain& w) {
    w.Timer2Timer();
    w.Timer1Timer();
    QApplication::processEvents();
}

std::vector<Panel*> wheelFourAndFivePanels(TFmain& w) {
    return {w.Panel12, w.Panel13, w.Panel14, w.Panel15};
}

TEST(WindowView, TheDefaultViewEndsAtTheTopsOfTheWheelFourAndFivePanels) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    f.unit.write(test::sensorFrame(4, 32, 30));
    tick(w);
    EXPECT_EQ(test::readRow(w.canvas(), 4, 0), "32.0 L"); // drawn, yet below the window
    EXPECT_EQ(test::shownScreen(w).size(), QSize(480, 442));
    EXPECT_EQ(w.Panel12->y(), w.height());
    for (Panel* p : wheelFourAndFivePanels(w))
        EXPECT_FALSE(w.rect().intersects(p->geometry())) << p->caption().toStdString();
}

TEST(WindowView, TheSixWheelViewShowsWheelsFourAndFiveAndIsKeptForTheNextStart) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    f.unit.write(test::sensorFrame(4, 32, 30) + test::sensorFrame(5, 20, 85));
    tick(w);
    ASSERT_EQ(w.contextMenu().actions().front()->text(), "Show six wheels");
    w.contextMenu().actions().front()->trigger();
    QApplication::processEvents();
    const QImage shown = test::shownScreen(w);
    EXPECT_EQ(shown.height(), 600);
    EXPECT_EQ(test::readRow(shown, 4, 0), "32.0 L");
    EXPECT_EQ(test::readRow(shown, 5, 1), " 85 R");
    EXPECT_EQ(w.Panel9->caption(), "ALARM !"); // wheel 5 is hot, and now it counts
    for (Panel* p : wheelFourAndFivePanels(w))
        EXPECT_TRUE(w.rect().contains(p->geometry())) << p->caption().toStdString();
    QTest::mouseClick(w.Panel12, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$W4#");
    QTest::mouseClick(w.Panel14, Qt::LeftButton);
    EXPECT_EQ(f.unit.read(), "$W5#");

    f.window.reset();
    EXPECT_TRUE(f.open().sixWheelView());
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
        const int wheel = static_cast<int>(random() % 6);
        f.unit.write(test::sensorFrame(wheel, static_cast<int>(random() % 60),
                                       static_cast<int>(random() % 120)));
        tick(w);
    }
    PaintLog log;
    w.Image1->installEventFilter(&log);
    f.unit.write(test::sensorFrame(0, 33, 33));
    tick(w);
    ASSERT_FALSE(log.painted.empty());
    for (const QRegion& r : log.painted) // wheel 0 and the antenna lie in the left half
        EXPECT_LT(r.boundingRect().right(), 240);

    const QImage shown = test::shownScreen(w);
    const QImage& drawn = w.canvas().image();
    QRegion uncovered(w.Image1->geometry());
    for (QWidget* c : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (c != w.Image1 && c->isVisible())
            uncovered -= c->geometry();
    int differing = 0;
    for (const QRect& r : uncovered)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                differing += shown.pixel(x, y) != drawn.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0);
}

} // namespace
} // namespace vorn
