#include "sim/UnitModel.h"

#include "tests/sim/FrameCheck.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <map>
#include <numeric>

namespace vorn::sim {
namespace {

using test::check;
using test::Kind;

struct Frame {
    long ms;
    std::string body;
};

UnitConfig config(Scenario scenario = Scenario::Steady, int wheels = 4, int rate = 0,
                  std::uint64_t seed = 7) {
    return {scenario, wheels, seed, rate, false};
}

// Drives the unit's clock in 10 ms steps and keeps what it sends, with times.
class Recorder {
public:
    explicit Recorder(UnitModel& unit) : unit_(unit) {}

    void send(std::string_view bytes) { unit_.receiveSerial(bytes); }
    void run(long ms) {
        for (long t = 0; t < ms; t += 10) {
            unit_.advance(milliseconds{10});
            const std::string bytes = unit_.takeSerialBytes();
            serial += bytes;
            perStep.push_back(bytes.size());
            for (std::string& body : cutter.feed(bytes))
                frames.push_back({unit_.now().count(), std::move(body)});
            const auto reports = unit_.takeUsbReports();
            usb.insert(usb.end(), reports.begin(), reports.end());
        }
    }
    // Times of each wheel's reports after `after` ms.
    std::map<int, std::vector<long>> reportTimes(long after = 0) const {
        std::map<int, std::vector<long>> times;
        for (const Frame& f : frames) {
            if (const auto reading = check(f.body).reading; reading && f.ms > after)
                times[reading->wheel].push_back(f.ms);
        }
        return times;
    }
    // Most bytes sent within `window` ms, over windows starting from `from` to `to`.
    std::size_t busiest(long window, long from = 0, long to = LONG_MAX) const {
        std::size_t most = 0;
        for (long s = from / 10;
             s + window / 10 <= static_cast<long>(perStep.size()) && s * 10 < to; ++s)
            most = std::max(
                most, std::accumulate(perStep.begin() + s, perStep.begin() + s + window / 10, 0UL));
        return most;
    }

