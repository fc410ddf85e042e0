#pragma once

#include "display/Canvas.h"
#include "display/MonitorScreen.h"
#include "monitor/MessageSink.h"
#include "monitor/MonitorModel.h"
#include "window/Controls.h"
#include "window/PendingThresholds.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace vorn {

class PreferencesDialog;

// The main window, a view of the monitor: the drawn monitor screen, its
// panels and the settings panel laid over it. It draws what the monitor
// holds and turns each control event, one handler named after the control,
// into a call of the monitor.
class TFmain : public QWidget {
    Q_OBJECT
public:
    // `messages` shows what a handler throws; the window carries on.
    TFmain(MonitorModel& core, MessageSink& messages, QWidget* parent = nullptr);

    // Window events.
    void FormShow();
    void FormPaint();
    // The drawing of each Timer1 tick, from the state the monitor has just
    // evaluated.
    void RefreshDisplay();

    // Settings panel.
    void BitBtn1Click();
    void BitBtn2Click() { AdjustPending(PendingValue::LowPressure, +1); }
    void BitBtn3Click() { AdjustPending(PendingValue::LowPressure, -1); }
    void BitBtn4Click() { AdjustPending(PendingValue::HighPressure, +1); }
    void BitBtn5Click() { AdjustPending(PendingValue::HighPressure, -1); }
    void BitBtn6Click() { AdjustPending(PendingValue::HighTemp, +1); }
    void BitBtn7Click() { AdjustPending(PendingValue::HighTemp, -1); }
    void Button1Click();
    void Button2Click() { Panel10->hide(); }

    // Commands to the unit.
    void Button3Click();
    void Button4Click() { core_.toggleAutoTx(); }
    void Button5Click();
    void Panel9Click() { core_.acknowledge(); }
    void Button8Click() { core_.setFrequency(Edit4->text()); }
    void Button6Click() { core_.stepFrequency(Edit4->text(), ComboBox1->itemIndex(), true); }
    void Button7Click() { core_.stepFrequency(Edit4->text(), ComboBox1->itemIndex(), false); }
    void Button10Click() { core_.autoCalibrate(); }
    void Button11Click() { core_.factory(); }
    void Button9Click() {
        core_.sendRadioSettings(Edit4->text(), ComboBox2->itemIndex(), RadioGroup4->itemIndex());
    }
    void Panel1Click() { SendWheelCommand(0); }
    void Panel3Click() { SendWheelCommand(1); }
    void Panel5Click() { SendWheelCommand(2); }
    void Panel7Click() { SendWheelCommand(3); }
    void Panel12Click() { SendWheelCommand(4); }
    void Panel14Click() { SendWheelCommand(5); }

    MonitorModel& core() { return core_; }
    const PendingThresholds& pending() const { return pending_; }
    const Canvas& canvas() const { return canvas_; }

    // The window's context menu (right-click on the drawn screen, the Menu
    // key, Shift+F10). Features beside the replica add their entries here.
    QMenu& contextMenu() { return *contextMenu_; }
    // Wheels 4 and 5 shown below the unit's own screen: a six-wheel vehicle.
    bool sixWheelView() const { return sixWheels_->isChecked(); }
    // The Preferences dialog, opened or brought forward ("Preferences…").
    PreferencesDialog* showPreferences();
    // What the command line sets for this run ("mqtt/port" -> "--mqtt-port
    // 1884"), for the dialog to say so beside those settings.
    void setCommandLineNotes(QMap<QString, QString> notes) { notes_ = std::move(notes); }
    void setSixWheelView(bool on) { sixWheels_->setChecked(on); }

    // Controls, by their design names. The window owns them through Qt's
    // parent links.
    ImageView* Image1 = nullptr;
    Panel* Panel1 = nullptr; // pressure unit, wheels 0 to 5
    Panel* Panel3 = nullptr;
    Panel* Panel5 = nullptr;
    Panel* Panel7 = nullptr;
    Panel* Panel12 = nullptr;
    Panel* Panel14 = nullptr;
    Panel* Panel2 = nullptr; // temperature unit, wheels 0 to 5
    Panel* Panel4 = nullptr;
    Panel* Panel6 = nullptr;
    Panel* Panel8 = nullptr;
    Panel* Panel13 = nullptr;
    Panel* Panel15 = nullptr;
    Panel* Panel9 = nullptr;  // brand and mode
    Panel* Panel11 = nullptr; // link status
    QPushButton* BitBtn1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    Panel* Panel10 = nullptr; // the settings panel
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QPushButton* BitBtn7 = nullptr;
    QPushButton* Button1 = nullptr; // Save
    RadioGroup* RadioGroup1 = nullptr;
    RadioGroup* RadioGroup2 = nullptr;
    RadioGroup* RadioGroup3 = nullptr;
    QPushButton* Button3 = nullptr; // Learn ID
    QPushButton* Button5 = nullptr; // TEST MOD
    QPushButton* Button4 = nullptr; // AUTOTX
    QPushButton* Button2 = nullptr; // Exit
    Panel* Panel16 = nullptr;       // radio tuning group
    QLineEdit* Edit4 = nullptr;
    QPushButton* Button8 = nullptr; // Freq Set
    QPushButton* Button6 = nullptr; // Freq +
    QPushButton* Button7 = nullptr; // Freq -
    ChoiceBox* ComboBox1 = nullptr;
    QPushButton* Button10 = nullptr; // Auto Cal
    QPushButton* Button11 = nullptr; // Factory
    Panel* Panel17 = nullptr;
    Panel* Panel18 = nullptr;
    ChoiceBox* ComboBox2 = nullptr;
    RadioGroup* RadioGroup4 = nullptr;
    QPushButton* Button9 = nullptr; // RF Save
protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createControls();
    void createSettingsPanel();
    void createTuningGroup();
    void connectHandlers();
    void connectCore();
    void createContextMenu();
    void setToolTips();
    void showAbout();
    // Window height for the vehicle's wheels.
    void applyView();
    void ShowSettings();
    void ShowWheels();
    void ShowBrand();
    void ShowCalibration();
    void ShowFactory();
    // The brand panel's tag shows the monitor mode the unit last reported.
    void SyncModeTag() { Panel9->setTag(core_.state().MonitorMode); }
    void SetGeometry();
    void PlacePanels();
    // Shows what was drawn on the canvas since the last look.
    void ShowCanvasChanges();
    void AdjustPending(PendingValue which, int delta);
    QString PendingText(PendingValue which, std::int32_t value) const;
    void SendWheelCommand(int wheel);

    // Runs a handler; an exception it throws is shown and the program goes on.
    void guarded(void (TFmain::*handler)()) noexcept;
    template <class Sender, class Signal>
    void bind(Sender* sender, Signal signal, void (TFmain::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded(handler); });
    }

    MonitorModel& core_;
    MessageSink& messages_;
    PendingThresholds pending_;
    Canvas canvas_;
    MonitorScreen screen_{canvas_, core_.state(), core_.settings()};
    QMenu* contextMenu_ = nullptr; // owned through its parent, the window
    QAction* sixWheels_ = nullptr; // owned by the menu
    QPointer<PreferencesDialog> preferences_;
    QMap<QString, QString> notes_;
    bool centred_ = false;
};

} // namespace vorn
