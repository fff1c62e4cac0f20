#include "core/PassageGrouping.h"

#include "core/Text.h"

#include <QRegularExpression>
#include <QStringList>

namespace lumenote {

namespace {

bool endsSentence(const QStringList& pieces) {
    // The last non-whitespace character of the pieces joined by one space.
    for (qsizetype p = pieces.size() - 1; p >= 0; --p) {
        const QString& piece = pieces[p];
        for (qsizetype i = piece.size() - 1; i >= 0; --i) {
            const QChar c = piece[i];
            if (c.isSpace()) continue;
            return c == QLatin1Char('.') || c == QLatin1Char('?') || c == QLatin1Char('!') || c == QChar(0x2026);
        }
    }
    return false;
}

}  // namespace

QString cleanSegmentText(const QString& text) {
    static const QRegularExpression tag(QStringLiteral("\\[[^\\]]*\\]"));
    QString cleaned = text;
    if (cleaned.contains(QLatin1Char('['))) cleaned.remove(tag);
    return trimSpacesAndTabs(cleaned);
}

QList<Block> groupSegmentsIntoBlocks(const QList<TranscriptSegment>& segments, double pauseGap, double targetLength) {
    QList<Block> blocks;
    bool open = false;
    double openStart = 0, openEnd = 0;
    QStringList pieces;
    QList<WordTimestamp> words;

    auto close = [&] {
        blocks.append(Block{openStart, openEnd, pieces.join(QLatin1Char(' ')), words});
        pieces.clear();
        words.clear();
        open = false;
    };

    for (const TranscriptSegment& segment : segments) {
        const QString piece = cleanSegmentText(segment.text);
        if (piece.isEmpty()) continue;

        if (open) {
            const double duration = openEnd - openStart;
            const double gap = segment.startTime - openEnd;
            const bool longEnough = gap >= pauseGap || duration >= targetLength;
            const bool overlong = duration >= 1.5 * targetLength;
            if ((longEnough && (endsSentence(pieces) || overlong)) || overlong) close();
        }
        if (!open) {
            open = true;
            openStart = segment.startTime;
        }
        pieces.append(piece);
        words.append(segment.words);
        openEnd = segment.endTime <= segment.startTime ? segment.startTime + 0.3 : segment.endTime;
    }
    if (open) close();
    return blocks;
}

QStringList notesParagraphs(const QString& notes) {
    QStringList paragraphs;
    for (const QString& piece : notes.split(QStringLiteral("\n\n"))) {
        const QString trimmed = piece.trimmed();
        if (!trimmed.isEmpty()) paragraphs.append(trimmed);
    }
    return paragraphs;
}

}  // namespace lumenote
