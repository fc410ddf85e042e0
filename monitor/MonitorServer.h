#pragma once

#include "monitor/LineReader.h"
#include "monitor/LocalSocket.h"
#include "monitor/MonitorCore.h"
#include "monitor/MonitorProtocol.h"
#include "monitor/ToneRouter.h"

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace vorn {

// The owner's side of the socket: serves the monitor to every client of the
// same user. A client gets the hello and the whole state, then each change
// as it happens; what it sends is checked line by line and only the
// window's commands reach the monitor. The owner never waits for a client:
// one that sends a line too long, or stops reading until its outbox passes
// the cap, is dropped.
class MonitorServer : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxOutbox = 1024 * 1024;

    // `tones`, when given, sends the monitor's tones to a client that plays
    // them instead of sounding them here.
    MonitorServer(MonitorCore& core, MessageSink& messages, ToneRouter* tones = nullptr,
                  QObject* parent = nullptr);
    ~MonitorServer() override;

    // Listens at `path`, replacing a socket left by an owner that is gone
    // (the caller holds the owner's lock). False, said on `messages`, when
    // it cannot.
    bool listen(const QString& path);
    // The history this owner keeps, named to each client in its hello so
    // an attached window can show it.
    void setHistoryFile(std::function<QString()> file) { historyFile_ = std::move(file); }
    int clientCount() const { return static_cast<int>(clients_.size()); }
    // Sends `line` to every client.
    void broadcast(const QByteArray& line);

signals:
    void clientsChanged();

private:
    struct Client {
        LocalSocket* socket; // owned through its parent, the server
        LineReader reader;
        bool playsTones = false;
    };
    void accept();
    bool samePeer(LocalSocket& socket) const;
    void read(Client& client);
    void send(Client& client, const QByteArray& line);
    void drop(LocalSocket* socket, const QString& why);
    QByteArray wholeState() const;
    void connectCore();
    // Sends a section again only when it changed since it was last sent.
    void sendIfChanged(QByteArray& last, QByteArray now);

    MonitorCore& core_;
    MessageSink& messages_;
    LocalListener* server_ = nullptr; // owned through its parent, this
    std::vector<std::unique_ptr<Client>> clients_;
    QByteArray lastTable_;
    QByteArray lastPanels_;
    QByteArray lastLinks_;
    QByteArray lastSettings_;
    QByteArray lastWarnings_;
    ToneRouter* tones_ = nullptr;
    std::function<QString()> historyFile_;
    wire::LastReports lastReports_{}; // heard since this owner started
};

} // namespace vorn

#include "monitor/RuntimeFolder.h"

namespace vorn {

// Takes the owner's lock when it is free; says on `messages` why the
// monitor will not be served otherwise.
RuntimeFolder takeOwnership(OwnerLock& owner, MessageSink& messages);
// The server of an owner that holds the lock; none otherwise.
std::unique_ptr<MonitorServer> serveMonitor(MonitorCore& core, MessageSink& messages,
                                            const OwnerLock& owner, const RuntimeFolder& folder,
                                            ToneRouter* tones = nullptr);

} // namespace vorn
