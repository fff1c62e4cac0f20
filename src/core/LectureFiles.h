#pragma once

// The side files that mirror a lecture's large blobs in the storage folders
// (named by the lecture's id text plus ".json", ".jpg" or ".md"), the reads that
// fall back to them, and the lecture keyframe.

#include "core/CapturedScreenshot.h"
#include "core/Lecture.h"
#include "core/TranscriptModel.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

#include <optional>

namespace lumenote {

QString transcriptSideFilePath(const QUuid& lectureID);
QString keyframeSideFilePath(const QUuid& lectureID);
QString consolidatedSideFilePath(const QUuid& lectureID);
// The words read on the lecture's text slides, kept so that a re-export need not read them again.
QString slideTextSideFilePath(const QUuid& lectureID);

// Reads a whole file; none when it cannot be read.
std::optional<QByteArray> readFileBytes(const QString& path);
// Writes atomically (temporary file, then rename), creating missing folders.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// When `reason` (a system error text) says that the disk is full, or that a
// file may grow no further, the reason with the disk named: "No space left on
// device (the disk mounted at /home, which holds /home/ada/LumenoteLibrary, has
// 12 KB free)". Any other reason comes back unchanged.
QString withFullDiskNamed(const QString& reason, const QString& path);
bool isFullDiskReason(const QString& reason);

// The blob when present, else the side file, else none.
std::optional<QByteArray> transcriptBytes(const Lecture& lecture);
std::optional<QByteArray> keyframeBytes(const Lecture& lecture);
std::optional<QByteArray> consolidatedBytes(const Lecture& lecture);

// Decoded stored products; what does not decode counts as absent.
std::optional<Transcript> storedTranscript(const Lecture& lecture);
QList<double> storedScreenshotTimestamps(const Lecture& lecture);
std::optional<QString> storedConsolidatedNotes(const Lecture& lecture);

// The keyframe: the image drawn into 480 x 270 pixels, JPEG at quality 0.82.
QByteArray makeKeyframeJPEG(const QImage& image);
// When the lecture has no keyframe yet and there is a screenshot, stores the
// first screenshot's keyframe in the record and its side file. Returns whether
// one was made.
bool makeKeyframeIfMissing(Lecture& lecture, const QList<CapturedScreenshot>& screenshots);

}  // namespace lumenote
