#include "app/Outputs.h"

#include "app/HistoryCommand.h"
#include "app/HistoryWiring.h"
#include "app/InsightWiring.h"
#include "app/PublishWiring.h"
#include "monitor/MonitorCore.h"
#include "monitor/UserSettings.h"
#include "notify/DesktopNotifier.h"
#include "prefs/Preferences.h"
#include "publish/MqttSettings.h"

#include <QSysInfo>
#include <algorithm>

namespace vorn {

Outputs::Outputs(MonitorCore& core, const ProgramOptions& options, NoticeService& sessionBus)
    : core_(core), options_(options), bus_(sessionBus) {
    followNotifications(prefs::notificationsWanted(*openUserSettings()));
    history_ = installHistory(core_, options_);
    followPublishing();
    installInsight();
    connect(&core_, &MonitorCore::preferencesReloadWanted, this, &Outputs::reload);
}

Outputs::~Outputs() {
    delete insight_;
    publishing_.reset();
    closing_.clear();
    delete history_;
    delete notifier_;
}

void Outputs::reload() {
    followNotifications(prefs::notificationsWanted(*openUserSettings()));
    history_->reopen({historyPathFor(options_), historyRetentionFor(options_), {}});
    // The warnings are made anew after the history, whose file they read,
    // and follow whatever publishes now.
    delete insight_;
    followPublishing();
    installInsight();
}

// The notifier is made the first time it is wanted and never again: a
// session bus is reached once in a process.
void Outputs::followNotifications(bool wanted) {
    if (!options_.notify)
        return; // --no-notify: not even D-Bus
    if (wanted && !notifier_)
        notifier_ = new DesktopNotifier(core_, bus_); // owned by the monitor
    if (notifier_)
        notifier_->setEnabled(wanted);
}

void Outputs::followPublishing() {
    const auto user = openUserSettings();
    QMap<QString, QString> values = mqtt::sectionValues(*user);
    values.insert(options_.mqtt);
    const mqtt::LoadResult now =
        mqtt::loadSettings(*user, options_.mqtt, QSysInfo::machineHostName());
    const QByteArray password = now.settings ? now.settings->password : QByteArray();
    if (publishingStarted_ && values == published_ && password == password_)
        return;
    published_ = values;
    password_ = password;
    publishingStarted_ = true;
    if (publishing_) {
        QObject* old = publishing_.get();
        closing_.push_back(std::move(publishing_));
        closePublishing(*old, [this, old] {
            // It is telling of its end this very moment: it goes afterwards.
            const auto it = std::find_if(closing_.begin(), closing_.end(),
                                         [old](const auto& p) { return p.get() == old; });
            it->release()->deleteLater();
            closing_.erase(it);
            if (closing_.empty())
                startPublishing();
        });
    }
    if (closing_.empty())
        startPublishing();
}

void Outputs::startPublishing() {
    publishing_ = vorn::startPublishing(core_, options_, *openUserSettings());
    if (publishing_ && insight_)
        publishInsight(*publishing_, *insight_);
}

QString Outputs::historyFile() const {
    return history_ && history_->writer() ? history_->config().path : QString();
}

void Outputs::installInsight() {
    insight_ = vorn::installInsight(core_, *openUserSettings(), publishing_.get());
}

} // namespace vorn
