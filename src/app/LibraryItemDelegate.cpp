#include "app/LibraryItemDelegate.h"

#include "app/LibraryTreeModel.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace lumenote {
namespace {

constexpr int kThumbWidth = 64;
constexpr int kThumbHeight = 36;
constexpr int kPadding = 6;

QColor badgeColor(LectureStatus status) {
    switch (status) {
    case LectureStatus::Complete: return QColor(0x2e, 0x9d, 0x5b);
    case LectureStatus::Failed: return QColor(0xd0, 0x3b, 0x3b);
    case LectureStatus::Missing: return QColor(0xc7, 0x7c, 0x12);
    case LectureStatus::Pending: return QColor(0x7a, 0x7f, 0x87);
    default: return QColor(0x2f, 0x6f, 0xd6);
    }
}

}  // namespace

QString LibraryItemDelegate::statusText(LectureStatus status) {
    switch (status) {
    case LectureStatus::Pending:
        //% "Pending"
        return qtTrId("sidebar.status.pending");
    case LectureStatus::Missing:
        //% "Export missing"
        return qtTrId("sidebar.status.missing");
    case LectureStatus::Transcribing:
        //% "Transcribing"
        return qtTrId("sidebar.status.transcribing");
    case LectureStatus::CapturingScreenshots:
        //% "Capturing slides"
        return qtTrId("sidebar.status.capturing.screenshots");
    case LectureStatus::Consolidating:
        //% "Writing notes"
        return qtTrId("sidebar.status.consolidating");
    case LectureStatus::GeneratingPage:
        //% "Exporting"
        return qtTrId("sidebar.status.generating.page");
    case LectureStatus::Complete:
        //% "Ready"
        return qtTrId("sidebar.status.complete");
    case LectureStatus::Failed:
        //% "Failed"
        return qtTrId("sidebar.status.failed");
    }
    return {};
}

QString LibraryItemDelegate::durationText(double seconds) {
    if (!(seconds > 0)) return {};
    const qint64 total = qint64(std::llround(seconds));
    const qint64 h = total / 3600, m = (total / 60) % 60, s = total % 60;
    if (h > 0) return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString LibraryItemDelegate::dateText(const QDateTime& date) {
    return QLocale().toString(date.toLocalTime().date(), QLocale::ShortFormat);
}

QSize LibraryItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int line = option.fontMetrics.height();
    if (LibraryTreeModel::Kind(index.data(LibraryTreeModel::KindRole).toInt()) == LibraryTreeModel::Kind::Folder)
        return {200, line + 2 * kPadding};
    return {200, std::max(kThumbHeight, 2 * line + 2) + 2 * kPadding};
}

void LibraryItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Background and selection only; the content is drawn below.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QColor text = opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = text;
    secondary.setAlphaF(0.65f);
    const QRect r = opt.rect.adjusted(kPadding, kPadding / 2, -kPadding, -kPadding / 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    if (LibraryTreeModel::Kind(index.data(LibraryTreeModel::KindRole).toInt()) == LibraryTreeModel::Kind::Folder) {
        const QIcon folderIcon = style->standardIcon(QStyle::SP_DirIcon, nullptr, widget);
        const int iconSize = opt.fontMetrics.height();
        folderIcon.paint(painter, QRect(r.left(), r.center().y() - iconSize / 2, iconSize, iconSize));
        const QString count = QString::number(index.data(LibraryTreeModel::LectureCountRole).toInt());
        const int countWidth = opt.fontMetrics.horizontalAdvance(count) + kPadding;
        QRect nameRect(r.left() + iconSize + kPadding, r.top(), r.width() - iconSize - kPadding - countWidth, r.height());
        painter->setPen(text);
        painter->drawText(nameRect, Qt::AlignVCenter | Qt::AlignLeft,
                          opt.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, nameRect.width()));
        painter->setPen(secondary);
        painter->drawText(QRect(r.right() - countWidth, r.top(), countWidth, r.height()), Qt::AlignVCenter | Qt::AlignRight, count);
        painter->restore();
        return;
    }

    // Thumbnail, or a quiet placeholder until it has loaded (or when there is none).
    const QRect thumb(r.left(), r.center().y() - kThumbHeight / 2, kThumbWidth, kThumbHeight);
    const QImage image = index.data(Qt::DecorationRole).value<QImage>();
    QPainterPath clip;
    clip.addRoundedRect(thumb, 4, 4);
    painter->setClipPath(clip);
    if (!image.isNull()) {
        const QSize fitted = image.size().scaled(thumb.size(), Qt::KeepAspectRatioByExpanding);
        QRect target(QPoint(), fitted);
        target.moveCenter(thumb.center());
        painter->drawImage(target, image);
    } else {
        QColor fill = opt.palette.color(QPalette::Mid);
        fill.setAlphaF(0.35f);
        painter->fillRect(thumb, fill);
    }
    painter->setClipping(false);

    const int x = thumb.right() + kPadding + 2;
    const int lineHeight = opt.fontMetrics.height();
    const QRect titleRect(x, r.top() + 1, r.right() - x, lineHeight);
    QFont titleFont = opt.font;
    titleFont.setWeight(QFont::DemiBold);
    painter->setFont(titleFont);
    painter->setPen(text);
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(titleFont).elidedText(index.data().toString(), Qt::ElideRight, titleRect.width()));

    // Status badge, then duration and date.
    QFont small = opt.font;
    small.setPointSizeF(std::max(7.0, opt.font.pointSizeF() * 0.85));
    painter->setFont(small);
    const QFontMetrics sm(small);
    const auto status = LectureStatus(index.data(LibraryTreeModel::StatusRole).toInt());
    const QString badge = statusText(status);
    const int badgeWidth = sm.horizontalAdvance(badge) + 10;
    const QRect badgeRect(x, titleRect.bottom() + 3, badgeWidth, sm.height() + 2);
    painter->setPen(Qt::NoPen);
    painter->setBrush(badgeColor(status));
    painter->drawRoundedRect(badgeRect, badgeRect.height() / 2.0, badgeRect.height() / 2.0);
    painter->setPen(Qt::white);
    painter->drawText(badgeRect, Qt::AlignCenter, badge);

    QStringList details;
    if (const QString d = durationText(index.data(LibraryTreeModel::DurationRole).toDouble()); !d.isEmpty()) details << d;
    details << dateText(index.data(LibraryTreeModel::DateAddedRole).toDateTime());
    const QRect detailRect(badgeRect.right() + kPadding, badgeRect.top(), r.right() - badgeRect.right() - kPadding, badgeRect.height());
    painter->setPen(secondary);
    painter->drawText(detailRect, Qt::AlignLeft | Qt::AlignVCenter,
                      sm.elidedText(details.join(QStringLiteral(" · ")), Qt::ElideRight, detailRect.width()));
    painter->restore();
}

}  // namespace lumenote
