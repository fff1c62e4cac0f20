#include "pipeline/WatchFolder.h"

#include <QDir>
#include <QFileInfo>

namespace lumenote {

WatchFolder::WatchFolder(QString folder, std::chrono::milliseconds settle) : folder_(std::move(folder)), settle_(settle) {}

bool WatchFolder::isVideo(const QString& fileName) {
    static const QStringList extensions = {QStringLiteral("mp4"), QStringLiteral("mov"), QStringLiteral("m4v"), QStringLiteral("mkv"),
                                           QStringLiteral("webm")};
    return extensions.contains(QFileInfo(fileName).suffix().toLower());
}

QStringList WatchFolder::poll(const QDateTime& now) {
    QStringList settled;
    QHash<QString, Seen> current;
    const QFileInfoList entries = QDir(folder_).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : entries) {
        if (!isVideo(info.fileName())) continue;
        const QString path = info.absoluteFilePath();
        Seen s = seen_.value(path);
        if (s.size != info.size() || s.modified != info.lastModified()) {
            s = {info.size(), info.lastModified(), now, false};
        } else if (!s.reported && s.size > 0 && s.unchangedSince.msecsTo(now) >= settle_.count()) {
            s.reported = true;
            settled << path;
        }
        current.insert(path, s);
    }
    // A file removed and put back is seen afresh.
    seen_ = std::move(current);
    return settled;
}

}  // namespace lumenote
