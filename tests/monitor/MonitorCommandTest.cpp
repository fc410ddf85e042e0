#include "tests/monitor/MonitorFixture.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

using test::MonitorFixture;
using Report = command::UsbOutReport;

Report report(std::string_view text) {
    Report r{};
    std::copy(text.begin(), text.end(), r.begin() + 1);
    return r;
}

TEST(MonitorCommands, EveryCommandSendsItsFrameAndBuildsItsReport) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    const QString freq = "2caa";
    const struct {
        std::function<void()> command;
        const char* frame;
    } cases[] = {
        {[&] { m.learn(); }, "$LEARN#"},
        {[&] { m.sendWheelCommand(0); }, "$W0#"},
        {[&] { m.setFrequency(freq); }, "$FRX2caa#"},
        {[&] { m.sendWheelCommand(2); }, "$W2#"},
        {[&] { m.sendWheelCommand(5); }, "$W5#"},
        {[&] { m.testMode(); }, "$TEST#"},
        {[&] { m.acknowledge(); }, "$LEND#"},
        {[&] { m.stepFrequency(freq, 9, true); }, "$FRX2CB4#"},
        {[&] { m.stepFrequency(freq, 9, false); }, "$FRX2CA0#"},
        {[&] { m.autoCalibrate(); }, "$CAL#"},
        {[&] { m.factory(); }, "$FAC#"},
        {[&] { m.sendRadioSettings(freq, 3, 1); }, "$IST31AB#"},
        {[&] { m.toggleAutoTx(); }, "$T1#"},
    };
    for (const auto& c : cases) {
        c.command();
        const std::string_view frame(c.frame);
        EXPECT_EQ(f.unit.read(), QByteArray(c.frame));
        // The report is rewritten whole: nothing of a longer command is left.
        EXPECT_EQ(m.usbOutReport(), report(frame.substr(1, frame.size() - 2))) << c.frame;
    }
    EXPECT_EQ(m.panels().frequencyText, "2CAA"); // only the unit's answer changes it
    m.setFrequency("2CAG");                      // no frequency: the tuning commands send nothing
    m.stepFrequency("2CAG", 0, true);
    m.sendRadioSettings("", 0, 0);
    EXPECT_EQ(f.unit.read(50), QByteArray());
}

// A second Auto Cal only stops watching; Factory sends what leads to the other state.
TEST(MonitorCommands, AutoCalAndFactoryFollowTheUnitsState) {
    MonitorFixture f;
    MonitorCore& m = f.start();
    f.receive("$CAL0#$FAC#");
    m.autoCalibrate();
    EXPECT_EQ(m.state().CalibrationRunning, 0);
    EXPECT_EQ(m.panels().calibrationCaption, "");
    EXPECT_EQ(m.panels().calibrationColour, PanelColour::ButtonFace);
    m.factory();
    m.autoCalibrate();
    EXPECT_EQ(f.unit.read(), "$LEND#$CAL#");
}

} // namespace
} // namespace vorn
