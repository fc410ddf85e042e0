#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace vorn::test {

// An X server (Xvfb) and a session bus (dbus-daemon) of the test process's
// own, for what Qt's offscreen platform cannot show: the desktop's tray,
// which Qt offers only on a real platform (xcb) with its D-Bus tray. Made
// before the application object, whose platform and session bus they
// become; both end with it, or with the test process.
class PrivateDesktop {
public:
    PrivateDesktop();
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

private:
    // Starts `args` with the write end of a pipe as descriptor 3 and returns
    // the first line the program writes there: how it says it is ready.
    std::string startReporting(std::vector<std::string> args, pid_t& pid);

    pid_t xvfb_ = -1;
    pid_t bus_ = -1;
};

} // namespace vorn::test
