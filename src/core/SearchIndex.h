#pragma once

// Full-text search over every lecture of the library: transcripts with their
// times, consolidated notes, the user's notes, margin notes and highlighted
// phrases, and the words recognised on captured slides.
//
// The index lives in the library's own SQLite file (FTS5, accents and letter
// case folded). Triggers on the store's tables queue every changed lecture in
// the same transaction as the change, whichever process writes it; update()
// reindexes the queued lectures, and search() calls it first, so a query
// always sees every committed change. A file without the index gets it built
// on open.
//
// A lecture's transcript is one indexed document (which keeps the index small
// and ranks lectures as a whole); a match's position in it leads back to its
// segment through a compact map of segment starts, and from there to the word
// and its time. Notes and annotations are small documents with their own text.

#include "core/Error.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace lumenote {

class LibraryStore;

struct SearchHit {
    enum class Kind { Transcript, Notes, UserNote, MarginNote, Highlight, SlideText };
    QUuid lectureID;
    Kind kind = Kind::Transcript;
    // Seconds into the lecture where the match is heard or shown; none for
    // the consolidated notes and their annotations.
    std::optional<double> time;
    // The sentence or note around the match, and the matched ranges in it
    // (start, length), in ascending order.
    QString snippet;
    QList<std::pair<qsizetype, qsizetype>> marks;
};

QString searchHitKindName(SearchHit::Kind kind);

// A query as typed: words (all must occur), "quoted phrases", and word* for
// prefixes. Anything else (operators, punctuation) is taken as plain text.
struct ParsedQuery {
    struct Phrase {
        QString text;  // the phrase's words, separated by single spaces
        bool prefix = false;
    };
    QList<Phrase> phrases;
    // The FTS5 expression: every phrase quoted, prefix marks after the quote.
    QString expression() const;
};
ParsedQuery parseSearchQuery(const QString& text);

class SearchIndex : public QObject {
    Q_OBJECT
public:
    // Opens the index in the library file at `path` (the store must have
    // created it), building it when missing. Throws Error when that fails.
    static std::unique_ptr<SearchIndex> open(const QString& path);
    ~SearchIndex() override;

    // Reindexes the lectures changed since the last update; returns how many.
    int update();
    // Keeps the index current after the store's own and remote commits.
    void follow(LibraryStore& store);

    struct Options {
        std::optional<QUuid> lecture;  // only this lecture
        int maxLectures = 20;          // best-ranked lectures first
        int maxHitsPerLecture = 5;     // within a lecture, by time
    };
    // Hits grouped by lecture, best lecture first; an empty or unusable query
    // finds nothing.
    QList<SearchHit> search(const QString& query, const Options& options);
    QList<SearchHit> search(const QString& query) { return search(query, Options{}); }
    // Number of matches per lecture, for a lecture list filtered to hits.
    QHash<QUuid, int> hitCounts(const QString& query);

    // Stores the words recognised on a lecture's text slides (time, text) in
    // the library at `path`, replacing earlier ones; the index picks them up.
    // Throws Error.
    static void recordSlideText(const QString& path, const QUuid& lecture, const QList<std::pair<double, QString>>& slides);

    // Drops and rebuilds the whole index (also what open does when it is missing).
    void rebuild();

signals:
    void indexChanged();

private:
    struct Impl;
    explicit SearchIndex(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

}  // namespace lumenote
