#include "app/NotesParagraphDelegate.h"

#include "app/TranscriptRowDelegate.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace lumenote {

namespace {
constexpr int kPad = 4;
}

NotesParagraphDelegate::NotesParagraphDelegate(const NotesView& view, int paragraphRole, QAbstractItemView& list)
    : QStyledItemDelegate(&list), notes_(view), paragraphRole_(paragraphRole), list_(list) {}

const NotesParagraph* NotesParagraphDelegate::paragraph(const QModelIndex& index) const {
    const QVariant i = index.data(paragraphRole_);
    if (!i.isValid() || i.toInt() < 0 || i.toInt() >= notes_.paragraphs.size()) return nullptr;
    return &notes_.paragraphs[i.toInt()];
}

QString NotesParagraphDelegate::shownText(const NotesParagraph& p) const {
    QString text = p.displayText;
    for (const MarginNote& m : p.annotations.marginNotes) text += QStringLiteral("\n✎ “%1” — %2").arg(m.anchorText, m.noteText);
    return text;
}

void NotesParagraphDelegate::layoutText(QTextLayout& layout, const NotesParagraph& p) const {
    QFont font = list_.font();
    if (p.isHeading) {
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.25);
    }
    TranscriptRowDelegate::wrapLines(layout, font, std::max(60, list_.viewport()->width() - 2 * kPad));
}

QSize NotesParagraphDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const NotesParagraph* p = paragraph(index);
    if (!p) return QStyledItemDelegate::sizeHint(option, index);
    QTextLayout layout(shownText(*p).replace(QLatin1Char('\n'), QChar::LineSeparator));
    layoutText(layout, *p);
    return {list_.viewport()->width(), int(std::ceil(layout.boundingRect().height())) + 2 * kPad};
}

void NotesParagraphDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const NotesParagraph* p = paragraph(index);
    if (!p) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->save();
    if (option.state & QStyle::State_Selected) painter->fillRect(option.rect, option.palette.color(QPalette::Highlight).lighter(170));
    QTextLayout layout(shownText(*p).replace(QLatin1Char('\n'), QChar::LineSeparator));
    QList<QTextLayout::FormatRange> formats;
    for (const PaintedHighlight& h : p->annotations.painted) {
        QTextLayout::FormatRange f;
        f.start = int(h.range.start);
        f.length = int(h.range.length);
        f.format.setBackground(TranscriptRowDelegate::highlightColor(h.color));
        formats.append(f);
    }
    if (!p->annotations.marginNotes.isEmpty()) {
        QTextLayout::FormatRange f;
        f.start = int(p->displayText.size());
        f.length = int(layout.text().size() - p->displayText.size());
        f.format.setFontItalic(true);
        f.format.setForeground(option.palette.color(QPalette::PlaceholderText));
        formats.append(f);
    }
    layout.setFormats(formats);
    layoutText(layout, *p);
    painter->setPen(option.palette.color(QPalette::Text));
    layout.draw(painter, QPointF(option.rect.left() + kPad, option.rect.top() + kPad));
    painter->restore();
}

}  // namespace lumenote
