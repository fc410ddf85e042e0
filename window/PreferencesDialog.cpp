#include "window/PreferencesDialog.h"

#include "history/HistorySettings.h"
#include "insight/InsightSettings.h"
#include "monitor/MonitorModel.h"
#include "monitor/UserSettings.h"
#include "publish/MqttSettings.h"
#include "window/ConnectionTestBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vorn {

namespace f = prefs::field;

namespace {

QLabel* smallLabel(QWidget* parent, const QString& style) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setStyleSheet(style);
    label->hide();
    return label;
}

} // namespace

PreferencesDialog::PreferencesDialog(MonitorModel& model, QMap<QString, QString> notes,
                                     QWidget* parent)
    : QDialog(parent), model_(model), notes_(std::move(notes)),
      loaded_(prefs::Preferences::load(*openUserSettings())) {
    setWindowTitle(QStringLiteral("VORN Preferences"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(vehiclePage(), QStringLiteral("Vehicle"));
    tabs->addTab(mqttPage(), QStringLiteral("MQTT"));
    tabs->addTab(historyPage(), QStringLiteral("History"));
    tabs->addTab(notifyPage(), QStringLiteral("Notifications"));
    tabs->addTab(insightPage(), QStringLiteral("Tyre warnings"));
    otherRefusals_ = smallLabel(this, QStringLiteral("color: #b00000"));
    buttons_ = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton(), &QPushButton::clicked, this, &PreferencesDialog::apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(otherRefusals_);
    layout->addWidget(buttons_);
    recheck();
}

QPushButton* PreferencesDialog::applyButton() const {
    return buttons_->button(QDialogButtonBox::Apply);
}

QWidget* PreferencesDialog::withNotes(QWidget* editor, const QString& name) {
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(editor);
    QLabel* refusal = smallLabel(box, QStringLiteral("color: #b00000"));
    refusals_.insert(name, refusal);
    column->addWidget(refusal);
    if (notes_.contains(name)) {
        QLabel* note = smallLabel(box, QStringLiteral("color: #805000"));
        note->setText(
            QStringLiteral("Set on the command line for this run: %1").arg(notes_.value(name)));
        note->show();
        column->addWidget(note);
    }
    return box;
}

void PreferencesDialog::addEdit(QFormLayout& form, const QString& label, const QString& name,
                                const QString& placeholder) {
    auto* edit = new QLineEdit(loaded_.text(name));
    edit->setPlaceholderText(placeholder);
    edit->setMinimumWidth(280);
    edits_.insert(name, edit);
    connect(edit, &QLineEdit::textChanged, this, &PreferencesDialog::recheck);
    form.addRow(label, withNotes(edit, name));
}

void PreferencesDialog::addCheck(QFormLayout& form, const QString& label, const QString& name) {
    auto* check = new QCheckBox(label);
    check->setChecked(loaded_.on(name));
    checks_.insert(name, check);
    connect(check, &QCheckBox::toggled, this, &PreferencesDialog::recheck);
    form.addRow(withNotes(check, name));
}

QWidget* PreferencesDialog::vehiclePage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    wheels_ = new QComboBox;
    wheels_->addItems({QStringLiteral("4"), QStringLiteral("6")});
    wheels_->setCurrentIndex(model_.wheels() > 4 ? 1 : 0);
    form->addRow(QStringLiteral("Wheels"), withNotes(wheels_, f::Wheels));
    return page;
}

QWidget* PreferencesDialog::mqttPage() {
    namespace k = mqtt::key;
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    addEdit(*form, QStringLiteral("Broker host"), f::mqtt(k::Host),
            QStringLiteral("none: no publishing"));
    addEdit(*form, QStringLiteral("Port"), f::mqtt(k::Port), QStringLiteral("1883, 8883 with TLS"));
    addEdit(*form, QStringLiteral("User"), f::mqtt(k::User));
    addEdit(*form, QStringLiteral("Password file"), f::mqtt(k::PasswordFile),
            QStringLiteral("its first line; chmod 600"));
    addEdit(*form, QStringLiteral("CA file (TLS)"), f::mqtt(k::CaFile),
            QStringLiteral("none: no TLS"));
    addEdit(*form, QStringLiteral("Client certificate"), f::mqtt(k::CertFile));
    addEdit(*form, QStringLiteral("Client key"), f::mqtt(k::KeyFile));
    addEdit(*form, QStringLiteral("Topic prefix"), f::mqtt(k::Prefix), QStringLiteral("vorn"));
    addEdit(*form, QStringLiteral("Unit"), f::mqtt(k::Unit), QStringLiteral("the host name"));
    addCheck(*form, QStringLiteral("Home Assistant discovery"), f::mqtt(k::Discovery));
    test_ = new ConnectionTestBox([this] { return typed().section(QStringLiteral("mqtt")); });
    form->addRow(test_);
    return page;
}

QWidget* PreferencesDialog::historyPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    addCheck(*form, QStringLiteral("Keep a reading history"), f::HistoryEnabled);
    addEdit(*form, QStringLiteral("File"), f::HistoryFile,
            QStringLiteral("history.sqlite in the user's data folder"));
    addEdit(*form, QStringLiteral("Days summaries and events are kept"), f::HistoryDays,
            QStringLiteral("400"));
    addEdit(*form, QStringLiteral("Days every reading is kept"), f::HistoryRawDays,
            QStringLiteral("30, at least %1").arg(history::kLeastRawDays));
    return page;
}

