#include "sim/UnitModel.h"

#include "insight/ColdPressure.h"
#include "tests/sim/FrameCheck.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <ranges>

namespace vorn::sim {
namespace {

using namespace test;

struct Frame {
    long ms;
    std::string body;
};

// Drives a unit's clock in 10 ms steps and keeps what it sends, with times.
struct Recorder {
    explicit Recorder(const UnitConfig& config) : unit(config) {}

    // Sends `command` on the serial line, then lets `ms` pass.
    void run(long ms, std::string_view command = "") {
        unit.receiveSerial(command);
        for (long t = 0; t < ms; t += 10) {
            unit.advance(milliseconds{10});
            const std::string bytes = unit.takeSerialBytes();
            serial += bytes;
            sentBy.push_back(serial.size());
            for (std::string& body : cutter.feed(bytes))
                frames.push_back({unit.now().count(), std::move(body)});
            std::ranges::copy(unit.takeUsbReports(), std::back_inserter(usb));
        }
    }
    // Times of each wheel's reports after `after` ms.
    std::map<int, std::vector<long>> reportTimes(long after = 0) const {
        std::map<int, std::vector<long>> times;
        for (const Frame& f : frames) {
            if (const int wheel = check(f.body).wheel; wheel >= 0 && f.ms > after)
                times[wheel].push_back(f.ms);
        }
        return times;
    }
    // Most bytes sent within `window` ms, over windows starting from `from` on.
    std::size_t busiest(long window, long from = 0) const {
        std::size_t most = 0;
        for (long s = from / 10; s + window / 10 < std::ssize(sentBy); ++s)
            most = std::max(most, sentBy[s + window / 10] - sentBy[s]);
        return most;
    }

    UnitModel unit;
    std::vector<Frame> frames;
    std::string serial;
    std::vector<std::size_t> sentBy{0}; // serial bytes sent by the end of each step
    std::vector<UsbInReport> usb;
    StreamCutter cutter;
};

long largestGap(std::vector<long> times) {
    std::adjacent_difference(times.begin(), times.end(), times.begin());
    return times.size() < 2 ? 0 : *std::max_element(times.begin() + 1, times.end());
}

TEST(CommandReply, ComesAtOnceAndExactly) {
    // The bytes go to the unit in pieces split at "|".
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"$LEARN#", "$LEARN#"},
        {"$LEND#", "$LEND#"},
        {"$TEST#", "$TEST#"},
        {"$FAC#", "$FAC#"},
        {"$CAL#", "$CAL0#"},
        {"$FRX2cab#", "$FRX2CAB#"},
        {"\x01$FR|X0007|#zz", "$FRX0007#"},
        {"$LEARN$LEND#", "$LEND#"},
        {"$FRX2CAG#|$FRX2CA#|$LEARNX#|LEND#|$LEARNLEARN#", ""},
        {"$T1#|$T0#|$IST31AB#|$W4#|$W#|$#", ""}};
    for (const auto& [bytes, reply] : cases) {
        UnitModel unit({});
        for (const auto piece : std::views::split(bytes, '|'))
            unit.receiveSerial(std::string_view(piece.begin(), piece.end()));
        EXPECT_EQ(unit.takeSerialBytes(), reply) << bytes;
    }
    // Over USB only 9-byte reports are commands.
    UnitModel faulty({.scenario = Scenario::MemoryFault});
    faulty.receiveUsbReport(std::array<std::uint8_t, 8>{0, 'F', 'A', 'C'});
    faulty.receiveUsbReport(std::array<std::uint8_t, 9>{0, 'T', 'E', 'S', 'T'});
    EXPECT_EQ(faulty.takeSerialBytes(), "$TEST1#");
}

TEST(Sequence, ReportsFollowRateAutomaticTransmissionAndLearning) {
    // A command, then `ms` of reports from exactly the listed wheels, each
    // `fewest` to `most` times. 42 ms per wheel is too fast for the line: 240 ms.
    const std::vector<int> six{0, 1, 2, 3, 4, 5};
    const std::tuple<std::string, long, std::vector<int>, std::size_t, std::size_t> steps[] = {
        {"", 10000, six, 41, 42},        {"$T0#", 3000, {}, 0, 0},
        {"$T1#", 5000, six, 20, 21},     {"$IST81AB#$IST3XAB#$IST31CD#", 5000, six, 20, 21},
        {"$IST71AB#", 3000, {}, 0, 0},   {"$IST30AB#", 10000, six, 29, 30},
        {"$IST70AB#", 10000, six, 1, 2}, {"$IST00AB#$LEARN#", 3000, {}, 0, 0},
        {"$W2#", 3000, {2}, 13, 14},     {"$LEND#", 1000, six, 4, 5}};
    Recorder rec({.wheels = 6});
    for (const auto& [command, ms, reporting, fewest, most] : steps) {
        const long start = rec.unit.now().count();
        rec.run(ms, command);
        const auto times = rec.reportTimes(start);
        EXPECT_EQ(times.size(), reporting.size()) << command;
        for (const int wheel : reporting) {
            const std::size_t n = times.contains(wheel) ? times.at(wheel).size() : 0;
            EXPECT_TRUE(n >= fewest && n <= most) << command << " wheel " << wheel << ": " << n;
        }
    }
}

