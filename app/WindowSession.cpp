#include "app/WindowSession.h"

#include "app/HistoryViews.h"
#include "app/Outputs.h"
#include "tray/TrayIcon.h"
#include "window/TFmain.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <cstdio>

namespace vorn {

QString failureText(const std::exception& e) {
    const QString text = QString::fromUtf8(e.what());
    if (const auto* line = dynamic_cast<const SettingsLineError*>(&e)) {
        std::fprintf(stderr, "vorn: %s\n", qUtf8Printable(line->where()));
        return text + QStringLiteral("\nin ") + line->place();
    }
    return text;
}

namespace {
// How often a window whose owner ended looks for the unit again.
constexpr int kHandOverTickMs = 100;
// How long a new owner may take to send its whole state.
constexpr int kAttachMs = 3000;
} // namespace

bool SingleWindow::claim(const RuntimeFolder& folder) {
    if (!folder.usable())
        return true; // nowhere to meet: every window stands alone
    const QString path = folder.path + QStringLiteral("/window.sock");
    if (!lock_.tryTake(folder, QStringLiteral("window.lock"))) {
        LocalSocket other;
        if (other.connectTo(path)) {
            other.write("raise\n"); // a few bytes on a fresh socket: sent at once
            return false;
        }
        return true; // the window there is does not answer: open one anyway
    }
    server_ = new LocalListener(this);
    server_->listen(path);
    connect(server_, &LocalListener::newConnection, this, [this] {
        while (LocalSocket* s = server_->nextPendingConnection()) {
            s->deleteLater();
            emit raiseRequested();
        }
    });
    return true;
}

WindowSession::WindowSession(const ProgramOptions& options, Services services)
    : options_(options), services_(services), folder_(monitorRuntimeFolder()),
      router_(*services.tones) {
    handOver_.setInterval(kHandOverTickMs);
    connect(&handOver_, &QTimer::timeout, this, &WindowSession::lookForOwner);
}

WindowSession::~WindowSession() {
    tray_.reset();
    window_.reset();
    outputs_.reset();
    server_.reset();
}

void WindowSession::start() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = std::make_unique<TrayIcon>(*services_.messages);
        connect(tray_.get(), &TrayIcon::showRequested, this, &WindowSession::raiseWindow);
        connect(tray_.get(), &TrayIcon::preferencesRequested, this, [this] {
            raiseWindow();
            if (window_)
                window_->showPreferences();
        });
    }
    if (!folder_.usable()) {
        services_.messages->note(
            QStringLiteral("vorn: the monitor is not served: %1").arg(folder_.error));
        return own();
    }
    if (owner_.tryTake(folder_) || !attach())
        own();
}

bool WindowSession::attach() {
    auto client = std::make_unique<MonitorClient>(*services_.messages, *services_.tones);
    if (!client->attach(folder_.socketPath()))
        return false;
    mirror(std::move(client));
    return true;
}

void WindowSession::mirror(std::unique_ptr<MonitorClient> client) {
    connect(client.get(), &MonitorClient::ownerGone, this, [this] { handOver_.start(); });
    // The old mirror lives until the window that draws from it has gone; it
    // may be the one telling us of its end this very moment.
    std::unique_ptr<MonitorClient> before = std::exchange(client_, std::move(client));
    show(*client_);
    new HistoryViews(*window_, accessToOwners(*client_));
    if (before)
        before.release()->deleteLater();
}

// The owner ended: take the unit when its lock is free, or attach to
// whoever took it first.
void WindowSession::lookForOwner() {
    if (owner_.tryTake(folder_)) {
        handOver_.stop();
        pending_.reset();
        services_.messages->note(
            QStringLiteral("vorn: the owner ended; this window took the unit over"));
        try {
            own();
        } catch (const std::exception& e) {
            // As a start that fails: the reason shown, the program ended
            // with a failure, rather than an exception out of the event loop.
            services_.messages->show(failureText(e), kExceptionCaption);
            owner_.release();
            QCoreApplication::exit(1);
            return;
        }
        // The old mirror goes once the window drawing from it has gone.
        if (client_)
            client_.release()->deleteLater();
        return;
    }
    // Another process took the unit: attach to it without waiting here, the
    // window stays live; its whole state is looked for on the next ticks.
    if (!pending_) {
        pending_ = std::make_unique<MonitorClient>(*services_.messages, *services_.tones);
        if (!pending_->connectTo(folder_.socketPath()))
            pending_.reset();
        pendingSince_.start();
        return;
    }
    if (pending_->hasState()) {
        handOver_.stop();
        mirror(std::move(pending_));
    } else if (!pending_->connected() || pendingSince_.elapsed() > kAttachMs) {
        pending_.release()->deleteLater(); // it may be the one emitting
    }
}

void WindowSession::own() {
    core_ = std::make_unique<MonitorCore>(
        MonitorServices{services_.workDir, services_.messages, &router_, services_.hid});
    server_ = serveMonitor(*core_, *services_.messages, owner_, folder_, &router_);
    outputs_ = std::make_unique<Outputs>(*core_, options_, *services_.sessionBus);
    show(*core_);
    if (server_)
        server_->setHistoryFile([this] { return outputs_ ? outputs_->historyFile() : QString(); });
    new HistoryViews(*window_, accessTo(outputs_->history()));
}

// A window made anew for a new model is shown as the one before it was: in
// its place, or left hidden in the tray.
void WindowSession::show(MonitorModel& model) {
    std::unique_ptr<TFmain> before = std::move(window_);
    window_ = std::make_unique<TFmain>(model, *services_.messages);
    // The command line wins only where it is this process that owns the unit.
    if (owns())
        window_->setCommandLineNotes(commandLineNotes(options_));
    if (tray_)
        tray_->follow(model);
    if (before) {
        window_->move(before->pos());
        if (before->isVisible())
            window_->show();
        before->hide();
        before.reset();
        return;
    }
    if (!options_.minimized)
        window_->show();
    else if (!tray_)
        window_->showMinimized();
}

void WindowSession::raiseWindow() {
    if (!window_)
        return;
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

} // namespace vorn
