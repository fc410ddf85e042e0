#include "link/UsbHidDevice.h"

#include "link/FakeHid.h"

#include <chrono>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>

namespace vorn {
namespace {

using Bytes = std::vector<std::uint8_t>;

const HidEntry unitA{"/fake/unit-a", 0x1234, 0x5678, 0};
const HidEntry unitB{"/fake/unit-b", 0x1234, 0x5678, 1};
const HidEntry otherProduct{"/fake/other-product", 0x1234, 0x5679, 0};
const HidEntry otherVendor{"/fake/other-vendor", 0x1235, 0x5678, 0};

// The report read, if any.
std::optional<Bytes> readOne(UsbHidDevice& device) {
    UsbInReport in{};
    return device.UsbReadReport(in) ? std::optional(Bytes(in.begin(), in.end())) : std::nullopt;
}

// Which of `devices` the read handle reads from: each gets a report marked
// with its place in the list.
std::optional<std::uint8_t> readsFrom(FakeHid& fake, UsbHidDevice& device,
                                      const std::vector<HidEntry>& devices) {
    for (std::size_t i = 0; i < devices.size(); ++i)
        fake.pushReport(devices[i].path, Bytes(17, static_cast<std::uint8_t>(i)));
    const auto read = readOne(device);
    return read ? std::optional((*read)[1]) : std::nullopt;
}

TEST(UsbHidDevice, SearchTakesTheFirstMatchingInterfaceThatOpens) {
    const struct {
        const char* name;
        std::vector<HidEntry> devices;
        int failingProbe; // index into devices, or -1
        std::optional<std::uint8_t> readFrom;
    } cases[] = {
        {"other product and vendor skipped", {otherProduct, otherVendor, unitA}, -1, 2},
        {"first of two interfaces", {unitA, unitB}, -1, 0},
        {"failed probe goes on", {unitA, unitB}, 0, 1},
        {"only a failed probe", {otherProduct, unitA}, 1, std::nullopt},
        {"nothing matches", {otherProduct, otherVendor}, -1, std::nullopt},
    };
    for (const auto& c : cases) {
        FakeHid fake;
        for (const HidEntry& e : c.devices)
            fake.plug(e);
        if (c.failingProbe >= 0)
            fake.failOpens(c.devices[c.failingProbe].path, 1);
        UsbHidDevice device(fake);
        EXPECT_EQ(device.FindUsbDevice(), c.readFrom.has_value()) << c.name;
        EXPECT_EQ(readsFrom(fake, device, c.devices), c.readFrom) << c.name;
    }
}

// Unit A plugged in, not yet searched for.
struct UnitA : testing::Test {
    UnitA() { fake.plug(unitA); }
    FakeHid fake;
    UsbHidDevice device{fake};
};

TEST_F(UnitA, FailedSearchKeepsTheOldHandlesAndAReplugNeedsANewSearch) {
    ASSERT_TRUE(device.FindUsbDevice());
    fake.failOpens(unitA.path, 1);
    EXPECT_FALSE(device.FindUsbDevice());
    EXPECT_EQ(readsFrom(fake, device, {unitA}), 0);

    fake.replug(unitA.path);
    EXPECT_EQ(readsFrom(fake, device, {unitA}), std::nullopt); // the old instance's handle
    ASSERT_TRUE(device.FindUsbDevice());
    EXPECT_NE(readOne(device), std::nullopt); // the report queued on the new instance
}

TEST_F(UnitA, ReadsTakeSixteenOrSeventeenBytesAndWaitAHundredMillisecondsAtMost) {
    ASSERT_TRUE(device.FindUsbDevice());
    Bytes frame(16);
    std::iota(frame.begin(), frame.end(), std::uint8_t{'A'});
    const auto numbered = [&](std::uint8_t number) {
        Bytes b{number};
        b.insert(b.end(), frame.begin(), frame.end());
        return b;
    };
    const struct {
        Bytes pushed;
        std::optional<Bytes> read;
    } cases[] = {
        {frame, numbered(0)}, {numbered(5), numbered(5)}, {Bytes(1, 1), std::nullopt},
        {Bytes(15, 1), {}},   {Bytes(18, 1), {}},         {Bytes(FakeHid::kMaxReportSize, 1), {}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(fake.pushReport(unitA.path, c.pushed));
        EXPECT_EQ(readOne(device), c.read) << c.pushed.size() << " bytes";
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readOne(device), std::nullopt); // a silent unit
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(95));
    EXPECT_LT(took, std::chrono::seconds(1));
}

TEST_F(UnitA, WritesNineBytesWithReportNumberZeroOnlyToAFoundUnit) {
    const std::array<std::uint8_t, 9> command{0x7f, 'L', 'E', 'A', 'R', 'N', 0, 0, 0};
    EXPECT_FALSE(device.UsbWriteReport(command)); // not searched yet
    ASSERT_TRUE(device.FindUsbDevice());
    EXPECT_TRUE(device.UsbWriteReport(command));
    fake.unplug(unitA.path);
    EXPECT_FALSE(device.UsbWriteReport(command));
    const std::vector<Bytes> sent{{0, 'L', 'E', 'A', 'R', 'N', 0, 0, 0}};
    EXPECT_EQ(fake.writtenReports(unitA.path), sent);
}

TEST(HidapiBackend, APathThatDoesNotExistGivesNoHandle) {
    EXPECT_EQ(makeHidapiBackend()->open("/nonexistent/hidraw"), nullptr);
}

} // namespace
} // namespace vorn
