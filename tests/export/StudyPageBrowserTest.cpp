// The exported study page in a real browser: Debian's headless Chromium opens
// index.html from disk with no network and the checks run through the page.

#include "ChromiumSession.h"
#include "FixtureTools.h"
#include "LectureFixture.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"
#include "core/Settings.h"
#include "export/ExportManager.h"
#include "core/PassageGrouping.h"
#include "export/Subtitles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QUrl>

using namespace lumenote;
using test::ChromiumSession;

namespace {

// Words of a passage as an anchor phrase.
QString phrase(const Block& block, int first, int count) {
    QStringList words;
    for (int i = first; i < first + count && i < block.wordEntries.size(); ++i) words.append(block.wordEntries[i].word);
    return words.join(' ');
}

class StudyPageInBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        outDir_ = QString::fromStdString(test::binaryDir()) + "/tests/export/browser";
        QDir(outDir_).removeRecursively();
        QDir().mkpath(outDir_ + "/media");
        const QString video = outDir_ + "/media/lecture.mp4";
        ASSERT_TRUE(test::ffmpeg({"-f", "lavfi", "-i", "color=c=0x303040:size=640x360:rate=5:duration=30", "-f", "lavfi", "-i",
                                  "sine=frequency=330:duration=30", "-c:v", "mpeg4", "-c:a", "aac", "-b:a", "48k", "-shortest", video}));

        LecturePtr lecture = Lecture::create(QStringLiteral("Entropy & the Second Law <Lecture 4>"), video, QStringLiteral("https://example.org/watch?v=4"));
        lecture->setChannelName(QStringLiteral("Physics 101"));
        lecture->setDateAdded(QDateTime(QDate(2025, 3, 4), QTime(10, 0)));
        lecture->setDuration(30);
        lecture->setConsolidatedWithModelID(QStringLiteral("claude/claude-sonnet-4-5"));

        const QList<TranscriptSegment> segments = fixture::makeTranscript(12, 9, 2.5, 11);
        segments_ = segments;
        const QList<Block> blocks = groupSegmentsIntoBlocks(segments);
        EXPECT_GE(blocks.size(), 3);
        passageStarts_.clear();
        for (const Block& b : blocks) passageStarts_.append(b.startTime);

        QList<MarginNote> margins = {
            MarginNote::create(blocks[0].startTime, phrase(blocks[0], 3, 2), QStringLiteral("Counting microstates is the key step."), MarginNote::Side::Right),
            MarginNote::create(blocks[1].startTime, phrase(blocks[1], 1, 1), QStringLiteral("Compare with lecture 2."), MarginNote::Side::Left),
        };
        QList<TextHighlight> highlights = {
            TextHighlight::create(blocks[0].startTime, phrase(blocks[0], 0, 3), TextHighlight::HighlightColor::Yellow),
            TextHighlight::create(blocks[1].startTime, phrase(blocks[1], 4, 3).toUpper(), TextHighlight::HighlightColor::Pink),
            TextHighlight::create(blocks[2].startTime, phrase(blocks[2], 2, 2), TextHighlight::HighlightColor::Blue),
        };
        lecture->setMarginNotesData(encodeMarginNotes(margins));
        lecture->setHighlightsData(encodeHighlights(highlights));
        lecture->setNotesData(encodeUserNotes({UserNote::create(blocks[1].startTime, QStringLiteral("Ask about the Carnot cycle\nin the tutorial."))}));
        lecture->setNotesMarginNotesData(encodeMarginNotes({MarginNote::create(2, QStringLiteral("microstates"), QStringLiteral("see slide 3"), MarginNote::Side::Left)}));
        lecture->setNotesHighlightsData(encodeHighlights({TextHighlight::create(0, QStringLiteral("hot"), TextHighlight::HighlightColor::Green)}));

        const QSize size(1280, 720);
        QList<CapturedScreenshot> shots = {
            CapturedScreenshot::make(fixture::makeCameraImage(size, 1), 1.0),
            CapturedScreenshot::make(fixture::makeSlideImage(size, "The Second Law", {"Entropy never decreases", "Heat flows hot to cold", "S = k log W"}), 9.0),
            CapturedScreenshot::make(fixture::makeCameraImage(size, 2), 16.0),
            CapturedScreenshot::make(fixture::makeCameraImage(size, 3), 16.5),
            CapturedScreenshot::make(fixture::makeSlideImage(size, "Carnot Engines", {"Two reservoirs", "Reversible cycle", "Efficiency 1 - Tc/Th"}), 24.0),
        };

