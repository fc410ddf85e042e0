#pragma once

#include "monitor/RuntimeFolder.h"
#include "tests/support/PseudoTerminal.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QtCore/qtestsupport_core.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vorn::test {

inline QString socketPath() {
    return monitorRuntimeFolder().socketPath();
}

// A raw connection, for what QLocalSocket would hide: never reading, and
// connecting from a thread that runs as another user.
inline int rawConnect(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy_n(name.constData(), std::min<qsizetype>(name.size(), sizeof address.sun_path - 1),
                address.sun_path);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -errno;
    }
    return fd;
}

// True once the owner has closed `fd`'s connection, within `ms`.
inline bool hungUp(int fd, int ms) {
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, ms) == 1 && (p.revents & (POLLHUP | POLLRDHUP)) != 0;
}

// vornd in a folder of its own with COM1 on a pseudo-terminal.
class Owner {
public:
    explicit Owner(const char* binary) {
        dir.writeSettings(test::defaultSettings());
        QFile::link(unit.devicePath(), dir.file("COM1"));
        start(process, binary);
        // Until the owner listens; a connection closes again at once.
        (void)QTest::qWaitFor(
            [] {
                const int fd = rawConnect(socketPath());
                return fd >= 0 && ::close(fd) == 0;
            },
            10000);
    }
    ~Owner() { process.kill(), process.waitForFinished(5000); }
    // `binary` in the owner's folder, as the same user in the same session.
    void start(QProcess& p, const char* binary, QStringList args = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.file("config"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // No history unless the test names one.
        if (!args.contains("--history"))
            args << "--no-history";
        p.start(binary, args << "--no-notify");
    }
    long residentKiB() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        status.open(QIODevice::ReadOnly);
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toLong();
        return -1;
    }

    test::WorkDir dir;
    test::PseudoTerminal unit;
    QProcess process;
};

} // namespace vorn::test
