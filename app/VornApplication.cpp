#include "app/VornApplication.h"

#include <QIcon>
#include <exception>

namespace vorn {

VornApplication::VornApplication(int& argc, char** argv, MessageSink& messages)
    : QApplication(argc, argv), messages_(messages) {
    // Names the per-user folders (~/.local/share/VORN) whatever the file is called.
    setApplicationName(QStringLiteral("VORN"));
    // Matches the windows to vorn.desktop (Wayland's app id), so the desktop
    // shows its name and icon; X11 gets the icon from the windows themselves.
    // The SVG needs Qt's SVG plugins; without them the icon stays generic.
    setDesktopFileName(QStringLiteral("vorn"));
    setWindowIcon(QIcon(QStringLiteral(":/vorn/vorn.svg")));
}

bool VornApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        messages_.show(QString::fromUtf8(e.what()), kExceptionCaption);
    } catch (...) {
        messages_.show(QStringLiteral("Unknown error"), kExceptionCaption);
    }
    return false;
}

} // namespace vorn
