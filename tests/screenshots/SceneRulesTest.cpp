#include "screenshots/FrameAnalysis.h"
#include "screenshots/SceneScanner.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QPainter>

using namespace lumenote;

namespace {

// A 640 x 360 thumbnail whose first `changed` share of pixels is `level`, the rest 0.
QByteArray thumb(double changed = 0, uint8_t level = 200) {
    QByteArray t(640 * 360, '\0');
    const qsizetype n = qsizetype(changed * t.size());
    for (qsizetype i = 0; i < n; ++i) t[i] = char(level);
    return t;
}

QImage named(const QString& name) {
    QImage img(4, 4, QImage::Format_Grayscale8);
    img.fill(0);
    img.setText(QStringLiteral("name"), name);
    return img;
}

// Word sets per frame name; counts the readings.
struct Words {
    QMap<QString, QSet<QString>> sets;
    int reads = 0;
    SceneScanner::WordReader reader() {
        return [this](const QImage& frame) {
            ++reads;
            return sets.value(frame.text(QStringLiteral("name")));
        };
    }
};

}  // namespace

TEST(FrameAnalysis, ChangedPixelFractionCountsStrictlyAboveTheThreshold) {
    QByteArray a(10, char(100)), b(10, char(100));
    b[0] = char(120);  // exactly 20: not changed
    b[1] = char(121);
    b[2] = char(79);
    EXPECT_DOUBLE_EQ(changedPixelFraction(a, b, 20), 0.2);
    EXPECT_DOUBLE_EQ(changedPixelFraction(a, QByteArray(9, 0), 20), 0.0);
    EXPECT_DOUBLE_EQ(changedPixelFraction(QByteArray(), QByteArray(), 20), 0.0);
}

TEST(FrameAnalysis, ChangedInkIsMeasuredAgainstTheCommonestGreyLevel) {
    // 100 pixels of background with ink from `inkFrom` to `inkTo`.
    const auto picture = [](uint8_t background, uint8_t ink, int inkFrom, int inkTo) {
        QByteArray p(100, char(background));
        for (int i = inkFrom; i < inkTo; ++i) p[i] = char(ink);
        return p;
    };
    QByteArray recoloured = picture(250, 30, 10, 30);
    for (int i = 10; i < 20; ++i) recoloured[i] = char(120);
    struct Case {
        const char* what;
        QByteArray earlier, later;
        double expected;
    } cases[] = {
        {"a line added below", picture(250, 30, 10, 30), picture(250, 30, 10, 50), 0.0},
        {"half the ink recoloured", picture(250, 30, 10, 30), recoloured, 0.5},
        {"light ink on a dark background, redrawn elsewhere", picture(20, 230, 10, 30), picture(20, 230, 40, 60), 1.0},
        {"no ink at all", picture(250, 250, 0, 0), picture(250, 30, 0, 50), 0.0},
        {"different lengths", picture(250, 30, 10, 30), QByteArray(99, char(250)), 0.0},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(changedInkFraction(c.earlier, c.later, 20), c.expected) << c.what;
}

TEST(FrameAnalysis, ThumbnailsFillTheSizeAndNullGivesZeros) {
    QImage wide(1000, 100, QImage::Format_RGB32);
    wide.fill(Qt::white);
    const QByteArray t = greyThumbnail(wide, kSearchThumbnailSize);
    ASSERT_EQ(t.size(), 160 * 90);
    EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](char c) { return uint8_t(c) == 255; }));
    const QByteArray z = greyThumbnail(QImage(), kScanThumbnailSize);
    EXPECT_EQ(z.size(), 230400);
    EXPECT_TRUE(std::all_of(z.begin(), z.end(), [](char c) { return c == 0; }));
}

TEST(FrameAnalysis, LaplacianVarianceOfKnownPatterns) {
    // A single bright pixel in the middle of 5 x 5: interior 3 x 3 values are
    // 4*v at the centre and -v at its four neighbours.
    uchar px[25] = {};
    px[12] = 10;
    const double n = 9;
    const double mean = (40 - 40) / n;
    const double expected = (1600 + 4 * 100) / n - mean * mean;
    EXPECT_DOUBLE_EQ(laplacianVariance(px, 5, 5, 5), expected);
    EXPECT_DOUBLE_EQ(laplacianVariance(px, 2, 5, 5), 0.0);
    QImage flat(50, 50, QImage::Format_Grayscale8);
    flat.fill(77);
    EXPECT_DOUBLE_EQ(sharpness(flat), 0.0);
}

