#include "tests/monitor/MonitorFixture.h"

#include <QDir>
#include <csignal>
#include <gmock/gmock.h>
#include <sys/resource.h>

namespace vorn {
namespace {

using test::MonitorFixture;
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

TEST(MonitorSettings, StoredChoicesAreClampedAsTheirControlsTakeThemAndSavedBackSo) {
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
        MonitorFixture f(lines);
        MonitorCore& m = f.start();
        const SettingsRecord& r = m.record();
        const int selection[] = {r.PressureUnit, r.TemperatureUnit, r.Port, r.DataRate, r.AutoTx};
        EXPECT_EQ(selection[c.line - 4], c.selection) << "line " << c.line << ": " << c.value;
        m.saveSettings(m.record());
        EXPECT_EQ(f.savedSettings().split('\n')[c.line - 1],
                  QByteArray::number(c.selection) + "\r");
    }
}

// A disk that takes no more than 10 bytes, as a full one would: the
// thresholds are taken over, nothing else, and the old file stays whole.
TEST(MonitorSettings, ASaveThatCannotBeWrittenThrowsAndLeavesTheOldFileWhole) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    const QByteArray before = f.savedSettings();
    SettingsRecord r = m.record();
    r.PressureUnit = 2;
    r.LowPressureSet = 27;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{10, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(m.saveSettings(r), std::runtime_error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(m.settings().LowPressureSet, 27);
    EXPECT_EQ(m.settings().PressureUnitIndex, 0);
    EXPECT_EQ(m.panels().pressureCaption, "Psi");
    EXPECT_EQ(f.savedSettings(), before);
    EXPECT_EQ(QDir(f.dir.path()).entryList({"setdata*"}, QDir::Files), QStringList{"setdata.txt"});
}

// The vehicle's wheels in vorn.conf; the window's old six-wheel view is
// moved over once, and a count that is neither 4 nor 6 is said and taken as 4.
TEST(MonitorSettings, TheWheelCountIsReadMovedOverFromTheOldViewAndKept) {
    const struct {
        const char *conf, *after; // what vorn.conf holds before and after the start
        int wheels;
        bool said;
    } cases[] = {{"", "", 4, false},
                 {"[view]\nsixWheels=true\n", "[vehicle]\nwheels=6\n", 6, false},
                 {"[vehicle]\nwheels=5\n", "[vehicle]\nwheels=5\n", 4, true}};
    for (const auto& c : cases) {
        MonitorFixture f;
        QDir().mkpath(f.dir.file("config/VORN"));
        f.dir.write("config/VORN/vorn.conf", c.conf);
        EXPECT_EQ(f.start().wheels(), c.wheels) << c.conf;
        EXPECT_EQ(f.dir.read("config/VORN/vorn.conf"), c.after);
        EXPECT_EQ(f.messages.noted.join('\n').contains("wheels=5 is neither 4 nor 6"), c.said);
        f.core->setWheels(6);
        f.core.reset();
        EXPECT_EQ(f.start().wheels(), 6) << c.conf;
    }
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

} // namespace
} // namespace vorn
