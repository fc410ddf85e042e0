#include "app/InsightWiring.h"

#include "app/HistoryWiring.h"
#include "app/PublishWiring.h"
#include "app/TyreReport.h"
#include "history/HistoryStore.h"
#include "insight/InsightSettings.h"
#include "insight/LiveInsight.h"
#include "monitor/MonitorCore.h"
#include "notify/DesktopNotifier.h"

#include <QDateTime>

namespace vorn {

namespace {

using insight::LiveInsight;

// Tests only: a silence of this many seconds, so a run of the real program
// shows one without waiting minutes. Nobody else sets it.
constexpr const char* kTestSilentSeconds = "VORN_TEST_SILENT_SECONDS";

insight::InsightConfig configFrom(QSettings& userSettings) {
    insight::InsightConfig config = insight::loadInsightSettings(userSettings);
    bool ok = false;
    const double seconds = qEnvironmentVariable(kTestSilentSeconds).toDouble(&ok);
    if (ok && seconds > 0 && seconds < 24 * 3600)
        config.silentOverrideMs = static_cast<long long>(seconds * 1000);
    return config;
}

void warmUpFromHistory(LiveInsight& live, const QString& path) {
    live.warmUp(
        [path](insight::TyreInsight& analysis, insight::TimeMs now, const std::atomic<bool>& stop) {
            history::HistoryStore store;
            return store.open(path, history::OpenMode::ReadOnly).usable() &&
                   replayHistory(store, analysis, now, &stop);
        });
}

} // namespace

void showWarnings(MonitorModel& model, LiveInsight& live) {
    const auto sync = [&model, &live] {
        for (int w = 0; w < kShownWheels; ++w)
            model.setWarning(w, live.glance(w).warning ? live.standingText(w) : QString());
    };
    QObject::connect(&live, &LiveInsight::glanceChanged, &model, sync);
    QObject::connect(&live, &LiveInsight::warningChanged, &model, sync);
    QObject::connect(&model, &MonitorModel::refreshed, &live, sync);
    sync();
}

LiveInsight* installInsight(MonitorCore& core, QSettings& userSettings, QObject* publishing) {
    for (int w = 0; w < kShownWheels; ++w)
        core.setWarning(w, {}); // those of an analysis made before
    const insight::InsightConfig config = configFrom(userSettings);
    if (!config.enabled)
        return nullptr;
    auto* live = new LiveInsight(
        config, core.settings().LowPressureSet, [] { return QDateTime::currentMSecsSinceEpoch(); },
        &core);
    QObject::connect(&core, &MonitorCore::readingStored, live, [live, &core](int wheel) {
        if (wheel < 0 || wheel >= kWheelSlots)
            return;
        const auto w = static_cast<std::size_t>(wheel);
        live->reading(wheel, core.state().TyrePressure[w], core.state().TyreTemperature[w]);
    });
    QObject::connect(&core, &MonitorCore::settingsChanged, live,
                     [live, &core] { live->setLowThreshold(core.settings().LowPressureSet); });
    showWarnings(core, *live);
    if (auto* history = core.findChild<HistoryFeature*>()) {
        history->followInsight(*live);
        if (history->writer())
            warmUpFromHistory(*live, history->config().path);
    }
    if (auto* notifier = core.findChild<DesktopNotifier*>())
        notifier->followInsight(*live);
    if (publishing)
        publishInsight(*publishing, *live);
    return live;
}

} // namespace vorn
