// A study page built from records full of markup, script and hostile links,
// opened in Debian's headless Chromium: nothing from the records runs, no
// element or handler of theirs exists, every link leads to the web or to
// e-mail, and the only outside request is the fonts stylesheet.

#include "ChromiumSession.h"
#include "LectureFixture.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"
#include "core/PassageGrouping.h"
#include "core/Settings.h"
#include "export/ExportManager.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <gtest/gtest.h>

using namespace lumenote;
using test::ChromiumSession;

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Every payload calls pwn(), which the browser defines before the page runs:
// a call leaves its mark in window.pwned.
const QString kTitle = QStringLiteral("Entropy </title><script>pwn('title')</script> & \"Heat\" --><img src=x onerror=pwn('title-img')>");
const QString kChannel = QStringLiteral("<img src=\"https://tracker.example/channel.gif\" onerror=\"pwn('channel')\">");
const QString kWord = QStringLiteral("<img/src=x/onerror=pwn('word')>");
const QString kNotes = QStringLiteral(
    "## Heat engines <script>pwn('heading')</script>\n\n"
    "- [click me](javascript:pwn('link'))\n"
    "- [upper case](JaVaScRiPt:pwn('upper'))\n"
    "- [data](data:text/html;base64,PHNjcmlwdD5wd24oJ2RhdGEnKTwvc2NyaXB0Pg==)\n"
    "- [relative](images/../../secret)\n"
    "- [quoted](https://example.org/\"onmouseover=\"pwn\")\n"
    "- **[web](https://example.org/a_b_*c*)** and [mail](mailto:someone@example.org)\n"
    "- <iframe src=\"https://tracker.example/frame\"></iframe><svg onload=pwn('svg')>\n\n"
    "Carnot `<script>pwn('code')</script>` efficiency");

}  // namespace

