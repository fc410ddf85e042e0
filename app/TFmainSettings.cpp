// The settings file and the settings panel laid over the screen.
#include "app/TFmain.h"
#include "protocol/TemperatureUnits.h"

#include <array>
#include <functional>

namespace vorn {

void TFmain::LoadSettings() {
    settingsText_ = loadSettingsFile(settingsPath_);
    Memo1->setPlainText(settingsText_.plainText());
    // Where each of lines 1 to 8 goes; the controls clamp what does not fit.
    const std::array<std::function<void(std::int32_t)>, kSettingsLines> apply{
        [this](std::int32_t v) { settings_.LowPressureSet = v; },
        [this](std::int32_t v) { settings_.HighPressureSet = v; },
        [this](std::int32_t v) { settings_.HighTempSet = v; },
        [this](std::int32_t v) { RadioGroup1->setItemIndex(v); },
        [this](std::int32_t v) { RadioGroup2->setItemIndex(v); },
        [this](std::int32_t v) { RadioGroup3->setItemIndex(v); },
        [this](std::int32_t v) { ComboBox2->setItemIndex(v); },
        [this](std::int32_t v) { RadioGroup4->setItemIndex(v); },
    };
    // Each line takes effect before the next is converted.
    for (int line = 0; line < kSettingsLines; ++line) {
        try {
            apply[static_cast<std::size_t>(line)](parseSettingInteger(settingsText_.line(line)));
        } catch (const std::runtime_error& e) {
            throw SettingsLineError(e, settingsPath_, line + 1);
        }
    }
}

void TFmain::TakeUnits() {
    settings_.PressureUnitIndex = RadioGroup1->itemIndex();
    settings_.TemperatureUnitIndex = RadioGroup2->itemIndex();
    SetUnitCaptions();
}

void TFmain::SetUnitCaptions() {
    const QString pressure = pressureUnitCaption(RadioGroup1->itemIndex());
    for (Panel* p : {Panel1, Panel3, Panel5, Panel7, Panel12, Panel14})
        p->setCaption(pressure);
    const QString temperature = temperatureUnitCaption(RadioGroup2->itemIndex());
    for (Panel* p : {Panel2, Panel4, Panel6, Panel8, Panel13, Panel15})
        p->setCaption(temperature);
}

// The temperature threshold is stepped and stored in degrees Celsius and
// shown in the unit the digits are in.
QString TFmain::PendingText(PendingValue which, std::int32_t value) const {
    if (which == PendingValue::HighTemp)
        value = TemperatureInUnit(value, TemperatureUnitOf(settings_.TemperatureUnitIndex));
    return QString::number(value);
}

void TFmain::BitBtn1Click() {
    pending_ = {settings_.LowPressureSet, settings_.HighPressureSet, settings_.HighTempSet};
    Edit1->setText(PendingText(PendingValue::LowPressure, pending_.LowPressureEdit));
    Edit2->setText(PendingText(PendingValue::HighPressure, pending_.HighPressureEdit));
    Edit3->setText(PendingText(PendingValue::HighTemp, pending_.HighTempEdit));
    Panel10->setGeometry(Image1->geometry());
    Panel10->show();
    Panel10->raise();
}

void TFmain::AdjustPending(PendingValue which, int delta) {
    const struct {
        std::int32_t* value;
        QLineEdit* edit;
    } column[] = {
        {&pending_.LowPressureEdit, Edit1},
        {&pending_.HighPressureEdit, Edit2},
        {&pending_.HighTempEdit, Edit3},
    };
    const auto& c = column[static_cast<int>(which)];
    *c.value = stepPending(*c.value, delta, stepRange(which));
    c.edit->setText(PendingText(which, *c.value));
}

void TFmain::Button1Click() {
    settings_.LowPressureSet = pending_.LowPressureEdit;
    settings_.HighPressureSet = pending_.HighPressureEdit;
    settings_.HighTempSet = pending_.HighTempEdit;
    const std::int32_t lines[kSettingsLines] = {
        settings_.LowPressureSet, settings_.HighPressureSet, settings_.HighTempSet,
        RadioGroup1->itemIndex(), RadioGroup2->itemIndex(),  RadioGroup3->itemIndex(),
        ComboBox2->itemIndex(),   RadioGroup4->itemIndex(),
    };
    for (int i = 0; i < kSettingsLines; ++i)
        settingsText_.replaceLine(i, QString::number(lines[i]));
    Memo1->setPlainText(settingsText_.plainText());
    saveSettingsFile(settingsPath_, settingsText_); // throws; the panel stays open
    TakeUnits();
    Panel10->hide();
}

void TFmain::Button2Click() {
    Panel10->hide();
}

} // namespace vorn
