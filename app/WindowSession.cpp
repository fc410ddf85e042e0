#include "app/WindowSession.h"

#include "app/HistoryViews.h"
#include "app/HistoryWiring.h"
#include "app/InsightWiring.h"
#include "app/PublishWiring.h"
#include "monitor/UserSettings.h"
#include "notify/BusConnector.h"
#include "notify/DesktopNotifier.h"
#include "tray/TrayIcon.h"
#include "window/TFmain.h"

#include <QLocalSocket>
#include <QSystemTrayIcon>

namespace vorn {

namespace {
// How often a window whose owner ended looks for the unit again.
constexpr int kHandOverTickMs = 100;
} // namespace

bool SingleWindow::claim(const RuntimeFolder& folder) {
    if (!folder.usable())
        return true; // nowhere to meet: every window stands alone
    const QString path = folder.path + QStringLiteral("/window.sock");
    if (!lock_.tryTake(folder, QStringLiteral("window.lock"))) {
        QLocalSocket other;
        other.connectToServer(path);
        if (other.waitForConnected(2000)) {
            other.write("raise\n");
            other.waitForBytesWritten(2000);
            return false;
        }
        return true; // the window there is does not answer: open one anyway
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    server_->listen(path);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
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
    publishing_.reset();
    server_.reset();
}

void WindowSession::start() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = std::make_unique<TrayIcon>(*services_.messages);
        connect(tray_.get(), &TrayIcon::showRequested, this, &WindowSession::raiseWindow);
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
    connect(client.get(), &MonitorClient::ownerGone, this, [this] { handOver_.start(); });
    // The old mirror lives until the window that draws from it has gone; it
    // may be the one telling us of its end this very moment.
    std::unique_ptr<MonitorClient> before = std::exchange(client_, std::move(client));
    show(*client_);
    if (before)
        before.release()->deleteLater();
    return true;
}

// The owner ended: take the unit when its lock is free, or attach to
// whoever took it first.
void WindowSession::lookForOwner() {
    if (owner_.tryTake(folder_)) {
        handOver_.stop();
        services_.messages->note(
            QStringLiteral("vorn: the owner ended; this window took the unit over"));
        std::unique_ptr<MonitorClient> before = std::move(client_);
        own();
        if (before)
            before.release()->deleteLater();
        return;
    }
    if (attach())
        handOver_.stop();
}

void WindowSession::own() {
    core_ = std::make_unique<MonitorCore>(
        MonitorServices{services_.workDir, services_.messages, &router_, services_.hid});
    server_ = serveMonitor(*core_, *services_.messages, owner_, folder_, &router_);
    if (options_.notify)
        new DesktopNotifier(*core_, *services_.sessionBus); // owned by the monitor
    HistoryFeature* history = installHistory(*core_, options_);
    publishing_ = startPublishing(*core_, options_, *openUserSettings());
    installInsight(*core_, *openUserSettings(), publishing_.get());
    show(*core_);
    new HistoryViews(*window_, *history);
}

// A window made anew for a new model is shown as the one before it was: in
// its place, or left hidden in the tray.
void WindowSession::show(MonitorModel& model) {
    std::unique_ptr<TFmain> before = std::move(window_);
    window_ = std::make_unique<TFmain>(model, *services_.messages);
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
