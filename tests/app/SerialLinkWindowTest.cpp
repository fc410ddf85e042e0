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
        {"1", "/dev/null", "com1(RS232) set error", "Set Error", false},
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
