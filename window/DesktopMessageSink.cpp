#include "window/DesktopMessageSink.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace vorn {

void DesktopMessageSink::show(const QString& text, const QString& caption) {
    StderrMessageSink::show(text, caption);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

} // namespace vorn
