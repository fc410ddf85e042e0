#include "app/MessageSink.h"
#include "app/TFmain.h"
#include "app/VornApplication.h"

#include <QDir>
#include <exception>

int main(int argc, char** argv) {
    vorn::DesktopMessageSink messages;
    vorn::VornApplication app(argc, argv, messages);
    vorn::TonePlayer tones(vorn::makeAlsaOutput());
    const std::unique_ptr<vorn::HidBackend> hid = vorn::makeHidapiBackend();
    try {
        vorn::TFmain window({QDir::currentPath(), &messages, &tones, hid.get()});
        window.show();
        return app.exec();
    } catch (const std::exception& e) {
        // A failed start is shown, and reported to the caller as a failure.
        messages.show(QString::fromUtf8(e.what()), vorn::kExceptionCaption);
        return 1;
    }
}
