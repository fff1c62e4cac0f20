#pragma once

// Draws the notes tab's paragraphs with their highlights painted on the first
// occurrence of each phrase, headings larger and bold, and each paragraph's
// margin notes listed under it. Inline-note items are drawn as usual.

#include "workspace/Timeline.h"

#include <QStyledItemDelegate>

class QAbstractItemView;
class QTextLayout;

namespace lumenote {

class NotesParagraphDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Item data: `paragraphRole` holds the paragraph index, or nothing for a note.
    NotesParagraphDelegate(const NotesView& view, int paragraphRole, QAbstractItemView& list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const NotesParagraph* paragraph(const QModelIndex& index) const;
    QString shownText(const NotesParagraph& p) const;
    void layoutText(QTextLayout& layout, const NotesParagraph& p) const;

    const NotesView& notes_;
    int paragraphRole_;
    QAbstractItemView& list_;
};

}  // namespace lumenote
