#pragma once

#include "insight/TyreInsight.h"

#include <QObject>
#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace vorn::insight {

// What a live view shows of one wheel: rounded, so a repeat of the same
// reading compares equal.
struct WheelGlance {
    std::optional<double> coldPressurePsi; // to 0.01 psi
    std::optional<double> leakPsiPerDay;   // the 24-hour rate, to 0.01 psi a day
    std::optional<Warning> warning;        // the first of those that stand
    bool operator==(const WheelGlance&) const = default;
};

// "slow_leak", "rapid_loss" or "silent".
const char* warningName(Warning warning);

// The analysis fed live: each stored reading with its time, a poll for
// silences, and a warm-up from the history that runs on a thread of its own
// while live readings wait (bounded) for it. It says every warning that
// begins or ends, with its text for a person.
class LiveInsight : public QObject {
    Q_OBJECT
public:
    // Reads the history into the analysis up to `now`; false when it fails.
    // It gives up, returning false, soon after `stop` is set: the analysis
    // is being rebuilt or the program ends, and nobody waits for long.
    using Replay = std::function<bool(TyreInsight&, TimeMs now, const std::atomic<bool>& stop)>;
    static constexpr int kPollMs = 15'000;
    // Readings kept while the warm-up runs; later ones are dropped.
    static constexpr std::size_t kMaxWaiting = 20'000;

    LiveInsight(InsightConfig config, double lowThresholdPsi, std::function<TimeMs()> clock,
                QObject* parent = nullptr);
    ~LiveInsight() override; // waits for a warm-up under way

    void warmUp(Replay replay);
    // A report as the state table holds it; no-reading values are skipped.
    void reading(int wheel, std::int32_t pressure, std::int32_t temperature);
    void poll();
    void setLowThreshold(double psi);

    const WheelGlance& glance(int wheel) const;
    // The standing warning of `wheel` in words; empty when none stands.
    QString standingText(int wheel) const;
    bool warming() const { return warming_; }

signals:
    // `rate` is the 24-hour leak rate in psi a day when there is one (0 otherwise).
    void warningChanged(int wheel, vorn::insight::Warning warning, bool begun, const QString& text,
                        double rate);
    // A wheel's glance changed.
    void glanceChanged(int wheel);

private:
    struct Waiting {
        TimeMs time;
        int wheel;
        std::int32_t pressure, temperature;
    };
    std::unique_ptr<TyreInsight> make();
    void changed(const WarningChange& change);
    void warmedUp(std::unique_ptr<TyreInsight> analysis);
    void look(int wheel);

    InsightConfig config_;
    double lowThresholdPsi_;
    std::function<TimeMs()> clock_;
    std::unique_ptr<TyreInsight> analysis_;
    std::array<WheelGlance, kWheels> glances_{};
    std::vector<Waiting> waiting_;
    bool warming_ = false;
    // The warm analysis tells nothing until it is handed over.
    std::atomic<bool> live_{false};
    std::thread warmer_;
    std::atomic<bool> stopping_{false};
};

} // namespace vorn::insight
