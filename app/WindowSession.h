#pragma once

#include "app/CommandLine.h"
#include "link/HidBackend.h"
#include "monitor/LocalSocket.h"
#include "monitor/MonitorClient.h"
#include "monitor/MonitorCore.h"
#include "monitor/MonitorServer.h"
#include "monitor/RuntimeFolder.h"
#include "monitor/ToneRouter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <exception>
#include <memory>

namespace vorn {

class NoticeService;
class Outputs;
class TFmain;
class TrayIcon;

// What a failed start shows the user: the reason, with the settings file
// and line when a line was at fault (also said on standard error).
QString failureText(const std::exception& e);

// The user's one window: a later `vorn` asks it to come forward and ends.
class SingleWindow : public QObject {
    Q_OBJECT
public:
    // True when this process is the one window; otherwise the one there is
    // has been asked to come forward.
    bool claim(const RuntimeFolder& folder);

signals:
    void raiseRequested();

private:
    OwnerLock lock_;
    LocalListener* server_ = nullptr; // owned through its parent, this
};

// The window and what it shows: the monitor itself when this process owns
// the unit (with the history, publishing and notifications), or the owner's
// mirror when another process does. When the owner ends, the window takes
// the unit over, or attaches to whoever took it.
class WindowSession : public QObject {
    Q_OBJECT
public:
    struct Services {
        QString workDir;
        MessageSink* messages;
        ToneSink* tones;
        HidBackend* hid;
        NoticeService* sessionBus;
    };
    WindowSession(const ProgramOptions& options, Services services);
    ~WindowSession() override;

    // Attaches to a running owner, else owns the unit; throws as the monitor does.
    void start();
    void raiseWindow();
    bool owns() const { return core_ != nullptr; }
    TFmain* window() const { return window_.get(); }
    // The icon in the desktop's tray; null when the desktop has none.
    TrayIcon* tray() const { return tray_.get(); }

private:
    void own();
    bool attach();
    void mirror(std::unique_ptr<MonitorClient> client);
    void lookForOwner();
    void show(MonitorModel& model);

    const ProgramOptions& options_;
    Services services_;
    RuntimeFolder folder_;
    OwnerLock owner_;
    ToneRouter router_;
    QTimer handOver_;
    std::unique_ptr<MonitorClient> client_;
    std::unique_ptr<MonitorClient> pending_; // attaching to a new owner
    QElapsedTimer pendingSince_;
    std::unique_ptr<MonitorCore> core_;
    std::unique_ptr<MonitorServer> server_;
    std::unique_ptr<Outputs> outputs_;
    std::unique_ptr<TFmain> window_; // goes first, before what it draws from
    std::unique_ptr<TrayIcon> tray_; // follows what window_ draws from; goes before it
};

} // namespace vorn
