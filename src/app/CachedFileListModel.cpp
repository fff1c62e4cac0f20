#include "app/CachedFileListModel.h"

#include <QSet>

namespace lumenote {

int CachedFileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : static_cast<int>(files_.size()); }

int CachedFileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CachedFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= files_.size()) return {};
    const CachedFile& file = files_.at(index.row());
    switch (role) {
    case PathRole:
        return file.path;
    case InUseRole:
        return file.isInUse;
    case Qt::ToolTipRole:
        return file.path;
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return file.baseName();
        case SizeColumn:
            return locale_.formattedDataSize(file.size, 1, QLocale::DataSizeSIFormat);
        case LabelColumn:
            if (file.isInUse)
                //% "In use"
                return qtTrId("settings.cache.in.use");
            if (file.isIncomplete())
                //% "Incomplete download"
                return qtTrId("settings.cache.incomplete");
            return {};
        }
    }
    return {};
}

QVariant CachedFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case NameColumn:
        //% "Video name"
        return qtTrId("settings.cache.column.name");
    case SizeColumn:
        //% "Size"
        return qtTrId("settings.cache.column.size");
    case LabelColumn:
        //% "Status"
        return qtTrId("settings.cache.column.label");
    }
    return {};
}

void CachedFileListModel::setFiles(const QList<CachedFile>& files) {
    if (!files_.isEmpty()) {
        beginRemoveRows({}, 0, static_cast<int>(files_.size()) - 1);
        files_.clear();
        endRemoveRows();
    }
    if (!files.isEmpty()) {
        beginInsertRows({}, 0, static_cast<int>(files.size()) - 1);
        files_ = files;
        endInsertRows();
    }
}

void CachedFileListModel::keepOnly(const QList<CachedFile>& remaining) {
    QSet<QUuid> keep;
    for (const CachedFile& f : remaining) keep.insert(f.id);
    for (int row = static_cast<int>(files_.size()) - 1; row >= 0; --row) {
        if (keep.contains(files_.at(row).id)) continue;
        beginRemoveRows({}, row, row);
        files_.removeAt(row);
        endRemoveRows();
    }
}

void CachedFileListModel::retranslate(const QLocale& locale) {
    locale_ = locale;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!files_.isEmpty()) emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

}  // namespace lumenote
