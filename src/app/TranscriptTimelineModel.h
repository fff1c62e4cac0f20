#pragma once

// The transcript column as an item model: one row per display row of the
// timeline (insert zones, inline notes, passages, screenshots). A rebuild
// keeps the rows that stay and inserts or removes only the ones that change,
// so views keep their scroll position and selection across edits.

#include "workspace/Timeline.h"

#include <QAbstractListModel>
#include <QHash>
#include <QStringList>

namespace lumenote {

class TranscriptTimelineModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        RowKindRole = Qt::UserRole + 1,  // DisplayRow::Kind as int
        ItemKindRole,                    // content rows: TimelineItem::Kind as int
        TimeRole,                        // content rows: the item's time; zones: where a note goes
        NoteIDRole,                      // note rows
        ScreenshotRole,                  // screenshot rows: the QImage
    };

    explicit TranscriptTimelineModel(QObject* parent = nullptr);

    // Takes a freshly built timeline; rows are matched to the current ones by
    // what they show (a passage by its start, a screenshot or note by its id).
    void setTimeline(Timeline timeline);
    const Timeline& timeline() const { return timeline_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const DisplayRow& displayRow(int row) const { return timeline_.rows[row]; }
    // The row showing timeline item `item`, or -1.
    int rowOfItem(int item) const { return item >= 0 && item < itemRows_.size() ? itemRows_[item] : -1; }
    // The row showing passage `block`, or -1.
    int rowOfBlock(int block) const;

private:
    static QStringList rowKeys(const Timeline& timeline);

    Timeline timeline_;
    QStringList keys_;
    QList<int> itemRows_;   // item index -> row
    QList<int> blockItems_; // block index -> item index
    int count_ = 0;
    int changeStart_ = 0, shift_ = 0;  // rows at or past changeStart_ show row + shift_ mid-update
};

}  // namespace lumenote
