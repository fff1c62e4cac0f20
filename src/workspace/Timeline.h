#pragma once

// The transcript panel's column, independent of widgets: passages and
// screenshots in time order with the places where inline notes can be added
// and the notes between them; each passage with its highlights (painted on
// their first occurrence) and margin notes; the statistics line; the notes
// tab's paragraphs; and the work of one follow-playback tick.

#include "core/Annotations.h"
#include "core/CapturedScreenshot.h"
#include "core/TranscriptModel.h"
#include "workspace/TextSearch.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace lumenote {

// One passage. Ids are fresh on every rebuild.
struct TranscriptBlock {
    QUuid id;
    double startTime = 0;
    QString text;
    QList<WordTimestamp> words;  // spoken order; empty without word timings
};

// A highlight found in the text it belongs to.
struct PaintedHighlight {
    QUuid id;
    TextHighlight::HighlightColor color = TextHighlight::HighlightColor::Yellow;
    TextRange range;
};

// The annotations of one passage or paragraph: every one of them is listed
// as a chip; only the highlights found in the text are painted.
struct AnchoredAnnotations {
    QList<TextHighlight> highlights;
    QList<MarginNote> marginNotes;
    QList<PaintedHighlight> painted;
};

struct TimelineItem {
    enum class Kind { Text, Screenshot };
    Kind kind = Kind::Text;
    int index = 0;  // into Timeline::blocks or Timeline::screenshots
    double time = 0;
    QUuid id;       // the block's or the screenshot's
};

struct DisplayRow {
    enum class Kind { InsertZone, Note, Content };
    Kind kind = Kind::InsertZone;
    double prevTimestamp = -1.0;  // insert zones: where a note added here goes
    int index = 0;                // insert zones: their index; content: the item index
    UserNote note;                // notes
};

struct Timeline {
    QList<TranscriptBlock> blocks;
    QList<CapturedScreenshot> screenshots;
    QList<TimelineItem> items;                // ascending time
    QList<DisplayRow> rows;                   // empty when there are no items
    QList<AnchoredAnnotations> annotations;   // per block
    qint64 wordCount = 0;

    bool isEmpty() const { return items.isEmpty(); }
    // "content-" and the item's id: how a row is found again for scrolling.
    static QString rowID(const TimelineItem& item);
};

// Groups the segments into passages (the study page's rule) and interleaves
// them with the screenshots and the transcript's inline notes. A note or an
// annotation whose position matches no item is kept in storage but not shown.
Timeline buildTimeline(const QList<TranscriptSegment>& segments, const QList<CapturedScreenshot>& screenshots,
                       const QList<UserNote>& notes, const QList<MarginNote>& marginNotes,
                       const QList<TextHighlight>& highlights);

// The annotations whose position is exactly `position`, and the highlights
// painted on `text`.
AnchoredAnnotations anchorAnnotations(const QString& text, double position, const QList<MarginNote>& marginNotes,
                                      const QList<TextHighlight>& highlights);

// The statistics line under the panel: passages, words and screenshots
// (singular or plural label each), and whether the re-export hint shows.
struct TimelineStatistics {
    QString line;
    bool reexportNeeded = false;
    QString reexportHint;   // the hint's text (shown with a pencil symbol)
    QString sheetWords;     // the expanded sheet's "N words"
};
TimelineStatistics timelineStatistics(const Timeline& timeline, bool isModifiedSinceExport);

// The expanded sheet's font size (setting expandedPanelFontSize): 12 to 22
// points in steps of 1.
inline constexpr double kSheetFontSizeMin = 12, kSheetFontSizeMax = 22;
// The size after `steps` presses of the larger (positive) or smaller
// (negative) button; a stored size out of range comes back inside it.
double steppedSheetFontSize(double current, int steps);

// Every segment's text joined by single spaces (the copy-transcript action).
QString transcriptPlainText(const QList<TranscriptSegment>& segments);

// The notes tab.
struct NotesParagraph {
    int index = 0;
    QString rawText;
    QString displayText;  // heading marks dropped, list markers shown as bullets
    bool isHeading = false;
    AnchoredAnnotations annotations;  // painted on displayText
    QList<UserNote> notesAfter;       // inline notes that follow, oldest first
};
struct NotesView {
    QList<UserNote> leadingNotes;  // before the first paragraph, oldest first
    QList<NotesParagraph> paragraphs;
};
NotesView buildNotesView(const QString& notes, const QList<UserNote>& inlineNotes, const QList<MarginNote>& marginNotes,
                         const QList<TextHighlight>& highlights);
// A paragraph as the tab shows it: "# Title" as the heading "Title";
// "- " and "* " list lines as "• ".
QString paragraphDisplayText(const QString& raw, bool* isHeading = nullptr);

// Following playback. The panel calls this every 0.1 s with the player time.
struct FollowState {
    std::optional<QUuid> lastScrolledRow;  // item id
    double previousTime = 0;
};
struct FollowTick {
    int currentItem = -1;     // the last item whose time <= t; -1 when t <= 0
    int currentPassage = -1;  // the block being spoken (last passage at or before t)
    int currentWord = -1;     // index in that block's words: started and not yet ended
    bool scroll = false;      // scroll the current item into view now
};
FollowTick followPlayback(const Timeline& timeline, FollowState& state, double t);

}  // namespace lumenote
