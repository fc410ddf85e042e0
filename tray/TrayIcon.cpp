#include "tray/TrayIcon.h"

#include "monitor/Alarm.h"
#include "monitor/ReadingText.h"
#include "tray/AutostartEntry.h"
#include "window/Tooltips.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QSignalBlocker>
#include <algorithm>

namespace vorn {

namespace {

// A tyre seen from the side: a dark rim around a disc in the level's colour.
// Drawn at the sizes trays ask for, so none is scaled from another.
QIcon tyreIcon(const QColor& colour) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(48, 48, 48));
        painter.drawEllipse(QRectF(0, 0, size, size));
        const qreal rim = size / 6.0;
        painter.setBrush(colour);
        painter.drawEllipse(QRectF(rim, rim, size - 2 * rim, size - 2 * rim));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString limitWords(std::int32_t status) {
    QStringList words;
    if (status & status::LowPressure)
        words << QStringLiteral("low pressure");
    if (status & status::HighPressure)
        words << QStringLiteral("high pressure");
    if (status & status::HighTemperature)
        words << QStringLiteral("high temperature");
    return words.isEmpty() ? QStringLiteral("within limits") : words.join(QStringLiteral(", "));
}

} // namespace

TrayIcon::TrayIcon(MessageSink& messages, QObject* parent)
    : QObject(parent), messages_(messages),
      quitOnLastWindowClosed_(QGuiApplication::quitOnLastWindowClosed()),
      icons_{tyreIcon(levelColour(Level::Normal)), tyreIcon(levelColour(Level::Warning)),
             tyreIcon(levelColour(Level::Alarm))} {
    // Closing the window only hides it, and the monitor goes on: the
    // program ends by Quit (or a signal), not with its last window.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    createMenu();
    icon_.setContextMenu(&menu_);
    icon_.setIcon(icons_[0]);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
            emit showRequested();
    });
}

TrayIcon::~TrayIcon() {
    letGo();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed_);
}

QColor TrayIcon::levelColour(Level level) {
    switch (level) {
    case Level::Warning:
        return {255, 176, 0}; // amber
    case Level::Alarm:
        return {255, 0, 0}; // the alarm's red on the screen
    case Level::Normal:
        break;
    }
    return {0, 176, 0};
}

void TrayIcon::createMenu() {
    menu_.addAction(QStringLiteral("Show"), this, &TrayIcon::showRequested);
    acknowledge_ = menu_.addAction(QStringLiteral("Acknowledge alarm"), this, [this] {
        if (model_)
            model_->acknowledgeAlarm();
    });
    acknowledge_->setVisible(false);
    menu_.addAction(QStringLiteral("Preferences…"), this, &TrayIcon::preferencesRequested);
    startAtLogin_ = menu_.addAction(QStringLiteral("Start at login"));
    startAtLogin_->setCheckable(true);
    startAtLogin_->setChecked(hasAutostartEntry());
    connect(startAtLogin_, &QAction::toggled, this, &TrayIcon::setStartAtLogin);
    // The entry may have been made or removed by hand since.
    connect(&menu_, &QMenu::aboutToShow, this, [this] {
        const QSignalBlocker quiet(startAtLogin_);
        startAtLogin_->setChecked(hasAutostartEntry());
    });
    menu_.addSeparator();
    // As closing the window does without a tray: the event loop ends, and
    // the program closes the history and says goodbye to the broker.
    menu_.addAction(QStringLiteral("Quit"), this, [] { QCoreApplication::quit(); });
}

void TrayIcon::follow(MonitorModel& model) {
    letGo();
    model_ = &model;
    following_ = std::make_unique<QObject>();
    // After each evaluation, when the status words are current (a reading
    // just stored is not evaluated yet), and at once when the alarm is
    // acknowledged, and when a tyre warning begins, ends or changes.
    const auto look = [this] { update(); };
    connect(&model, &MonitorModel::refreshed, following_.get(), look);
    connect(&model, &MonitorModel::alarmWasEnded, following_.get(), look);
    connect(&model, &MonitorModel::warningsChanged, following_.get(), look);
    update();
    icon_.show();
}

void TrayIcon::letGo() {
    following_.reset();
    model_ = nullptr;
}

void TrayIcon::update() {
    if (!model_)
        return;
    const Level level = worstLevel();
    if (!levelShown_ || level != level_) {
        level_ = level;
        levelShown_ = true;
        icon_.setIcon(icons_[static_cast<std::size_t>(level)]);
    }
    if (const QString text = wheelsText(); text != icon_.toolTip())
        icon_.setToolTip(text);
    acknowledge_->setVisible(model_->state().AlarmActive != 0);
}

TrayIcon::Level TrayIcon::worstLevel() const {
    const TyreStateTable& state = model_->state();
    if (state.AlarmActive != 0)
        return Level::Alarm;
    const int wheels = std::clamp(model_->wheels(), 0, kShownWheels);
    for (int w = 0; w < wheels; ++w)
        if (RaisesAlarm(state.TyreStatus[static_cast<std::size_t>(w)]))
            return Level::Alarm;
    for (int w = 0; w < wheels; ++w)
        if (!model_->warnings()[static_cast<std::size_t>(w)].isEmpty())
            return Level::Warning;
    return Level::Normal;
}

// "Wheel 1: 20.0 psi, 25 °C, low pressure", one line for each of the
// vehicle's wheels, and a standing tyre warning below its wheel. A wheel
// whose sensor is not present (the screen's absent tyre) has no reading.
QString TrayIcon::wheelsText() const {
    static const std::array<QString, 3> kHeadings{QStringLiteral("VORN"),
                                                  QStringLiteral("VORN: tyre warning"),
                                                  QStringLiteral("VORN: alarm")};
    QStringList lines{kHeadings[static_cast<std::size_t>(level_)]};
    const TyreStateTable& state = model_->state();
    const MonitorSettings& settings = model_->settings();
    const int wheels = std::clamp(model_->wheels(), 0, kShownWheels);
    for (int w = 0; w < wheels; ++w) {
        const auto i = static_cast<std::size_t>(w);
        QStringList parts{pressureText(state.TyrePressure[i], settings.PressureUnitIndex),
                          temperatureText(state.TyreTemperature[i],
                                          TemperatureUnitOf(settings.TemperatureUnitIndex))};
        parts.removeAll(QString());
        if (!(state.TyreStatus[i] & status::SensorFlag))
            parts.clear();
        parts << (parts.isEmpty() ? QStringLiteral("no reading") : limitWords(state.TyreStatus[i]));
        lines << QStringLiteral("Wheel %1: %2").arg(w).arg(parts.join(QStringLiteral(", ")));
        if (const QString& warning = model_->warnings()[i]; !warning.isEmpty())
            lines << wrappedTip(warning);
    }
    return lines.join(u'\n');
}

void TrayIcon::setStartAtLogin(bool on) {
    if (const std::optional<QString> failure = on ? writeAutostartEntry() : removeAutostartEntry())
        messages_.show(QStringLiteral("Start at login: %1.").arg(*failure),
                       QStringLiteral("Start at login"));
    const QSignalBlocker quiet(startAtLogin_);
    startAtLogin_->setChecked(hasAutostartEntry());
}

} // namespace vorn
