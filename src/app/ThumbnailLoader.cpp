#include "app/ThumbnailLoader.h"

#include "core/LectureFiles.h"
#include "core/LibraryStore.h"

#include <QBuffer>
#include <QImageReader>

#include <memory>

namespace lumenote {
namespace {

// One read-only connection per worker thread and store file.
const LibraryReader& readerFor(const QString& path) {
    thread_local std::unique_ptr<LibraryReader> reader;
    thread_local QString readerPath;
    if (!reader || readerPath != path) {
        reader = std::make_unique<LibraryReader>(path);
        readerPath = path;
    }
    return *reader;
}

QImage loadThumbnail(const QString& storePath, const QUuid& lectureID, QSize size) {
    std::optional<QByteArray> bytes = readerFor(storePath).keyframeData(lectureID);
    if (!bytes || bytes->isEmpty()) bytes = readFileBytes(keyframeSideFilePath(lectureID));
    if (!bytes || bytes->isEmpty()) return {};
    QBuffer buffer(&*bytes);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (full.isValid()) reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio));
    return reader.read();
}

}  // namespace

ThumbnailLoader::ThumbnailLoader(QString storePath, QObject* parent) : QObject(parent), storePath_(std::move(storePath)) {
    cache_.setMaxCost(3000);
    pool_.setMaxThreadCount(1);
}

ThumbnailLoader::~ThumbnailLoader() {
    pool_.clear();
    pool_.waitForDone();
}

std::optional<QImage> ThumbnailLoader::thumbnail(const Lecture& lecture) {
    const KeyframeTaskID task = lecture.keyframeTaskID();
    if (const Entry* e = cache_.object(lecture.id()); e && e->task == task) return e->image;
    if (auto p = pending_.constFind(lecture.id()); p != pending_.constEnd() && *p == task) return std::nullopt;
    pending_.insert(lecture.id(), task);
    queue_.append(task);
    // Rows scrolled past long ago are forgotten; they ask again when shown.
    while (queue_.size() > kMaxQueued) pending_.remove(queue_.takeFirst().lectureID);
    if (!loading_) startNext();
    return std::nullopt;
}

void ThumbnailLoader::startNext() {
    if (queue_.isEmpty()) {
        loading_ = false;
        return;
    }
    loading_ = true;
    const KeyframeTaskID task = queue_.takeLast();
    const QString path = storePath_;
    const QSize size = size_;
    pool_.start([this, path, size, task] {
        QImage image = loadThumbnail(path, task.lectureID, size);
        // Posted to this object: dropped with it when it is gone first.
        QMetaObject::invokeMethod(
            this, [this, task, image = std::move(image)] {
                deliver(task, image);
                startNext();
            },
            Qt::QueuedConnection);
    });
}

void ThumbnailLoader::deliver(const KeyframeTaskID& task, const QImage& image) {
    if (auto p = pending_.constFind(task.lectureID); p != pending_.constEnd() && *p == task) pending_.erase(p);
    cache_.insert(task.lectureID, new Entry{task, image});
    emit thumbnailReady(task.lectureID);
}

}  // namespace lumenote
