#include "tests/app/WindowFixture.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::WindowFixture;

TEST(WindowSerialLink, OpensTheChosenPortOrSaysWhyNot) {
    const struct {
        const char* port;   // line 6 of the settings
        const char* linkTo; // what COM2 in the working folder points at, if anything
        const char* text;   // message shown, or empty
        const char* caption;
        bool open;
    } cases[] = {
        {"0", nullptr, "", "", true}, // COM1: the fixture's terminal
        {"1", "/nonexistent/tty", "open com(RS232) error", "Comm Error", false},
        // An ordinary file opens but takes no line settings.
        {"1", "setdata.txt", "com1(RS232) set error", "Set Error", false},
        {"4", nullptr, "", "", false}, // USB: no serial port at all
        {"-7", nullptr, "open com(RS232) error", "Comm Error", false},
    };
    for (const auto& c : cases) {
        QStringList settings = test::defaultSettings();
        settings[5] = QString::fromLatin1(c.port);
        WindowFixture f(settings);
        if (c.linkTo)
            QFile::link(QString::fromLatin1(c.linkTo), f.dir.file("COM2"));
        TFmain& w = f.open();
        EXPECT_EQ(w.serialOpen(), c.open) << c.port;
        if (*c.text == '\0') {
            EXPECT_TRUE(f.messages.shown.empty()) << c.port;
            continue;
        }
        ASSERT_EQ(f.messages.shown.size(), 1u) << c.port;
        EXPECT_EQ(f.messages.shown[0].text, c.text);
        EXPECT_EQ(f.messages.shown[0].caption, c.caption);
    }
}

} // namespace
} // namespace vorn

namespace vorn {
namespace {

using test::WindowFixture;

TEST(WindowSerialLink, FramesFromTheLineReachTheStateTableAndThePanels) {
    WindowFixture f;
    TFmain& w = f.open();
    w.Timer2Timer();
    EXPECT_EQ(w.Panel11->caption(), ""); // a silent unit shows nothing
    f.unit.write("$CAL0#$FRX2cab#$TR0A2CAA#$FAC#$2014");
    w.Timer2Timer();
    f.unit.write("03C6D#");
    w.Timer2Timer();
    EXPECT_EQ(w.Panel11->caption(), "RS232 CONNECTED");
    EXPECT_EQ(w.state().TyrePressure[2], 64); // a frame split over two polls
    EXPECT_EQ(w.Panel17->caption(), "2CAA 10");
    EXPECT_EQ(w.Panel17->color(), QColor(255, 255, 0));
    EXPECT_EQ(w.Edit4->text(), "2CAB");
    EXPECT_EQ(w.Panel18->color(), QColor(255, 255, 0));
    EXPECT_EQ(f.tones.played.size(), 1u);
}

TEST(WindowSerialLink, MoreThanAHundredWaitingBytesAreDiscardedWhole) {
    WindowFixture f;
    TFmain& w = f.open();
    f.unit.write(QByteArray(90, 'x') + "$001520418D#");
    w.Timer2Timer();
    EXPECT_EQ(w.state().TyrePressure[0], 0);
    EXPECT_EQ(w.Panel11->caption(), "");
    f.unit.write("$001520418D#");
    w.Timer2Timer();
    EXPECT_EQ(w.state().TyrePressure[0], 65);
}

} // namespace
} // namespace vorn
