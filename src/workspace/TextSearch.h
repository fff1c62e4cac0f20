#pragma once

// Finding phrases the way a reader means them: without regard to letter case
// or diacritics ("Écoute" finds "ecoute"). Highlights and margin notes paint
// their first occurrence; the transcript search lists every one. Ranges are
// in the UTF-16 units of the original text.

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace lumenote {

struct TextRange {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const TextRange&) const = default;
};

// A text folded for matching (case folded, marks removed, compatibility
// forms decomposed) with, for every folded unit, the original unit it came from.
class FoldedText {
public:
    explicit FoldedText(const QString& text);

    const QString& folded() const { return folded_; }
    // The original range covering folded units [start, start + length).
    TextRange originalRange(qsizetype start, qsizetype length) const;

    // The first occurrence of the phrase, or none (also for a phrase that
    // folds to nothing).
    std::optional<TextRange> find(const QString& phrase) const;
    // Every occurrence, left to right, not overlapping.
    QList<TextRange> findAll(const QString& phrase) const;

private:
    QString folded_;
    QList<qsizetype> origin_;     // folded unit -> original unit
    qsizetype originalSize_ = 0;
};

// The phrase folded the same way.
QString foldForSearch(const QString& phrase);

// The first case- and diacritic-insensitive occurrence of `phrase` in `text`.
std::optional<TextRange> findPhrase(const QString& text, const QString& phrase);

// A chip asks its text view to select its phrase. Every click is a new
// request (a fresh id), so clicking the same chip twice selects twice.
struct HighlightRequest {
    QString text;
    QUuid id = QUuid::createUuid();
};

// The text view's side: each request is acted on once.
class HighlightRequestTracker {
public:
    // The range to select for a request not acted on yet (the first
    // occurrence of its phrase); none for a request already acted on or a
    // phrase that is not in the text, which leaves the selection alone.
    std::optional<TextRange> apply(const HighlightRequest& request, const QString& text);

private:
    std::optional<QUuid> lastAppliedID_;
};

}  // namespace lumenote
