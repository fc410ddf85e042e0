#pragma once

#include "app/TFmain.h"
#include "tests/support/TestSupport.h"

#include <memory>
#include <vector>

namespace vorn::test {

class RecordingMessageSink : public MessageSink {
public:
    void show(const QString& text, const QString& caption) override {
        shown.push_back({text, caption});
    }
    struct Message {
        QString text;
        QString caption;
    };
    std::vector<Message> shown;
};

// A working folder with a settings file and a window constructed in it.
class WindowFixture {
public:
    explicit WindowFixture(const QStringList& settings = defaultSettings()) {
        dir.writeSettings(settings);
    }
    TFmain& open() {
        window = std::make_unique<TFmain>(TFmainServices{dir.path(), &messages});
        return *window;
    }
    QByteArray savedSettings() const { return dir.read(QStringLiteral("setdata.txt")); }

    WorkDir dir;
    RecordingMessageSink messages;
    std::unique_ptr<TFmain> window;
};

} // namespace vorn::test
