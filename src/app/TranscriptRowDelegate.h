#pragma once

// Draws the rows of the transcript column: passages with their painted
// highlights, search matches and the word being spoken; screenshots; inline
// notes; and the thin insert zones between items. The follow-playback and
// search marks are view state held here, set by the panel that owns the view.

#include "core/Annotations.h"
#include "workspace/TextSearch.h"

#include <QHash>
#include <QList>
#include <QStyledItemDelegate>

#include <optional>

class QAbstractItemView;
class QTextLayout;

namespace lumenote {

class TranscriptTimelineModel;

class TranscriptRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TranscriptRowDelegate(const TranscriptTimelineModel& model, QAbstractItemView& view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Passage text is drawn at this size in points (12 in the panel; the
    // expanded sheet's own size there).
    void setPointSize(double points);
    double pointSize() const { return pointSize_; }

    // The passage being spoken and the word range being spoken in it.
    void setCurrent(int block, std::optional<TextRange> word);
    // Search matches per passage and the current one.
    void setMatches(QHash<int, QList<TextRange>> matches, int currentBlock, std::optional<TextRange> current);
    // Sizes must be measured again (width, font or content changed).
    void invalidateSizes() { heights_.clear(); }

    // The range of the n-th whitespace-separated word of a text.
    static std::optional<TextRange> wordRange(const QString& text, int n);

    // A highlight's paint: its swatch at half opacity (green a little more).
    static QColor highlightColor(TextHighlight::HighlightColor color);

    // Lays a text out in lines of `width` pixels, wrapping at words (or
    // anywhere for a word longer than a line).
    static void wrapLines(QTextLayout& layout, const QFont& font, int width);

    static constexpr int kTimeColumn = 56;

private:
    QFont textFont() const;
    int textWidth() const;
    void layoutText(QTextLayout& layout, int width) const;
    int marginLines(int block) const;

    const TranscriptTimelineModel& model_;
    QAbstractItemView& view_;
    double pointSize_ = 12;
    int currentBlock_ = -1;
    std::optional<TextRange> currentWord_;
    QHash<int, QList<TextRange>> matches_;
    int matchBlock_ = -1;
    std::optional<TextRange> currentMatch_;
    mutable QHash<QString, int> heights_;  // passage text -> laid out height at the current width
    mutable int measuredWidth_ = -1;
};

}  // namespace lumenote
