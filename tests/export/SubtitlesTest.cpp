#include "export/Subtitles.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace lumenote;

namespace {

// One segment per sentence; words `step` seconds apart, each lasting 80% of it.
Transcript spoken(const QStringList& sentences, double step, double pauseBetween = 0) {
    Transcript t;
    double time = 0;
    for (const QString& sentence : sentences) {
        TranscriptSegment s{QUuid::createUuid(), sentence, time, time, {}};
        for (const QString& w : sentence.split(' ', Qt::SkipEmptyParts)) {
            s.words.append({" " + w, time, time + step * 0.8});
            time += step;
        }
        s.endTime = time;
        t.append(s);
        time += pauseBetween;
    }
    return t;
}

QStringList wordsOf(const Transcript& t) {
    QStringList out;
    for (const TranscriptSegment& s : t)
        for (const WordTimestamp& w : s.words) out << w.word.trimmed();
    return out;
}

const QString kLong = QStringLiteral(
    "The second law of thermodynamics states that the total entropy of an isolated system can never decrease over time and "
    "is constant if and only if all processes are reversible which is why heat flows from hot bodies to cold ones.");

}  // namespace

TEST(Subtitles, CuesKeepEveryWordWithinTwoLinesOf42AndSevenSeconds) {
    const struct {
        const char* name;
        Transcript transcript;
    } cases[] = {
        {"long sentence", spoken({kLong}, 0.4)},
        {"fast speech", spoken({kLong, kLong}, 0.12)},
        {"slow speech", spoken({kLong}, 0.9)},
        {"a word longer than a line", spoken({"see Donaudampfschifffahrtsgesellschaftskapitänsmützenabzeichen now please"}, 0.5)},
    };
    for (const auto& c : cases) {
        const QList<SubtitleCue> cues = buildSubtitleCues(c.transcript);
        ASSERT_FALSE(cues.isEmpty()) << c.name;
        QStringList words;
        double lastEnd = -1;
        for (const SubtitleCue& cue : cues) {
            EXPECT_LE(cue.lines.size(), kSubtitleMaxLines) << c.name;
            for (const QString& line : cue.lines) {
                if (line.contains(' ')) EXPECT_LE(line.size(), kSubtitleLineLength) << c.name << ": " << line.toStdString();
                words += line.split(' ');
            }
            EXPECT_LE(cue.end - cue.start, kSubtitleMaxDuration + 1e-9) << c.name;
            EXPECT_LT(cue.start, cue.end) << c.name;
            EXPECT_GE(cue.start, lastEnd) << c.name;
            lastEnd = cue.end;
        }
        EXPECT_EQ(words, wordsOf(c.transcript)) << c.name;
    }
    // Fast speech fills cues by characters, not by time.
    for (const SubtitleCue& cue : buildSubtitleCues(spoken({kLong}, 0.12))) EXPECT_LT(cue.end - cue.start, 4.0);
}

TEST(Subtitles, CuesEndAtSentenceEndsAndPauses) {
    const QList<SubtitleCue> cues =
        buildSubtitleCues(spoken({"Short first sentence here.", "Then a second sentence that is far too long to share a cue with it."}, 0.3));
    ASSERT_GE(cues.size(), 2);
    EXPECT_EQ(cues[0].lines.join(' '), "Short first sentence here.");

    // A pause of a second splits even a cue with room to spare.
    const QList<SubtitleCue> paused = buildSubtitleCues(spoken({"One two", "three four"}, 0.3, 1.2));
    ASSERT_EQ(paused.size(), 2);
    EXPECT_EQ(paused[1].lines, QStringList{"three four"});
    EXPECT_EQ(buildSubtitleCues(spoken({"One two", "three four"}, 0.3, 0.4)).size(), 1);

    // Without word timings the segment's words share its time; sound tags are not shown.
    Transcript untimed{{QUuid::createUuid(), "[Music] Welcome back everyone.", 10, 12, {}}};
    const QList<SubtitleCue> spread = buildSubtitleCues(untimed);
    ASSERT_EQ(spread.size(), 1);
    EXPECT_EQ(spread[0].lines, QStringList{"Welcome back everyone."});
    EXPECT_DOUBLE_EQ(spread[0].start, 10);
    EXPECT_DOUBLE_EQ(spread[0].end, 12);
}

TEST(Subtitles, FilesNumberAndTimeTheirCues) {
    const QList<SubtitleCue> cues = {{1.5, 3.25, {"Fish & chips <b>"}}, {3661.0, 3662.0005, {"one", "two"}}};
    const QStringList srt = srtText(cues).split('\n');
    EXPECT_EQ(srt.mid(0, 4), (QStringList{"1", "00:00:01,500 --> 00:00:03,250", "Fish & chips <b>", ""}));
    EXPECT_EQ(srt.mid(4, 4), (QStringList{"2", "01:01:01,000 --> 01:01:02,001", "one", "two"}));
    const QStringList vtt = webVttText(cues).split('\n');
    EXPECT_EQ(vtt.value(0), "WEBVTT");
    EXPECT_EQ(vtt.value(2), "00:00:01.500 --> 00:00:03.250");
    EXPECT_EQ(vtt.value(3), "Fish &amp; chips &lt;b&gt;");

    const QList<Chapter> chapterList = {{0, "Intro"}, {95.5, "Heat & <engines>"}, {3725.25, "Late"}};
    const QString chaptersFile = chaptersVttText(chapterList, 4000);
    const QStringList chapters = chaptersFile.split('\n');
    EXPECT_TRUE(chapters.contains("00:00:00.000 --> 00:01:35.500"));
    EXPECT_TRUE(chapters.contains("01:02:05.250 --> 01:06:40.000"));
    EXPECT_EQ(parseChaptersVtt(chaptersFile), chapterList);
    EXPECT_TRUE(parseChaptersVtt("1\n00:00:01,000 --> 00:00:02,000\nnot vtt\n").isEmpty());

    EXPECT_EQ(parseSubtitleFormat("vtt"), SubtitleFormat::Vtt);
    EXPECT_FALSE(parseSubtitleFormat("ass"));
    EXPECT_EQ(plainTranscriptText(spoken({"First part.", "Second part."}, 0.3, 2)), "First part.\n\nSecond part.\n");
}