        Settings::shared().setExportRootBookmark(outDir_);
        Settings::shared().setExportSubtitles(true);
        folder_ = test::await(ExportManager::shared().exportLecture(video, lecture, segments, shots, fixture::makeNotes(6), std::nullopt, {}));
        Settings::shared().setExportSubtitles(false);
        Settings::shared().setExportRootBookmark(std::nullopt);
        pageUrl_ = QUrl::fromLocalFile(folder_ + "/index.html").toString();

        browser_ = new ChromiumSession;
        QString error;
        if (!browser_->start(&error)) {
            delete browser_;
            browser_ = nullptr;
            FAIL() << error.toStdString();
        }
    }

    static void TearDownTestSuite() {
        delete browser_;
        browser_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(browser_, nullptr) << "no browser";
        browser_->setViewport(1400, 900);
        ASSERT_TRUE(browser_->navigate(pageUrl_));
        browser_->evaluate("localStorage.clear()");
        ASSERT_TRUE(browser_->reload());
    }

    QJsonValue js(const QString& expression) { return browser_->evaluate(expression); }
    QString location() { return js("location.href").toString(); }
    bool waitFor(const QString& expression, int ms = 10000) { return browser_->waitFor(expression, ms); }

    inline static ChromiumSession* browser_ = nullptr;
    inline static QString outDir_, folder_, pageUrl_;
    inline static QList<double> passageStarts_;
    inline static QList<TranscriptSegment> segments_;
};

}  // namespace

TEST_F(StudyPageInBrowser, ThePlayerSeeksFromAChipAndFollowsTheWords) {
    EXPECT_EQ(js("getComputedStyle(document.getElementById('ap')).display").toString(), QStringLiteral("flex"));
    ASSERT_TRUE(waitFor("document.getElementById('apDur').textContent === '0:30'")) << js("document.getElementById('apDur').textContent").toString().toStdString();

    // The chip of the third passage.
    const double start = passageStarts_[2];
    js("document.querySelectorAll('.passage .ts-chip--seek')[2].click()");
    ASSERT_TRUE(waitFor(QStringLiteral("!lnAudio.paused && lnAudio.currentTime >= %1 && lnAudio.currentTime < %2").arg(start).arg(start + 3)))
        << "time " << js("lnAudio.currentTime").toDouble() << " paused " << js("lnAudio.paused").toBool();
    EXPECT_EQ(js("document.getElementById('apIcon').textContent").toString(), QString(QChar(0x23F8)));

    // A word a second ahead lights up when playback reaches it, and only it.
    const QString word = QStringLiteral("[...document.querySelectorAll('.word[data-s]')].find(w => +w.dataset.s > %1)").arg(start + 1.0);
    const double wordStart = js(word + ".dataset.s").toString().toDouble();
    EXPECT_FALSE(js(word + ".classList.contains('word--active')").toBool());
    ASSERT_TRUE(waitFor(word + ".classList.contains('word--active')", 6000)) << "current time " << js("lnAudio.currentTime").toDouble();
    EXPECT_GE(js("lnAudio.currentTime").toDouble(), wordStart - 0.05);
    EXPECT_EQ(js("document.querySelectorAll('.word--active').length").toInt(), 1);
    EXPECT_GT(js("parseFloat(document.getElementById('apBarFill').style.width)").toDouble(), 100.0 * start / 30.0 - 1);
    EXPECT_TRUE(js("/^0:\\d\\d$/.test(document.getElementById('apCur').textContent)").toBool());

    js("apToggle()");
    ASSERT_TRUE(waitFor("lnAudio.paused"));
    EXPECT_EQ(js("document.getElementById('apIcon').textContent").toString(), QString(QChar(0x25B6)));

    // Seeking by the bar: a click at three quarters of its width.
    js("(() => { const r = apBar.getBoundingClientRect(); apBarClick({clientX: r.left + r.width * 0.75}); })()");
    ASSERT_TRUE(waitFor("Math.abs(lnAudio.currentTime - 22.5) < 0.3"));
    EXPECT_TRUE(waitFor("document.querySelector('.word--active') && +document.querySelector('.word--active').dataset.s <= 22.5"));
    js("apSetRate('1.5')");
    EXPECT_DOUBLE_EQ(js("lnAudio.playbackRate").toDouble(), 1.5);
}

