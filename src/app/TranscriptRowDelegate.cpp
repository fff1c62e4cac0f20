#include "app/TranscriptRowDelegate.h"

#include "app/TranscriptTimelineModel.h"
#include "core/Annotations.h"
#include "export/StudyPage.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <cmath>

namespace lumenote {

namespace {

constexpr int kPad = 6;
constexpr int kZoneHeight = 10;
constexpr int kShotMaxHeight = 200;

QTextLayout::FormatRange backgroundRange(const TextRange& r, const QColor& color) {
    QTextLayout::FormatRange f;
    f.start = int(r.start);
    f.length = int(r.length);
    f.format.setBackground(color);
    return f;
}

}  // namespace

QColor TranscriptRowDelegate::highlightColor(TextHighlight::HighlightColor color) {
    QColor c = QColor::fromRgb(swatchRgb(color));
    c.setAlphaF(color == TextHighlight::HighlightColor::Green ? 0.55 : 0.5);
    return c;
}

TranscriptRowDelegate::TranscriptRowDelegate(const TranscriptTimelineModel& model, QAbstractItemView& view)
    : QStyledItemDelegate(&view), model_(model), view_(view) {}

void TranscriptRowDelegate::setPointSize(double points) {
    if (points == pointSize_) return;
    pointSize_ = points;
    heights_.clear();
}

void TranscriptRowDelegate::setCurrent(int block, std::optional<TextRange> word) {
    currentBlock_ = block;
    currentWord_ = word;
}

void TranscriptRowDelegate::setMatches(QHash<int, QList<TextRange>> matches, int currentBlock, std::optional<TextRange> current) {
    matches_ = std::move(matches);
    matchBlock_ = currentBlock;
    currentMatch_ = current;
}

std::optional<TextRange> TranscriptRowDelegate::wordRange(const QString& text, int n) {
    if (n < 0) return std::nullopt;
    int word = -1;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i].isSpace()) ++i;
        if (i >= text.size()) break;
        const qsizetype start = i;
        while (i < text.size() && !text[i].isSpace()) ++i;
        if (++word == n) return TextRange{start, i - start};
    }
    return std::nullopt;
}

QFont TranscriptRowDelegate::textFont() const {
    QFont f = view_.font();
    f.setPointSizeF(pointSize_);
    return f;
}

int TranscriptRowDelegate::textWidth() const { return std::max(80, view_.viewport()->width() - kTimeColumn - 2 * kPad); }

void TranscriptRowDelegate::layoutText(QTextLayout& layout, int width) const { wrapLines(layout, textFont(), width); }

void TranscriptRowDelegate::wrapLines(QTextLayout& layout, const QFont& font, int width) {
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

int TranscriptRowDelegate::marginLines(int block) const {
    const QList<AnchoredAnnotations>& annotations = model_.timeline().annotations;
    return block >= 0 && block < annotations.size() ? int(annotations[block].marginNotes.size()) : 0;
}

QSize TranscriptRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    Q_UNUSED(option)
    const int width = view_.viewport()->width();
    if (width != measuredWidth_) {
        heights_.clear();
        measuredWidth_ = width;
    }
    const auto kind = DisplayRow::Kind(index.data(TranscriptTimelineModel::RowKindRole).toInt());
    if (kind == DisplayRow::Kind::InsertZone) return {width, kZoneHeight};
    const QFontMetrics small(view_.font());
    if (kind == DisplayRow::Kind::Note) {
        const QRect r = small.boundingRect(QRect(0, 0, textWidth() - 2 * kPad, 10000), Qt::TextWordWrap,
                                           index.data().toString());
        return {width, r.height() + 4 * kPad};
    }
    const DisplayRow& row = model_.displayRow(index.row());
    const TimelineItem& item = model_.timeline().items[row.index];
    if (item.kind == TimelineItem::Kind::Screenshot) {
        const QImage& image = model_.timeline().screenshots[item.index].image;
        int h = kShotMaxHeight;
        if (!image.isNull()) h = std::min(kShotMaxHeight, int(std::lround(double(image.height()) * textWidth() / image.width())));
        return {width, h + 2 * kPad};
    }
    const QString& text = model_.timeline().blocks[item.index].text;
    auto cached = heights_.constFind(text);
    int h;
    if (cached != heights_.constEnd()) {
        h = *cached;
    } else {
        QTextLayout layout(text);
        layoutText(layout, textWidth());
        h = int(std::ceil(layout.boundingRect().height()));
        heights_.insert(text, h);
    }
    return {width, h + 2 * kPad + marginLines(item.index) * small.lineSpacing()};
}

void TranscriptRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    const QRect rect = option.rect;
    const QPalette& palette = option.palette;
    const bool hovered = option.state & QStyle::State_MouseOver;
    const bool selected = option.state & QStyle::State_Selected;
    const auto kind = DisplayRow::Kind(index.data(TranscriptTimelineModel::RowKindRole).toInt());

    if (kind == DisplayRow::Kind::InsertZone) {
        if (hovered || selected) {
            painter->setPen(QPen(palette.color(QPalette::Highlight), 1, Qt::DashLine));
            const int y = rect.center().y();
            painter->drawLine(rect.left() + kTimeColumn, y, rect.right() - kPad, y);
            painter->drawText(QRect(rect.left(), rect.top(), kTimeColumn, rect.height()), Qt::AlignCenter, QStringLiteral("+"));
        }
        painter->restore();
        return;
    }
    if (kind == DisplayRow::Kind::Note) {
        const QRect box = rect.adjusted(kTimeColumn, kPad / 2, -kPad, -kPad / 2);
        QPainterPath path;
        path.addRoundedRect(box, 6, 6);
        painter->fillPath(path, QColor(255, 247, 214));
        painter->setPen(selected ? palette.color(QPalette::Highlight) : QColor(230, 200, 120));
        painter->drawPath(path);
        painter->setPen(QColor(60, 50, 20));
        painter->drawText(box.adjusted(kPad, kPad, -kPad, -kPad), Qt::TextWordWrap, index.data().toString());
        painter->restore();
        return;
    }

    const DisplayRow& row = model_.displayRow(index.row());
    const TimelineItem& item = model_.timeline().items[row.index];
    const bool isCurrent = item.kind == TimelineItem::Kind::Text && item.index == currentBlock_;
    if (selected) painter->fillRect(rect, palette.color(QPalette::Highlight).lighter(170));
    else if (hovered) painter->fillRect(rect, palette.color(QPalette::AlternateBase));
    if (isCurrent) {
        // The passage being spoken: a tint and an accent bar at its edge.
        QColor tint = palette.color(QPalette::Highlight);
        tint.setAlpha(28);
        painter->fillRect(rect, tint);
        painter->fillRect(QRect(rect.left(), rect.top() + 2, 3, rect.height() - 4), palette.color(QPalette::Highlight));
    }

    painter->setPen(palette.color(QPalette::PlaceholderText));
    painter->drawText(QRect(rect.left() + kPad, rect.top() + kPad, kTimeColumn - kPad, 20), Qt::AlignLeft | Qt::AlignTop,
                      page::formatTimestamp(item.time));
    const QPoint origin(rect.left() + kTimeColumn, rect.top() + kPad);

    if (item.kind == TimelineItem::Kind::Screenshot) {
        const QImage& image = model_.timeline().screenshots[item.index].image;
        const QSize area(textWidth(), rect.height() - 2 * kPad);
        if (!image.isNull()) {
            const QSize size = image.size().scaled(area, Qt::KeepAspectRatio);
            painter->drawImage(QRect(origin, size), image);
        }
        painter->restore();
        return;
    }

    const QString& text = model_.timeline().blocks[item.index].text;
    QList<QTextLayout::FormatRange> formats;
    // The highlights on their first occurrence, in stored order.
    for (const PaintedHighlight& h : model_.timeline().annotations[item.index].painted)
        formats.append(backgroundRange(h.range, highlightColor(h.color)));
    for (const TextRange& m : matches_.value(item.index))
        formats.append(backgroundRange(m, QColor(255, 165, 0, 110)));
    if (item.index == matchBlock_ && currentMatch_) formats.append(backgroundRange(*currentMatch_, QColor(255, 140, 0, 220)));
    if (isCurrent && currentWord_) {
        QTextLayout::FormatRange f;
        f.start = int(currentWord_->start);
        f.length = int(currentWord_->length);
        f.format.setFontUnderline(true);
        f.format.setForeground(palette.color(QPalette::Link));
        formats.append(f);
    }
    QTextLayout layout(text);
    layout.setFormats(formats);
    layoutText(layout, textWidth());
    painter->setPen(palette.color(QPalette::Text));
    layout.draw(painter, origin);

    // Margin notes are listed under their passage, each with its phrase.
    const QList<MarginNote>& margin = model_.timeline().annotations[item.index].marginNotes;
    if (!margin.isEmpty()) {
        QFont f = view_.font();
        f.setItalic(true);
        painter->setFont(f);
        painter->setPen(palette.color(QPalette::PlaceholderText));
        const QFontMetrics fm(f);
        int y = origin.y() + int(std::ceil(layout.boundingRect().height()));
        for (const MarginNote& m : margin) {
            const QString line = QStringLiteral("✎ “%1” — %2").arg(m.anchorText, m.noteText);
            painter->drawText(QRect(origin.x(), y, textWidth(), fm.lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter,
                              fm.elidedText(line, Qt::ElideRight, textWidth()));
            y += fm.lineSpacing();
        }
    }
    painter->restore();
}

}  // namespace lumenote
