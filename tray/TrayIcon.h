#pragma once

#include "monitor/MessageSink.h"
#include "monitor/MonitorModel.h"

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <array>
#include <memory>

namespace vorn {

// The monitor in the desktop's tray: an icon in the colour of the worst
// wheel, a tooltip with every wheel's readings, and a menu (Show,
// Acknowledge alarm, Preferences…, Start at login, Quit). While it is there,
// closing the window only hides it and the monitoring goes on; Quit ends the
// program as closing the window does without a tray. Make it only when
// QSystemTrayIcon::isSystemTrayAvailable(), before the window is shown.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // The worst wheel: within limits, a tyre warning of the analysis, a
    // limit passed (or an alarm standing).
    enum class Level { Normal, Warning, Alarm };

    // `messages` says what went wrong with the autostart entry.
    explicit TrayIcon(MessageSink& messages, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Shows `model` from now on, with its tyre warnings; the model followed
    // before is let go. Shows the icon.
    void follow(MonitorModel& model);

    Level level() const { return level_; }
    static QColor levelColour(Level level);
    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }

signals:
    // Show: the window, brought forward.
    void showRequested();
    void preferencesRequested();

private:
    void createMenu();
    void letGo();
    void update();
    Level worstLevel() const;
    QString wheelsText() const;
    void setStartAtLogin(bool on);

    MessageSink& messages_;
    const bool quitOnLastWindowClosed_;
    const std::array<QIcon, 3> icons_; // by Level
    QMenu menu_;
    QSystemTrayIcon icon_;
    QAction* acknowledge_ = nullptr; // the menu's actions, owned by the menu
    QAction* startAtLogin_ = nullptr;
    QPointer<MonitorModel> model_;
    // The connections to what is followed; replaced to drop them all.
    std::unique_ptr<QObject> following_;
    Level level_ = Level::Normal;
    bool levelShown_ = false;
};

} // namespace vorn