TEST_F(StudyPageInBrowser, ThemeFontSizeAndViewAreSwitchedAndRemembered) {
    EXPECT_EQ(js("document.documentElement.dataset.theme").toString(), QStringLiteral("light"));
    EXPECT_EQ(js("getComputedStyle(document.body).backgroundColor").toString(), QStringLiteral("rgb(253, 252, 249)"));
    js("document.querySelector('.theme-btn').click()");
    EXPECT_EQ(js("document.documentElement.dataset.theme").toString(), QStringLiteral("dark"));
    EXPECT_EQ(js("localStorage.getItem('lumenote-theme')").toString(), QStringLiteral("dark"));
    EXPECT_TRUE(waitFor("getComputedStyle(document.body).backgroundColor === 'rgb(29, 29, 31)'"));

    js("(() => { const s = document.getElementById('fontSize'); s.value = 22; s.dispatchEvent(new Event('input')); })()");
    EXPECT_EQ(js("getComputedStyle(document.documentElement).fontSize").toString(), QStringLiteral("22px"));

    // Both are back after a reload, applied before the first paint.
    ASSERT_TRUE(browser_->reload());
    EXPECT_EQ(js("document.documentElement.dataset.theme").toString(), QStringLiteral("dark"));
    EXPECT_EQ(js("getComputedStyle(document.documentElement).fontSize").toString(), QStringLiteral("22px"));
    EXPECT_EQ(js("document.getElementById('fontSize').value").toString(), QStringLiteral("22"));

    // The view toggle shows one view at a time; the pressed button follows.
    const QString shown = QStringLiteral("getComputedStyle(document.getElementById('%1')).display !== 'none'");
    EXPECT_TRUE(js(shown.arg("view-transcript")).toBool());
    EXPECT_FALSE(js(shown.arg("view-notes")).toBool());
    js("document.querySelector('.view-toggle-btn[data-view=notes]').click()");
    EXPECT_EQ(js("document.documentElement.dataset.view").toString(), QStringLiteral("notes"));
    EXPECT_FALSE(js(shown.arg("view-transcript")).toBool());
    EXPECT_TRUE(js(shown.arg("view-notes")).toBool());
    EXPECT_NE(js("getComputedStyle(document.querySelector('.view-toggle-btn[data-view=notes]')).backgroundColor").toString(),
              js("getComputedStyle(document.querySelector('.view-toggle-btn[data-view=transcript]')).backgroundColor").toString());
    EXPECT_GT(js("document.querySelectorAll('#view-notes .notes-content h2').length").toInt(), 0);
    EXPECT_EQ(js("document.querySelectorAll('.notes-sidebar .notes-shot').length").toInt(), 5);
    EXPECT_TRUE(js("document.querySelector('.notes-provenance').textContent.includes('Claude')").toBool());
    js("switchView('transcript')");
    EXPECT_TRUE(js(shown.arg("view-transcript")).toBool());
}

TEST_F(StudyPageInBrowser, TheLightboxOpensOnAFigureAndClosesWithEscape) {
    js("document.querySelector('figure.shot').click()");
    EXPECT_TRUE(js("document.getElementById('lightbox').classList.contains('open')").toBool());
    EXPECT_EQ(js("document.body.style.overflow").toString(), QStringLiteral("hidden"));
    EXPECT_TRUE(js("lbImg.src === document.querySelector('figure.shot img').src").toBool());
    EXPECT_TRUE(js("lbFullsize.href === lbImg.src").toBool());
    // Sized to fit: never above the picture's own size, within the window.
    ASSERT_TRUE(waitFor("lbImg.complete && lbImg.naturalWidth > 0 && lbImg.style.width !== ''"));
    const int width = js("parseInt(lbImg.style.width)").toInt();
    EXPECT_LE(width, 1280);
    EXPECT_EQ(width, qRound(1280 * std::min(1.0, std::min((1400.0 - 64) / 1280, 0.9 * 900 / 720))));

    browser_->send("Input.dispatchKeyEvent", {{"type", "keyDown"}, {"key", "Escape"}, {"code", "Escape"}, {"windowsVirtualKeyCode", 27}});
    EXPECT_TRUE(waitFor("!document.getElementById('lightbox').classList.contains('open')"));
    EXPECT_EQ(js("document.body.style.overflow").toString(), QString());
    EXPECT_EQ(js("getComputedStyle(document.getElementById('lightbox')).display").toString(), QStringLiteral("none"));
}

