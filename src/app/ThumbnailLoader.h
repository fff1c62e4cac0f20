#pragma once

// Keyframe thumbnails for the library rows, read and scaled on a worker thread
// when a row first asks for one and read again when the lecture's keyframe
// changes. Kept in a bounded cache; the main thread only looks up and stores.
// The newest requests go first and only the last few are kept, so a fast
// scroll loads what is on screen rather than every row it passed.

#include "core/Lecture.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <optional>

namespace lumenote {

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    // Reads keyframes through its own connections to the store file at `storePath`.
    explicit ThumbnailLoader(QString storePath, QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // Thumbnails are scaled to fit this size in device pixels.
    void setThumbnailSize(QSize size) { size_ = size; }
    QSize thumbnailSize() const { return size_; }

    // The thumbnail when it is loaded for the lecture's current keyframe; else
    // starts loading it (once) and returns none. A lecture without a keyframe
    // gives a null image once looked up.
    std::optional<QImage> thumbnail(const Lecture& lecture);

    static constexpr int kMaxQueued = 48;

    // Waits for the load in progress (tests and the benchmark).
    void waitForDone() { pool_.waitForDone(); }
    int pendingCount() const { return int(pending_.size()); }

signals:
    void thumbnailReady(const QUuid& lectureID);

private:
    void deliver(const KeyframeTaskID& task, const QImage& image);
    void startNext();

    QString storePath_;
    QSize size_{96, 54};
    struct Entry {
        KeyframeTaskID task;
        QImage image;
    };
    QCache<QUuid, Entry> cache_;
    QHash<QUuid, KeyframeTaskID> pending_;
    QList<KeyframeTaskID> queue_;
    bool loading_ = false;
    QThreadPool pool_;
};

}  // namespace lumenote
