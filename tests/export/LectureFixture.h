#pragma once

// Synthetic lectures for the export tests and benchmark: transcripts with word
// timings, slide and camera pictures, notes and annotations.

#include "core/Annotations.h"
#include "core/CapturedScreenshot.h"
#include "core/Lecture.h"
#include "core/PassageGrouping.h"
#include "core/TranscriptModel.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace lumenote::fixture {

// `count` segments of about `wordsPerSegment` words, starting at `start` and
// `secondsPerSegment` apart, each with word timings; sentences end every few
// segments so that passages form naturally. Deterministic for a seed.
QList<TranscriptSegment> makeTranscript(int count, int wordsPerSegment, double secondsPerSegment, quint32 seed, double start = 0.0);

// One segment with evenly spread word timings.
TranscriptSegment makeSegment(const QString& text, double start, double end);

// A slide: a title and bullet lines in dark text on a light background. Needs
// a QGuiApplication (fonts).
QImage makeSlideImage(QSize size, const QString& title, const QStringList& lines);
// Camera-like footage: a lit figure in front of a noisy, textured room.
QImage makeCameraImage(QSize size, quint32 seed);

// Markdown study notes with `paragraphs` paragraphs (headings, lists, emphasis).
QString makeNotes(int paragraphs);

// The user's annotations of a long lecture: `count` of each kind in both views.
// Transcript ones sit on random passages, anchored on three of their words;
// notes-view ones on random paragraphs below `paragraphs`. Deterministic for a seed.
struct Annotations {
    QList<UserNote> userNotes, notesInline;
    QList<MarginNote> margins, notesMargins;
    QList<TextHighlight> highlights, notesHighlights;
};
Annotations makeAnnotations(const QList<Block>& passages, int count, int paragraphs, quint32 seed);
// Stores the six lists in the lecture record's blobs.
void storeAnnotations(Lecture& lecture, const Annotations& annotations);

// The benchmarks' three-hour lecture: 2,000 segments of about 15 words, 300
// screenshots cycling through `pictures`, 120 notes paragraphs and 200
// annotations of each kind in both views.
inline constexpr double kLongLectureSeconds = 3 * 3600;
struct LongLecture {
    QList<TranscriptSegment> segments;
    QList<CapturedScreenshot> screenshots;
    QString notes;
    Annotations annotations;
};
LongLecture makeLongLecture(const QList<QImage>& pictures);

}  // namespace lumenote::fixture