TEST_F(StudyPageInBrowser, MarginConnectorsAppearOnlyWhenTheNotesSitInTheMargins) {
    // Wide: notes in the gutters, one connector per placed anchor.
    ASSERT_TRUE(waitFor("document.querySelectorAll('#view-transcript .margin-connector').length === 2", 5000))
        << js("document.querySelectorAll('.margin-connector').length").toInt();
    EXPECT_EQ(js("getComputedStyle(document.querySelector('.passage-wrap')).display").toString(), QStringLiteral("grid"));
    EXPECT_EQ(js("getComputedStyle(document.querySelector('.margin-notes')).position").toString(), QStringLiteral("absolute"));
    // The right note's connector runs from its anchor to the note.
    const QString geometry = QStringLiteral(
        "(() => { const a = document.querySelector('#view-transcript .margin-notes--right').closest('.passage-wrap');"
        " const w = a.getBoundingClientRect(); const c = a.querySelector('.margin-connector').getBoundingClientRect();"
        " const n = a.querySelector('.margin-notes--right .margin-note').getBoundingClientRect();"
        " const an = a.querySelector('.margin-anchor').getBoundingClientRect();"
        " return [Math.abs(c.left - an.right), Math.abs(c.right - n.left), c.width]; })()");
    const QJsonArray g = js(geometry).toArray();
    ASSERT_EQ(g.size(), 3);
    EXPECT_LE(g[0].toDouble(), 1.5);
    EXPECT_LE(g[1].toDouble(), 1.5);
    EXPECT_GT(g[2].toDouble(), 20);
    EXPECT_EQ(js("document.querySelectorAll('mark[data-hl]').length").toInt(), 4);
    // The two slides are full-width text slides; the camera pictures float beside the text.
    EXPECT_EQ(js("document.querySelectorAll('#view-transcript .shot--text-slide').length").toInt(), 2);
    EXPECT_EQ(js("Math.round(document.querySelector('.shot--text-slide').getBoundingClientRect().width)").toInt(),
              js("Math.round(document.querySelector('.passage').getBoundingClientRect().width)").toInt());
    EXPECT_EQ(js("getComputedStyle(document.querySelector('.shot--presenter')).float").toString(), QStringLiteral("right"));
    EXPECT_TRUE(browser_->saveScreenshot(outDir_ + "/page-1400.png"));
    EXPECT_TRUE(browser_->saveScreenshot(outDir_ + "/page-1400-full.png", true));
    js("switchView('notes')");
    EXPECT_TRUE(waitFor("document.querySelectorAll('#view-notes .margin-connector').length === 1", 3000));
    test::spinFor(400);  // let the toggle's colour transition finish before the picture
    EXPECT_TRUE(browser_->saveScreenshot(outDir_ + "/notes-1400.png"));
    js("switchView('transcript')");

    // Narrow: the notes stack under their passage and the connectors go away.
    browser_->setViewport(420, 860);
    ASSERT_TRUE(waitFor("document.querySelectorAll('.margin-connector').length === 0", 3000));
    EXPECT_EQ(js("getComputedStyle(document.querySelector('.passage-wrap')).display").toString(), QStringLiteral("block"));
    EXPECT_EQ(js("getComputedStyle(document.querySelector('.margin-notes')).position").toString(), QStringLiteral("static"));
    EXPECT_LE(js("document.documentElement.scrollWidth").toInt(), 420);
    EXPECT_TRUE(browser_->saveScreenshot(outDir_ + "/page-420.png"));
    EXPECT_TRUE(browser_->saveScreenshot(outDir_ + "/page-420-full.png", true));

    // Wide again: they come back after the resize settles.
    browser_->setViewport(1400, 900);
    EXPECT_TRUE(waitFor("document.querySelectorAll('#view-transcript .margin-connector').length === 2", 3000));
}

TEST_F(StudyPageInBrowser, ThePageWorksFromDiskWithoutNetworkOrScriptErrors) {
    EXPECT_TRUE(browser_->pageErrors().isEmpty()) << browser_->pageErrors().join("\n").toStdString();
    // Everything the page needs is next to it; only the optional web fonts live elsewhere.
    for (const QString& url : browser_->requestedUrls()) {
        const QUrl u(url);
        EXPECT_TRUE(u.isLocalFile() || u.scheme() == "data" || u.host() == "fonts.googleapis.com" || u.host() == "fonts.gstatic.com") << url.toStdString();
    }
    EXPECT_EQ(js("getComputedStyle(document.querySelector('.lecture-title')).fontFamily.includes('Newsreader')").toBool(), true);
    EXPECT_EQ(js("document.title").toString(), QStringLiteral("Entropy & the Second Law <Lecture 4>"));
    EXPECT_EQ(js("[...document.querySelectorAll('img')].filter(i => i.closest('.doc-body') && i.getAttribute('src')).length").toInt(), 10);
    // The lazily loaded pictures are really there.
    js("document.querySelectorAll('.shot img').forEach(i => i.loading = 'eager')");
    EXPECT_TRUE(waitFor("[...document.querySelectorAll('.shot img')].every(i => i.complete && i.naturalWidth === 1280)"));
}

