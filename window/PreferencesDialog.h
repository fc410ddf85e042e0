#pragma once

#include "prefs/Preferences.h"

#include <QDialog>
#include <QMap>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vorn {

class ConnectionTestBox;
class MonitorModel;

// The Preferences dialog over vorn.conf: the vehicle, MQTT, the history,
// notifications and tyre warnings. Each value is checked as it is typed by
// the program's own checks, the refusal shown under its field, and OK and
// Apply wait until none stands. Apply writes vorn.conf (never setdata.txt)
// and has the owner of the unit follow it at once; a setting the command
// line gives for this run is marked so.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    // `notes`: "section/key" -> the option that sets it for this run.
    PreferencesDialog(MonitorModel& model, QMap<QString, QString> notes, QWidget* parent = nullptr);

    // False, writing nothing, while a value is refused.
    bool apply();

    // The controls by their field ("mqtt/port"); for tests and the screenshot.
    QLineEdit* edit(const QString& name) const { return edits_.value(name); }
    QCheckBox* check(const QString& name) const { return checks_.value(name); }
    QLabel* refusal(const QString& name) const { return refusals_.value(name); }
    QComboBox* wheels() const { return wheels_; }
    QPushButton* applyButton() const;
    ConnectionTestBox* connectionTest() const { return test_; }

private:
    QWidget* vehiclePage();
    QWidget* mqttPage();
    QWidget* historyPage();
    QWidget* notifyPage();
    QWidget* insightPage();
    void addEdit(QFormLayout& form, const QString& label, const QString& name,
                 const QString& placeholder = {});
    void addCheck(QFormLayout& form, const QString& label, const QString& name);
    // The editor, the refusal under it and the command line's note.
    QWidget* withNotes(QWidget* editor, const QString& name);
    // The values as the controls hold them.
    prefs::Preferences typed() const;
    void recheck();

    MonitorModel& model_;
    QMap<QString, QString> notes_;
    prefs::Preferences loaded_;
    QMap<QString, QLineEdit*> edits_; // the controls, owned through their parents
    QMap<QString, QCheckBox*> checks_;
    QMap<QString, QLabel*> refusals_;
    QComboBox* wheels_ = nullptr;
    QLabel* otherRefusals_ = nullptr; // those of keys the dialog shows no field for
    ConnectionTestBox* test_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

} // namespace vorn