QWidget* PreferencesDialog::notifyPage() {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    addCheck(*form, QStringLiteral("Desktop notifications of alarms and tyre warnings"),
             f::NotifyEnabled);
    return page;
}

QWidget* PreferencesDialog::insightPage() {
    namespace k = insight::key;
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    addCheck(*form, QStringLiteral("Warn of slow leaks, rapid loss and silent sensors"),
             f::insight(k::Enabled));
    addEdit(*form, QStringLiteral("Slow leak from (psi a day)"), f::insight(k::SlowLeak),
            QStringLiteral("0.5"));
    addEdit(*form, QStringLiteral("Rapid loss from (psi in 5 minutes)"), f::insight(k::RapidLoss),
            QStringLiteral("2"));
    addEdit(*form, QStringLiteral("Silent sensor after (minutes)"), f::insight(k::Silent),
            QStringLiteral("20"));
    return page;
}

prefs::Preferences PreferencesDialog::typed() const {
    prefs::Preferences p = loaded_;
    for (auto it = edits_.begin(); it != edits_.end(); ++it)
        p.setText(it.key(), (*it)->text());
    for (auto it = checks_.begin(); it != checks_.end(); ++it)
        p.setOn(it.key(), (*it)->isChecked());
    p.setText(f::Wheels, wheels_->currentText());
    return p;
}

void PreferencesDialog::recheck() {
    const QMap<QString, QString> refused = typed().check(QSysInfo::machineHostName());
    for (auto it = refusals_.begin(); it != refusals_.end(); ++it) {
        (*it)->setText(refused.value(it.key()));
        (*it)->setVisible(refused.contains(it.key()));
    }
    QStringList other;
    for (auto it = refused.begin(); it != refused.end(); ++it)
        if (!refusals_.contains(it.key()))
            other << QStringLiteral("%1 in vorn.conf: %2").arg(it.key(), it.value());
    otherRefusals_->setText(other.join(u'\n'));
    otherRefusals_->setVisible(!other.isEmpty());
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(refused.isEmpty());
    applyButton()->setEnabled(refused.isEmpty());
}

bool PreferencesDialog::apply() {
    const prefs::Preferences now = typed();
    if (!now.check(QSysInfo::machineHostName()).isEmpty())
        return false;
    const auto file = openUserSettings();
    now.save(*file);
    // The window follows the vehicle at once; the owner of the unit reads
    // the rest again.
    model_.setWheels(wheels_->currentText().toInt());
    model_.reloadPreferences();
    loaded_ = prefs::Preferences::load(*file);
    return true;
}

} // namespace vorn
