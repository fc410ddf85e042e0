// The window's context menu: the place for what the program offers beside
// the replica of the unit. The replica's own controls never change for it.
#include "link/SerialPortName.h"
#include "monitor/BuildInfo.h"
#include "monitor/UserSettings.h"
#include "window/TFmain.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QShortcut>
#include <QSignalBlocker>
#include <cstdio>

namespace vorn {

namespace {
const QString kSixWheelsKey = QStringLiteral("view/sixWheels");
} // namespace

void TFmain::createContextMenu() {
    contextMenu_ = new QMenu(this);
    sixWheels_ = contextMenu_->addAction(QStringLiteral("Show six wheels"));
    sixWheels_->setCheckable(true);
    connect(sixWheels_, &QAction::toggled, this, [this](bool on) {
        applyView();
        openUserSettings()->setValue(kSixWheelsKey, on);
    });
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

void TFmain::loadView() {
    const QSignalBlocker quiet(sixWheels_); // nothing to store: it came from there
    sixWheels_->setChecked(openUserSettings()->value(kSixWheelsKey, false).toBool());
    applyView();
}

void TFmain::contextMenuEvent(QContextMenuEvent* event) {
    contextMenu_->popup(event->globalPos());
    event->accept();
}

QString TFmain::linkDescription() const {
    QStringList links;
    if (serial_.isOpen())
        links << QStringLiteral("serial port %1").arg(comPortName(RadioGroup3->itemIndex()));
    if (UsbConnected)
        links << QStringLiteral("USB");
    return links.isEmpty() ? QStringLiteral("none") : links.join(QStringLiteral(" and "));
}

void TFmain::showAbout() {
    const QString text = QStringLiteral("VORN %1, built %2\nTyre-pressure monitor companion\n"
                                        "Link in use: %3\nFolder: %4")
                             .arg(QString::fromLatin1(kVersion), QString::fromLatin1(kBuildDate),
                                  linkDescription(), QDir::toNativeSeparators(services_.workDir));
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(text));
        return;
    }
    QMessageBox::about(this, QStringLiteral("About VORN"), text);
}

} // namespace vorn
