#include "app/SettingsFile.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace vorn {
namespace {

std::string failureOf(const auto& call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no failure";
}

TEST(SettingsText, EveryLineEndReadsAsOneAndWritesAsCrLf) {
    const struct {
        QByteArray in;
        QByteArray out;
        int lines;
    } cases[] = {
        {"1\r\n2\r\n", "1\r\n2\r\n", 2},
        {"1\n2\n", "1\r\n2\r\n", 2},
        {"1\r2\r", "1\r\n2\r\n", 2},
        {"1\n2", "1\r\n2\r\n", 2},         // a last line without an end gets one
        {"1\n\n2\n", "1\r\n\r\n2\r\n", 3}, // an empty line stays a line
        {"1\n\r2", "1\r\n\r\n2\r\n", 3},   // LF then CR is two ends
        {"", "", 0},
        {"x\xe9\x01y\n", "x\xe9\x01y\r\n", 1}, // bytes kept one to one
    };
    for (const auto& c : cases) {
        const SettingsText text = SettingsText::fromBytes(c.in);
        EXPECT_EQ(text.lineCount(), c.lines) << c.in.toStdString();
        EXPECT_EQ(text.toBytes(), c.out) << c.in.toStdString();
    }
}

TEST(SettingsText, ReplacingALineThatIsNotThereAddsNothing) {
    SettingsText text = SettingsText::fromBytes("a\nb\n");
    text.replaceLine(1, QStringLiteral("B"));
    text.replaceLine(2, QStringLiteral("C"));
    text.replaceLine(-1, QStringLiteral("D"));
    EXPECT_EQ(text.toBytes(), "a\r\nB\r\n");
    EXPECT_EQ(text.line(5), QString());
}

TEST(SettingsInteger, AcceptsSignedDecimalsWithinThirtyTwoBits) {
    const struct {
        const char* text;
        std::int32_t value;
    } good[] = {{"0", 0},
                {"26", 26},
                {"-1", -1},
                {"+7", 7},
                {" 12 ", 12},
                {"2147483647", 2147483647},
                {"-2147483648", -2147483647 - 1},
                {"007", 7}};
    for (const auto& c : good)
        EXPECT_EQ(parseSettingInteger(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(SettingsInteger, AnythingElseFailsWithTheLineInTheText) {
    for (const char* bad : {"", "-", "+", "1.5", "12a", "0x1A", "2147483648", "-2147483649",
                            "99999999999999999999", "1 2"}) {
        const QString text = QString::fromLatin1(bad);
        EXPECT_EQ(failureOf([&] { parseSettingInteger(text); }),
                  "'" + std::string(bad) + "' is not a valid integer value");
    }
}

TEST(SettingsFile, MissingFileFailsWithItsPath) {
    EXPECT_EQ(failureOf([] { loadSettingsFile(QStringLiteral("/nonexistent/setdata.txt")); }),
              "Cannot open file /nonexistent/setdata.txt");
    EXPECT_EQ(failureOf([] {
                  saveSettingsFile(QStringLiteral("/nonexistent/setdata.txt"), SettingsText{});
              }),
              "Cannot create file /nonexistent/setdata.txt");
}

TEST(UnitCaptions, EveryChoiceIncludingNone) {
    const char* pressure[] = {"", "Psi", "Bar", "Kpa", "Kg/Cm", ""};
    for (int choice = -1; choice <= 4; ++choice)
        EXPECT_EQ(pressureUnitCaption(choice), QString::fromLatin1(pressure[choice + 1]));
    const char* temperature[] = {"", "Degree C", "Degree F", ""};
    for (int choice = -1; choice <= 2; ++choice)
        EXPECT_EQ(temperatureUnitCaption(choice), QString::fromLatin1(temperature[choice + 1]));
}

} // namespace
} // namespace vorn
