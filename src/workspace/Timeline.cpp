#include "workspace/Timeline.h"

#include "core/LibraryModel.h"
#include "core/PassageGrouping.h"

#include <QHash>
#include <QMultiHash>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace lumenote {

namespace {

bool olderFirst(const UserNote& a, const UserNote& b) { return a.createdAt < b.createdAt; }

// Annotations grouped by their exact position, stored order kept.
template <typename T>
QHash<double, QList<T>> byPosition(const QList<T>& list) {
    QHash<double, QList<T>> out;
    for (const T& a : list) out[a.passageTimestamp].append(a);
    return out;
}

AnchoredAnnotations anchored(const QString& text, QList<MarginNote> margin, QList<TextHighlight> highlights) {
    AnchoredAnnotations out;
    out.marginNotes = std::move(margin);
    out.highlights = std::move(highlights);
    if (out.highlights.isEmpty()) return out;
    const FoldedText folded(text);
    for (const TextHighlight& h : std::as_const(out.highlights))
        if (const std::optional<TextRange> r = folded.find(h.anchorText)) out.painted.append({h.id, h.color, *r});
    return out;
}

QString countLabel(qint64 count, const char* singularID, const char* pluralID) {
    return QString::number(count) + QLatin1Char(' ') + qtTrId(count == 1 ? singularID : pluralID);
}

}  // namespace

QString Timeline::rowID(const TimelineItem& item) {
    return QStringLiteral("content-") + item.id.toString(QUuid::WithoutBraces).toUpper();
}

AnchoredAnnotations anchorAnnotations(const QString& text, double position, const QList<MarginNote>& marginNotes,
                                      const QList<TextHighlight>& highlights) {
    QList<MarginNote> margin;
    for (const MarginNote& m : marginNotes)
        if (m.passageTimestamp == position) margin.append(m);
    QList<TextHighlight> own;
    for (const TextHighlight& h : highlights)
        if (h.passageTimestamp == position) own.append(h);
    return anchored(text, std::move(margin), std::move(own));
}

Timeline buildTimeline(const QList<TranscriptSegment>& segments, const QList<CapturedScreenshot>& screenshots,
                       const QList<UserNote>& notes, const QList<MarginNote>& marginNotes,
                       const QList<TextHighlight>& highlights) {
    Timeline t;
    const QList<Block> blocks = groupSegmentsIntoBlocks(segments);
    t.blocks.reserve(blocks.size());
    for (const Block& b : blocks) {
        t.blocks.append({QUuid::createUuid(), b.startTime, b.text, b.wordEntries});
        t.wordCount += LibraryModel::countWordsSplitAtWhitespace(b.text);
    }
    t.screenshots = screenshots;

    t.items.reserve(t.blocks.size() + screenshots.size());
    for (int i = 0; i < t.blocks.size(); ++i) t.items.append({TimelineItem::Kind::Text, i, t.blocks[i].startTime, t.blocks[i].id});
    for (int i = 0; i < screenshots.size(); ++i)
        t.items.append({TimelineItem::Kind::Screenshot, i, screenshots[i].timestamp, screenshots[i].id});
    std::stable_sort(t.items.begin(), t.items.end(), [](const TimelineItem& a, const TimelineItem& b) { return a.time < b.time; });

    const QHash<double, QList<MarginNote>> marginByPassage = byPosition(marginNotes);
    const QHash<double, QList<TextHighlight>> highlightsByPassage = byPosition(highlights);
    t.annotations.reserve(t.blocks.size());
    for (const TranscriptBlock& b : std::as_const(t.blocks))
        t.annotations.append(anchored(b.text, marginByPassage.value(b.startTime), highlightsByPassage.value(b.startTime)));

    if (t.items.isEmpty()) return t;
    QList<UserNote> leading;
    QHash<double, QList<UserNote>> following;
    for (const UserNote& n : notes) {
        if (n.afterTimestamp < 0) leading.append(n);
        else following[n.afterTimestamp].append(n);
    }
    auto appendNotes = [&t](QList<UserNote> list) {
        std::stable_sort(list.begin(), list.end(), olderFirst);
        for (const UserNote& n : list) t.rows.append({DisplayRow::Kind::Note, -1.0, 0, n});
    };
    t.rows.reserve(2 * t.items.size() + notes.size() + 1);
    t.rows.append({DisplayRow::Kind::InsertZone, -1.0, 0, {}});
    appendNotes(leading);
    for (int i = 0; i < t.items.size(); ++i) {
        const double time = t.items[i].time;
        t.rows.append({DisplayRow::Kind::Content, time, i, {}});
        t.rows.append({DisplayRow::Kind::InsertZone, time, i + 1, {}});
        // Several items can share one time; their notes follow the first of them.
        if (i > 0 && t.items[i - 1].time == time) continue;
        appendNotes(following.value(time));
    }
    return t;
}

