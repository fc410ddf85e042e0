#include "app/VornApplication.h"

#include <exception>

namespace vorn {

VornApplication::VornApplication(int& argc, char** argv, MessageSink& messages)
    : QApplication(argc, argv), messages_(messages) {
    // Names the per-user folders (~/.local/share/VORN) whatever the file is called.
    setApplicationName(QStringLiteral("VORN"));
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
