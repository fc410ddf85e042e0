#pragma once

#include "link/FakeHid.h"
#include "monitor/MonitorCore.h"
#include "sim/Frames.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <memory>
#include <vector>

namespace vorn::test {

struct RecordingMessageSink : MessageSink {
    struct Message {
        QString text, caption;
    };
    void show(const QString& text, const QString& caption) override {
        shown.push_back({text, caption});
    }
    void note(const QString& line) override { noted.push_back(line); }
    std::vector<Message> shown;
    QStringList noted;
};

struct RecordingToneSink : ToneSink {
    void playTone(int hz, int ms) override { played.push_back({hz, ms}); }
    std::vector<Tone> played;
};

// A working folder with a settings file, COM1 linked to a pseudo-terminal
// that plays the unit, and a monitor started in it.
class MonitorFixture {
public:
    explicit MonitorFixture(const QStringList& settings = defaultSettings()) {
        dir.writeSettings(settings);
        QFile::link(unit.devicePath(), dir.file(QStringLiteral("COM1")));
        // The per-user settings live in the working folder, never in the
        // home, and nothing of an earlier test's carries over.
        qputenv("XDG_CONFIG_HOME", dir.file(QStringLiteral("config")).toLocal8Bit());
    }
    MonitorCore& start() {
        core = std::make_unique<MonitorCore>(MonitorServices{dir.path(), &messages, &tones, &hid});
        return *core;
    }
    QByteArray savedSettings() const { return dir.read(QStringLiteral("setdata.txt")); }
    // The unit sends `bytes`; one serial poll, then one evaluation.
    void receive(const QByteArray& bytes) {
        unit.write(bytes);
        core->Timer2Timer();
        core->Timer1Timer();
    }

    WorkDir dir;
    PseudoTerminal unit;
    RecordingMessageSink messages;
    RecordingToneSink tones;
    FakeHid hid; // no unit plugged in unless a test plugs one
    std::unique_ptr<MonitorCore> core;
};

// A long-form sensor report for `wheel`, as the unit sends it.
inline QByteArray sensorFrame(int wheel, int psi, int celsius) {
    return QByteArray::fromStdString(
        sim::frame(sim::longReport({wheel, 0, 2 * psi, celsius + 40})));
}

} // namespace vorn::test