TEST(TestMode, FasterReportsOneOfWheels0To3SilentAndRadioSignals) {
    const int cases[][3] = {{0, 4, 1}, {3, 6, 2}, {7, 4, 3}, {7, 6, 4}, {0, 6, 5}, {5, 6, 6}};
    for (const auto& [rate, wheels, seed] : cases) {
        SCOPED_TRACE(testing::Message() << "rate " << rate << ", " << wheels << " wheels");
        Recorder rec({.wheels = wheels, .seed = static_cast<std::uint64_t>(seed), .rate = rate});
        rec.run(20000);
        auto normal = rec.reportTimes();
        rec.run(20000, "$TEST#");
        const auto inTest = rec.reportTimes(20000);
        ASSERT_EQ(static_cast<int>(inTest.size()), wheels - 1);
        int silent = 0;
        while (inTest.contains(silent))
            ++silent;
        EXPECT_LE(silent, 3) << "the program ages only wheels 0 to 3";
        for (const auto& [wheel, times] : inTest) {
            EXPECT_LE(largestGap(times), 500) << "wheel " << wheel;
            EXPECT_GT(times.size(), normal[wheel].size()) << "wheel " << wheel;
        }
        std::vector<long> radio{20000};
        for (const Frame& f : rec.frames) {
            if (f.body == "TESTRF")
                radio.push_back(f.ms);
        }
        ASSERT_GE(radio.size(), 5u);
        EXPECT_GT(radio[1], 20000);
        EXPECT_LE(largestGap(radio), 5000);
    }
}

TEST(Calibration, ReportsEachStepAndEndsOrLetsTheProgramsWatchRunOut) {
    // How the run ends ("" when the unit falls silent) and how many steps it reports.
    const std::tuple<Scenario, std::string, int> cases[] = {
        {Scenario::Steady, "CAL1", 20},
        {Scenario::CalibrationError, "CAL2", 20},
        {Scenario::CalibrationSilent, "", 6}};
    for (const auto& [scenario, end, steps] : cases) {
        SCOPED_TRACE(std::string(scenarioName(scenario)));
        Recorder rec({.scenario = scenario});
        rec.run(12000, "$CAL#");
        EXPECT_EQ(rec.frames.at(0).body, "CAL0");
        int index = 0;
        long watch = 0; // the program's watch restarts at "CAL0" and each "FRX"
        std::string ended, frequency;
        for (const Frame& f : rec.frames) {
            if (check(f.body).kind != Kind::Reply)
                continue;
            if (f.body.starts_with("TR")) {
                EXPECT_EQ(hex(f.body.substr(2, 2)), index++) << f.body;
            } else {
                EXPECT_LE(f.ms - watch, 2500) << f.body; // the watch runs out at 3 s
                watch = f.ms;
            }
            frequency = f.body.starts_with("FRX") ? f.body.substr(3) : frequency;
            ended = f.body == "CAL1" || f.body == "CAL2" ? f.body : ended;
        }
        EXPECT_EQ(index, steps);
        EXPECT_EQ(ended, end);
        EXPECT_NEAR(hex(frequency), 0x2CAA, 10);
        // The receiver is busy: no sensor report until it is done, or in silence
        // until the program has given up at 3 s.
        const auto report = std::ranges::find_if(
            rec.frames, [](const Frame& f) { return check(f.body).wheel >= 0; });
        ASSERT_NE(report, rec.frames.end());
        EXPECT_GT(report->ms, end.empty() ? watch + 3000 : watch);
    }
}

TEST(Readings, OneWheelInTroubleTheOthersNear32PsiAnd25To40Degrees) {
    // When the troubled wheel shows it: 0 below 26 psi, 1 above 70 degrees, 2 the last report.
    const std::tuple<Scenario, int, long, long> cases[] = {
        {Scenario::Steady, -1, 0, 0},          {Scenario::SlowLeak, 0, 10000, 20000},
        {Scenario::HotTyre, 1, 10000, 30000},  {Scenario::SensorLost, 2, 4500, 5500},
        {Scenario::Puncture, 0, 60000, 80000}, {Scenario::DeadSensor, 2, 59500, 60500}};
    for (const auto& [scenario, symptom, from, to] : cases) {
        SCOPED_TRACE(std::string(scenarioName(scenario)));
        Recorder rec({.scenario = scenario, .wheels = 6});
        rec.run(90000);
        int troubled = 0;
        for (int wheel = 0; wheel < 6; ++wheel) {
            std::array<long, 3> when{-1, -1, -1};
            bool plain = true; // near 32 psi and 24 to 40 degrees all along
            for (const Frame& f : rec.frames) {
                const Checked r = check(f.body);
                if (r.wheel != wheel)
                    continue;
                when[0] = when[0] < 0 && r.halfPsi < 52 ? f.ms : when[0];
                when[1] = when[1] < 0 && r.temperatureRaw > 110 ? f.ms : when[1];
                when[2] = f.ms;
                plain = plain && r.halfPsi >= 62 && r.halfPsi <= 68 && r.temperatureRaw >= 64 &&
                        r.temperatureRaw <= 80;
            }
            if (symptom >= 0 && when[symptom] >= from && when[symptom] <= to)
                ++troubled;
            else
                EXPECT_TRUE(plain && when[2] > 89000) << "wheel " << wheel;
        }
        EXPECT_EQ(troubled, symptom >= 0 ? 1 : 0);
    }
}

