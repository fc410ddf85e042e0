#include "monitor/RuntimeFolder.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {

namespace {

QString checked(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot make %1: %2")
            .arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    // lstat: a symbolic link planted in its place is refused too.
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a folder").arg(QFile::decodeName(path));
    if (st.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(QFile::decodeName(path));
    if ((st.st_mode & 077) != 0)
        return QStringLiteral("%1 is open to other users (mode %2)")
            .arg(QFile::decodeName(path))
            .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0'));
    return {};
}

} // namespace

RuntimeFolder monitorRuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray path = runtime.isEmpty()
                                ? QByteArray("/tmp/vorn-") + QByteArray::number(::geteuid())
                                : runtime + "/vorn";
    RuntimeFolder folder{QFile::decodeName(path), {}};
    folder.error = checked(path);
    return folder;
}

OwnerLock::~OwnerLock() {
    release();
}

bool OwnerLock::tryTake(const RuntimeFolder& folder, const QString& name) {
    if (fd_ >= 0)
        return true;
    if (!folder.usable())
        return false;
    const QByteArray path = QFile::encodeName(folder.path + QLatin1Char('/') + name);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void OwnerLock::release() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace vorn
