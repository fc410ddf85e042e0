#include "insight/LiveInsight.h"

#include "insight/WarningText.h"
#include "protocol/HandedOver.h"

#include <QTimer>
#include <cmath>

namespace vorn::insight {

namespace {

std::optional<double> hundredths(std::optional<double> value) {
    if (!value)
        return std::nullopt;
    return std::round(*value * 100) / 100;
}

} // namespace

const char* warningName(Warning warning) {
    switch (warning) {
    case Warning::SlowLeak:
        return "slow_leak";
    case Warning::RapidLoss:
        return "rapid_loss";
    case Warning::Silent:
        return "silent";
    }
    return "";
}

LiveInsight::LiveInsight(InsightConfig config, double lowThresholdPsi,
                         std::function<TimeMs()> clock, QObject* parent)
    : QObject(parent), config_(config), lowThresholdPsi_(lowThresholdPsi),
      clock_(std::move(clock)) {
    analysis_ = make();
    live_ = true;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &LiveInsight::poll);
    timer->start(kPollMs);
}

LiveInsight::~LiveInsight() {
    stopping_ = true;
    if (warmer_.joinable())
        warmer_.join();
}

std::unique_ptr<TyreInsight> LiveInsight::make() {
    // The callback may run on the warm-up's thread, where it only reads live_.
    return std::make_unique<TyreInsight>(config_, lowThresholdPsi_, [this](const WarningChange& c) {
        if (live_)
            changed(c);
    });
}

void LiveInsight::warmUp(Replay replay) {
    if (warming_ || warmer_.joinable())
        return;
    warming_ = true;
    live_ = false;
    const TimeMs now = clock_();
    // Made here, so the thread touches nothing of this object but live_.
    std::shared_ptr<TyreInsight> analysis = make();
    warmer_ = std::thread([this, replay = std::move(replay), now, analysis]() mutable {
        if (!replay(*analysis, now, stopping_))
            analysis.reset(); // a history that cannot be read: start cold
        QMetaObject::invokeMethod(
            this, handedOver([this, analysis] {
                warmer_.join();
                warmedUp(analysis ? std::make_unique<TyreInsight>(std::move(*analysis)) : make());
            }),
            Qt::QueuedConnection);
    });
}

void LiveInsight::warmedUp(std::unique_ptr<TyreInsight> analysis) {
    analysis_ = std::move(analysis);
    analysis_->setLowThreshold(lowThresholdPsi_); // a save may have changed it meanwhile
    analysis_->refit();
    live_ = true;
    warming_ = false;
    // What stood at the end of the history stands now; it is said once.
    for (int wheel = 0; wheel < kWheels; ++wheel) {
        const WheelState s = analysis_->wheel(wheel, false);
        for (const Warning w : {Warning::RapidLoss, Warning::SlowLeak, Warning::Silent}) {
            const bool standing = w == Warning::RapidLoss  ? s.rapidLoss
                                  : w == Warning::SlowLeak ? s.slowLeak
                                                           : s.silent;
            if (standing)
                changed({wheel, w, true, s.lastReport});
        }
    }
    for (const Waiting& r : waiting_)
        analysis_->add(r.time, r.wheel, r.pressure, r.temperature);
    waiting_.clear();
    waiting_.shrink_to_fit();
    for (int wheel = 0; wheel < kWheels; ++wheel)
        look(wheel);
}

void LiveInsight::reading(int wheel, std::int32_t pressure, std::int32_t temperature) {
    if (wheel < 0 || wheel >= kWheels || !coldPressureOfRaw(pressure, temperature))
        return;
    const TimeMs now = clock_();
    if (warming_) {
        if (waiting_.size() < kMaxWaiting)
            waiting_.push_back({now, wheel, pressure, temperature});
        return;
    }
    analysis_->add(now, wheel, pressure, temperature);
    look(wheel);
}

void LiveInsight::poll() {
    if (!warming_)
        analysis_->poll(clock_());
}

void LiveInsight::setLowThreshold(double psi) {
    lowThresholdPsi_ = psi;
    if (!warming_)
        analysis_->setLowThreshold(psi);
}

void LiveInsight::look(int wheel) {
    const WheelState s = analysis_->wheel(wheel, false);
    WheelGlance g{hundredths(s.coldPressurePsi),
                  hundredths(s.rate24h ? std::optional(s.rate24h->psiPerDay) : std::nullopt),
                  s.firstWarning()};
    auto& kept = glances_[static_cast<std::size_t>(wheel)];
    if (g == kept)
        return;
    kept = g;
    emit glanceChanged(wheel);
}

void LiveInsight::changed(const WarningChange& c) {
    const WheelState s = analysis_->wheel(c.wheel, false);
    const QString text =
        c.begun
            ? QString::fromStdString(warningText(c.wheel, s, c.warning, clock_(), lowThresholdPsi_))
            : QString();
    emit warningChanged(c.wheel, c.warning, c.begun, text, s.rate24h ? s.rate24h->psiPerDay : 0);
    look(c.wheel);
}

const WheelGlance& LiveInsight::glance(int wheel) const {
    static const WheelGlance none;
    if (wheel < 0 || wheel >= kWheels)
        return none;
    return glances_[static_cast<std::size_t>(wheel)];
}

QString LiveInsight::standingText(int wheel) const {
    if (warming_ || wheel < 0 || wheel >= kWheels)
        return {};
    const WheelState s = analysis_->wheel(wheel, false);
    const auto first = s.firstWarning();
    if (!first)
        return {};
    return QString::fromStdString(warningText(wheel, s, *first, clock_(), lowThresholdPsi_));
}

} // namespace vorn::insight
