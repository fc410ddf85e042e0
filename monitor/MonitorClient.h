#pragma once

#include "link/TonePlayer.h"
#include "monitor/LineReader.h"
#include "monitor/MessageSink.h"
#include "monitor/MonitorModel.h"
#include "monitor/MonitorProtocol.h"

#include <QJsonObject>

namespace vorn {

class LocalSocket;

// The monitor of another process, mirrored over the owner's socket: the
// state as the owner tells it, and every command sent to the owner. It
// plays the owner's tones while attached.
class MonitorClient : public MonitorModel {
    Q_OBJECT
public:
    MonitorClient(MessageSink& messages, ToneSink& tones, QObject* parent = nullptr);
    ~MonitorClient() override;

    // Connects and takes the whole state, waiting at most `ms`; false when
    // no owner answers.
    bool attach(const QString& socketPath, int ms = 3000);
    // Connects without waiting; the state follows through the event loop,
    // and hasState() tells when it is whole.
    bool connectTo(const QString& socketPath);
    bool hasState() const { return settingsSeen_; }
    bool connected() const;

    const TyreStateTable& state() const override { return state_; }
    const MonitorSettings& settings() const override { return settings_; }
    const SettingsRecord& record() const override { return record_; }
    const SettingsText& settingsText() const override { return settingsText_; }
    const MonitorPanels& panels() const override { return panels_; }
    std::int32_t blinkPhase() const override { return blink_; }
    int wheels() const override { return settings_.AlarmWheels; }
    QString linkDescription() const override { return links_; }
    QString workDir() const override { return folder_; }
    // The owner's history file; empty when it keeps none.
    QString historyFile() const { return historyFile_; }
    // When `wheel` last reported, as the owner told and reports since.
    std::optional<qint64> lastReport(int wheel) const {
        return wheel >= 0 && wheel < kShownWheels ? lastReports_[static_cast<std::size_t>(wheel)]
                                                  : std::nullopt;
    }

    void learn() override { send({{"type", "learn"}}); }
    void testMode() override { send({{"type", "test"}}); }
    void sendWheelCommand(int wheel) override { send({{"type", "wheel"}, {"wheel", wheel}}); }
    void toggleAutoTx() override { send({{"type", "autotx"}}); }
    void acknowledge() override { send({{"type", "brand"}}); }
    void acknowledgeAlarm() override { send({{"type", "acknowledge"}}); }
    void setFrequency(const QString& text) override;
    void stepFrequency(const QString& text, int stepIndex, bool up) override;
    void sendRadioSettings(const QString& text, int rateIndex, int autotxIndex) override;
    void autoCalibrate() override { send({{"type", "calibrate"}}); }
    void factory() override { send({{"type", "factory"}}); }
    void saveSettings(const SettingsRecord& record) override;
    void setWheels(int wheels) override { send({{"type", "setWheels"}, {"wheels", wheels}}); }
    void reloadPreferences() override { send({{"type", "reloadPreferences"}}); }

signals:
    // The owner ended or let this client go.
    void ownerGone();

private:
    void send(const QJsonObject& message);
    void readLines();
    void take(const QJsonObject& message);
    void takeTable(const QJsonObject& message);
    void takePanels(const QJsonObject& message);
    void takeSettings(const QJsonObject& message);

    MessageSink& messages_;
    ToneSink& tones_;
    LocalSocket* socket_ = nullptr; // owned through its parent, this
    LineReader reader_;
    bool settingsSeen_ = false;
    TyreStateTable state_;
    MonitorSettings settings_;
    SettingsRecord record_;
    SettingsText settingsText_;
    MonitorPanels panels_;
    std::int32_t blink_ = 0;
    QString links_;
    QString folder_;
    QString historyFile_;
    wire::LastReports lastReports_{};
};

} // namespace vorn
