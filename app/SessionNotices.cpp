#include "app/SessionNotices.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

namespace vorn {

namespace {

// The module's service, or why there is none.
std::unique_ptr<NoticeService> loadModule(QString& why) {
    // Beside the program in a build, under the library folder once installed.
    const QString programs =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
    const QString name = QStringLiteral("libvorn-notify-dbus.so");
    QStringList problems;
    for (const QString& folder :
         {programs, QDir::cleanPath(programs + QStringLiteral("/" VORN_MODULES_FROM_BIN))}) {
        QLibrary module(folder + QLatin1Char('/') + name);
        if (!QFileInfo::exists(module.fileName()))
            continue;
        using Make = NoticeService* (*)();
        // Never unloaded: the service it makes lives until the program ends.
        if (const auto make = reinterpret_cast<Make>(module.resolve("vorn_make_dbus_notices")))
            return std::unique_ptr<NoticeService>(make());
        problems << module.errorString();
    }
    why = problems.isEmpty() ? QStringLiteral("%1 is not installed").arg(name)
                             : problems.join(QStringLiteral("; "));
    return nullptr;
}

} // namespace

SessionNotices::~SessionNotices() = default;

void SessionNotices::start(QObject& receiver, Reached reached) {
    if (loaded_)
        return;
    QString why;
    loaded_ = loadModule(why);
    if (!loaded_)
        loaded_ = std::make_unique<UnavailableNotices>(true, why);
    loaded_->start(receiver, std::move(reached));
}

void SessionNotices::forget() {
    if (loaded_)
        loaded_->forget();
}

bool SessionNotices::stillConnecting() const {
    return loaded_ && loaded_->stillConnecting();
}

bool SessionNotices::connected() const {
    return loaded_ && loaded_->connected();
}

void SessionNotices::notify(const Notice& notice, QObject& receiver, Answered answered) {
    if (loaded_)
        loaded_->notify(notice, receiver, std::move(answered));
}

void SessionNotices::close(quint32 id) {
    if (loaded_)
        loaded_->close(id);
}

} // namespace vorn
