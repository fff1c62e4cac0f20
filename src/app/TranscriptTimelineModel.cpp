#include "app/TranscriptTimelineModel.h"

namespace lumenote {

TranscriptTimelineModel::TranscriptTimelineModel(QObject* parent) : QAbstractListModel(parent) {}

QStringList TranscriptTimelineModel::rowKeys(const Timeline& timeline) {
    QStringList keys;
    keys.reserve(timeline.rows.size());
    QString previousContent = QStringLiteral("start");
    for (const DisplayRow& row : timeline.rows) {
        switch (row.kind) {
        case DisplayRow::Kind::InsertZone: keys.append(QStringLiteral("z|") + previousContent); break;
        case DisplayRow::Kind::Note: keys.append(QStringLiteral("n|") + row.note.id.toString()); break;
        case DisplayRow::Kind::Content: {
            const TimelineItem& item = timeline.items[row.index];
            // Passage ids are fresh on every rebuild; a passage is known by its start.
            previousContent = item.kind == TimelineItem::Kind::Text ? QStringLiteral("t|") + QString::number(item.time, 'g', 17)
                                                                    : QStringLiteral("s|") + item.id.toString();
            keys.append(previousContent);
            break;
        }
        }
    }
    return keys;
}

void TranscriptTimelineModel::setTimeline(Timeline timeline) {
    const QStringList keys = rowKeys(timeline);
    const int oldCount = int(keys_.size()), newCount = int(keys.size());
    int prefix = 0;
    while (prefix < oldCount && prefix < newCount && keys_[prefix] == keys[prefix]) ++prefix;
    int suffix = 0;
    while (suffix < oldCount - prefix && suffix < newCount - prefix && keys_[oldCount - 1 - suffix] == keys[newCount - 1 - suffix])
        ++suffix;

    // Views see the removal against the old rows and the insertion against
    // the new ones; in between, rows past the change are shifted.
    const int removed = oldCount - suffix - prefix, inserted = newCount - suffix - prefix;
    changeStart_ = prefix;
    if (removed > 0) {
        beginRemoveRows({}, prefix, prefix + removed - 1);
        count_ -= removed;
        shift_ = removed;
        endRemoveRows();
    }
    timeline_ = std::move(timeline);
    keys_ = keys;
    itemRows_ = QList<int>(timeline_.items.size(), -1);
    for (int r = 0; r < timeline_.rows.size(); ++r)
        if (timeline_.rows[r].kind == DisplayRow::Kind::Content) itemRows_[timeline_.rows[r].index] = r;
    blockItems_ = QList<int>(timeline_.blocks.size(), -1);
    for (int i = 0; i < timeline_.items.size(); ++i)
        if (timeline_.items[i].kind == TimelineItem::Kind::Text) blockItems_[timeline_.items[i].index] = i;
    shift_ = inserted;
    if (inserted > 0) {
        beginInsertRows({}, prefix, prefix + inserted - 1);
        count_ = newCount;
        shift_ = 0;
        endInsertRows();
    }
    shift_ = 0;
    // Kept rows may show new highlights, chips or passage ids.
    if (count_ > 0) emit dataChanged(index(0), index(count_ - 1));
}

int TranscriptTimelineModel::rowOfBlock(int block) const {
    return block >= 0 && block < blockItems_.size() ? rowOfItem(blockItems_[block]) : -1;
}

int TranscriptTimelineModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

QVariant TranscriptTimelineModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count_) return {};
    const int at = index.row() < changeStart_ ? index.row() : index.row() + shift_;
    if (at >= timeline_.rows.size()) return {};
    const DisplayRow& row = timeline_.rows[at];
    switch (role) {
    case RowKindRole: return int(row.kind);
    case NoteIDRole: return row.kind == DisplayRow::Kind::Note ? QVariant(row.note.id) : QVariant();
    case Qt::ToolTipRole:
        //% "Click to add a note here"
        return row.kind == DisplayRow::Kind::InsertZone ? QVariant(qtTrId("transcript.zone.tooltip")) : QVariant();
    case TimeRole:
        if (row.kind == DisplayRow::Kind::Content) return timeline_.items[row.index].time;
        if (row.kind == DisplayRow::Kind::InsertZone) return row.prevTimestamp;
        return row.note.afterTimestamp;
    default: break;
    }
    if (row.kind == DisplayRow::Kind::Note) return role == Qt::DisplayRole ? QVariant(row.note.text) : QVariant();
    if (row.kind != DisplayRow::Kind::Content) return {};
    const TimelineItem& item = timeline_.items[row.index];
    if (role == ItemKindRole) return int(item.kind);
    if (item.kind == TimelineItem::Kind::Text) return role == Qt::DisplayRole ? QVariant(timeline_.blocks[item.index].text) : QVariant();
    if (role == ScreenshotRole) return timeline_.screenshots[item.index].image;
    return {};
}

}  // namespace lumenote
