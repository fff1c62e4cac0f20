#include "workspace/Timeline.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace lumenote;

namespace {

TranscriptSegment segment(const QString& text, double start, double end, QList<WordTimestamp> words = {}) {
    return {QUuid::createUuid(), text, start, end, words};
}

CapturedScreenshot shot(double t) { return CapturedScreenshot::make(QImage(4, 4, QImage::Format_RGB32), t); }

UserNote note(double after, const QString& text, double createdAt) {
    UserNote n = UserNote::create(after, text);
    n.createdAt = createdAt;
    return n;
}

// The rows in a compact form: "zone(-1)", "note:text", "text@0", "shot@12".
QStringList describe(const Timeline& t) {
    QStringList out;
    for (const DisplayRow& r : t.rows) {
        switch (r.kind) {
        case DisplayRow::Kind::InsertZone: out << QStringLiteral("zone(%1)").arg(r.prevTimestamp); break;
        case DisplayRow::Kind::Note: out << "note:" + r.note.text; break;
        case DisplayRow::Kind::Content: {
            const TimelineItem& item = t.items[r.index];
            out << QStringLiteral("%1@%2").arg(item.kind == TimelineItem::Kind::Text ? "text" : "shot").arg(item.time);
            break;
        }
        }
    }
    return out;
}

// Two passages (0 s and 31 s) with word timings in the first.
QList<TranscriptSegment> twoPassages() {
    return {segment("Heat flows from hot to cold.", 0, 3, {{"Heat", 0, 0.5}, {"flows", 0.5, 1.0}, {"from", 1.2, 1.5}}),
            segment("[Music]", 3, 31),
            segment("Entropy never decreases.", 31, 35)};
}

}  // namespace

