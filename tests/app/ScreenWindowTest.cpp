#include "tests/app/WindowFixture.h"
#include "tests/display/ScreenProbe.h"

#include <QTest>
#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::WindowFixture;
const auto report = test::sensorFrame;

TEST(WindowScreen, ALowAndAHotWheelFromTheLineRaiseTheAlarmUntilAcknowledged) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    f.unit.write(report(0, 20, 25) + report(1, 32, 80) + report(2, 32, 30) + report(3, 33, 30));
    w.Timer2Timer();
    w.Timer1Timer();
    const QImage& screen = w.canvas().image();
    const QColor red(255, 0, 0), lime(0, 255, 0), black(0, 0, 0);
    const struct {
        QPoint at;
        QColor colour;
        const char* what;
    } probes[] = {
        {{30, 28}, red, "wheel 0 pressure, top bar of the 2"},
        {{66, 88}, lime, "wheel 0 temperature, top bar of the 2"},
        {{133, 78}, red, "wheel 0 tyre: low"},
        {{152, 98}, black, "wheel 0 tyre: cool low core"},
        {{360, 28}, lime, "wheel 1 pressure, top bar of the 3"},
        {{396, 88}, red, "wheel 1 temperature, top bar of the 8"},
        {{294, 78}, lime, "wheel 1 tyre: pressure within limits"},
        {{313, 78}, red, "wheel 1 tyre: hot core"},
        {{133, 338}, lime, "wheel 2 tyre"},
        {{313, 338}, black, "wheel 3 tyre: cool core"},
    };
    for (const auto& p : probes)
        EXPECT_EQ(screen.pixelColor(p.at), p.colour) << p.what;
    EXPECT_EQ(w.Panel9->caption(), "ALARM !");
    EXPECT_EQ(w.Panel9->color(), red);

    const auto tonesAfter = [&](int ticks) {
        for (int i = 0; i < ticks; ++i)
            w.Timer1Timer();
        return f.tones.played.size();
    };
    EXPECT_EQ(tonesAfter(8), 1u); // the ninth tick of the window flips the blink phase
    EXPECT_EQ(f.tones.played[0].hz, 2000);
    EXPECT_EQ(f.tones.played[0].ms, 100);
    EXPECT_EQ(tonesAfter(9), 2u);
    w.Panel9Click();
    EXPECT_EQ(tonesAfter(36), 2u);
    EXPECT_EQ(w.Panel9->caption(), "KESSIDO");
    EXPECT_EQ(screen.pixelColor(30, 28), red); // the wheel itself stays red
}

// Nothing here calls a handler: the window's own timers poll the line and
// draw, as they do for a user.
TEST(WindowLive, ALowWheelOnTheLineShowsAndSoundsOnTheRealEventLoop) {
    WindowFixture f;
    TFmain& w = f.open();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    f.unit.write(report(0, 20, 25));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !f.tones.played.empty() && test::readRow(test::shownScreen(w), 0, 0) == "20.0 R";
        },
        5000));
    EXPECT_EQ(w.Panel9->caption(), "ALARM !");
}

} // namespace
} // namespace vorn
