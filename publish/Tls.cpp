#include "publish/Tls.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace vorn::mqtt {

namespace {

// The OpenSSL functions we call, looked up in libssl (and libcrypto through
// it) when TLS is first asked for. Only the declarations come from the
// headers; nothing links against OpenSSL.
struct OpenSsl {
#define VORN_OPENSSL(name) decltype(&::name) name = nullptr;
#define VORN_OPENSSL_FUNCTIONS                                                                     \
    VORN_OPENSSL(TLS_client_method)                                                                \
    VORN_OPENSSL(SSL_CTX_new)                                                                      \
    VORN_OPENSSL(SSL_CTX_free)                                                                     \
    VORN_OPENSSL(SSL_CTX_ctrl)                                                                     \
    VORN_OPENSSL(SSL_CTX_set_verify)                                                               \
    VORN_OPENSSL(SSL_CTX_load_verify_locations)                                                    \
    VORN_OPENSSL(SSL_CTX_use_certificate_chain_file)                                               \
    VORN_OPENSSL(SSL_CTX_use_PrivateKey_file)                                                      \
    VORN_OPENSSL(SSL_CTX_check_private_key)                                                        \
    VORN_OPENSSL(SSL_new)                                                                          \
    VORN_OPENSSL(SSL_free)                                                                         \
    VORN_OPENSSL(SSL_ctrl)                                                                         \
    VORN_OPENSSL(SSL_set_fd)                                                                       \
    VORN_OPENSSL(SSL_set1_host)                                                                    \
    VORN_OPENSSL(SSL_get0_param)                                                                   \
    VORN_OPENSSL(SSL_connect)                                                                      \
    VORN_OPENSSL(SSL_read)                                                                         \
    VORN_OPENSSL(SSL_write)                                                                        \
    VORN_OPENSSL(SSL_get_error)                                                                    \
    VORN_OPENSSL(SSL_get_verify_result)                                                            \
    VORN_OPENSSL(SSL_shutdown)                                                                     \
    VORN_OPENSSL(X509_VERIFY_PARAM_set1_ip_asc)                                                    \
    VORN_OPENSSL(X509_verify_cert_error_string)                                                    \
    VORN_OPENSSL(ERR_get_error)                                                                    \
    VORN_OPENSSL(ERR_clear_error)                                                                  \
    VORN_OPENSSL(ERR_error_string_n)
    VORN_OPENSSL_FUNCTIONS
#undef VORN_OPENSSL
};

// Loaded once and kept for the life of the process.
const OpenSsl* openSsl(QString& error) {
    static OpenSsl api;
    static QString failure;
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = ::dlopen("libssl.so.3", RTLD_NOW | RTLD_LOCAL);
        if (lib == nullptr) {
            failure = QStringLiteral("TLS needs OpenSSL 3 (libssl3): %1")
                          .arg(QString::fromLocal8Bit(::dlerror()));
            return;
        }
#define VORN_OPENSSL(name)                                                                         \
    api.name = reinterpret_cast<decltype(api.name)>(::dlsym(lib, #name));                          \
    if (api.name == nullptr && failure.isEmpty())                                                  \
        failure = QStringLiteral("TLS needs OpenSSL 3: libssl has no " #name);
        VORN_OPENSSL_FUNCTIONS
#undef VORN_OPENSSL
    });
    error = failure;
    return failure.isEmpty() ? &api : nullptr;
}

// Everything OpenSSL queued on this thread, in words, oldest first.
QString queuedErrors(const OpenSsl& ssl) {
    QString text;
    while (const unsigned long e = ssl.ERR_get_error()) {
        char buffer[256];
        ssl.ERR_error_string_n(e, buffer, sizeof buffer);
        if (!text.isEmpty())
            text += QStringLiteral("; ");
        text += QString::fromLocal8Bit(buffer);
    }
    return text;
}

bool isAddress(const QByteArray& host) {
    unsigned char bytes[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.constData(), bytes) == 1 ||
           ::inet_pton(AF_INET6, host.constData(), bytes) == 1;
}

} // namespace

struct TlsSession::Handles {
    const OpenSsl& ssl;
    SSL_CTX* ctx = nullptr;
    SSL* conn = nullptr;

