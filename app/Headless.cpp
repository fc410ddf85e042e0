#include "app/Headless.h"

#include "app/CommandLine.h"
#include "app/Outputs.h"
#include "app/SessionNotices.h"
#include "app/UserFolder.h"
#include "link/HidBackend.h"
#include "link/TonePlayer.h"
#include "monitor/MonitorCore.h"
#include "monitor/MonitorServer.h"
#include "monitor/RuntimeFolder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn {

namespace {

// A signal handler can reach nothing else: the write end of the pair.
std::atomic<int> signalWriteEnd{-1};

constexpr std::array kQuitSignals{SIGINT, SIGTERM, SIGHUP};

// The first signal asks the event loop to end cleanly; a second one, of
// either kind, ends the program at once, should the clean end hang.
extern "C" void onQuitSignal(int) {
    struct sigaction now {};
    now.sa_handler = SIG_DFL;
    for (const int s : kQuitSignals)
        ::sigaction(s, &now, nullptr);
    const int fd = signalWriteEnd.load();
    const char byte = 1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
}

// Shows the text of any exception that escapes an event handler and carries on.
class HeadlessApplication : public QCoreApplication {
public:
    HeadlessApplication(int& argc, char** argv, MessageSink& messages)
        : QCoreApplication(argc, argv), messages_(messages) {
        // Names the per-user folders (~/.local/share/VORN) whatever the file is called.
        setApplicationName(QStringLiteral("VORN"));
    }
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            messages_.show(QString::fromUtf8(e.what()), kExceptionCaption);
        } catch (...) {
            messages_.show(QStringLiteral("Unknown error"), kExceptionCaption);
        }
        return false;
    }

private:
    MessageSink& messages_;
};

} // namespace

QuitOnSignals::QuitOnSignals(bool active) {
    if (!active ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair_.data()) != 0)
        return;
    signalWriteEnd.store(pair_[0]);
    notifier_ = new QSocketNotifier(pair_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pair_[1], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : kQuitSignals)
        ::sigaction(s, &action, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
    if (pair_[0] < 0)
        return;
    for (const int s : kQuitSignals)
        std::signal(s, SIG_DFL);
    signalWriteEnd.store(-1);
    for (const int fd : pair_)
        ::close(fd);
}

namespace {

// Another process of this user owns the unit: wait, without touching the
// unit, until it ends and the lock is ours. False when told to quit first.
bool standBy(QCoreApplication& app, OwnerLock& owner, const RuntimeFolder& folder,
             MessageSink& messages) {
    constexpr int kTookOver = 77;
    messages.note(QStringLiteral("vorn: standing by: another VORN of this user owns the unit; "
                                 "taking it over when that one ends"));
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (owner.tryTake(folder))
            QCoreApplication::exit(kTookOver);
    });
    poll.start();
    if (app.exec() != kTookOver)
        return false;
    messages.note(QStringLiteral("vorn: the owner ended; this one took the unit over"));
    return true;
}

int runMonitor(int argc, char** argv, const ProgramOptions& options, NoticeService& sessionBus) {
    StderrMessageSink messages;
    HeadlessApplication app(argc, argv, messages);
    const QuitOnSignals quitOnSignals(true);
    const std::optional<QString> workDir = chooseWorkFolder(options, messages);
    if (!workDir)
        return 1;
    TonePlayer tones(makeAlsaOutput());
    const std::unique_ptr<HidBackend> hid = makeHidapiBackend();
    OwnerLock owner;
    const RuntimeFolder folder = takeOwnership(owner, messages);
    if (folder.usable() && !owner.held() && !standBy(app, owner, folder, messages))
        return 0;
    ToneRouter router(tones);
    try {
        MonitorCore core({*workDir, &messages, &router, hid.get()});
        const auto server = serveMonitor(core, messages, owner, folder, &router);
        Outputs outputs(core, options, sessionBus);
        if (server)
            server->setHistoryFile([&outputs] { return outputs.historyFile(); });
        return app.exec();
    } catch (const SettingsLineError& e) {
        std::fprintf(stderr, "vorn: %s\n", qUtf8Printable(e.where()));
        messages.show(QString::fromUtf8(e.what()), kExceptionCaption);
        return 1;
    } catch (const std::exception& e) {
        // A failed start is said, and reported to the caller as a failure.
        messages.show(QString::fromUtf8(e.what()), kExceptionCaption);
        return 1;
    }
}

} // namespace

int runHeadless(int argc, char** argv, const ProgramOptions& options) {
    SessionNotices sessionBus;
    const int status = runMonitor(argc, argv, options, sessionBus);
    if (sessionBus.stillConnecting()) {
        // Everything of ours has closed; Qt's exit handlers would wait for
        // the bus for good.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

int startHeadless(int argc, char** argv, const ProgramOptions& options) {
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QByteArray vornd =
        (QFileInfo(self).absolutePath() + QStringLiteral("/vornd")).toLocal8Bit();
    if (!self.isEmpty() && ::access(vornd.constData(), X_OK) == 0) {
        argv[0] = const_cast<char*>(vornd.constData());
        ::execv(vornd.constData(), argv);
        std::fprintf(stderr, "vorn: cannot run %s (%s); running here\n", vornd.constData(),
                     std::strerror(errno));
    }
    return runHeadless(argc, argv, options);
}

} // namespace vorn