TEST(HostileStudyPage, NothingFromTheRecordsRunsOrReachesOut) {
    const QString out = QString::fromStdString(test::homeDir()) + "/hostile-page";
    QDir(out).removeRecursively();

    LecturePtr lecture = Lecture::create(kTitle, out + "/missing.mp4", QStringLiteral("javascript:pwn('source')//https://example.org/"));
    lecture->setChannelName(kChannel);
    lecture->setTranscriptLanguage(QStringLiteral("en\" onmouseover=\"pwn('lang')"));
    lecture->setConsolidatedWithModelID(QStringLiteral("claude/<img src=x onerror=pwn('model')>"));
    lecture->setDuration(40);

    QList<TranscriptSegment> segments{
        fixture::makeSegment(QStringLiteral("Heat flows from hot to cold ") + kWord + QStringLiteral(" always."), 0, 9),
        fixture::makeSegment(QStringLiteral("The engine <svg/onload=pwn('word2')> turns \"heat\" into work."), 12, 20),
        fixture::makeSegment(QStringLiteral("Entropy </p><script>pwn('plain')</script> never decreases."), 23, 31),
    };
    segments[2].words.clear();  // a passage without word timings takes the plain-text path
    const QList<Block> blocks = groupSegmentsIntoBlocks(segments);
    ASSERT_EQ(blocks.size(), 3);
    lecture->setMarginNotesData(encodeMarginNotes({
        MarginNote::create(blocks[0].startTime, kWord, QStringLiteral("<script>pwn('margin')</script>"), MarginNote::Side::Right),
        MarginNote::create(blocks[2].startTime, QStringLiteral("</p><script>"), QStringLiteral("<b onclick=pwn('margin2')>x</b>"), MarginNote::Side::Left),
    }));
    lecture->setHighlightsData(encodeHighlights({
        TextHighlight::create(blocks[1].startTime, QStringLiteral("<svg/onload=pwn('word2')>"), TextHighlight::HighlightColor::Pink),
        TextHighlight::create(blocks[2].startTime, QStringLiteral("pwn('plain')</script>"), TextHighlight::HighlightColor::Blue),
    }));
    lecture->setNotesData(encodeUserNotes({UserNote::create(blocks[0].startTime, QStringLiteral("</p></aside><script>pwn('note')</script>"))}));
    lecture->setNotesInlineNotesData(encodeUserNotes({UserNote::create(0, QStringLiteral("<img src=x onerror=pwn('inline')>"))}));
    lecture->setNotesMarginNotesData(encodeMarginNotes(
        {MarginNote::create(1, QStringLiteral("click me"), QStringLiteral("<a href=\"javascript:pwn('notes-margin')\">go</a>"), MarginNote::Side::Left)}));
    lecture->setNotesHighlightsData(encodeHighlights({TextHighlight::create(0, QStringLiteral("<script>"), TextHighlight::HighlightColor::Green)}));

    Settings::shared().setExportRootBookmark(out);
    const QString folder = test::await(ExportManager::shared().exportLecture(out + "/missing.mp4", lecture, segments, {}, kNotes, std::nullopt, {}));
    Settings::shared().setExportRootBookmark(std::nullopt);
    ASSERT_TRUE(QFile::exists(folder + "/index.html"));

    ChromiumSession browser;
    QString error;
    ASSERT_TRUE(browser.start(&error)) << error.toStdString();
    browser.send("Page.addScriptToEvaluateOnNewDocument",
                 {{"source", "window.pwned = []; window.pwn = (what) => window.pwned.push(String(what));"}});
    ASSERT_TRUE(browser.navigate(QUrl::fromLocalFile(folder + "/index.html").toString()));
    auto js = [&](const QString& expression) { return browser.evaluate(expression); };
    // Handlers that need a pointer or the other view get their chance too.
    js("(async () => { for (const e of document.querySelectorAll('*')) e.dispatchEvent(new MouseEvent('mouseover', {bubbles: true}));"
       " switchView('notes'); await document.fonts.ready; await new Promise(r => requestAnimationFrame(() => setTimeout(r, 0))); })()");
    ASSERT_TRUE(browser.waitFor("document.readyState === 'complete' && [...document.images].every(i => i.complete)"));

    EXPECT_EQ(js("window.pwned.join(' ')").toString(), "") << "payloads ran";
    EXPECT_TRUE(browser.pageErrors().isEmpty()) << browser.pageErrors().join('\n').toStdString();

    // The records' markup is text: no element, handler or link address of theirs exists.
    const QJsonArray foreign = js(R"((() => {
        const found = [];
        for (const e of document.querySelectorAll('*')) {
          if (/^(IFRAME|OBJECT|EMBED|BASE|FORM|svg)$/.test(e.tagName)) found.push(e.tagName);
          if (e.tagName === 'SCRIPT' && e.textContent.includes('pwn')) found.push('SCRIPT');
          if (e.tagName === 'IMG' && !e.getAttribute('src').startsWith('images/') && e.id !== 'lbImg') found.push('IMG ' + e.src);
          for (const a of e.attributes) {
            if (a.name.startsWith('on') && a.value.includes('pwn')) found.push(e.tagName + ' ' + a.name + '=' + a.value);
            if (a.name === 'href' && !/^(https?:|mailto:|file:)$/.test(new URL(a.value, location.href).protocol)) found.push(e.tagName + ' href=' + a.value);
          }
        }
        return found;
      })())").toArray();
    EXPECT_TRUE(foreign.isEmpty()) << QJsonDocument(foreign).toJson().toStdString();

    // And it reads as written.
    EXPECT_EQ(js("document.title").toString(), kTitle);
    EXPECT_EQ(js("document.querySelector('h1.lecture-title').textContent").toString(), kTitle);
    EXPECT_EQ(js("document.querySelector('.source-attribution').textContent").toString(), kChannel) << "no link to a script address";
    EXPECT_TRUE(js("[...document.querySelectorAll('.word')].some(w => w.textContent === \"" + kWord + "\")").toBool());
    EXPECT_TRUE(js("document.querySelector('.user-note-text').textContent.includes(\"<script>pwn('note')</script>\")").toBool());
    // The web and mail links of the notes are links; the others are their text.
    EXPECT_EQ(js("document.querySelectorAll('#view-notes a').length").toInt(), 3);
    EXPECT_TRUE(js("document.getElementById('view-notes').textContent.includes('click me')").toBool());

    // Out of the page only the fonts stylesheet is asked for (files beside the page are its own).
    QStringList outside;
    for (const QString& url : browser.requestedUrls())
        if (!url.startsWith("file:") && !url.startsWith("data:") && !url.startsWith("https://fonts.googleapis.com/css2?")) outside << url;
    EXPECT_TRUE(outside.isEmpty()) << outside.join('\n').toStdString();
}
