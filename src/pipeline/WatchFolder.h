#pragma once

// A folder watched for lecture videos: a video counts once it has stopped
// growing (same size and modification time for the settling time), and each
// is reported once per watch. Whether it was processed before is the
// library's business (the duplicate rule: the same path is the same video).

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>

namespace lumenote {

class WatchFolder {
public:
    explicit WatchFolder(QString folder, std::chrono::milliseconds settle = std::chrono::seconds(2));

    QString folder() const { return folder_; }
    // Lists the folder and returns the absolute paths of the videos that have
    // settled since the last poll, in name order.
    QStringList poll(const QDateTime& now = QDateTime::currentDateTimeUtc());

    // Video files by their extension (mp4, mov, m4v, mkv, webm; any letter case).
    static bool isVideo(const QString& fileName);

private:
    struct Seen {
        qint64 size = -1;
        QDateTime modified;
        QDateTime unchangedSince;
        bool reported = false;
    };
    QString folder_;
    std::chrono::milliseconds settle_;
    QHash<QString, Seen> seen_;
};

}  // namespace lumenote
