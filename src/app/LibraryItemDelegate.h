#pragma once

// Paints a library row: a folder with its lecture count, or a lecture with its
// keyframe thumbnail, title, status badge, duration and date. Colours come from
// the palette, so light and dark themes both read well.

#include "core/Lecture.h"

#include <QStyledItemDelegate>

namespace lumenote {

class LibraryItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Texts shown in the rows (also used by the detail pane).
    static QString statusText(LectureStatus status);
    // "1:02:03" or "12:34"; empty for no duration.
    static QString durationText(double seconds);
    static QString dateText(const QDateTime& date);
};

}  // namespace lumenote