TEST_F(StudyPageInBrowser, TheTimeInTheAddressSeeksAndScrollsThere) {
    browser_->setViewport(1000, 420);
    ASSERT_TRUE(browser_->navigate("about:blank"));
    ASSERT_TRUE(browser_->navigate(pageUrl_ + "#t=20"));
    ASSERT_TRUE(waitFor("lnAudio.readyState >= 1 && Math.abs(lnAudio.currentTime - 20) < 0.01")) << js("lnAudio.currentTime").toDouble();
    EXPECT_TRUE(js("lnAudio.paused").toBool()) << "the page waits at the moment; it does not start playing";
    int passage = 0;
    while (passage + 1 < passageStarts_.size() && passageStarts_[passage + 1] <= 20) ++passage;
    ASSERT_GT(passage, 0);
    const QString inView = QStringLiteral(
        "(() => { const r = document.querySelectorAll('#view-transcript .passage')[%1].getBoundingClientRect();"
        " return r.bottom > 0 && r.top < innerHeight; })()");
    EXPECT_GT(js("scrollY").toDouble(), 0);
    EXPECT_TRUE(js(inView.arg(passage)).toBool());
    EXPECT_FALSE(js(inView.arg(0)).toBool());

    // Following another link to the same page moves again.
    js("location.hash = '#t=2'");
    EXPECT_TRUE(waitFor("Math.abs(lnAudio.currentTime - 2) < 0.01"));
    EXPECT_TRUE(waitFor(inView.arg(0)));
}

TEST_F(StudyPageInBrowser, TheExportedSubtitlesPlayAsATrackOfTheExportedAudio) {
    // A page of our own beside the export: its audio with the VTT file as a track.
    QFile page(folder_ + "/captions.html");
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<!DOCTYPE html><audio id=a src=audio.m4a preload=auto>"
               "<track id=tr kind=subtitles srclang=en src=subtitles.vtt default></audio>");
    page.close();
    ASSERT_TRUE(browser_->navigate(QUrl::fromLocalFile(page.fileName()).toString()));
    js("document.getElementById('tr').track.mode = 'hidden'");
    ASSERT_TRUE(waitFor("document.getElementById('tr').readyState === 2 && a.readyState >= 1"))
        << "track state " << js("document.getElementById('tr').readyState").toInt();

    const QList<SubtitleCue> cues = buildSubtitleCues(segments_);
    ASSERT_GT(cues.size(), 3);
    const SubtitleCue& cue = cues[cues.size() / 2];
    js(QStringLiteral("a.currentTime = %1; a.play()").arg(cue.start + 0.05));
    ASSERT_TRUE(waitFor(QStringLiteral("!a.paused && a.currentTime > %1 && a.textTracks[0].activeCues.length > 0").arg(cue.start + 0.1)));
    js("a.pause()");
    const double at = js("a.currentTime").toDouble();
    const QString shown = js("a.textTracks[0].activeCues[0].text").toString();
    const auto playing = std::find_if(cues.begin(), cues.end(), [at](const SubtitleCue& c) { return c.start <= at && at < c.end; });
    ASSERT_NE(playing, cues.end()) << "no cue at " << at;
    EXPECT_EQ(shown, playing->lines.join('\n')) << "at " << at;
    EXPECT_EQ(js("document.getElementById('tr').track.cues.length").toInt(), cues.size());
}

TEST_F(StudyPageInBrowser, TheChapterListJumpsAndFollowsPlayback) {
    // Chapters come from the two text slides' titles; the file beside the audio has them too.
    EXPECT_EQ(js("[...document.querySelectorAll('.chapter')].map(a => a.textContent).join('|')").toString(),
              QStringLiteral("0:09 The Second Law|0:24 Carnot Engines"));
    QFile vtt(folder_ + "/chapters.vtt");
    ASSERT_TRUE(vtt.open(QIODevice::ReadOnly));
    EXPECT_TRUE(vtt.readAll().contains("00:00:24.000 --> "));

    js("document.querySelectorAll('.chapter')[1].click()");
    ASSERT_TRUE(waitFor("Math.abs(lnAudio.currentTime - 24) < 0.01"));
    EXPECT_TRUE(location().endsWith("#t=24.00"));
    EXPECT_TRUE(waitFor("document.querySelectorAll('.chapter')[1].classList.contains('chapter--current')"));
    // Playing from the first chapter marks it instead.
    js("seekTo(9.5)");
    EXPECT_TRUE(waitFor("document.querySelectorAll('.chapter')[0].classList.contains('chapter--current') &&"
                        " !document.querySelectorAll('.chapter')[1].classList.contains('chapter--current')"));
    js("lnAudio.pause()");
}
