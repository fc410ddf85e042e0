// The tyre analysis on synthetic series: weeks of weather and driving,
// leaks, punctures, cold nights and silent sensors.
#include "insight/InsightSettings.h"
#include "insight/LiveInsight.h"
#include "insight/TyreInsight.h"
#include "insight/WarningText.h"
#include "tests/insight/Synthetic.h"
#include "tests/support/TestSupport.h"

#include <QSettings>
#include <QTest>
#include <functional>
#include <atomic>
#include <future>
#include <thread>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace vorn::insight {
namespace {

using test::kDayMs;
using test::kHourMs;
using test::kMinuteMs;

constexpr double kLowPsi = 26;

// Runs six wheels, one report each every `every` ms, and keeps every change.
struct Vehicle {
    Vehicle()
        : insight(std::make_unique<TyreInsight>(
              InsightConfig{}, kLowPsi, [this](const WarningChange& c) { changes.push_back(c); })) {
    }

    // `cold(wheel, t)` gives each tyre's air; a wheel with no value stays quiet.
    void drive(TimeMs from, TimeMs to, TimeMs every,
               const std::function<std::optional<double>(int, TimeMs)>& cold,
               const std::function<double(TimeMs)>& celsius = test::tyreCelsius) {
        for (TimeMs t = from; t < to; t += every) {
            for (int wheel = 0; wheel < 6; ++wheel) {
                if (const auto c = cold(wheel, t)) {
                    const auto [p, temp] = test::rawReading(*c, celsius(t));
                    if (p < 2 * kLowPsi && !alarmAt[wheel])
                        alarmAt[wheel] = t;
                    insight->add(t, wheel, p, temp);
                }
            }
            if (t % (10'000) == 0)
                insight->poll(t);
            if (onStep)
                onStep(t);
        }
    }
    std::vector<WarningChange> of(int wheel) const {
        std::vector<WarningChange> found;
        for (const WarningChange& c : changes)
            if (c.wheel == wheel)
                found.push_back(c);
        return found;
    }

    std::unique_ptr<TyreInsight> insight;
    std::vector<WarningChange> changes;
    std::array<std::optional<TimeMs>, 6> alarmAt{};
    std::function<void(TimeMs)> onStep;
};

TEST(ColdPressure, TheSameAirReadsTheSameAt20Degrees) {
    const struct {
        double gauge, celsius, cold;
    } cases[] = {{32, 20, 32}, {33.59, 30, 32}, {35.19, 40, 32}, {29.61, 5, 32}, {0, 20, 0}};
    for (const auto& c : cases)
        EXPECT_NEAR(coldPressurePsi(c.gauge, c.celsius), c.cold, 0.01) << c.gauge;
    // Dashes on the screen are no reading here either.
    for (const auto& [p, t] : {std::pair{511, 65}, {400, 65}, {64, 199}, {64, 255}, {-2, 65}})
        EXPECT_FALSE(coldPressureOfRaw(p, t)) << p << " " << t;
}

// Thirty days of weather and driving, one report a minute. Wheels 2 and 4
// leak from day 10; wheel 4 is refilled and mended on day 12.
TEST(SlowLeak, WarnedEarlyAndOnlyForTyresLosingAir) {
    const struct {
        double cold;
        double leak; // psi a day
        TimeMs from;
        double warnWithinHours; // 0: never warned
    } wheels[6] = {{32, 0, 0, 0},
                   {33, 0, 0, 0},
                   {34, 1, 10 * kDayMs + 13 * kHourMs, 24},
                   {35, 0, 0, 0},
                   {34.5, 2, 10 * kDayMs + 2 * kHourMs, 12},
                   {33.5, 0, 0, 0}};
    constexpr TimeMs kRefill = 12 * kDayMs + 18 * kHourMs;
    const auto cold = [&](int w, TimeMs t) -> std::optional<double> {
        const auto& c = wheels[w];
        return w == 4 && t >= kRefill ? c.cold : test::leaking(c.cold, c.leak, c.from, t);
    };
    Vehicle run;
    std::array<std::optional<WheelState>, 6> dayAfter;  // 36 h after the leak began
    std::array<std::optional<WheelState>, 6> weekAfter; // 8 days after
    run.onStep = [&](TimeMs t) {
        for (int w : {2, 4}) {
            if (t == wheels[w].from + 36 * kHourMs)
                dayAfter[w] = run.insight->wheel(w);
            if (t == wheels[w].from + 8 * kDayMs)
                weekAfter[w] = run.insight->wheel(w);
        }
    };
    run.drive(0, 30 * kDayMs, kMinuteMs, cold);

    for (int w = 0; w < 6; ++w) {
        SCOPED_TRACE(w);
        const auto& c = wheels[w];
        const std::vector<WarningChange> changes = run.of(w);
        if (c.warnWithinHours == 0) {
            EXPECT_TRUE(changes.empty()) << "warned at day " << changes[0].time / kDayMs;
            const WheelState end = run.insight->wheel(w);
            ASSERT_TRUE(end.rate7d);
            EXPECT_NEAR(end.rate7d->psiPerDay, 0, 0.1);
            continue;
        }
        ASSERT_FALSE(changes.empty());
        EXPECT_EQ(changes[0].warning, Warning::SlowLeak);
        EXPECT_TRUE(changes[0].begun);
        EXPECT_LE(changes[0].time - c.from, c.warnWithinHours * kHourMs);
        ASSERT_TRUE(dayAfter[w] && dayAfter[w]->rate24h && dayAfter[w]->lowThresholdAt);
        EXPECT_NEAR(dayAfter[w]->rate24h->psiPerDay, -c.leak, 0.25 * c.leak);
        // When the air would reach the low threshold, at the rate it really leaks.
        const double reachesIn = (c.cold - kLowPsi) / c.leak * kDayMs - 36 * kHourMs;
        EXPECT_NEAR(static_cast<double>(*dayAfter[w]->lowThresholdAt - dayAfter[w]->lastReport),
                    reachesIn, 0.25 * reachesIn);
    }
    // One psi a day: warned days before the first cold morning raises the alarm.
    ASSERT_TRUE(run.alarmAt[2]);
    EXPECT_GE(*run.alarmAt[2] - run.of(2)[0].time, 4 * kDayMs);
    ASSERT_TRUE(weekAfter[2] && weekAfter[2]->rate7d);
    EXPECT_NEAR(weekAfter[2]->rate7d->psiPerDay, -1, 0.25);
    // The refill ends wheel 4's warning at once, for good.
    const std::vector<WarningChange> refilled = run.of(4);
    ASSERT_EQ(refilled.size(), 2u);
    EXPECT_FALSE(refilled[1].begun);
    EXPECT_EQ(refilled[1].time, kRefill);
}

// Minutes around a sudden event, a report every 30 s; an hour of quiet
// driving before it.
TEST(SuddenChange, APunctureIsWarnedAtOnceAColdNightNever) {
    constexpr TimeMs kAt = kHourMs;
    const auto mild = [](TimeMs) { return 20.0; };
    const struct {
        const char* what;
        std::function<std::optional<double>(int, TimeMs)> cold;
        std::function<double(TimeMs)> celsius;
        int wheel; // -1: no warning at all
        TimeMs within;
        TimeMs refill; // 0: none
    } cases[] = {
        {"3 psi a minute, refilled after 30 minutes",
         [](int w, TimeMs t) {
             return w == 1 && t < kAt + 30 * kMinuteMs ? test::leaking(33, 3 * 24 * 60, kAt, t)
                                                       : 33.0;
         },
         mild, 1, 2 * kMinuteMs, kAt + 30 * kMinuteMs},
        {"15 degrees colder within 5 minutes, no air lost", [](int, TimeMs) { return 33.0; },
         [](TimeMs t) {
             return 25.0 -
                    15.0 * std::clamp(static_cast<double>(t - kAt) / (5 * kMinuteMs), 0.0, 1.0);
         },
         -1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Vehicle run;
        run.drive(0, kAt + 3 * kHourMs, 30'000, c.cold, c.celsius);
        if (c.wheel < 0) {
            EXPECT_TRUE(run.changes.empty());
            // The case bites: the raw pressure fell by more than the rapid-loss setting.
            EXPECT_LE(test::rawReading(33, c.celsius(kAt + kHourMs)).first,
                      test::rawReading(33, c.celsius(0)).first - 2 * 2);
            continue;
        }
        ASSERT_EQ(run.changes.size(), 2u);
        EXPECT_EQ(run.changes[0].wheel, c.wheel);
        EXPECT_EQ(run.changes[0].warning, Warning::RapidLoss);
        EXPECT_LE(run.changes[0].time - kAt, c.within);
        EXPECT_FALSE(run.changes[1].begun);
        EXPECT_EQ(run.changes[1].time, c.refill);
    }
}

TEST(SilentSensor, WarnedWhileOthersReportNeverWhenAllFallQuiet) {
    constexpr TimeMs kStop = 2 * kHourMs;
    const struct {
        const char* what;
        std::function<bool(int, TimeMs)> reports;
        std::vector<std::pair<bool, TimeMs>> changes; // of wheel 3: begun, at most this time
    } cases[] = {
        {"wheel 3 stops",
         [](int w, TimeMs t) { return w != 3 || t < kStop; },
         {{true, kStop + 21 * kMinuteMs}}},
        {"every wheel stops", [](int, TimeMs t) { return t < kStop; }, {}},
        {"the others stop 10 minutes later",
         [](int w, TimeMs t) { return t < kStop + (w == 3 ? 0 : 10 * kMinuteMs); },
         {}},
        {"wheel 3 comes back after 40 minutes",
         [](int w, TimeMs t) { return w != 3 || t < kStop || t >= kStop + 40 * kMinuteMs; },
         {{true, kStop + 21 * kMinuteMs}, {false, kStop + 40 * kMinuteMs}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Vehicle run;
        run.drive(0, kStop + 5 * kHourMs, 30'000, [&](int w, TimeMs t) {
            return c.reports(w, t) ? std::optional(33.0) : std::nullopt;
        });
        ASSERT_EQ(run.changes.size(), c.changes.size());
        for (std::size_t i = 0; i < c.changes.size(); ++i) {
            EXPECT_EQ(run.changes[i].wheel, 3);
            EXPECT_EQ(run.changes[i].warning, Warning::Silent);
            EXPECT_EQ(run.changes[i].begun, c.changes[i].first);
            EXPECT_LE(run.changes[i].time, c.changes[i].second);
        }
    }
}

// The warm-up runs off this thread: what stood at the end of the history is
// said once, when it is handed over, and a reading that came meanwhile counts.
TEST(LiveInsight, AWarmUpSaysWhatStoodInTheHistoryOnceAndKeepsTheReadingsOfMeanwhile) {
    const TimeMs now = 10 * kHourMs;
    LiveInsight live({}, 26, [now] { return now; });
    std::vector<std::pair<int, bool>> silences;
    QObject::connect(&live, &LiveInsight::warningChanged,
                     [&](int wheel, Warning w, bool begun, const QString& text, double) {
                         EXPECT_EQ(w, Warning::Silent);
                         EXPECT_EQ(text, begun ? "Wheel 1: no report for 30 minutes" : "");
                         silences.emplace_back(wheel, begun);
                     });
    std::promise<void> gate;
    live.warmUp([&gate](TyreInsight& analysis, TimeMs at, const std::atomic<bool>&) {
        // Wheel 1 stopped half an hour before the end; wheel 0 reported on.
        for (TimeMs t = at - kHourMs; t <= at; t += 30'000) {
            analysis.add(t, 0, 66, 60);
            if (t <= at - 30 * kMinuteMs)
                analysis.add(t, 1, 66, 60);
        }
        gate.get_future().wait();
        return true;
    });
    ASSERT_TRUE(live.warming());
    live.reading(2, 66, 60); // 33 psi at 20 °C
    gate.set_value();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !live.warming(); }, 10000));
    EXPECT_EQ(silences, (std::vector<std::pair<int, bool>>{{1, true}}));
    EXPECT_EQ(live.glance(2).coldPressurePsi, 33.0);
    EXPECT_EQ(live.glance(1).warning, Warning::Silent);
    live.reading(1, 66, 60);
    EXPECT_EQ(silences.back(), std::pair(1, false));
    EXPECT_FALSE(live.glance(1).warning);
}

// Rebuilt by Apply or ended with the program, the analysis stops a long
// warm-up instead of waiting for it.
TEST(LiveInsight, EndingDuringAWarmUpStopsIt) {
    std::atomic<bool> sawStop{false};
    {
        LiveInsight live({}, 26, [] { return 10 * kHourMs; });
        std::promise<void> started;
        live.warmUp([&](TyreInsight&, TimeMs, const std::atomic<bool>& stop) {
            started.set_value();
            // A long history, read until told to stop; bounded, so a stop
            // that never comes fails the test instead of hanging it.
            for (int i = 0; i < 30'000 && !stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sawStop = stop.load();
            return false;
        });
        started.get_future().wait();
    }
    EXPECT_TRUE(sawStop);
}

TEST(LeakRate, GivenOnlyFromTwentyReadingsOverTwoHours) {
    const struct {
        int readings;
        TimeMs every;
        std::int32_t temperature;
        bool rate;
    } cases[] = {{19, 10 * kMinuteMs, 60, false},
                 {20, 6 * kMinuteMs + 15'000, 60, false}, // 1 h 58 min 45 s
                 {20, 7 * kMinuteMs, 60, true},           // 2 h 13 min
                 {40, 5 * kMinuteMs, 255, false}};        // no temperature: no cold pressure
    for (const auto& c : cases) {
        SCOPED_TRACE(c.readings);
        TyreInsight insight({}, kLowPsi);
        for (int i = 0; i < c.readings; ++i)
            insight.add(i * c.every, 0, 64 - i / 10, c.temperature);
        insight.refit();
        const WheelState s = insight.wheel(0);
        EXPECT_TRUE(s.reported);
        EXPECT_EQ(s.rate24h.has_value(), c.rate);
        EXPECT_EQ(s.rate7d.has_value(), c.rate);
        EXPECT_FALSE(insight.wheel(1).reported);
    }
}

TEST(WarningText, NamesTheWheelTheRateAndTheTimeLeft) {
    const TimeMs now = 100 * kDayMs;
    WheelState leak;
    leak.lastReport = now;
    leak.rate24h = LeakRate{-1.1, -1.2, -1.0, 500, kDayMs};
    leak.coldPressurePsi = 31.5;
    WheelState below = leak;
    leak.lowThresholdAt = now + 5 * kDayMs + 3 * kHourMs;
    below.lowThresholdAt = now;
    WheelState rapid = leak;
    rapid.rapidLossFromPsi = 36;
    WheelState silent;
    silent.lastReport = now - 20 * kMinuteMs - 5000;
    const struct {
        int wheel;
        const WheelState& state;
        Warning warning;
        const char* text;
    } cases[] = {
        {3, leak, Warning::SlowLeak,
         "Wheel 3: losing 1.1 psi a day; reaches 26 psi in about 5 days"},
        {0, below, Warning::SlowLeak, "Wheel 0: losing 1.1 psi a day; below 26 psi already"},
        {1, rapid, Warning::RapidLoss, "Wheel 1: lost 4.5 psi within minutes"},
        {2, silent, Warning::Silent, "Wheel 2: no report for 20 minutes"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(warningText(c.wheel, c.state, c.warning, now, kLowPsi), c.text);
}

TEST(InsightSettings, BadValuesAreNamedAndTheDefaultsUsed) {
    const test::WorkDir dir;
    const struct {
        const char* file;
        InsightConfig config;
        QStringList named;
    } cases[] = {
        {"", {}, {}},
        {"[insight]\nenabled=off\nslow_leak_psi_per_day=0.8\nrapid_loss_psi=3\nsilent_minutes=5\n",
         {false, 0.8, 3, 5},
         {}},
        {"[insight]\nenabled=maybe\nslow_leak_psi_per_day=0,5\nrapid_loss_psi=nan\n"
         "silent_minutes=0\n",
         {},
         {"enabled: 'maybe'", "slow_leak_psi_per_day: '0,5'", "rapid_loss_psi: 'nan'",
          "silent_minutes: '0'"}},
        {"[insight]\nslow_leak_psi_per_day=-1\nsilent_minutes=20.5\n",
         {},
         {"slow_leak_psi_per_day: '-1'", "silent_minutes: '20.5'"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        dir.write("vorn.conf", c.file);
        QSettings file(dir.file("vorn.conf"), QSettings::IniFormat);
        const InsightSettings s = readInsightSettings(file);
        EXPECT_EQ(s.config.enabled, c.config.enabled);
        EXPECT_EQ(s.config.slowLeakPsiPerDay, c.config.slowLeakPsiPerDay);
        EXPECT_EQ(s.config.rapidLossPsi, c.config.rapidLossPsi);
        EXPECT_EQ(s.config.silentMinutes, c.config.silentMinutes);
        ASSERT_EQ(s.problems.size(), c.named.size()) << s.problems.join('\n').toStdString();
        for (qsizetype i = 0; i < c.named.size(); ++i)
            EXPECT_TRUE(s.problems[i].startsWith(c.named[i]) && s.problems[i].contains("using"))
                << s.problems[i].toStdString();
    }
}

} // namespace
} // namespace vorn::insight
