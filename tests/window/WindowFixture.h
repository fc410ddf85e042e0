#pragma once

#include "tests/monitor/MonitorFixture.h"
#include "window/TFmain.h"

#include <QScreen>

namespace vorn::test {

// A monitor as the fixture starts it, and its window.
struct WindowFixture : MonitorFixture {
    using MonitorFixture::MonitorFixture;
    ~WindowFixture() { window.reset(); }
    TFmain& open() { return *(window = std::make_unique<TFmain>(start(), messages)); }
    void close() { window.reset(), core.reset(); }
    std::unique_ptr<TFmain> window;
};

// The window as it stands on the screen: what its repaints have put there.
inline QImage shownScreen(const TFmain& w) {
    return w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace vorn::test
