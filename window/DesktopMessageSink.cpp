#include "window/DesktopMessageSink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace vorn {

void DesktopMessageSink::show(const QString& text, const QString& caption) {
    std::fprintf(stderr, "vorn: %s: %s\n", qUtf8Printable(caption), qUtf8Printable(text));
    std::fflush(stderr);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

} // namespace vorn
