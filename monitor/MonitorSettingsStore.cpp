// The settings in use: setdata.txt, which other tools and older versions
// read, and the vehicle's wheels in the program's own per-user settings.
#include "monitor/MonitorCore.h"
#include "monitor/UserSettings.h"

namespace vorn {

namespace {
const QString kWheelsKey = QStringLiteral("vehicle/wheels");
// Where the window kept the six-wheel choice before it became the vehicle's.
const QString kOldSixWheelsKey = QStringLiteral("view/sixWheels");
constexpr int kUnitWheels = 4;
constexpr int kMostWheels = 6;
} // namespace

void MonitorCore::saveSettings(const SettingsRecord& record) {
    settings_.LowPressureSet = record.LowPressureSet;
    settings_.HighPressureSet = record.HighPressureSet;
    settings_.HighTempSet = record.HighTempSet;
    writeSettingsRecord(settingsText_, record);
    saveSettingsFile(settingsPath_, settingsText_); // throws; the thresholds stay taken over
    record_ = record;
    TakeUnits();
    emit settingsChanged();
}

// 4 or 6; an old six-wheel view is moved over once, anything else is 4.
void MonitorCore::loadWheels() {
    const auto user = openUserSettings();
    if (!user->contains(kWheelsKey) && user->contains(kOldSixWheelsKey)) {
        user->setValue(kWheelsKey,
                       user->value(kOldSixWheelsKey).toBool() ? kMostWheels : kUnitWheels);
        user->remove(kOldSixWheelsKey);
    }
    const QString text = user->value(kWheelsKey, kUnitWheels).toString();
    settings_.AlarmWheels = text == QString::number(kMostWheels) ? kMostWheels : kUnitWheels;
    if (text != QString::number(settings_.AlarmWheels))
        services_.messages->note(
            QStringLiteral("vorn: %1: [vehicle] wheels=%2 is neither 4 nor 6; taking 4")
                .arg(user->fileName(), text));
}

void MonitorCore::setWheels(int wheels) {
    if ((wheels != kUnitWheels && wheels != kMostWheels) || wheels == settings_.AlarmWheels)
        return;
    settings_.AlarmWheels = wheels;
    openUserSettings()->setValue(kWheelsKey, wheels);
    emit wheelsChanged();
}

} // namespace vorn
