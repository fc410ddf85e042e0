#pragma once

#include "monitor/MonitorPanels.h"
#include "monitor/SettingsFile.h"
#include "protocol/MonitorEffects.h"
#include "protocol/MonitorSettings.h"
#include "protocol/TyreStateTable.h"

#include <QObject>
#include <QString>
#include <array>

namespace vorn {

// What a view of the monitor draws from and sends its clicks to: the
// monitor itself in the process that owns the unit, or its mirror over the
// owner's socket in one that attaches to it.
class MonitorModel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual const TyreStateTable& state() const = 0;
    // Each wheel's standing tyre warning of the analysis, in words; empty
    // when none stands. Never drawn on the screen: the tray and the tooltips
    // tell it.
    const std::array<QString, kShownWheels>& warnings() const { return warnings_; }
    void setWarning(int wheel, const QString& text) {
        if (wheel < 0 || wheel >= kShownWheels ||
            warnings_[static_cast<std::size_t>(wheel)] == text)
            return;
        warnings_[static_cast<std::size_t>(wheel)] = text;
        emit warningsChanged();
    }
    virtual const MonitorSettings& settings() const = 0;
    virtual const SettingsRecord& record() const = 0;
    virtual const SettingsText& settingsText() const = 0;
    virtual const MonitorPanels& panels() const = 0;
    virtual std::int32_t blinkPhase() const = 0;
    // The vehicle's wheels, 4 or 6.
    virtual int wheels() const = 0;
    // Which links are up, in words, for "About VORN" and the like.
    virtual QString linkDescription() const = 0;
    // The folder that holds setdata.txt and the COM links.
    virtual QString workDir() const = 0;

    // The window's commands; see MonitorCore.
    virtual void learn() = 0;
    virtual void testMode() = 0;
    virtual void sendWheelCommand(int wheel) = 0;
    virtual void toggleAutoTx() = 0;
    virtual void acknowledge() = 0;
    virtual void acknowledgeAlarm() = 0;
    virtual void setFrequency(const QString& text) = 0;
    virtual void stepFrequency(const QString& text, int stepIndex, bool up) = 0;
    virtual void sendRadioSettings(const QString& text, int rateIndex, int autotxIndex) = 0;
    virtual void autoCalibrate() = 0;
    virtual void factory() = 0;
    virtual void saveSettings(const SettingsRecord& record) = 0;
    virtual void setWheels(int wheels) = 0;
    // vorn.conf changed: the owner of the unit reads it again and rebuilds
    // its outputs (publishing, history, warnings, notifications).
    virtual void reloadPreferences() = 0;

signals:
    // For what keeps or forwards the readings; all are emitted on this
    // object's thread after the state table has changed. The alarm signals
    // follow the alarm as it stands after each refresh: a raise that the
    // same refresh takes back is never emitted, and an end only for an
    // alarm that was.
    void readingStored(int wheel, vorn::ReportLink link);
    void alarmWasRaised(int wheel, std::int32_t status);
    void alarmWasEnded(vorn::AlarmEnd how);
    void modeWasEntered(vorn::MonitorModeValue mode);
    // After every evaluation: the status words in state() are current.
    void refreshed();
    // A link was found or lost.
    void linksChanged();
    // A panel of panels() changed.
    void brandChanged();
    void calibrationChanged();
    void factoryChanged();
    void frequencyReported();
    void linkChanged();
    void autotxChanged();
    // A save changed the settings in use and the record.
    void settingsChanged();
    void wheelsChanged();
    // Asked for by reloadPreferences(), in the owner of the unit.
    void preferencesReloadWanted();
    void warningsChanged();

private:
    std::array<QString, kShownWheels> warnings_{};
};

} // namespace vorn
