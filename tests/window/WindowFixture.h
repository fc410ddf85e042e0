#pragma once

#include "link/FakeHid.h"
#include "sim/Frames.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"
#include "window/TFmain.h"

#include <QFile>
#include <QScreen>
#include <QSettings>
#include <memory>
#include <vector>

namespace vorn::test {

class RecordingMessageSink : public MessageSink {
public:
    struct Message {
        QString text, caption;
    };
    void show(const QString& text, const QString& caption) override {
        shown.push_back({text, caption});
    }
    void note(const QString& line) override { noted.push_back(line); }
    std::vector<Message> shown;
    std::vector<QString> noted;
};

class RecordingToneSink : public ToneSink {
public:
    void playTone(int hz, int ms) override { played.push_back({hz, ms}); }
    std::vector<Tone> played;
};

// A working folder with a settings file, COM1 linked to a pseudo-terminal
// that plays the unit, and a window constructed in it.
class WindowFixture {
public:
    explicit WindowFixture(const QStringList& settings = defaultSettings()) {
        dir.writeSettings(settings);
        QFile::link(unit.devicePath(), dir.file(QStringLiteral("COM1")));
        // The per-user settings live in the working folder, never in the
        // home, and no earlier window's view choice carries over.
        qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toLocal8Bit());
    }
    TFmain& open() {
        window = std::make_unique<TFmain>(TFmainServices{dir.path(), &messages, &tones, &hid});
        return *window;
    }
    QByteArray savedSettings() const { return dir.read(QStringLiteral("setdata.txt")); }

    WorkDir dir;
    PseudoTerminal unit;
    RecordingMessageSink messages;
    RecordingToneSink tones;
    FakeHid hid; // no unit plugged in unless a test plugs one
    std::unique_ptr<TFmain> window;
};

// A long-form sensor report for `wheel`, as the unit sends it.
inline QByteArray sensorFrame(int wheel, int psi, int celsius) {
    return QByteArray::fromStdString(
        sim::frame(sim::longReport({wheel, 0, 2 * psi, celsius + 40})));
}

// The window as it stands on the screen: what its repaints have put there.
inline QImage shownScreen(const TFmain& w) {
    return w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace vorn::test
