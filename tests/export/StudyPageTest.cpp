#include "LectureFixture.h"
#include "core/Uuid.h"
#include "export/StudyPage.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimeZone>

using namespace lumenote;
using namespace lumenote::page;
using Kind = ExportEntry::Kind;

namespace {

QList<WordTimestamp> words(const QString& text, double start) {
    QList<WordTimestamp> out;
    for (const QString& w : text.split(' ', Qt::SkipEmptyParts)) {
        out.append({w, start, start + 0.4});
        start += 0.5;
    }
    return out;
}

int count(const QString& haystack, const QString& needle) { return int(haystack.count(needle)); }

// The classes of the figures and strips of a page body, in order.
QStringList shotClasses(const QString& html) {
    static const QRegularExpression re(QStringLiteral("<(?:figure|div) class=\"(shot[^\"]*)\""));
    QStringList out;
    for (auto it = re.globalMatch(html); it.hasNext();) out.append(it.next().captured(1));
    return out;
}

PageInput inputWith(QList<ExportEntry> entries) {
    PageInput in;
    in.lecture.title = QStringLiteral("Thermodynamics");
    in.entries = std::move(entries);
    in.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return in;
}

}  // namespace

TEST(StudyPage, EscapingAndTimeFormats) {
    EXPECT_EQ(escapeHTML(QStringLiteral("a & <b> \"c\" 'd' &amp;")), QStringLiteral("a &amp; &lt;b&gt; &quot;c&quot; 'd' &amp;amp;"));
    EXPECT_EQ(formatTimestamp(0), QStringLiteral("0:00"));
    EXPECT_EQ(formatTimestamp(59.99), QStringLiteral("0:59"));
    EXPECT_EQ(formatTimestamp(754.2), QStringLiteral("12:34"));
    EXPECT_EQ(formatTimestamp(3599.9), QStringLiteral("59:59"));
    EXPECT_EQ(formatTimestamp(3600), QStringLiteral("1:00:00"));
    EXPECT_EQ(formatTimestamp(3725.5), QStringLiteral("1:02:05"));
    EXPECT_EQ(formatTimestamp(-3), QStringLiteral("0:00"));
    EXPECT_EQ(formatDuration(std::numeric_limits<double>::quiet_NaN()), QString());
    EXPECT_EQ(formatDuration(std::numeric_limits<double>::infinity()), QString());
    EXPECT_EQ(formatDuration(7322), QStringLiteral("2:02:02"));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(longDate(QDate(2025, 3, 4), us), QStringLiteral("March 4, 2025"));
    EXPECT_EQ(longDate(QDate(2025, 3, 4), QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("4. März 2025"));
}

TEST(StudyPage, NotesAreOrderedAgainstPassagesAndScreenshots) {
    const QList<Block> blocks = {{0, 10, "first", {}}, {12.0, 20, "second", {}}};
    const QList<PageScreenshot> shots = {{12.0, "a.jpg"}, {12.0005, "b.jpg"}, {12.002, "c.jpg"}};
    const QList<UserNote> notes = {UserNote::create(12.0, "after second"), UserNote::create(-1, "leading"), UserNote::create(-0.5, "also leading")};
    const QList<ExportEntry> entries = buildEntries(blocks, shots, notes);
    QStringList order;
    for (const ExportEntry& e : entries) order.append(e.text);
    // Notes sit 1 ms after their item; equal times keep passages before screenshots.
    EXPECT_EQ(order, (QStringList{"leading", "also leading", "first", "second", "a.jpg", "b.jpg", "after second", "c.jpg"}));
    EXPECT_DOUBLE_EQ(entries[0].timestamp, -1.0);
    EXPECT_DOUBLE_EQ(entries[6].timestamp, 12.001);
}

TEST(StudyPage, ScreenshotRunsGetTheirFigureClasses) {
    auto text = [](double t) { return ExportEntry::passage(t, "words here", {}); };
    auto shot = [](double t) { return ExportEntry::screenshot(t, QStringLiteral("s%1.jpg").arg(t)); };
    PageInput in = inputWith({shot(1), text(2),                  // presenter before a passage
                              shot(3), ExportEntry::note(3.5, "n"),  // before a note: solo
                              shot(4), shot(5),                   // presenter then a text slide: solo, then text slide
                              text(6), shot(7), shot(8), shot(9), text(10),  // a strip of three
                              shot(11), shot(12), shot(13), text(14),         // presenter, slide, presenter: three runs
                              shot(15), shot(16), text(17),                   // two text slides: a text-slide strip
                              shot(18)});                                     // at the end: solo
    in.textSlides = {5, 12, 15, 16};
    const QString html = buildHTML(in);
    EXPECT_EQ(shotClasses(html), (QStringList{"shot shot--presenter", "shot shot--presenter-solo", "shot shot--presenter-solo",
                                              "shot shot--text-slide", "shot-row shot-row--presenter shot-row--3", "shot", "shot", "shot",
                                              "shot shot--presenter-solo", "shot shot--text-slide", "shot shot--presenter",
                                              "shot-row shot-row--text-slides shot-row--2", "shot", "shot", "shot shot--presenter-solo"}));
}

TEST(StudyPage, FigureAndStripMarkup) {
    const QList<ExportEntry> one = {ExportEntry::screenshot(75.5, "0002_075.50.jpg")};
    EXPECT_EQ(shotGroupHTML(one, false, false, true),
              QStringLiteral("      <figure class=\"shot shot--text-slide\" onclick=\"openLightbox(this.querySelector('img'))\">\n"
                             "        <img src=\"images/0002_075.50.jpg\" alt=\"Screenshot at 1:15\" loading=\"lazy\">\n"
                             "        <figcaption><span class=\"ts-chip\">1:15</span></figcaption>\n"
                             "      </figure>"));
    const QString strip = shotGroupHTML({one[0], ExportEntry::screenshot(80, "0003_080.00.jpg")}, true, false, false);
    EXPECT_TRUE(strip.startsWith(QStringLiteral("      <div class=\"shot-row shot-row--presenter shot-row--2\">\n      <figure class=\"shot\" ")));
    EXPECT_TRUE(strip.endsWith(QStringLiteral("</figure>\n      </div>")));
    EXPECT_TRUE(strip.contains(QStringLiteral("<figcaption><span class=\"ts-chip ts-chip--seek\" onclick=\"event.stopPropagation(); "
                                              "seekTo(80.00)\" title=\"Jump to 1:20\">1:20</span></figcaption>")));
}

TEST(StudyPage, PassagesCarryWordsChipsHighlightsAndMarginNotes) {
    const QList<WordTimestamp> w = words(QStringLiteral("Heat flows, from hot to COLD bodies."), 61.25);
    const QString plain = QStringLiteral("Heat flows, from hot to COLD bodies.");
    EXPECT_EQ(buildPassage(61.25, plain, {}, false, {}, {}),
              QStringLiteral("      <p class=\"passage\"><span class=\"ts-chip\">1:01</span>Heat flows, from hot to COLD bodies.</p>"));

    const QString seekable = buildPassage(61.25, plain, w, true, {}, {});
    EXPECT_TRUE(seekable.startsWith(QStringLiteral("      <p class=\"passage\"><span class=\"ts-chip ts-chip--seek\" onclick=\"seekTo(61.25)\" "
                                                   "title=\"Jump to 1:01\">1:01</span><span class=\"word\" data-s=\"61.25\" data-e=\"61.65\">Heat</span> ")));
    EXPECT_EQ(count(seekable, "class=\"word\""), 7);

    // Differences of punctuation and case still find the words; an absent phrase shows nothing.
    const TextHighlight hl = TextHighlight::create(61.25, QStringLiteral("flows from hot"), TextHighlight::HighlightColor::Green);
    const TextHighlight cold = TextHighlight::create(61.25, QStringLiteral("cold, bodies"), TextHighlight::HighlightColor::Pink);
    const TextHighlight absent = TextHighlight::create(61.25, QStringLiteral("latent heat"), TextHighlight::HighlightColor::Blue);
    MarginNote right = MarginNote::create(61.25, QStringLiteral("hot"), QStringLiteral("why <hot>?"), MarginNote::Side::Right);
    MarginNote left = MarginNote::create(61.25, QStringLiteral("Heat"), QStringLiteral("def"), MarginNote::Side::Left);
    const QString html = buildPassage(61.25, plain, w, false, {left, right}, {hl, cold, absent});
    EXPECT_TRUE(html.contains(QStringLiteral("<mark class=\"hl-green\" data-hl=\"green\"><span class=\"word\" data-s=\"61.75\" data-e=\"62.15\">flows,</span>")));
    // The anchor wraps the last highlighted word as it stands, end of the mark included.
    EXPECT_TRUE(html.contains(QStringLiteral(">hot</span></mark></span> <span")));
    EXPECT_TRUE(html.contains(QStringLiteral("<mark class=\"hl-pink\" data-hl=\"pink\"><span class=\"word\" data-s=\"63.75\" data-e=\"64.15\">COLD</span> "
                                             "<span class=\"word\" data-s=\"64.25\" data-e=\"64.65\">bodies.</span></mark>")));
    EXPECT_FALSE(html.contains(QStringLiteral("hl-blue")));
    EXPECT_EQ(count(html, "<mark"), count(html, "</mark>"));
    EXPECT_TRUE(html.startsWith(QStringLiteral("      <div class=\"passage-wrap\">\n        <p class=\"passage\">")));
    const QString rightId = uuidText(right.id), leftId = uuidText(left.id);
    EXPECT_TRUE(html.contains(QStringLiteral("<span class=\"margin-anchor\" data-note=\"") + rightId + "\"><span class=\"word\" data-s=\"62.75\""));
    // Right notes come first even though the left one was stored first.
    EXPECT_TRUE(html.endsWith(QStringLiteral("</p>\n      <div class=\"margin-notes margin-notes--right\">\n        <aside class=\"margin-note\" data-note=\"")
                              + rightId + QStringLiteral("\">why &lt;hot&gt;?</aside>\n      </div>      <div class=\"margin-notes margin-notes--left\">\n"
                                                         "        <aside class=\"margin-note\" data-note=\"")
                              + leftId + QStringLiteral("\">def</aside>\n      </div>\n      </div>")));
}

TEST(StudyPage, PassagesWithoutWordTimingsMarkTheEscapedText) {
    const QString plain = QStringLiteral("Salt & pepper; the yellow Pepper mill");
    const TextHighlight a = TextHighlight::create(3, QStringLiteral("PEPPER mill"), TextHighlight::HighlightColor::Yellow);
    const TextHighlight b = TextHighlight::create(3, QStringLiteral("salt & pepper"), TextHighlight::HighlightColor::Blue);
    // "yellow" is also in the first mark's attributes; it must match the text.
    const TextHighlight c = TextHighlight::create(3, QStringLiteral("yellow"), TextHighlight::HighlightColor::Green);
    const QString html = buildPassage(3, plain, {}, false, {}, {a, b, c});
    EXPECT_EQ(html, QStringLiteral("      <p class=\"passage\"><span class=\"ts-chip\">0:03</span><mark class=\"hl-blue\" data-hl=\"blue\">Salt &amp; pepper</mark>; "
                                   "the <mark class=\"hl-green\" data-hl=\"green\">yellow</mark> <mark class=\"hl-yellow\" data-hl=\"yellow\">Pepper mill</mark></p>"));
}

TEST(StudyPage, PhraseWordRange) {
    const QList<WordTimestamp> w = words(QStringLiteral("Entropy, (S) is log-W; that's all!"), 0);
    const QString plain = QStringLiteral("Entropy, (S) is log-W; that's all!");
    EXPECT_EQ(phraseWordRange(QStringLiteral("entropy s"), w, plain), std::make_pair(0, 1));
    EXPECT_EQ(phraseWordRange(QStringLiteral("  LOG W  "), w, plain), std::make_pair(3, 3));
    EXPECT_EQ(phraseWordRange(QStringLiteral("that s all"), w, plain), std::make_pair(4, 5));
    EXPECT_FALSE(phraseWordRange(QStringLiteral("enthalpy"), w, plain).has_value());
    EXPECT_FALSE(phraseWordRange(QString(), w, plain).has_value());
    // Tokens that the words do not have fall back to the passage text.
    const QList<WordTimestamp> one = words(QStringLiteral("Entropy"), 0);
    EXPECT_EQ(phraseWordRange(QStringLiteral("Entr"), one, QStringLiteral("Entropy rises")), std::make_pair(0, 0));
    EXPECT_FALSE(phraseWordRange(QStringLiteral("rises"), one, QStringLiteral("Entropy rises")).has_value());
    EXPECT_EQ(phraseTokens(QStringLiteral("Ünïcode—dash «quoted»")), (QStringList{"ünïcode", "dash", "quoted"}));
}

TEST(StudyPage, DocumentHeadHeaderAndOptionalParts) {
    PageInput in = inputWith({ExportEntry::note(-1, "first <note>"), ExportEntry::passage(0, "one two  three", words("one two three", 0)),
                              ExportEntry::screenshot(5, "0001_005.00.jpg")});
    in.lecture.title = QStringLiteral("Heat <&> \"Work\"");
    in.lecture.dateAdded = QDateTime(QDate(2025, 3, 4), QTime(12, 0));
    in.lecture.duration = 3725;
    in.exportTime = QDateTime(QDate(2025, 3, 5), QTime(9, 30, 15), Qt::UTC);
    const QString html = buildHTML(in);
    const QString escaped = QStringLiteral("Heat &lt;&amp;&gt; &quot;Work&quot;");
    EXPECT_TRUE(html.startsWith(QStringLiteral("<!-- Generated by Lumenote · https://corvana.io/lumenote · 2025-03-05T09:30:15Z -->\n<!DOCTYPE html>\n"
                                               "<html lang=\"en\" data-theme=\"light\" data-view=\"transcript\">\n<head>\n  <meta charset=\"UTF-8\">\n"
                                               "  <!-- Lumenote export — lecture: ")
                                + escaped + " -->\n"));
    EXPECT_TRUE(html.contains(QStringLiteral("  <title>") + escaped + "</title>\n"));
    EXPECT_TRUE(html.contains(QStringLiteral("        <h1 class=\"lecture-title\">") + escaped + "</h1>\n"));
    EXPECT_FALSE(html.contains(QStringLiteral("<&>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"header-meta\">March 4, 2025 &nbsp;·&nbsp; 1:02:05 &nbsp;·&nbsp; ~3 words &nbsp;·&nbsp; 1 screenshot</p>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<link rel=\"stylesheet\" href=\"styles.css\">")));
    EXPECT_TRUE(html.contains(QStringLiteral("localStorage.getItem('lumenote-theme')")));
    EXPECT_TRUE(html.contains(QStringLiteral("<input type=\"range\" id=\"fontSize\" class=\"fs-slider\" min=\"14\" max=\"28\" step=\"1\" value=\"17\" aria-label=\"Font size\">")));
    // The leading note comes first in the body.
    EXPECT_TRUE(html.contains(QStringLiteral("<div class=\"doc-body\" id=\"view-transcript\">\n      <aside class=\"user-note\">\n"
                                             "        <p class=\"user-note-label\">User Note</p>\n        <p class=\"user-note-text\">first &lt;note&gt;</p>\n"
                                             "      </aside>\n      <p class=\"passage\">")));
    // No audio: plain chips, no player. No notes: no toggle and no notes view.
    EXPECT_FALSE(html.contains(QStringLiteral("seekTo(")));
    EXPECT_FALSE(html.contains(QStringLiteral("id=\"ap\"")));
    EXPECT_FALSE(html.contains(QStringLiteral("<audio")));
    EXPECT_FALSE(html.contains(QStringLiteral("view-toggle-bar")));
    EXPECT_FALSE(html.contains(QStringLiteral("has-toggle")));
    EXPECT_FALSE(html.contains(QStringLiteral("id=\"view-notes\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("<header class=\"page-header\">")));
    EXPECT_TRUE(html.endsWith(QStringLiteral("  </script>\n</body>\n</html>\n")));

    // With audio and notes.
    in.audioFileName = QStringLiteral("audio.m4a");
    in.notesHTML = QStringLiteral("<p>Notes</p>\n");
    in.lecture.notesModelName = QStringLiteral("Claude · Opus 4");
    const QString full = buildHTML(in);
    EXPECT_TRUE(full.contains(QStringLiteral("<header class=\"page-header has-toggle\">")));
    EXPECT_TRUE(full.contains(QStringLiteral("onclick=\"switchView('notes')\">Consolidated Notes</button>")));
    EXPECT_TRUE(full.contains(QStringLiteral("<p class=\"notes-provenance\">Generated with Claude · Opus 4</p>")));
    EXPECT_TRUE(full.contains(QStringLiteral("<audio id=\"lnAudio\" src=\"audio.m4a\" preload=\"metadata\"></audio>")));
    EXPECT_TRUE(full.contains(QStringLiteral("<option value=\"1\" selected>")));
    EXPECT_TRUE(full.contains(QStringLiteral("onclick=\"seekTo(0.00)\"")));
    EXPECT_TRUE(full.contains(QStringLiteral("<aside class=\"notes-sidebar\">\n      <figure class=\"notes-shot\" onclick=\"openLightbox(this.querySelector('img'))\">\n"
                                             "        <img src=\"images/0001_005.00.jpg\" alt=\"\" loading=\"lazy\">\n      </figure>\n      </aside>")));
}

TEST(StudyPage, MetadataAndSourceLineDropWhatIsMissing) {
    PageInput in = inputWith({ExportEntry::screenshot(1, "a.jpg"), ExportEntry::screenshot(2, "b.jpg")});
    QString html = buildHTML(in);
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"header-meta\">2 screenshots</p>")));
    EXPECT_FALSE(html.contains(QStringLiteral("source-attribution")));

    in.entries.clear();
    in.lecture.localFilePath = QStringLiteral("/videos/week 1 <intro>.mp4");
    html = buildHTML(in);
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"header-meta\"></p>")));
    EXPECT_TRUE(html.contains(QStringLiteral("        <p class=\"source-attribution\">week 1 &lt;intro&gt;.mp4</p>\n")));

    in.lecture.channelName = QStringLiteral("MIT & Co");
    html = buildHTML(in);
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"source-attribution\">MIT &amp; Co</p>")));
    in.lecture.sourceURL = QStringLiteral("https://example.org/watch?v=1&t=2");
    html = buildHTML(in);
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"source-attribution\">MIT &amp; Co<span class=\"source-sep\"> · </span><a href=\"https://example.org/"
                                             "watch?v=1&amp;t=2\" class=\"source-link\" target=\"_blank\" rel=\"noopener\">Source</a></p>")));
    in.lecture.channelName.reset();
    html = buildHTML(in);
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"source-attribution\"><a href=")));

    // The spoken language: the page's lang, and its name among the metadata.
    EXPECT_TRUE(html.contains(QStringLiteral("<html lang=\"en\" ")));
    in.lecture.language = QStringLiteral("de");
    in.lecture.duration = 90;
    html = buildHTML(in);
    EXPECT_TRUE(html.contains(QStringLiteral("<html lang=\"de\" ")));
    EXPECT_TRUE(html.contains(QStringLiteral("<p class=\"header-meta\">1:30 &nbsp;·&nbsp; German</p>")));
}

TEST(StudyPage, AnnotationsAreMatchedToTheirPassageExactly) {
    PageInput in = inputWith({ExportEntry::passage(10.5, "alpha beta", words("alpha beta", 10.5)), ExportEntry::passage(20, "alpha beta", words("alpha beta", 20))});
    in.highlights = {TextHighlight::create(20.0, "beta", TextHighlight::HighlightColor::Yellow),
                     TextHighlight::create(10.50001, "alpha", TextHighlight::HighlightColor::Pink)};
    in.marginNotes = {MarginNote::create(99, "alpha", "orphan", MarginNote::Side::Left)};
    const QString html = buildHTML(in);
    EXPECT_EQ(count(html, "<mark"), 1);
    EXPECT_TRUE(html.contains(QStringLiteral("<mark class=\"hl-yellow\" data-hl=\"yellow\"><span class=\"word\" data-s=\"20.50\"")));
    EXPECT_FALSE(html.contains(QStringLiteral("orphan")));
    EXPECT_FALSE(html.contains(QStringLiteral("passage-wrap\">")));
}