TEST(Timeline, RowsInterleaveItemsZonesAndNotes) {
    const QList<UserNote> notes = {note(12, "later note on shot", 20), note(-1, "lead b", 5), note(12, "earlier note on shot", 10),
                                   note(-1, "lead a", 1), note(7.5, "orphan", 1), note(31, "after entropy", 3)};
    const Timeline t = buildTimeline(twoPassages(), {shot(12), shot(40)}, notes, {}, {});
    EXPECT_EQ(describe(t), (QStringList{"zone(-1)", "note:lead a", "note:lead b", "text@0", "zone(0)", "shot@12", "zone(12)",
                                        "note:earlier note on shot", "note:later note on shot", "text@31", "zone(31)",
                                        "note:after entropy", "shot@40", "zone(40)"}));
    // Zones are numbered by the item they follow.
    QList<int> zoneIndexes;
    for (const DisplayRow& r : t.rows)
        if (r.kind == DisplayRow::Kind::InsertZone) zoneIndexes << r.index;
    EXPECT_EQ(zoneIndexes, (QList<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(Timeline::rowID(t.items[1]).startsWith("content-"));
    EXPECT_EQ(Timeline::rowID(t.items[1]).mid(8), t.screenshots[0].id.toString(QUuid::WithoutBraces).toUpper());

    // A screenshot at a passage's start time lists the notes there once.
    const Timeline same = buildTimeline(twoPassages(), {shot(31)}, {note(31, "once", 1)}, {}, {});
    EXPECT_EQ(std::count_if(same.rows.begin(), same.rows.end(), [](const DisplayRow& r) { return r.kind == DisplayRow::Kind::Note; }), 1);

    const Timeline empty = buildTimeline({}, {}, {note(-1, "lonely", 1)}, {}, {});
    EXPECT_TRUE(empty.rows.isEmpty());
}

TEST(Timeline, PassageAnnotationsListEveryChipButPaintOnlyWhatIsFound) {
    const QList<TextHighlight> highlights = {TextHighlight::create(0, "HEAT", TextHighlight::HighlightColor::Green),
                                             TextHighlight::create(0, "entropy", TextHighlight::HighlightColor::Pink),
                                             TextHighlight::create(31, "never", TextHighlight::HighlightColor::Blue),
                                             TextHighlight::create(30.999, "never", TextHighlight::HighlightColor::Blue)};
    const QList<MarginNote> margin = {MarginNote::create(31, "not in this passage", "still a chip", MarginNote::Side::Left)};
    const Timeline t = buildTimeline(twoPassages(), {}, {}, margin, highlights);
    ASSERT_EQ(t.annotations.size(), 2);
    EXPECT_EQ(t.annotations[0].highlights.size(), 2);
    ASSERT_EQ(t.annotations[0].painted.size(), 1);
    EXPECT_EQ(t.annotations[0].painted[0].range, (TextRange{0, 4}));
    EXPECT_EQ(t.annotations[0].painted[0].color, TextHighlight::HighlightColor::Green);
    EXPECT_EQ(t.annotations[1].highlights.size(), 1);  // exact position only
    EXPECT_EQ(t.annotations[1].marginNotes.size(), 1);
    EXPECT_EQ(t.annotations[1].painted.size(), 1);
}

TEST(Timeline, StatisticsCountsAndTheReexportHint) {
    const Timeline one = buildTimeline({segment("Heat", 0, 1)}, {shot(2)}, {}, {}, {});
    const TimelineStatistics s1 = timelineStatistics(one, false);
    EXPECT_EQ(s1.line.split(" · "), (QStringList{"1 transcript.stats.passage.singular", "1 transcript.stats.word.singular",
                                                  "1 transcript.stats.screenshot.singular"}));
    EXPECT_FALSE(s1.reexportNeeded);

    const Timeline two = buildTimeline(twoPassages(), {}, {}, {}, {});
    const TimelineStatistics s2 = timelineStatistics(two, true);
    EXPECT_EQ(s2.line.split(" · "), (QStringList{"2 transcript.stats.passage.plural", "9 transcript.stats.word.plural"}));
    EXPECT_TRUE(s2.reexportNeeded);
    EXPECT_EQ(s2.reexportHint, "transcript.stats.reexport.needed");
    EXPECT_EQ(s2.sheetWords, "9 words");

    struct Step {
        double current;
        int steps;
        double expected;
    };
    for (const Step& k : QList<Step>{{14, 1, 15}, {22, 1, 22}, {12, -1, 12}, {30, 0, 22}, {13.6, -2, 12}, {qQNaN(), 0, 14}})
        EXPECT_EQ(steppedSheetFontSize(k.current, k.steps), k.expected) << k.current << " " << k.steps;

    EXPECT_EQ(transcriptPlainText(twoPassages()), "Heat flows from hot to cold. [Music] Entropy never decreases.");
}

TEST(Timeline, NotesParagraphsAndTheirDisplay) {
    struct Case {
        QString raw, display;
        bool heading;
    };
    const QList<Case> cases = {{"### Title", "Title", true},
                               {"#Title", "Title", true},
                               {"- one\n* two\n-three", "• one\n• two\n-three", false},
                               {"Plain **text**", "Plain **text**", false}};
    for (const Case& c : cases) {
        bool heading = false;
        EXPECT_EQ(paragraphDisplayText(c.raw, &heading), c.display);
        EXPECT_EQ(heading, c.heading) << c.raw.toStdString();
    }

    const QString notes = "## Entropy\n\n\n\n- Heat flows from hot to cold\n- Entropy grows\n\n  \n\nThe end.";
    const QList<UserNote> inlineNotes = {note(1.0, "second", 9), note(1.7, "first", 2), note(-0.5, "leading", 1), note(7, "orphan", 1)};
    const QList<TextHighlight> highlights = {TextHighlight::create(1, "entropy GROWS", TextHighlight::HighlightColor::Yellow)};
    const NotesView view = buildNotesView(notes, inlineNotes, {}, highlights);
    ASSERT_EQ(view.paragraphs.size(), 3);
    EXPECT_TRUE(view.paragraphs[0].isHeading);
    EXPECT_EQ(view.paragraphs[2].rawText, "The end.");
    ASSERT_EQ(view.leadingNotes.size(), 1);
    ASSERT_EQ(view.paragraphs[1].notesAfter.size(), 2);
    EXPECT_EQ(view.paragraphs[1].notesAfter[0].text, "first");
    ASSERT_EQ(view.paragraphs[1].annotations.painted.size(), 1);
    const TextRange r = view.paragraphs[1].annotations.painted[0].range;
    EXPECT_EQ(view.paragraphs[1].displayText.mid(r.start, r.length), "Entropy grows");
}

TEST(Timeline, FollowingPlayback) {
    const Timeline t = buildTimeline(twoPassages(), {shot(12)}, {}, {}, {});
    FollowState state;
    struct Tick {
        double t;
        int item, passage, word;
        bool scroll;
    };
    const QList<Tick> ticks = {
        {0.0, -1, -1, -1, false},  // nothing before the start
        {0.1, 0, 0, 0, true},      // first passage, first word
        {0.2, 0, 0, 0, false},     // same row: no scroll
        {1.1, 0, 0, -1, false},    // between words: none marked
        {1.3, 0, 0, 2, false},
        {12.0, 1, 0, -1, true},    // the screenshot's row; the passage is still the first
        {12.1, 1, 0, -1, false},
        {13.5, 1, 0, -1, true},    // a jump of more than a second scrolls the same row again
        {31.0, 2, 1, -1, true},
    };
    for (const Tick& k : ticks) {
        SCOPED_TRACE(k.t);
        const FollowTick tick = followPlayback(t, state, k.t);
        EXPECT_EQ(tick.currentItem, k.item);
        EXPECT_EQ(tick.currentPassage, k.passage);
        EXPECT_EQ(tick.currentWord, k.word);
        EXPECT_EQ(tick.scroll, k.scroll);
        EXPECT_EQ(state.previousTime, k.t);
    }
}
