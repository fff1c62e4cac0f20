#include "LectureFixture.h"
#include "export/Chapters.h"
#include "export/MarkdownExportManager.h"
#include "export/Subtitles.h"
#include "export/TextSlides.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace lumenote;

namespace {

// Segments of four words, one every `step` seconds, with longer pauses before the given times.
Transcript withPauses(double length, const QList<std::pair<double, double>>& pausesBefore) {
    Transcript t;
    double time = 0;
    int n = 0;
    while (time < length) {
        for (const auto& [at, pause] : pausesBefore)
            if (time < at && time + 6 >= at) time = at;  // the pause ends at `at`
        TranscriptSegment s{QUuid::createUuid(), QStringLiteral("Segment %1 says something here.").arg(n++), time, time + 4, {}};
        t.append(s);
        time += 4.5;
    }
    return t;
}

}  // namespace

TEST(Chapters, SlideTitlesAreTheFirstCleanLine) {
    const std::pair<QStringList, QString> cases[] = {
        {{"The Second Law", "Entropy never decreases"}, "The Second Law"},
        {{"• Heat engines:", "two reservoirs"}, "Heat engines"},
        {{"| ~ ©", "", "4.", "Carnot cycle —"}, "Carnot cycle"},
        {{"A", "ok"}, ""},
        {{QString("Thermodynamics of irreversible processes in open systems far from equilibrium")},
         QString("Thermodynamics of irreversible processes in open systems…")},
    };
    for (const auto& [lines, title] : cases) EXPECT_EQ(slideChapterTitle(lines), title) << lines.join('|').toStdString();

    // Out of order, repeated and untitled slides.
    const QList<Chapter> chapters = slideChapters({{300, {"Heat Engines"}}, {12, {"Introduction"}}, {320, {"heat engines", "again"}}, {400, {"--"}}});
    EXPECT_EQ(chapters, (QList<Chapter>{{12, "Introduction"}, {300, "Heat Engines"}}));
}

TEST(Chapters, WithoutSlidesTheLongestPausesStartChapters) {
    // Fifteen minutes: three chapters, at the start and after the two longest
    // pauses; a long pause 30 s after another is too close to count.
    const Transcript t = withPauses(900, {{300, 8}, {330, 9}, {610, 6}});
    const QList<Chapter> chapters = lectureChapters({}, t);
    ASSERT_EQ(chapters.size(), 3);
    EXPECT_EQ(chapters[0].start, 0);
    EXPECT_EQ(chapters[0].title, "Segment 0 says something here");
    QList<double> starts;
    for (const Chapter& c : chapters) starts << c.start;
    EXPECT_TRUE(starts.contains(610));
    EXPECT_TRUE(starts.contains(300) != starts.contains(330));
    // A slide chapter wins over the pauses.
    EXPECT_EQ(lectureChapters({{40, {"Overview"}}}, t), (QList<Chapter>{{40, "Overview"}}));
    EXPECT_TRUE(lectureChapters({}, {}).isEmpty());
}

TEST(Chapters, GeneratedSlidesAreReadIntoChapterTitles) {
    const QList<CapturedScreenshot> shots = {
        CapturedScreenshot::make(fixture::makeSlideImage(QSize(1280, 720), "Heat Engines", {"Two reservoirs", "One cycle"}), 3.5),
        CapturedScreenshot::make(fixture::makeCameraImage(QSize(1280, 720), 4), 7.25),
        CapturedScreenshot::make(fixture::makeSlideImage(QSize(1280, 720), "Entropy and Disorder", {"S = k log W"}), 12.0),
    };
    const QList<Chapter> chapters = slideChapters(recognizeSlideText(shots, detectTextSlides(shots)));
    EXPECT_EQ(chapters, (QList<Chapter>{{3.5, "Heat Engines"}, {12.0, "Entropy and Disorder"}}));

    // A re-export takes what was read before from the cache and reads only new slides; slides
    // gone since are dropped from it.
    QTemporaryDir dir;
    const QString cache = dir.filePath("slides.json");
    QFile seeded(cache);
    ASSERT_TRUE(seeded.open(QIODevice::WriteOnly));
    seeded.write(R"({"3.5@1280x720":["Read before"],"99@1280x720":["Gone"]})");
    seeded.close();
    const QSet<double> slides = detectTextSlides(shots);
    EXPECT_EQ(slideChapters(recognizeSlideText(shots, slides, cache)), (QList<Chapter>{{3.5, "Read before"}, {12.0, "Entropy and Disorder"}}));
    QFile written(cache);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray kept = written.readAll();
    EXPECT_TRUE(kept.contains("Read before") && kept.contains("Entropy and Disorder")) << kept.constData();
    EXPECT_FALSE(kept.contains("Gone")) << kept.constData();
}

TEST(Chapters, MarkdownNamesEachChapterInItsFirstHeading) {
    using MD = MarkdownExportManager;
    MD::LectureInfo info;
    info.title = "Thermo";
    MD::Options options;
    options.chapters = {{0, "Introduction"}, {40, "Heat Engines"}};
    const QList<MD::Entry> entries = {{0.0, MD::Entry::Kind::Text, "Hello."}, {0.4, MD::Entry::Kind::Text, "Still hello."},
                                      {39.8, MD::Entry::Kind::Text, "Engines next."}, {80, MD::Entry::Kind::Text, "Carnot."}};
    QStringList headings;
    for (const QString& line : MD::buildDocument(info, entries, std::nullopt, options).split('\n'))
        if (line.startsWith("### ")) headings << line;
    EXPECT_EQ(headings, (QStringList{"### 0:00 · Introduction", "### 0:39 · Heat Engines", "### 1:20"}));

    // Written on its own (the Markdown action), the export's chapter file names them.
    QTemporaryDir folder;
    QFile vtt(folder.filePath(kChaptersFileName));
    ASSERT_TRUE(vtt.open(QIODevice::WriteOnly));
    vtt.write(chaptersVttText({{0, "Introduction"}}, 60).toUtf8());
    vtt.close();
    const Transcript segments{{QUuid::createUuid(), "Hello there.", 0, 2, {}}};
    QFile md(MD::exportMarkdown(info, segments, {}, std::nullopt, folder.path()));
    ASSERT_TRUE(md.open(QIODevice::ReadOnly));
    EXPECT_TRUE(md.readAll().contains("\n### 0:00 · Introduction\n"));
}