    explicit Handles(const OpenSsl& api) : ssl(api) {}
    ~Handles() {
        if (conn != nullptr) {
            ssl.SSL_shutdown(conn); // a close_notify if it fits; never waited for
            ssl.SSL_free(conn);
        }
        if (ctx != nullptr)
            ssl.SSL_CTX_free(ctx);
    }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
};

std::unique_ptr<TlsSession> TlsSession::make(const TlsFiles& files, QString& error) {
    const OpenSsl* api = openSsl(error);
    if (api == nullptr)
        return nullptr;
    const OpenSsl& ssl = *api;
    ssl.ERR_clear_error();
    auto h = std::make_unique<Handles>(ssl);
    h->ctx = ssl.SSL_CTX_new(ssl.TLS_client_method());
    const auto fail = [&](const QString& what) {
        const QString why = queuedErrors(ssl);
        error = why.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, why);
        return nullptr;
    };
    if (h->ctx == nullptr)
        return fail(QStringLiteral("cannot start TLS"));
    ssl.SSL_CTX_ctrl(h->ctx, SSL_CTRL_MODE,
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER, nullptr);
    ssl.SSL_CTX_ctrl(h->ctx, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
    ssl.SSL_CTX_set_verify(h->ctx, SSL_VERIFY_PEER, nullptr);
    if (ssl.SSL_CTX_load_verify_locations(h->ctx, files.ca.constData(), nullptr) != 1)
        return fail(QStringLiteral("cannot use the CA file '%1'").arg(QString::fromUtf8(files.ca)));
    if (!files.cert.isEmpty()) {
        if (ssl.SSL_CTX_use_certificate_chain_file(h->ctx, files.cert.constData()) != 1)
            return fail(QStringLiteral("cannot use the certificate '%1'")
                            .arg(QString::fromUtf8(files.cert)));
        if (ssl.SSL_CTX_use_PrivateKey_file(h->ctx, files.key.constData(), SSL_FILETYPE_PEM) != 1 ||
            ssl.SSL_CTX_check_private_key(h->ctx) != 1)
            return fail(
                QStringLiteral("cannot use the key '%1'").arg(QString::fromUtf8(files.key)));
    }
    h->conn = ssl.SSL_new(h->ctx);
    if (h->conn == nullptr)
        return fail(QStringLiteral("cannot start TLS"));
    return std::unique_ptr<TlsSession>(new TlsSession(std::move(h)));
}

TlsSession::TlsSession(std::unique_ptr<Handles> handles) : h_(std::move(handles)) {}

TlsSession::~TlsSession() = default;

TlsSession::Io TlsSession::handshake(int fd, const QByteArray& host) {
    const OpenSsl& ssl = h_->ssl;
    if (!started_) {
        started_ = true;
        const bool address = isAddress(host);
        const bool named = address ? ssl.X509_VERIFY_PARAM_set1_ip_asc(ssl.SSL_get0_param(h_->conn),
                                                                       host.constData()) == 1
                                   : ssl.SSL_set1_host(h_->conn, host.constData()) == 1;
        if (!named || ssl.SSL_set_fd(h_->conn, fd) != 1) {
            error_ = QStringLiteral("cannot start TLS for %1").arg(QString::fromUtf8(host));
            return Io::Failed;
        }
        if (!address) // the server's name, for a broker with several certificates
            ssl.SSL_ctrl(h_->conn, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                         const_cast<char*>(host.constData()));
    }
    const Io io = outcome(ssl.SSL_connect(h_->conn));
    if (io == Io::Failed) {
        const long verify = ssl.SSL_get_verify_result(h_->conn);
        if (verify != X509_V_OK)
            error_ += QStringLiteral(" (%1)").arg(
                QString::fromLocal8Bit(ssl.X509_verify_cert_error_string(verify)));
    }
    return io;
}

TlsSession::Io TlsSession::read(char* into, int size, int& got) {
    const int rc = h_->ssl.SSL_read(h_->conn, into, size);
    got = rc > 0 ? rc : 0;
    return outcome(rc);
}

TlsSession::Io TlsSession::write(const char* from, int size, int& put) {
    const int rc = h_->ssl.SSL_write(h_->conn, from, size);
    put = rc > 0 ? rc : 0;
    return outcome(rc);
}

TlsSession::Io TlsSession::outcome(int rc) {
    const OpenSsl& ssl = h_->ssl;
    if (rc > 0) {
        ssl.ERR_clear_error();
        return Io::Done;
    }
    switch (ssl.SSL_get_error(h_->conn, rc)) {
    case SSL_ERROR_WANT_READ:
        return Io::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Io::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
        return Io::Closed;
    case SSL_ERROR_SYSCALL:
        error_ = queuedErrors(ssl);
        if (error_.isEmpty())
            error_ = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                : QStringLiteral("the connection was closed");
        return Io::Failed;
    default:
        error_ = queuedErrors(ssl);
        if (error_.isEmpty())
            error_ = QStringLiteral("TLS failed");
        return Io::Failed;
    }
}

} // namespace vorn::mqtt
