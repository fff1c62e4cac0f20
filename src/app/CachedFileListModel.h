#pragma once

// The downloaded videos of the cache page: name, size and label (in use,
// incomplete). Deleting a file removes just its row.

#include "media/DownloadCache.h"

#include <QAbstractTableModel>
#include <QLocale>

namespace lumenote {

class CachedFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, SizeColumn, LabelColumn, ColumnCount };
    enum Role { PathRole = Qt::UserRole + 1, InUseRole };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const QList<CachedFile>& files() const { return files_; }
    // Replaces the listing (old rows removed, new rows inserted).
    void setFiles(const QList<CachedFile>& files);
    // Keeps only the rows whose files are in `remaining`, removing the others row by row.
    void keepOnly(const QList<CachedFile>& remaining);
    // Sizes are formatted for this locale; texts follow the interface language.
    void retranslate(const QLocale& locale);

private:
    QList<CachedFile> files_;
    QLocale locale_;
};

}  // namespace lumenote
