#include "core/LectureFiles.h"

#include "core/AppPaths.h"
#include "core/Json.h"
#include "core/Uuid.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lumenote {

QString transcriptSideFilePath(const QUuid& id) { return AppPaths::transcriptsDirectory() + QLatin1Char('/') + uuidText(id) + QStringLiteral(".json"); }
QString keyframeSideFilePath(const QUuid& id) { return AppPaths::keyframesDirectory() + QLatin1Char('/') + uuidText(id) + QStringLiteral(".jpg"); }
QString consolidatedSideFilePath(const QUuid& id) { return AppPaths::consolidatedDirectory() + QLatin1Char('/') + uuidText(id) + QStringLiteral(".md"); }
QString slideTextSideFilePath(const QUuid& id) { return AppPaths::transcriptsDirectory() + QLatin1Char('/') + uuidText(id) + QStringLiteral(".slides.json"); }

std::optional<QByteArray> readFileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return f.readAll();
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

bool isFullDiskReason(const QString& reason) {
    for (const int code : {ENOSPC, EDQUOT, EFBIG})
        if (reason.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive)) return true;
    // SQLite's own words for it.
    return reason.contains(QLatin1String("database or disk is full"));
}

QString withFullDiskNamed(const QString& reason, const QString& path) {
    // SQLite reports a shared-memory file it cannot grow as a plain I/O error;
    // on a disk with no room left that is the full disk too.
    const bool plainIOError = reason.contains(QLatin1String("disk I/O error"));
    if (!isFullDiskReason(reason) && !plainIOError) return reason;
    // The nearest folder that exists tells the disk.
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!existing.isEmpty() && !QFileInfo::exists(existing) && existing != QLatin1String("/")) existing = QFileInfo(existing).absolutePath();
    const QStorageInfo disk(existing);
    if (!disk.isValid()) return reason;
    const qint64 free = std::max<qint64>(0, disk.bytesAvailable());
    if (!isFullDiskReason(reason) && free >= 1024 * 1024) return reason;
    const QString amount = free >= 1024 * 1024 ? QStringLiteral("%1 MB").arg(free / (1024 * 1024)) : QStringLiteral("%1 KB").arg(free / 1024);
    return QStringLiteral("%1 (the disk mounted at %2, which holds %3, has %4 free)").arg(reason, disk.rootPath(), path, amount);
}

std::optional<QByteArray> transcriptBytes(const Lecture& lecture) {
    if (auto blob = lecture.transcriptData()) return blob;
    return readFileBytes(transcriptSideFilePath(lecture.id()));
}

std::optional<QByteArray> keyframeBytes(const Lecture& lecture) {
    if (auto blob = lecture.keyframeData()) return blob;
    return readFileBytes(keyframeSideFilePath(lecture.id()));
}

std::optional<QByteArray> consolidatedBytes(const Lecture& lecture) {
    if (auto blob = lecture.consolidatedData()) return blob;
    return readFileBytes(consolidatedSideFilePath(lecture.id()));
}

std::optional<Transcript> storedTranscript(const Lecture& lecture) {
    const auto bytes = transcriptBytes(lecture);
    if (!bytes) return std::nullopt;
    return decodeTranscript(*bytes);
}

QList<double> storedScreenshotTimestamps(const Lecture& lecture) {
    const auto blob = lecture.screenshotTimestamps();
    if (!blob) return {};
    return json::decodeDoubles(*blob).value_or(QList<double>{});
}

std::optional<QString> storedConsolidatedNotes(const Lecture& lecture) {
    const auto bytes = consolidatedBytes(lecture);
    if (!bytes) return std::nullopt;
    return QString::fromUtf8(*bytes);
}

QByteArray makeKeyframeJPEG(const QImage& image) {
    QImage canvas(480, 270, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter p(&canvas);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(0, 0, 480, 270), image);
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    canvas.save(&buffer, "JPEG", 82);
    return out;
}

bool makeKeyframeIfMissing(Lecture& lecture, const QList<CapturedScreenshot>& screenshots) {
    if (lecture.keyframeData() || screenshots.isEmpty()) return false;
    const QByteArray jpeg = makeKeyframeJPEG(screenshots.first().image);
    if (jpeg.isEmpty()) return false;
    lecture.setKeyframeData(jpeg);
    writeFileAtomically(keyframeSideFilePath(lecture.id()), jpeg);
    return true;
}

}  // namespace lumenote
