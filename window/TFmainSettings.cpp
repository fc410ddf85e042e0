// The settings panel laid over the screen, and the captions and choices it
// shows of the monitor's settings.
#include "protocol/TemperatureUnits.h"
#include "window/TFmain.h"

namespace vorn {

// The choices and captions as the monitor holds them; changes made on the
// panel and not saved are given up.
void TFmain::ShowSettings() {
    const SettingsRecord& r = core_.record();
    RadioGroup1->setItemIndex(r.PressureUnit);
    RadioGroup2->setItemIndex(r.TemperatureUnit);
    RadioGroup3->setItemIndex(r.Port);
    ComboBox2->setItemIndex(r.DataRate);
    RadioGroup4->setItemIndex(r.AutoTx);
    Memo1->setPlainText(core_.settingsText().plainText());
    for (Panel* p : {Panel1, Panel3, Panel5, Panel7, Panel12, Panel14})
        p->setCaption(core_.panels().pressureCaption);
    for (Panel* p : {Panel2, Panel4, Panel6, Panel8, Panel13, Panel15})
        p->setCaption(core_.panels().temperatureCaption);
}

// The temperature threshold is stepped and stored in degrees Celsius and
// shown in the unit the digits are in.
QString TFmain::PendingText(PendingValue which, std::int32_t value) const {
    if (which == PendingValue::HighTemp)
        value = TemperatureInUnit(value, TemperatureUnitOf(core_.settings().TemperatureUnitIndex));
    return QString::number(value);
}

void TFmain::BitBtn1Click() {
    const MonitorSettings& s = core_.settings();
    pending_ = {s.LowPressureSet, s.HighPressureSet, s.HighTempSet};
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

// A save that fails throws: the panel stays open and keeps what was chosen.
void TFmain::Button1Click() {
    core_.saveSettings({pending_.LowPressureEdit, pending_.HighPressureEdit, pending_.HighTempEdit,
                        RadioGroup1->itemIndex(), RadioGroup2->itemIndex(),
                        RadioGroup3->itemIndex(), ComboBox2->itemIndex(),
                        RadioGroup4->itemIndex()});
    Panel10->hide();
}

} // namespace vorn