TEST(FrameAnalysis, BlackAndBlurTests) {
    QImage img(320, 180, QImage::Format_RGB32);
    img.fill(QColor(3, 3, 3));
    EXPECT_TRUE(isBlackFrame(img));
    img.fill(QColor(4, 4, 4));  // mean exactly 4 is not black
    EXPECT_FALSE(isBlackFrame(img));
    EXPECT_FALSE(isBlackFrame(QImage()));

    // Flat is blurry; a fine checkerboard is sharp; a null picture is neither.
    EXPECT_TRUE(isBlurryFrame(img));
    QImage checks(320, 180, QImage::Format_Grayscale8);
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 320; ++x) checks.scanLine(y)[x] = ((x / 2 + y / 2) % 2) ? 255 : 0;
    EXPECT_FALSE(isBlurryFrame(checks));
    EXPECT_TRUE(isBlurryFrame(checks.scaled(40, 22).scaled(320, 180, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    EXPECT_FALSE(isBlurryFrame(QImage()));
}

TEST(FrameAnalysis, WordSetsAndSimilarity) {
    const QSet<QString> words = wordSet({QStringLiteral("The Second LAW of\tthermodynamics"), QStringLiteral("is ok at 42 degrees\nnow")});
    EXPECT_EQ(words, (QSet<QString>{"the", "second", "law", "thermodynamics", "degrees", "now"}));
    EXPECT_DOUBLE_EQ(wordSimilarity({}, {}), 1.0);
    EXPECT_DOUBLE_EQ(wordSimilarity({"a"}, {}), 0.0);
    EXPECT_DOUBLE_EQ(wordSimilarity({"abc", "def", "ghi"}, {"abc", "def", "xyz"}), 0.5);
}

TEST(SceneScanner, SampleTimesRunToTheDurationInHalfSeconds) {
    EXPECT_EQ(scanSampleTimes(1.5), (QList<double>{0, 0.5, 1.0, 1.5}));
    EXPECT_EQ(scanSampleTimes(0.2), (QList<double>{0}));
    EXPECT_EQ(scanSampleTimes(2400).size(), 4801);
}

TEST(SceneScanner, NonTextFramesRespectSpacingAndDifference) {
    SceneScanner s({20, 30, 0.2}, 100, {});
    // The first frame is taken a quarter second late.
    EXPECT_EQ(s.add(0, thumb(0), false, {}), 0.25);
    EXPECT_EQ(s.add(0.5, thumb(0.5), false, {}), std::nullopt);  // within the spacing
    EXPECT_EQ(s.add(30, thumb(0.04), false, {}), std::nullopt);  // spacing over, but under 5 % changed
    EXPECT_EQ(s.add(30.5, thumb(0.05), false, {}), 30.75);       // 5 % changed
    EXPECT_EQ(s.add(99.9, thumb(0.6), false, {}), 100);          // capped at the duration
    EXPECT_EQ(s.selectedTimes(), (QList<double>{0.25, 30.75, 100}));
    EXPECT_EQ(s.textSlideFrames(), 0);
}

TEST(SceneScanner, TextSlidesMustSettleAndAreNeverTakenAtZero) {
    SceneScanner s({20, 30, 0.2}, 100, {});
    EXPECT_EQ(s.add(0, thumb(0.3), true, {}), std::nullopt);  // nothing before it
    EXPECT_EQ(s.add(0.5, thumb(0.5), true, {}), std::nullopt);  // still changing (20 % from the last)
    // Settled, no reference, the first capture's spacing counts from -30: the long-gap rule.
    EXPECT_EQ(s.add(1.0, thumb(0.5), true, {}), 1.0);
    EXPECT_EQ(s.textSlideFrames(), 3);
}

TEST(SceneScanner, TextSlidesWithinEightSecondsNeedAFifthChangedAndStayApart) {
    SceneScanner s({20, 30, 0.2}, 100, {});
    s.add(0.5, thumb(0.1), true, {});
    ASSERT_EQ(s.add(1.0, thumb(0.1), true, {}), 1.0);
    // A different slide 1 s later, settled: too soon (1.5 s rule).
    s.add(1.5, thumb(0.5), true, {});
    EXPECT_EQ(s.add(2.0, thumb(0.5), true, {}), std::nullopt);
    // At 2.5 s it may be taken: 40 % changed from the reference.
    EXPECT_EQ(s.add(2.5, thumb(0.5), true, {}), 2.5);
    // 15 % changed, no words known: nothing.
    s.add(4.0, thumb(0.65), true, {});
    EXPECT_EQ(s.add(4.5, thumb(0.65), true, {}), std::nullopt);
    // 8 s after the last capture, 3 % changed is enough.
    s.add(10.0, thumb(0.53), true, {});
    EXPECT_EQ(s.add(10.5, thumb(0.53), true, {}), 10.5);
}

TEST(SceneScanner, LongGapRuleUsesTheSensitivity) {
    SceneScanner s({20, 30, 0.2}, 100, {});
    s.add(0.5, thumb(0.1), true, {});
    ASSERT_EQ(s.add(1.0, thumb(0.1), true, {}), 1.0);
    // 8.5 s later, 2 % changed is not above 0.02; 2.5 % is.
    s.add(9.0, thumb(0.12), true, {});
    EXPECT_EQ(s.add(9.5, thumb(0.12), true, {}), std::nullopt);
    EXPECT_EQ(s.add(10.0, thumb(0.125), true, {}), 10.0);
    // With sensitivity 0.5 the same change is too small.
    SceneScanner t({20, 30, 0.5}, 100, {});
    t.add(0.5, thumb(0.1), true, {});
    t.add(1.0, thumb(0.1), true, {});
    t.add(10.0, thumb(0.125), true, {});
    EXPECT_EQ(t.add(10.5, thumb(0.125), true, {}), std::nullopt);
}

TEST(SceneScanner, SmallChangesWithinEightSecondsAreDecidedByWords) {
    Words words;
    words.sets["a"] = {"entropy", "heat", "flows", "from", "hot", "cold"};
    words.sets["a~"] = {"entropy", "heat", "flows", "from", "hot", "bodies"};  // one word other
    words.sets["b"] = {"carnot", "engine", "efficiency", "limit", "from"};
    SceneScanner s({20, 30, 0.2}, 100, words.reader());
    s.add(0.5, thumb(0.1), true, named("a"));
    ASSERT_EQ(s.add(1.0, thumb(0.1), true, named("a")), 1.0);
    EXPECT_EQ(words.reads, 0);  // words are read only when needed

    // 10 % changed, nearly the same words: similar, not taken.
    s.add(3.0, thumb(0.2), true, named("a~"));
    EXPECT_EQ(s.add(3.5, thumb(0.2), true, named("a~")), std::nullopt);
    EXPECT_EQ(words.reads, 2);  // the reference slide once, this picture once
    // 18 % changed and different words: taken.
    s.add(4.0, thumb(0.28), true, named("b"));
    EXPECT_EQ(s.add(4.5, thumb(0.28), true, named("b")), 4.5);
    // The new words are the reference now: "a" is different from "b".
    s.add(6.0, thumb(0.38), true, named("a"));
    EXPECT_EQ(s.add(6.5, thumb(0.38), true, named("a")), 6.5);
}

namespace {

// A stretch of the scan: samples every half second from `from` to `to`, each
// `changed` away from an empty thumbnail and showing the words of `name`.
struct Shown {
    double from, to;
    double changed;
    const char* name;
    bool text = true;
    uint8_t level = 200;
};

struct WordRuleCase {
    const char* what;
    QList<Shown> shown;
    QList<double> selected;
    int reads;
    double spacing = 30;
};

}  // namespace

TEST(SceneScanner, WordsDecideSmallChangesAndBuildsReplaceTheirEarlierForm) {
    Words words;
    words.sets["a"] = {"entropy", "heat", "flows", "from", "hot", "cold"};
    words.sets["a~"] = {"entropy", "heat", "flows", "from", "hot", "bodies"};
    words.sets["b"] = {"work", "never", "free", "loss"};
    words.sets["1"] = {"carnot", "cycle"};
    words.sets["2"] = {"carnot", "cycle", "isotherms"};
    words.sets["3"] = {"carnot", "cycle", "isotherms", "adiabats"};
    words.sets["4"] = {"carnot", "cycle", "isotherms", "adiabats", "efficiency"};
    words.sets["5"] = {"carnot", "cycle", "isotherms", "adiabats", "efficiency", "limit"};
    const QList<WordRuleCase> cases = {
        {"sparse slides after a long gap differ by words only",
         {{0, 9.5, 0.10, "a"}, {10, 20, 0.11, "b"}}, {0.5, 10.5}, 2},
        {"the same words after a long gap: no capture, one reading of the still picture",
         {{0, 9.5, 0.10, "a"}, {10, 30, 0.11, "a~"}}, {0.5}, 2},
        {"a change within the noise floor is never read",
         {{0, 9.5, 0.10, "a"}, {10, 30, 0.103, "b"}}, {0.5}, 0},
        {"a five-step build is kept once, complete, at its last step",
         {{0, 2.5, 0.10, "1"}, {3, 5.5, 0.11, "2"}, {6, 8.5, 0.12, "3"}, {9, 11.5, 0.13, "4"}, {12, 20, 0.14, "5"}}, {12.5}, 5},
        {"a build followed by a new slide",
         {{0, 4.5, 0.10, "1"}, {5, 9.5, 0.11, "2"}, {10, 20, 0.5, "b"}}, {5.5, 10.5}, 3},
        {"going back a build step keeps the fuller form",
         {{0, 4.5, 0.10, "1"}, {5, 9.5, 0.11, "2"}, {10, 30, 0.10, "1"}}, {5.5}, 3},
        {"a slide shown twice with camera footage between is taken each time, the second no build",
         {{0, 9.5, 0.10, "1"}, {10, 17.5, 0.9, "", false}, {18, 25, 0.11, "2"}}, {0.5, 10.25, 18.5}, 0, 5},
        {"a slide that redraws the earlier text is not read as a build",
         {{0, 9.5, 0.10, "1"}, {10, 20, 0.10, "2", true, 120}}, {0.5, 10.5}, 0},
        {"nothing builds on a slide without readable words",
         {{0, 4.5, 0.10, ""}, {5, 20, 0.11, "2"}}, {0.5}, 1},
        // A pointer moves (no new words), then a bullet appears: its first
        // sample is not yet still, so it is read on the next one as a build
        // instead of being taken by pixels as a new slide.
        {"a small change waits one sample to stand still before it is read",
         {{0, 4.5, 0.10, "1"}, {5, 9.5, 0.11, "1"}, {10, 20, 0.125, "2"}}, {10.5}, 3},
        // (Only the captured slides are read, the second when the next sample needs it.)
        {"a slide that keeps moving is decided by its pixels",
         {{0, 9.5, 0.10, "1"}, {10, 10, 0.11, "x"}, {10.5, 10.5, 0.12, "x"}, {11, 11, 0.13, "x"}, {11.5, 11.5, 0.14, "x"}},
         {0.5, 11.0}, 2},
    };
    for (const WordRuleCase& c : cases) {
        SCOPED_TRACE(c.what);
        words.reads = 0;
        SceneScanner s({20, c.spacing, 0.2}, 100, words.reader());
        for (const Shown& part : c.shown)
            for (double t = part.from; t <= part.to; t += 0.5) s.add(t, thumb(part.changed, part.level), part.text, named(part.name));
        EXPECT_EQ(s.selectedTimes(), c.selected);
        EXPECT_EQ(words.reads, c.reads);
    }
}

TEST(SceneScanner, BuildsOnNeedsEveryEarlierWordAndOneMore) {
    EXPECT_TRUE(buildsOn({"carnot", "cycle", "limit"}, {"carnot", "cycle"}));
    EXPECT_FALSE(buildsOn({"carnot", "cycle"}, {"carnot", "cycle"}));
    EXPECT_FALSE(buildsOn({"carnot", "engine", "limit"}, {"carnot", "cycle"}));
    EXPECT_FALSE(buildsOn({"carnot"}, {}));
}

TEST(SceneScanner, EmptyReferenceWordsBlockTheWordRule) {
    Words words;
    words.sets["b"] = {"carnot", "engine"};
    SceneScanner s({20, 30, 0.2}, 100, words.reader());
    s.add(0.5, thumb(0.1), true, named("unreadable"));
    ASSERT_EQ(s.add(1.0, thumb(0.1), true, named("unreadable")), 1.0);
    s.add(3.0, thumb(0.2), true, named("b"));
    EXPECT_EQ(s.add(3.5, thumb(0.2), true, named("b")), std::nullopt);
    EXPECT_EQ(words.reads, 1);  // the current frame is not read when the reference has no words
}

TEST(SceneScanner, NonTextCaptureKeepsTheReferenceWords) {
    Words words;
    words.sets["a"] = {"alpha", "beta", "gamma"};
    words.sets["c"] = {"delta", "epsilon"};
    SceneScanner s({20, 5, 0.2}, 100, words.reader());
    s.add(0.5, thumb(0.1), true, named("a"));
    ASSERT_EQ(s.add(1.0, thumb(0.1), true, named("a")), 1.0);
    ASSERT_EQ(s.add(6.0, thumb(0.9), false, {}), 6.25);  // camera footage
    // A text slide 10 % away from the footage's thumbnail with other words than "a".
    s.add(7.5, thumb(0.8), true, named("c"));
    EXPECT_EQ(s.add(8.0, thumb(0.8), true, named("c")), 8.0);
}

TEST(SceneScanner, SummaryAndWarnings) {
    SceneScanner none({20, 30, 0.2}, 10, {});
    none.addUndecodable();
    none.addUndecodable();
    EXPECT_EQ(none.summaryLine(),
              "[screenshots] Phase 1 complete: 2 frames sampled, 2 nil (undecodable), 0 timestamps selected, 0 text-slide frames detected");
    EXPECT_EQ(none.warningLine(), QStringLiteral("[screenshots] \u26A0\uFE0F  ALL 2 frames were nil \u2014 codec is likely unreadable by "
                                                 "AVAssetImageGenerator (VP9/AV1 in MP4 container). Check that ffmpeg is installed and "
                                                 "the transcode path ran."));
    SceneScanner still({20, 30, 0.2}, 10, {});
    still.addUndecodable();
    still.add(0.5, thumb(), true, {});
    EXPECT_EQ(still.warningLine(), QStringLiteral("[screenshots] Phase 1 found no scene changes \u2014 video content may be static"));
    SceneScanner some({20, 30, 0.2}, 10, {});
    some.add(0, thumb(), false, {});
    EXPECT_EQ(some.warningLine(), std::nullopt);
}

TEST(BestFrameSearch, CandidatesStopAtANewSceneAndTiesKeepTheEarlier) {
    BestFrameSearch search(10, 100);
    const auto c = search.candidates();
    ASSERT_EQ(c.size(), 9);
    EXPECT_DOUBLE_EQ(c[8].second, 13.2);
    QByteArray a(160 * 90, char(10)), b(160 * 90, char(200));
    EXPECT_TRUE(search.add(0, 10.0, a, [] { return 5.0; }));
    EXPECT_TRUE(search.add(1, 10.4, b, [] { return 9.0; }));  // index 1 is never compared
    EXPECT_TRUE(search.add(2, 10.8, b, [] { return 9.0; }));  // a tie keeps 10.4
    EXPECT_FALSE(search.add(3, 11.2, a, [] { return 99.0; }));  // a new scene: stop
    EXPECT_FALSE(search.add(4, 11.6, a, [] { return 99.0; }));
    EXPECT_DOUBLE_EQ(search.bestTime(), 10.4);

    // Near the end candidates are held 0.05 s before the end; none qualifies: t itself.
    BestFrameSearch end(9.9, 10);
    const auto e = end.candidates();
    ASSERT_EQ(e.size(), 9);
    EXPECT_DOUBLE_EQ(e[0].second, 9.9);
    EXPECT_DOUBLE_EQ(e[1].second, 9.95);
    EXPECT_DOUBLE_EQ(end.bestTime(), 9.9);
    EXPECT_TRUE(BestFrameSearch(0, 0.01).candidates().isEmpty());
}

TEST(CaptureTexts, StatusAndSummaryLines) {
    EXPECT_EQ(capturingStatus(1), QStringLiteral("Capturing 1 screenshot\u2026"));
    EXPECT_EQ(capturingStatus(3), QStringLiteral("Capturing 3 screenshots\u2026"));
    EXPECT_EQ(capturedStatus(0), QStringLiteral("Captured 0 screenshots."));
    EXPECT_EQ(capturedStatus(1), QStringLiteral("Captured 1 screenshot."));
    EXPECT_EQ(phase2SummaryLine(3, 4, 0, 1, 0), QStringLiteral("[screenshots] Phase 2 complete: 3/4 kept \u2014 0 decode failures, 1 too dark"));
    EXPECT_EQ(phase2SummaryLine(2, 5, 1, 1, 1),
              QStringLiteral("[screenshots] Phase 2 complete: 2/5 kept \u2014 1 decode failures, 1 too dark, 1 too blurry"));
}
