#include "app/MessageSink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

namespace vorn {

void MessageSink::note(const QString& line) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    std::fflush(stderr);
}

void DesktopMessageSink::show(const QString& text, const QString& caption) {
    std::fprintf(stderr, "vorn: %s: %s\n", qUtf8Printable(caption),
                 qUtf8Printable(text.section(u'\n', 0, 0)));
    std::fflush(stderr);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

} // namespace vorn
