#include "LectureFixture.h"
#include "core/PassageGrouping.h"

#include <gtest/gtest.h>

using namespace lumenote;
using fixture::makeSegment;

namespace {

TranscriptSegment plainSegment(const QString& text, double start, double end) {
    TranscriptSegment s;
    s.text = text;
    s.startTime = start;
    s.endTime = end;
    return s;
}

}  // namespace

TEST(PassageGrouping, SoundTagsAreRemovedAndTagOnlySegmentsDropWithTheirWords) {
    const QList<TranscriptSegment> segments = {
        makeSegment(QStringLiteral("Welcome [laughs] everyone."), 0, 2),
        makeSegment(QStringLiteral("[Music]"), 2.1, 4),
        makeSegment(QStringLiteral(" \t[Applause]  "), 4.1, 5),
        makeSegment(QStringLiteral("Let us begin."), 5.0, 7),
    };
    const QList<Block> blocks = groupSegmentsIntoBlocks(segments);
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0].text, QStringLiteral("Welcome  everyone."));
    // The [Music] segment's words never reach a passage.
    EXPECT_EQ(blocks[0].wordEntries.size(), 3);
    EXPECT_EQ(blocks[1].text, QStringLiteral("Let us begin."));
    EXPECT_DOUBLE_EQ(blocks[1].startTime, 5.0);
    for (const Block& b : blocks)
        for (const WordTimestamp& w : b.wordEntries) EXPECT_NE(w.word, QStringLiteral("[Music]"));
}

TEST(PassageGrouping, PassagesCloseAtSentenceEndsOnceLongEnoughOrAfterAPause) {
    // No sentence end: a long pause alone does not cut.
    QList<Block> blocks = groupSegmentsIntoBlocks({plainSegment("first part", 0, 10), plainSegment("second part", 12, 14)});
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0].text, QStringLiteral("first part second part"));
    EXPECT_DOUBLE_EQ(blocks[0].endTime, 14);

    // A sentence end with a pause of exactly the gap cuts; just under it does not.
    blocks = groupSegmentsIntoBlocks({plainSegment("One.", 0, 2), plainSegment("Two.", 2.5, 4), plainSegment("Three", 4.49, 6)});
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0].text, QStringLiteral("One."));
    EXPECT_EQ(blocks[1].text, QStringLiteral("Two. Three"));

    // Question marks, exclamation marks and the ellipsis character end sentences too,
    // also with trailing spaces.
    for (const QString& end : {QStringLiteral("?"), QStringLiteral("!"), QStringLiteral("…")}) {
        blocks = groupSegmentsIntoBlocks({plainSegment("Really" + end + "  ", 0, 2), plainSegment("Yes", 3, 4)});
        EXPECT_EQ(blocks.size(), 2) << end.toStdString();
    }
}

TEST(PassageGrouping, ContinuousSpeechIsCutAtTheFirstSentenceEndAfterThirtySecondsOrForcedAtFortyFive) {
    // 0-10, 10.2-20, 20.3-31 without punctuation stay together; a sentence that
    // ends after the 30 s mark closes the passage before the next segment.
    QList<TranscriptSegment> segments = {plainSegment("a", 0, 10), plainSegment("b", 10.2, 20), plainSegment("c", 20.3, 31),
                                         plainSegment("d.", 31.1, 33), plainSegment("e", 33.1, 35)};
    QList<Block> blocks = groupSegmentsIntoBlocks(segments);
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0].text, QStringLiteral("a b c d."));
    EXPECT_DOUBLE_EQ(blocks[0].endTime, 33);
    EXPECT_DOUBLE_EQ(blocks[1].startTime, 33.1);

    // Never a sentence end: the passage is cut once it has reached 45 s.
    segments.clear();
    for (int i = 0; i < 12; ++i) segments.append(plainSegment(QStringLiteral("w%1").arg(i), i * 5.0, i * 5.0 + 4.9));
    blocks = groupSegmentsIntoBlocks(segments);
    ASSERT_EQ(blocks.size(), 2);
    // The open passage is 0..44.9 after nine segments (< 45), 0..49.9 after ten.
    EXPECT_EQ(blocks[0].text.split(' ').size(), 10);
    EXPECT_DOUBLE_EQ(blocks[1].startTime, 50.0);
}

TEST(PassageGrouping, ASegmentWithoutLengthExtendsThePassageByAFewTenths) {
    QList<Block> blocks = groupSegmentsIntoBlocks({plainSegment("Hi.", 5, 5), plainSegment("There", 5.7, 6)});
    ASSERT_EQ(blocks.size(), 1);  // gap 0.4 from the assumed end 5.3
    blocks = groupSegmentsIntoBlocks({plainSegment("Hi.", 5, 4), plainSegment("There", 5.8, 6)});
    ASSERT_EQ(blocks.size(), 2);  // gap 0.5
    EXPECT_DOUBLE_EQ(blocks[0].endTime, 5.3);
}

TEST(PassageGrouping, WordsFollowTheirPassagesInOrder) {
    const QList<TranscriptSegment> segments = fixture::makeTranscript(60, 12, 5.0, 7);
    const QList<Block> blocks = groupSegmentsIntoBlocks(segments);
    ASSERT_GT(blocks.size(), 3);
    qsizetype words = 0;
    double lastStart = -1;
    for (const Block& b : blocks) {
        EXPECT_GT(b.startTime, lastStart);
        EXPECT_LE(b.endTime - b.startTime, 50.0 + 5.0);
        lastStart = b.startTime;
        words += b.wordEntries.size();
        ASSERT_FALSE(b.wordEntries.isEmpty());
        EXPECT_GE(b.wordEntries.first().start, b.startTime);
    }
    qsizetype expected = 0;
    for (const TranscriptSegment& s : segments) expected += s.words.size();
    EXPECT_EQ(words, expected);
}
