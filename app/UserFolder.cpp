#include "app/UserFolder.h"

#include "app/CommandLine.h"
#include "monitor/MessageSink.h"
#include "monitor/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace vorn {

namespace {

// The eight lines a fresh installation starts with, as scripts/run writes them.
constexpr char kDefaultSettings[] = "26\r\n45\r\n70\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";

std::optional<QString> makeFolder(const QString& folder) {
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(folder).toStdString()), error);
    if (error)
        return QStringLiteral("Cannot make the folder %1: %2")
            .arg(folder, QString::fromStdString(error.message()));
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("Cannot make the folder %1: a file of that name is in the way")
            .arg(folder);
    return std::nullopt;
}

std::optional<QString> writeDefaultSettings(const QString& path) {
    // NewOnly fails on anything already there, a dangling link included, so an
    // existing file is never rewritten, not even by a second program racing us.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
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
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

std::optional<QString> prepareUserFolder(const QString& folder) {
    if (folder.isEmpty())
        return QStringLiteral("No per-user data folder is known (is HOME set?)");
    if (auto failure = makeFolder(folder))
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