TimelineStatistics timelineStatistics(const Timeline& timeline, bool isModifiedSinceExport) {
    TimelineStatistics s;
    QStringList parts{countLabel(timeline.blocks.size(), "transcript.stats.passage.singular", "transcript.stats.passage.plural"),
                      countLabel(timeline.wordCount, "transcript.stats.word.singular", "transcript.stats.word.plural")};
    if (!timeline.screenshots.isEmpty())
        parts.append(countLabel(timeline.screenshots.size(), "transcript.stats.screenshot.singular", "transcript.stats.screenshot.plural"));
    s.line = parts.join(QStringLiteral(" · "));
    s.reexportNeeded = isModifiedSinceExport;
    if (isModifiedSinceExport) s.reexportHint = qtTrId("transcript.stats.reexport.needed");
    s.sheetWords = QString::number(timeline.wordCount) + QStringLiteral(" words");
    return s;
}

double steppedSheetFontSize(double current, int steps) {
    const double base = std::isfinite(current) ? std::round(current) : 14.0;
    return std::clamp(base + steps, kSheetFontSizeMin, kSheetFontSizeMax);
}

QString transcriptPlainText(const QList<TranscriptSegment>& segments) {
    QStringList texts;
    texts.reserve(segments.size());
    for (const TranscriptSegment& s : segments) texts.append(s.text);
    return texts.join(QLatin1Char(' '));
}

QString paragraphDisplayText(const QString& raw, bool* isHeading) {
    const bool heading = raw.startsWith(QLatin1Char('#'));
    if (isHeading) *isHeading = heading;
    if (heading) {
        qsizetype i = 0;
        while (i < raw.size() && raw[i] == QLatin1Char('#')) ++i;
        while (i < raw.size() && raw[i] == QLatin1Char(' ')) ++i;
        return raw.mid(i);
    }
    QStringList lines = raw.split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.startsWith(QLatin1String("- ")) || line.startsWith(QLatin1String("* "))) line = QStringLiteral("• ") + line.mid(2);
    return lines.join(QLatin1Char('\n'));
}

NotesView buildNotesView(const QString& notes, const QList<UserNote>& inlineNotes, const QList<MarginNote>& marginNotes,
                         const QList<TextHighlight>& highlights) {
    NotesView view;
    const QStringList paragraphs = notesParagraphs(notes);
    QHash<qint64, QList<UserNote>> following;
    for (const UserNote& n : inlineNotes) {
        if (n.afterTimestamp < 0) view.leadingNotes.append(n);
        else if (std::isfinite(n.afterTimestamp)) following[qint64(n.afterTimestamp)].append(n);
    }
    std::stable_sort(view.leadingNotes.begin(), view.leadingNotes.end(), olderFirst);
    view.paragraphs.reserve(paragraphs.size());
    for (int i = 0; i < paragraphs.size(); ++i) {
        NotesParagraph p;
        p.index = i;
        p.rawText = paragraphs[i];
        p.displayText = paragraphDisplayText(p.rawText, &p.isHeading);
        p.annotations = anchorAnnotations(p.displayText, double(i), marginNotes, highlights);
        p.notesAfter = following.value(i);
        std::stable_sort(p.notesAfter.begin(), p.notesAfter.end(), olderFirst);
        view.paragraphs.append(std::move(p));
    }
    return view;
}

FollowTick followPlayback(const Timeline& timeline, FollowState& state, double t) {
    FollowTick tick;
    const double previous = state.previousTime;
    state.previousTime = t;
    if (!(t > 0) || timeline.items.isEmpty()) return tick;
    const auto byTime = [](double value, const TimelineItem& item) { return value < item.time; };
    const auto after = std::upper_bound(timeline.items.begin(), timeline.items.end(), t, byTime);
    if (after == timeline.items.begin()) return tick;
    tick.currentItem = int(after - timeline.items.begin()) - 1;

    // The passage being spoken: the last block that starts at or before t.
    const auto blockAfter = std::upper_bound(timeline.blocks.begin(), timeline.blocks.end(), t,
                                             [](double value, const TranscriptBlock& b) { return value < b.startTime; });
    if (blockAfter != timeline.blocks.begin()) {
        tick.currentPassage = int(blockAfter - timeline.blocks.begin()) - 1;
        const QList<WordTimestamp>& words = timeline.blocks[tick.currentPassage].words;
        const auto wordAfter = std::upper_bound(words.begin(), words.end(), t,
                                                [](double value, const WordTimestamp& w) { return value < w.start; });
        if (wordAfter != words.begin() && (wordAfter - 1)->end > t) tick.currentWord = int(wordAfter - words.begin()) - 1;
    }

    const QUuid row = timeline.items[tick.currentItem].id;
    if (state.lastScrolledRow != row || std::abs(t - previous) > 1.0) {
        tick.scroll = true;
        state.lastScrolledRow = row;
    }
    return tick;
}

}  // namespace lumenote
