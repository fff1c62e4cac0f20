#include "workspace/TranscriptSearch.h"

#include <algorithm>

namespace lumenote {

double seekTimeAt(const TranscriptBlock& block, qsizetype offset) {
    Q_ASSERT(offset >= 0 && offset <= block.text.size());
    if (block.words.isEmpty()) return block.startTime;
    // Words before the offset: pieces between single spaces, empty ones dropped.
    int word = 0;
    bool inWord = false;
    for (qsizetype i = 0; i < offset; ++i) {
        const bool space = block.text[i].isSpace();
        if (space && inWord) ++word;
        inWord = !space;
    }
    if (word >= block.words.size()) return block.startTime;
    return block.words[word].start;
}

void TranscriptSearch::search(const Timeline& timeline, const QString& query) {
    clear();
    if (foldForSearch(query).isEmpty()) return;
    for (int b = 0; b < timeline.blocks.size(); ++b) {
        const TranscriptBlock& block = timeline.blocks[b];
        for (const TextRange& r : FoldedText(block.text).findAll(query)) matches_.append({b, r, seekTimeAt(block, r.start)});
    }
    if (!matches_.isEmpty()) current_ = 0;
}

void TranscriptSearch::clear() {
    matches_.clear();
    current_ = -1;
}

const TranscriptMatch* TranscriptSearch::next() {
    if (matches_.isEmpty()) return nullptr;
    current_ = (current_ + 1) % int(matches_.size());
    return &matches_[current_];
}

const TranscriptMatch* TranscriptSearch::previous() {
    if (matches_.isEmpty()) return nullptr;
    current_ = (current_ - 1 + int(matches_.size())) % int(matches_.size());
    return &matches_[current_];
}

QList<TextRange> TranscriptSearch::rangesIn(int block) const {
    QList<TextRange> out;
    const auto first = std::lower_bound(matches_.begin(), matches_.end(), block,
                                        [](const TranscriptMatch& m, int b) { return m.block < b; });
    for (auto it = first; it != matches_.end() && it->block == block; ++it) out.append(it->range);
    return out;
}

}  // namespace lumenote
