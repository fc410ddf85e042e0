#pragma once

#include "monitor/MessageSink.h"

namespace vorn {

// Writes every message to standard error and shows it in a modal box, except
// under the offscreen platform, where nobody could press OK: there the box is
// skipped as if OK had been pressed.
class DesktopMessageSink : public StderrMessageSink {
public:
    void show(const QString& text, const QString& caption) override;
};

} // namespace vorn
