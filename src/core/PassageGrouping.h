#pragma once

// Cuts a transcript into passages and consolidated notes into paragraphs: the
// units of the study page, the Markdown transcript and the transcript
// workspace, which annotations refer to. Pure; one implementation for all.

#include "core/TranscriptModel.h"

#include <QList>
#include <QString>

namespace lumenote {

// One passage of the transcript view.
struct Block {
    double startTime = 0;
    double endTime = 0;
    QString text;                      // plain text, pieces joined by one space
    QList<WordTimestamp> wordEntries;  // spoken order; empty without word timings

    bool operator==(const Block&) const = default;
};

inline constexpr double kPassagePauseGap = 0.5;
inline constexpr double kPassageTargetLength = 30.0;

// Removes bracketed sound tags ("[Music]") and trims spaces and tabs.
QString cleanSegmentText(const QString& text);

// Walks the segments in order: a passage closes at a pause of at least
// `pauseGap` or once it is `targetLength` long, but only at a sentence end,
// unless it has grown to 1.5 x `targetLength`, where it is cut regardless.
// Segments that are only sound tags are dropped with their words.
QList<Block> groupSegmentsIntoBlocks(const QList<TranscriptSegment>& segments, double pauseGap = kPassagePauseGap,
                                     double targetLength = kPassageTargetLength);

// The notes cut at every blank line ("\n\n"), each piece trimmed, empty ones
// dropped; paragraph i of the notes view is the i-th survivor.
QStringList notesParagraphs(const QString& notes);

}  // namespace lumenote
