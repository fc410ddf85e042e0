#pragma once

#include "app/CommandLine.h"
#include "app/HistoryWiring.h"
#include "insight/LiveInsight.h"
#include "notify/DesktopNotifier.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

namespace vorn {

class NoticeService;
class MonitorCore;

// What the monitor feeds beside its views, in the process that owns the
// unit: desktop notifications, the history, MQTT publishing and the tyre
// warnings, as the command line and vorn.conf say. reload() reads vorn.conf
// again and follows it at once; the monitor's preferencesReloadWanted()
// (Apply in the Preferences dialog, here or in an attached window) calls
// it. The command line still wins for the run. Goes before `core`.
class Outputs : public QObject {
    Q_OBJECT
public:
    Outputs(MonitorCore& core, const ProgramOptions& options, NoticeService& sessionBus);
    ~Outputs() override;

    void reload();
    HistoryFeature& history() { return *history_; }
    // The file the history is kept in; empty when none is kept.
    QString historyFile() const;

private:
    void followNotifications(bool wanted);
    // A broker named anew: the old connection says "offline" and goes
    // first, then the new one connects, so the retained state ends online.
    void followPublishing();
    void startPublishing();
    void installInsight();

    MonitorCore& core_;
    const ProgramOptions& options_;
    NoticeService& bus_;
    QPointer<DesktopNotifier> notifier_;     // a child of the core
    QPointer<HistoryFeature> history_;       // a child of the core
    QPointer<insight::LiveInsight> insight_; // a child of the core
    std::unique_ptr<QObject> publishing_;
    std::vector<std::unique_ptr<QObject>> closing_; // saying "offline"
    bool publishingStarted_ = false;                // made, or to be made once closing_ is empty
    QMap<QString, QString> published_;              // the [mqtt] values publishing_ was made from
    QByteArray password_;                           // and the password read then
};

} // namespace vorn
