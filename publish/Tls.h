#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace vorn::mqtt {

// The files of a TLS connection: the CA that signs the broker's certificate,
// and the client's own certificate and key (both empty: none).
struct TlsFiles {
    QByteArray ca;
    QByteArray cert;
    QByteArray key;
};

// One TLS client connection over a connected, non-blocking socket. OpenSSL is
// loaded when the first one is made, so a monitor publishing in plain text
// (or not at all) never carries it. The broker's certificate and its name
// (or address) are always checked.
class TlsSession {
public:
    enum class Io { Done, WantRead, WantWrite, Closed, Failed };

    // Null, with `error` said, when OpenSSL or one of the files cannot be used.
    static std::unique_ptr<TlsSession> make(const TlsFiles& files, QString& error);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Call again on WantRead/WantWrite once the socket is ready for it.
    Io handshake(int fd, const QByteArray& host);
    Io read(char* into, int size, int& got);
    Io write(const char* from, int size, int& put);
    // The last failure in words, as OpenSSL tells it.
    QString error() const { return error_; }

private:
    struct Handles;
    explicit TlsSession(std::unique_ptr<Handles> handles);
    Io outcome(int rc);

    std::unique_ptr<Handles> h_;
    bool started_ = false;
    QString error_;
};

} // namespace vorn::mqtt
