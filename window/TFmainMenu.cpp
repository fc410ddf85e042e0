// The window's context menu: the place for what the program offers beside
// the replica of the unit. The replica's own controls never change for it.
#include "monitor/BuildInfo.h"
#include "window/PreferencesDialog.h"
#include "window/TFmain.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QShortcut>
#include <QSignalBlocker>
#include <cstdio>

namespace vorn {

void TFmain::createContextMenu() {
    contextMenu_ = new QMenu(this);
    sixWheels_ = contextMenu_->addAction(QStringLiteral("Show six wheels"));
    sixWheels_->setCheckable(true);
    // The vehicle's wheel count: the monitor keeps it, the window follows.
    connect(sixWheels_, &QAction::toggled, this, [this](bool on) { core_.setWheels(on ? 6 : 4); });
    contextMenu_->addAction(QStringLiteral("Preferences…"), this, [this] { showPreferences(); });
    contextMenu_->addAction(QStringLiteral("About VORN"), this, [this] { showAbout(); });
    // The Menu key and Shift+F10 open it where the keyboard user is: the
    // middle of the drawn screen.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this,
                [this] { contextMenu_->popup(mapToGlobal(rect().center())); });
    }
}

PreferencesDialog* TFmain::showPreferences() {
    if (!preferences_)
        preferences_ = new PreferencesDialog(core_, notes_, this);
    preferences_->show();
    preferences_->raise();
    preferences_->activateWindow();
    return preferences_;
}

void TFmain::ShowWheels() {
    const QSignalBlocker quiet(sixWheels_); // it came from the monitor
    sixWheels_->setChecked(core_.wheels() > 4);
    applyView();
}

void TFmain::contextMenuEvent(QContextMenuEvent* event) {
    contextMenu_->popup(event->globalPos());
    event->accept();
}

void TFmain::showAbout() {
    const QString text =
        QStringLiteral("VORN %1, built %2\nTyre-pressure monitor companion\n"
                       "Link in use: %3\nFolder: %4")
            .arg(QString::fromLatin1(kVersion), QString::fromLatin1(kBuildDate),
                 core_.linkDescription(), QDir::toNativeSeparators(core_.workDir()));
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
        return;
    }
    QMessageBox::about(this, QStringLiteral("About VORN"), text);
}

} // namespace vorn