TEST(Readings, AColdNightCoolsEveryTyreAndKeepsItsAir) {
    Recorder rec({.scenario = Scenario::ColdNight, .wheels = 6});
    rec.run(240000);
    for (int wheel = 0; wheel < 6; ++wheel) {
        SCOPED_TRACE(wheel);
        std::optional<Checked> before, after;
        for (const Frame& f : rec.frames) {
            if (const Checked r = check(f.body); r.wheel == wheel)
                (f.ms < 30000 ? before : after) = r;
        }
        ASSERT_TRUE(before && after);
        EXPECT_NEAR(before->temperatureRaw - after->temperatureRaw, 15, 2);
        EXPECT_GE(before->halfPsi - after->halfPsi, 4);
        EXPECT_NEAR(*insight::coldPressureOfRaw(after->halfPsi, after->temperatureRaw),
                    *insight::coldPressureOfRaw(before->halfPsi, before->temperatureRaw), 1.0);
    }
}

// Commands that take the unit through every mode.
void script(Recorder& rec) {
    rec.run(2000);
    for (const char* command : {"$LEARN#", "$W0#", "$W5#", "$LEND#", "$TEST#"})
        rec.run(500, command);
    rec.run(8000);
    for (const char* command : {"$LEND#", "$CAL#", "$FAC#", "$FRX1234#", "$IST21AB#", "$LEND#"})
        rec.run(4000, command);
}

TEST(EveryScenario, FramesParseAndTheLineStaysWithin9600Baud) {
    for (const ScenarioName& s : kScenarioNames) {
        for (const bool shortForm : {false, true}) {
            SCOPED_TRACE(std::string(s.name) + (shortForm ? ", 6 wheels, short" : ", 4 wheels"));
            const int wheels = shortForm ? 6 : 4;
            Recorder rec({.scenario = s.scenario, .wheels = wheels, .shortForm = shortForm});
            script(rec);
            const bool noisy = s.scenario == Scenario::NoisyLine;
            int damaged = 0;
            for (const Frame& f : rec.frames) {
                const Checked checked = check(f.body);
                damaged += checked.kind == Kind::Invalid ? 1 : 0;
                EXPECT_TRUE(checked.kind != Kind::Invalid ||
                            (noisy && f.body.size() >= 9 && f.body.size() <= 10))
                    << f.body;
                const Kind form =
                    shortForm && checked.wheel < 4 ? Kind::ShortReport : Kind::LongReport;
                EXPECT_TRUE(checked.wheel < 0 || checked.kind == form) << f.body;
            }
            EXPECT_EQ(damaged > 0, noisy);
            EXPECT_EQ(!rec.cutter.stray.empty(), noisy);
            EXPECT_EQ(rec.cutter.stray.find('#'), std::string::npos);
            EXPECT_EQ(static_cast<int>(rec.reportTimes().size()), wheels);
            for (const UsbInReport& r : rec.usb) {
                const std::string bytes(r.begin(), r.end());
                const auto end = bytes.find('#');
                const Kind kind = check(bytes.substr(2, end - 2)).kind;
                EXPECT_TRUE(bytes.starts_with(std::string("\0$", 2)) &&
                            (kind == Kind::Reply || kind == Kind::LongReport) &&
                            bytes.find_first_not_of('\0', end + 1) == std::string::npos)
                    << bytes;
            }
            // A burst of more than a poll can take is the flood's, from 2 s to 7 s.
            const bool flood = s.scenario == Scenario::Flood;
            EXPECT_EQ(rec.busiest(100) > 100, flood);
            EXPECT_LE(rec.busiest(1000, flood ? 7100 : 0), 960u);
        }
    }
}

TEST(Determinism, SameSeedSameBytesOtherSeedOtherBytes) {
    const auto sent = [](std::uint64_t seed) {
        Recorder rec({.scenario = Scenario::NoisyLine, .wheels = 6, .seed = seed});
        script(rec);
        return std::pair{rec.serial, rec.usb};
    };
    EXPECT_EQ(sent(11), sent(11));
    EXPECT_NE(sent(11).first, sent(12).first);
}

} // namespace
} // namespace vorn::sim
