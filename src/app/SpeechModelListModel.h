#pragma once

// The speech model catalogue as a table for the Tools page: name (checked for
// the model in use), download size, note and state (on disk, downloading,
// revision status). Rows are fixed; what is on disk is looked up again by
// refresh(), which reports only the rows that changed.

#include <QAbstractTableModel>
#include <QList>

namespace lumenote {

class WhisperModelManager;

class SpeechModelListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, SizeColumn, NoteColumn, StateColumn, ColumnCount };
    enum Role { IdRole = Qt::UserRole + 1, IsDownloadedRole, IsSelectedRole, IsDownloadingRole };

    explicit SpeechModelListModel(WhisperModelManager& manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Checking a downloaded model's name selects it.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Looks on disk again; signals the rows whose state changed.
    void refresh();
    // Texts depend on the interface language.
    void retranslate();

private:
    QString stateText(int row) const;
    void rowsChanged(int first, int last);

    WhisperModelManager& manager_;
    QList<bool> downloaded_;
};

}  // namespace lumenote
