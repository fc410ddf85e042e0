// Plays the unit on a pseudo-terminal and times each sensor report from the
// moment it is written on the line until its pixel changes on the X screen.
//
//   vorn-latency-probe LINK COORDS REPORTS
//
// LINK is made a symbolic link to the pseudo-terminal (the program's COM1).
// The probe then waits until the file COORDS holds the window's upper-left
// corner on the screen ("X Y"), writes REPORTS reports for wheel 0 that turn
// its pressure between 32.0 and 33.0 psi at irregular times, and prints the
// median and the maximum latency in milliseconds.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Segment E of the second pressure digit of wheel 0: lit in "2", out in "3".
constexpr int kProbeX = 56;
constexpr int kProbeY = 61;
constexpr unsigned long kLime = 0x00FF00;
constexpr unsigned long kWhite = 0xFFFFFF;

std::string frame(int psi) {
    char body[16];
    std::snprintf(body, sizeof body, "0110%02X%02X", psi, 25 + 40);
    unsigned sum = 0;
    for (const char* c = body; *c; ++c)
        sum += static_cast<unsigned char>(*c);
    char text[24];
    std::snprintf(text, sizeof text, "$%s%02X#", body, sum % 256);
    return text;
}

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

class PixelWatch {
public:
    PixelWatch(int x, int y) : display_(XOpenDisplay(nullptr)), x_(x + kProbeX), y_(y + kProbeY) {}
    bool ok() const { return display_ != nullptr; }
    unsigned long pixel() {
        XImage* image = XGetImage(display_.get(), DefaultRootWindow(display_.get()), x_, y_, 1, 1,
                                  AllPlanes, ZPixmap);
        if (!image)
            return 0;
        const unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return value;
    }
    // Milliseconds until the probe pixel shows `wanted`, or -1 after a second.
    double waitFor(unsigned long wanted, Clock::time_point since) {
        while (Clock::now() - since < 1s) {
            if (pixel() == wanted)
                return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
            std::this_thread::sleep_for(500us);
        }
        return -1;
    }

private:
    std::unique_ptr<Display, DisplayCloser> display_;
    int x_, y_;
};

bool readCorner(const char* path, int& x, int& y) {
    for (int i = 0; i < 1200; ++i) {
        std::ifstream in(path);
        if (in >> x >> y)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorn-latency-probe LINK COORDS REPORTS\n");
        return 2;
    }
    const int reports = std::max(1, std::atoi(argv[3]));
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return std::perror("pseudo-terminal"), 1;
    unlink(argv[1]);
    if (symlink(ptsname(master), argv[1]) != 0)
        return std::perror("link"), 1;

    int x = 0, y = 0;
    if (!readCorner(argv[2], x, y))
        return std::fprintf(stderr, "no window corner in %s\n", argv[2]), 1;
    PixelWatch screen(x, y);
    if (!screen.ok())
        return std::fprintf(stderr, "no X display\n"), 1;

    std::mt19937 random(7);
    std::vector<double> latencies;
    int lost = 0;
    for (int i = -1; i < reports; ++i) { // the first report only puts the digits up
        const bool two = i % 2 != 0;
        const std::string text = frame(two ? 32 : 33);
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + random() % 200));
        const auto written = Clock::now();
        if (write(master, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            return std::perror("write"), 1;
        const double ms = screen.waitFor(two ? kLime : kWhite, written);
        if (i < 0)
            continue;
        if (ms < 0)
            ++lost;
        else
            latencies.push_back(ms);
    }
    unlink(argv[1]);
    if (latencies.empty())
        return std::fprintf(stderr, "no report reached the screen\n"), 1;
    std::sort(latencies.begin(), latencies.end());
    std::printf("frame to pixel over %zu reports: median %.1f ms, max %.1f ms, min %.1f ms",
                latencies.size(), latencies[latencies.size() / 2], latencies.back(),
                latencies.front());
    std::printf(lost ? ", %d not seen within 1 s\n" : "\n", lost);
    return 0;
}