    std::vector<Frame> frames;
    std::string serial;
    std::vector<std::size_t> perStep;
    std::vector<UsbInReport> usb;
    test::StreamCutter cutter;

private:
    UnitModel& unit_;
};

long largestGap(const std::vector<long>& times) {
    long gap = 0;
    for (std::size_t i = 1; i < times.size(); ++i)
        gap = std::max(gap, times[i] - times[i - 1]);
    return gap;
}

struct ReplyCase {
    Scenario scenario;
    std::vector<std::string> pieces;
    std::string reply;
};

class CommandReply : public testing::TestWithParam<ReplyCase> {};
void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << scenarioName(c.scenario) << ' ';
    for (const std::string& piece : c.pieces)
        *os << piece;
}

TEST_P(CommandReply, ComesAtOnceAndExactly) {
    UnitModel unit(config(GetParam().scenario));
    for (const std::string& piece : GetParam().pieces)
        unit.receiveSerial(piece);
    EXPECT_EQ(unit.takeSerialBytes(), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandReply,
    testing::Values(ReplyCase{Scenario::Steady, {"$LEARN#"}, "$LEARN#"},
                    ReplyCase{Scenario::Steady, {"$LEND#"}, "$LEND#"},
                    ReplyCase{Scenario::Steady, {"$TEST#"}, "$TEST#"},
                    ReplyCase{Scenario::MemoryFault, {"$TEST#"}, "$TEST1#"},
                    ReplyCase{Scenario::Steady, {"$FAC#"}, "$FAC#"},
                    ReplyCase{Scenario::Steady, {"$CAL#"}, "$CAL0#"},
                    ReplyCase{Scenario::Steady, {"$FRX2cab#"}, "$FRX2CAB#"},
                    ReplyCase{Scenario::Steady, {"$FR", "X0007", "#"}, "$FRX0007#"},
                    ReplyCase{Scenario::Steady, {"\x01$", "LEA", "RN#zz"}, "$LEARN#"},
                    ReplyCase{Scenario::Steady, {"$LEARN$LEND#"}, "$LEND#"},
                    ReplyCase{Scenario::Steady,
                              {"$FRX2CAG#", "$FRX2CA#", "$LEARNX#", "LEND#", "$LEARNLEARN#", "$T1#",
                               "$T0#", "$IST31AB#", "$W4#", "$W#", "$#"},
                              ""}));

TEST(UsbLink, CommandReportGetsItsReplyAsInputReportOnBothLinks) {
    UnitModel unit(config());
    unit.receiveUsbReport(std::array<std::uint8_t, 9>{0, 'L', 'E', 'A', 'R', 'N'});
    unit.receiveUsbReport(std::array<std::uint8_t, 8>{0, 'L', 'E', 'N', 'D'});
    const UsbInReport learn{0, '$', 'L', 'E', 'A', 'R', 'N', '#'};
    EXPECT_EQ(unit.takeUsbReports(), std::vector<UsbInReport>{learn});
    EXPECT_EQ(unit.takeSerialBytes(), "$LEARN#");

    unit.receiveUsbReport(std::array<std::uint8_t, 9>{0, 'W', '2'});
    const auto reports = unit.takeUsbReports();
    ASSERT_EQ(reports.size(), 1u);
    const std::string body(reports[0].begin() + 2, reports[0].begin() + 12);
    EXPECT_EQ(reports[0][12], '#');
    ASSERT_EQ(check(body).kind, Kind::LongReport) << body;
    EXPECT_EQ(check(body).reading->wheel, 2);
}

// One step of a sequence: a command, then `ms` of reports from exactly the
// listed wheels, each wheel reporting `fewest` to `most` times.
struct Step {
    std::string command;
    long ms;
    std::vector<int> wheels;
    std::size_t fewest;
    std::size_t most;
};

struct SequenceCase {
    int wheels;
    std::vector<Step> steps;
};

class Sequence : public testing::TestWithParam<SequenceCase> {};
void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.wheels << " wheels";
    for (const Step& step : c.steps)
        *os << ' ' << step.command;
}

TEST_P(Sequence, ReportsFollowRateAutomaticTransmissionAndLearning) {
    UnitModel unit(config(Scenario::Steady, GetParam().wheels));
    Recorder rec(unit);
    for (const Step& step : GetParam().steps) {
        const long start = unit.now().count();
        rec.send(step.command);
        rec.run(step.ms);
        const auto times = rec.reportTimes(start);
        EXPECT_EQ(times.size(), step.wheels.size()) << step.command;
        for (const int wheel : step.wheels) {
            const std::size_t n = times.contains(wheel) ? times.at(wheel).size() : 0;
            EXPECT_TRUE(n >= step.fewest && n <= step.most) << step.command << " wheel " << wheel;
        }
    }
}

const std::vector<int> kFour{0, 1, 2, 3};
const std::vector<int> kSix{0, 1, 2, 3, 4, 5};

INSTANTIATE_TEST_SUITE_P(
    Table, Sequence,
    testing::Values(
        // 42 ms per wheel is too fast for the line: 160 ms, and 240 ms for six.
        SequenceCase{4, {{"", 10000, kFour, 62, 63}}}, SequenceCase{6, {{"", 10000, kSix, 41, 42}}},
        SequenceCase{4, {{"$T0#", 3000, {}, 0, 0}, {"$T1#", 10000, kFour, 62, 63}}},
        SequenceCase{4, {{"$IST71AB#", 5000, {}, 0, 0}, {"$IST70AB#", 10000, kFour, 1, 2}}},
        SequenceCase{6, {{"$IST30AB#", 10000, kSix, 29, 30}}},
        SequenceCase{4, {{"$IST81AB#$IST3XAB#$IST31CD#", 10000, kFour, 62, 63}}},
        SequenceCase{6,
                     {{"$LEARN#", 3000, {}, 0, 0},
                      {"$W2#", 3000, {2}, 13, 14},
                      {"$LEND#", 1000, kSix, 4, 5}}}));

struct TestModeCase {
    int rate;
    int wheels;
    std::uint64_t seed;
};

class TestMode : public testing::TestWithParam<TestModeCase> {};
void PrintTo(const TestModeCase& c, std::ostream* os) {
    *os << "rate " << c.rate << ", " << c.wheels << " wheels, seed " << c.seed;
}

TEST_P(TestMode, FasterReportsOneFrontWheelSilentAndRadioSignals) {
    const TestModeCase c = GetParam();
    UnitModel unit(config(Scenario::Steady, c.wheels, c.rate, c.seed));
    Recorder rec(unit);
    rec.run(20000);
    auto normal = rec.reportTimes();
    rec.send("$TEST#");
    rec.run(20000);
    const auto test = rec.reportTimes(20000);
    ASSERT_EQ(static_cast<int>(test.size()), c.wheels - 1);
    int silent = 0;
    while (test.contains(silent))
        ++silent;
    EXPECT_LE(silent, 3) << "the program ages only wheels 0 to 3";
    for (const auto& [wheel, times] : test) {
        EXPECT_LE(largestGap(times), 500) << "wheel " << wheel;
        EXPECT_GT(times.size(), normal[wheel].size()) << "wheel " << wheel;
    }
    std::vector<long> radio;
    for (const Frame& f : rec.frames) {
        if (f.body == "TESTRF")
            radio.push_back(f.ms);
    }
    ASSERT_GE(radio.size(), 4u);
    EXPECT_GT(radio.front(), 20000);
    EXPECT_LE(largestGap(radio), 5000);
}

INSTANTIATE_TEST_SUITE_P(Table, TestMode,
                         testing::Values(TestModeCase{0, 4, 1}, TestModeCase{3, 6, 2},
                                         TestModeCase{7, 4, 3}, TestModeCase{7, 6, 4},
                                         TestModeCase{0, 6, 5}, TestModeCase{5, 6, 6}));

struct CalibrationCase {
    Scenario scenario;
    std::string end; // "CAL1", "CAL2", or nothing when the unit falls silent
    int tuningReports;
};

class CalibrationRun : public testing::TestWithParam<CalibrationCase> {};
void PrintTo(const CalibrationCase& c, std::ostream* os) {
    *os << scenarioName(c.scenario);
}

TEST_P(CalibrationRun, ReportsEachStepAndEndsOrLetsTheProgramsWatchRunOut) {
    UnitModel unit(config(GetParam().scenario));
    Recorder rec(unit);
    rec.send("$CAL#");
    rec.run(12000);
    ASSERT_FALSE(rec.frames.empty());
    EXPECT_EQ(rec.frames.front().body, "CAL0");
    int index = 0;
    long watch = 0; // the program's watch restarts at "CAL0" and each "FRX"
    long lastCal = 0;
    std::string end, frequency;
    for (const Frame& f : rec.frames) {
        if (check(f.body).kind != Kind::Reply)
            continue;
        lastCal = f.ms;
        if (f.body.starts_with("TR")) {
            EXPECT_EQ(std::stoi(f.body.substr(2, 2), nullptr, 16), index++) << f.body;
        } else {
            // The watch counts 100 ms ticks up to 3 s: keep a margin.
            EXPECT_LE(f.ms - watch, 2500) << f.body;
            watch = f.ms;
        }
        if (f.body.starts_with("FRX"))
            frequency = f.body.substr(3);
        if (f.body == "CAL1" || f.body == "CAL2")
            end = f.body;
    }
    EXPECT_EQ(index, GetParam().tuningReports);
    EXPECT_EQ(end, GetParam().end);
    EXPECT_NEAR(std::stoi(frequency, nullptr, 16), 0x2CAA, 10);
    // The receiver is busy: no sensor report until it is done or has given up.
    const auto report = std::find_if(rec.frames.begin(), rec.frames.end(),
                                     [](const Frame& f) { return check(f.body).reading; });
    ASSERT_NE(report, rec.frames.end());
    EXPECT_GT(report->ms, lastCal);
    if (end.empty()) {
        EXPECT_GT(report->ms - watch, 3000) << "the program's watch must run out";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CalibrationRun,
                         testing::Values(CalibrationCase{Scenario::Steady, "CAL1", 20},
                                         CalibrationCase{Scenario::CalibrationError, "CAL2", 20},
                                         CalibrationCase{Scenario::CalibrationSilent, "", 6}));

using Series = std::vector<std::pair<long, test::Reading>>;

// When something happens to a wheel: -1 when it never does.
long firstBelow26Psi(const Series& s) {
    const auto it = std::find_if(s.begin(), s.end(), [](auto& p) { return p.second.halfPsi < 52; });
    return it == s.end() ? -1 : it->first;
}
long firstAbove70Degrees(const Series& s) {
    const auto it =
        std::find_if(s.begin(), s.end(), [](auto& p) { return p.second.temperatureRaw > 110; });
    return it == s.end() ? -1 : it->first;
}
long lastReport(const Series& s) {
    return s.back().first;
}

// Near 32 psi and 24 to 40 degrees all along, reporting to the end.
bool plain(const Series& s) {
    return lastReport(s) > 39000 && std::all_of(s.begin(), s.end(), [](auto& p) {
               const test::Reading& r = p.second;
               return r.halfPsi >= 62 && r.halfPsi <= 68 && r.temperatureRaw >= 64 &&
                      r.temperatureRaw <= 80;
           });
}

struct ReadingCase {
    Scenario scenario;
    long (*when)(const Series&); // the one wheel in trouble, or none when null
    long from;
    long to;
};

class Readings : public testing::TestWithParam<ReadingCase> {};
void PrintTo(const ReadingCase& c, std::ostream* os) {
    *os << scenarioName(c.scenario);
}

TEST_P(Readings, OneWheelInTroubleTheOthersNear32PsiAnd25To40Degrees) {
    const ReadingCase c = GetParam();
    UnitModel unit(config(c.scenario, 6));
    Recorder rec(unit);
    rec.run(40000);
    std::map<int, Series> all;
    for (const Frame& f : rec.frames) {
        if (const auto r = check(f.body).reading)
            all[r->wheel].push_back({f.ms, *r});
    }
    ASSERT_EQ(all.size(), 6u);
    int troubled = 0;
    for (const auto& [wheel, series] : all) {
        const long t = c.when ? c.when(series) : -1;
        if (t >= c.from && t <= c.to)
            ++troubled;
        else
            EXPECT_TRUE(plain(series)) << "wheel " << wheel;
    }
    EXPECT_EQ(troubled, c.when ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Readings,
    testing::Values(ReadingCase{Scenario::Steady, nullptr, 0, 0},
                    ReadingCase{Scenario::SlowLeak, firstBelow26Psi, 10000, 20000},
                    ReadingCase{Scenario::HotTyre, firstAbove70Degrees, 10000, 30000},
                    ReadingCase{Scenario::SensorLost, lastReport, 4500, 5500}));

// Commands that take the unit through every mode.
void script(Recorder& rec) {
    rec.run(2000);
    for (const char* command : {"$LEARN#", "$W0#", "$W5#", "$LEND#", "$TEST#"}) {
        rec.send(command);
        rec.run(500);
    }
    rec.run(8000);
    for (const char* command : {"$LEND#", "$CAL#", "$FAC#", "$FRX1234#", "$IST21AB#", "$LEND#"}) {
        rec.send(command);
        rec.run(4000);
    }
}

struct LineCase {
    Scenario scenario;
    int wheels;
    bool shortForm;
};

class EveryScenario : public testing::TestWithParam<LineCase> {};
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << scenarioName(c.scenario) << ", " << c.wheels << " wheels"
        << (c.shortForm ? ", short" : "");
}

TEST_P(EveryScenario, FramesParseAndTheLineStaysWithin9600Baud) {
    const LineCase c = GetParam();
    UnitConfig unitConfig = config(c.scenario, c.wheels);
    unitConfig.shortForm = c.shortForm;
    UnitModel unit(unitConfig);
    Recorder rec(unit);
    script(rec);
    const bool noisy = c.scenario == Scenario::NoisyLine;
    int damaged = 0;
    for (const Frame& f : rec.frames) {
        const test::Checked checked = check(f.body);
        if (checked.kind == Kind::Invalid) {
            ++damaged;
            EXPECT_TRUE(noisy && (f.body.size() == 9 || f.body.size() == 10)) << f.body;
        }
        if (checked.reading) {
            const bool wantShort = c.shortForm && checked.reading->wheel < 4;
            EXPECT_EQ(checked.kind, wantShort ? Kind::ShortReport : Kind::LongReport) << f.body;
        }
    }
    EXPECT_EQ(damaged > 0, noisy);
    EXPECT_EQ(rec.cutter.strayBytes() > 0, noisy);
    EXPECT_EQ(rec.cutter.strayEnds(), 0);
    EXPECT_EQ(static_cast<int>(rec.reportTimes().size()), c.wheels);
    for (const UsbInReport& r : rec.usb) {
        const auto* hash = std::find(r.begin() + 2, r.end(), '#');
        ASSERT_NE(hash, r.end());
        EXPECT_TRUE(r[0] == 0 && r[1] == '$');
        EXPECT_TRUE(std::all_of(hash + 1, r.end(), [](std::uint8_t b) { return b == 0; }));
        const Kind kind = check(std::string(r.begin() + 2, hash)).kind;
        EXPECT_TRUE(kind == Kind::Reply || kind == Kind::LongReport);
    }
    if (c.scenario != Scenario::Flood) {
        EXPECT_LE(rec.busiest(1000), 960u);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EveryScenario, testing::ValuesIn([] {
                             std::vector<LineCase> cases;
                             for (const ScenarioName& s : kScenarioNames) {
                                 cases.push_back({s.scenario, 4, false});
                                 cases.push_back({s.scenario, 6, true});
                             }
                             return cases;
                         }()));

TEST(Flood, MoreThanAPollCanTakeForAWhileThenNormal) {
    UnitModel unit(config(Scenario::Flood, 6));
    Recorder rec(unit);
    rec.run(12000);
    EXPECT_LE(rec.busiest(100, 0, 1900), 100u);
    EXPECT_GT(rec.busiest(100, 2000, 6900), 100u);
    EXPECT_LE(rec.busiest(1000, 7100), 960u);
}

TEST(Determinism, SameSeedSameBytesOtherSeedOtherBytes) {
    const auto sent = [](std::uint64_t seed) {
        UnitModel unit(config(Scenario::NoisyLine, 6, 0, seed));
        Recorder rec(unit);
        script(rec);
        return std::pair{rec.serial, rec.usb};
    };
    EXPECT_EQ(sent(11), sent(11));
    EXPECT_NE(sent(11).first, sent(12).first);
}

} // namespace
} // namespace vorn::sim
