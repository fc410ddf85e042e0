#include "app/UserFolder.h"

#include "app/CommandLine.h"
#include "monitor/MessageSink.h"
#include "monitor/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {

namespace {

// The eight lines a fresh installation starts with, as scripts/run writes them.
constexpr char kDefaultSettings[] = "26\r\n45\r\n70\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";

// The user's readings and driving times are nobody else's business.
constexpr mode_t kFolderMode = 0700;
constexpr QFileDevice::Permissions kFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString cannotMake(const QString& folder, const QString& why) {
    return QStringLiteral("Cannot make the folder %1: %2").arg(folder, why);
}

// Each missing folder on the way is made 0700, as the XDG rules ask.
std::optional<QString> makeFolder(const QString& folder) {
    const QStringList parts = QDir::cleanPath(folder).split(u'/', Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += u'/' + part;
        if (QFileInfo(path).isDir())
            continue;
        if (::mkdir(QFile::encodeName(path).constData(), kFolderMode) != 0 && errno != EEXIST)
            return cannotMake(folder, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!QFileInfo(folder).isDir())
        return cannotMake(folder, QStringLiteral("a file of that name is in the way"));
    return std::nullopt;
}

// Files made here would be another user's to read, and theirs to plant.
std::optional<QString> refuseForeignFolder(const QString& folder) {
    struct stat status {};
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
        return QStringLiteral("Cannot work in the folder %1: %2")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    if (status.st_uid != ::geteuid())
        return QStringLiteral("Cannot work in the folder %1: it belongs to another user")
            .arg(folder);
    return std::nullopt;
}

std::optional<QString> writeDefaultSettings(const QString& path) {
    // NewOnly fails on anything already there, a dangling link included, so an
    // existing file is never rewritten, not even by a second program racing us.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kFileMode)) {
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            return std::nullopt;
        return QStringLiteral("Cannot create file %1: %2").arg(path, file.errorString());
    }
    const qint64 size = static_cast<qint64>(sizeof kDefaultSettings - 1);
    if (file.write(kDefaultSettings, size) != size || !file.flush()) {
        // A torn file would fail every later start; leave none.
        const QString reason = file.errorString();
        file.remove();
        return QStringLiteral("Cannot create file %1: %2").arg(path, reason);
    }
    return std::nullopt;
}

} // namespace

QString userFolderPath() {
    const QString base = userDataHome();
    return base.isEmpty() ? QString() : base + QStringLiteral("/VORN");
}

std::optional<QString> prepareUserFolder(const QString& folder) {
    if (folder.isEmpty())
        return QStringLiteral("No per-user data folder is known (is HOME set?)");
    if (auto failure = makeFolder(folder))
        return failure;
    if (auto failure = refuseForeignFolder(folder))
        return failure;
    return writeDefaultSettings(QDir(folder).filePath(QString::fromLatin1(kSettingsFileName)));
}

std::optional<QString> chooseWorkFolder(const ProgramOptions& options, MessageSink& messages) {
    if (!options.userFolder)
        return QDir::currentPath();
    const QString folder = userFolderPath();
    std::optional<QString> failure = prepareUserFolder(folder);
    if (!failure && !QDir::setCurrent(folder))
        failure = QStringLiteral("Cannot work in the folder %1").arg(folder);
    if (failure) {
        messages.show(*failure, kExceptionCaption);
        return std::nullopt;
    }
    return QDir(folder).absolutePath();
}

} // namespace vorn
