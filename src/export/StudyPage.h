#pragma once

// The study page: index.html as one string, built by pure functions over plain
// values. Nothing here touches the disk; ExportManager gathers the inputs and
// writes the result beside the fixed stylesheet.

#include "core/Annotations.h"
#include "core/TranscriptModel.h"
#include "core/PassageGrouping.h"
#include "export/Chapters.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QSet>
#include <QString>

#include <optional>
#include <utility>

namespace lumenote::page {

// The maker's address in the page's first comment and the Markdown provenance line.
inline constexpr auto kProductURL = "https://corvana.io/lumenote";

// One item of the transcript view, placed by time.
struct ExportEntry {
    enum class Kind { Text, Screenshot, Note };

    double timestamp = 0;
    Kind kind = Kind::Text;
    QString text;                // passage plain text, image file name, or note text
    QList<WordTimestamp> words;  // passages only

    static ExportEntry passage(double t, const QString& plain, const QList<WordTimestamp>& words) { return {t, Kind::Text, plain, words}; }
    static ExportEntry screenshot(double t, const QString& fileName) { return {t, Kind::Screenshot, fileName, {}}; }
    static ExportEntry note(double t, const QString& text) { return {t, Kind::Note, text, {}}; }
    bool operator==(const ExportEntry&) const = default;
};

// A screenshot as the page sees it: its time and the file name inside images/.
struct PageScreenshot {
    double timestamp = 0;
    QString fileName;
};

// What the page shows of the lecture record.
struct PageLecture {
    QString title;
    QDateTime dateAdded;  // invalid: no date in the header
    double duration = 0;
    std::optional<QString> channelName;
    std::optional<QString> sourceURL;
    std::optional<QString> localFilePath;
    // Display name of the model that wrote the notes (already resolved).
    std::optional<QString> notesModelName;
    // Code of the spoken language ("de"): the page's lang and a word in the header. None for
    // lectures transcribed before languages were recorded (English).
    std::optional<QString> language;
};

struct PageInput {
    PageLecture lecture;
    QList<ExportEntry> entries;          // sorted by timestamp (buildEntries)
    std::optional<QString> audioFileName;  // "audio.m4a" when the audio was exported
    QSet<double> textSlides;             // screenshot times classified as text slides
    std::optional<QString> notesHTML;    // inner HTML of the notes view; none: no notes view
    QList<MarginNote> marginNotes;       // transcript view
    QList<TextHighlight> highlights;     // transcript view
    QList<Chapter> chapters;             // listed above the transcript when there are any
    QDateTime exportTime = QDateTime::currentDateTimeUtc();
    QLocale locale;                      // for the date in the header
};

// & < > " become entities, in that order; apostrophes stay.
QString escapeHTML(const QString& text);
// Whole seconds as m:ss, or h:mm:ss from one hour.
QString formatTimestamp(double seconds);
// As formatTimestamp; empty for a value that is not finite.
QString formatDuration(double seconds);
// The date in the locale's long style without the weekday ("March 4, 2025").
QString longDate(const QDate& date, const QLocale& locale);

// Passages, then screenshots, then notes (a note follows the item at its
// afterTimestamp; a negative one leads the page), sorted stably by time.
QList<ExportEntry> buildEntries(const QList<Block>& blocks, const QList<PageScreenshot>& screenshots, const QList<UserNote>& notes);

// Tokens of a string: punctuation becomes space, lower-cased, split on whitespace.
QStringList phraseTokens(const QString& text);
// The first and last word index covered by the anchor phrase, matched token by
// token (so punctuation and case do not matter), else by a plain substring of
// the passage text; none when the phrase is not there.
std::optional<std::pair<int, int>> phraseWordRange(const QString& anchorText, const QList<WordTimestamp>& words, const QString& plain);

QString buildPassage(double timestamp, const QString& plain, const QList<WordTimestamp>& words, bool seekable,
                     const QList<MarginNote>& marginNotes, const QList<TextHighlight>& highlights);

// One figure, or a strip for a run of several screenshots.
QString shotGroupHTML(const QList<ExportEntry>& run, bool seekable, bool solo, bool textSlide);

// Markdown of one notes paragraph (headings, rules, lists, paragraphs).
QString markdownToHTML(const QString& paragraph);
// Inline emphasis, code and links of already plain text (escapes first). Links
// lead only to http, https and mailto addresses; others keep just their text.
QString inlineMarkdown(const QString& text);
// Removes list markers, heading marks and emphasis, for matching anchors.
QString stripMarkdown(const QString& text);
// Wraps the first occurrence of the anchor's visible text inside html with
// `open` ... `close`; html unchanged when it is not there.
QString wrapAnchorInHTML(const QString& html, const QString& anchorText, const QString& open, const QString& close);

// The notes view's inner HTML: paragraphs with their highlights, margin notes
// and the inline notes that follow them.
QString notesHTML(const QString& notes, const QList<UserNote>& inlineNotes, const QList<MarginNote>& marginNotes,
                  const QList<TextHighlight>& highlights);

// The chapter list above the transcript: each entry jumps to its moment.
QString chaptersHTML(const QList<Chapter>& chapters);
// The whole document.
QString buildHTML(const PageInput& input);

// The fixed stylesheet written beside every page as styles.css, and the
// script embedded at the end of every page.
const QString& stylesheet();
const QString& pageScript();

}  // namespace lumenote::page
