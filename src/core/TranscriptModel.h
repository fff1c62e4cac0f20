#pragma once

// The transcript of a lecture and its stored JSON form (the content of
// Lecture::transcriptData and of the transcript side file).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace lumenote {

struct WordTimestamp {
    QString word;
    double start = 0;
    double end = 0;

    bool operator==(const WordTimestamp&) const = default;
};

struct TranscriptSegment {
    QUuid id;
    QString text;
    double startTime = 0;
    double endTime = 0;
    QList<WordTimestamp> words;

    bool operator==(const TranscriptSegment&) const = default;
};

using Transcript = QList<TranscriptSegment>;

// Compact JSON array of segment objects. Fails (none, *error set) when a time
// is not finite: such a value cannot be stored.
std::optional<QByteArray> encodeTranscript(const Transcript& segments, QString* error = nullptr);

// Strict on the segment keys ("id", "text", "startTime", "endTime"): one bad
// segment fails the whole list. Lenient on "words": a missing or undecodable
// word list becomes an empty one. Unknown keys are ignored.
std::optional<Transcript> decodeTranscript(const QByteArray& bytes, QString* error = nullptr);

}  // namespace lumenote
