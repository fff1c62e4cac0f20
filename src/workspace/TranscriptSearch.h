#pragma once

// Search in the transcript (Ctrl+F): every occurrence in the passages,
// ignoring case and diacritics, with a current match that next and previous
// move through (wrapping around) and the time the player seeks to for it.

#include "workspace/Timeline.h"

#include <QList>
#include <QString>

namespace lumenote {

struct TranscriptMatch {
    int block = 0;     // index into Timeline::blocks
    TextRange range;   // in the block's text
    double seekTime = 0;  // start of the word the match begins in, else the passage's start
};

class TranscriptSearch {
public:
    // Finds the query in the timeline's passages; the first match becomes
    // current. An empty query (or one of only marks) finds nothing.
    void search(const Timeline& timeline, const QString& query);
    void clear();

    const QList<TranscriptMatch>& matches() const { return matches_; }
    // -1 when there is no match.
    int currentIndex() const { return current_; }
    const TranscriptMatch* current() const { return current_ < 0 ? nullptr : &matches_[current_]; }
    // Move to the next or previous match, wrapping around; the match moved
    // to, or none when there are no matches.
    const TranscriptMatch* next();
    const TranscriptMatch* previous();
    // The matches inside one block (for painting), in text order.
    QList<TextRange> rangesIn(int block) const;

private:
    QList<TranscriptMatch> matches_;
    int current_ = -1;
};

// The start time of the word at `offset` of a passage's text, counting the
// whitespace-separated words before it; the passage's start when it has no
// word timings or the count runs past them.
double seekTimeAt(const TranscriptBlock& block, qsizetype offset);

}  // namespace lumenote
