#include "app/SpeechModelListModel.h"

#include "transcription/WhisperModelManager.h"

#include <QFont>

#include <cmath>

namespace lumenote {

namespace {

QString noteText(const QString& note) {
    // The catalogue's notes, in the interface language.
    if (note == QLatin1String("Fastest"))
        //% "Fastest"
        return qtTrId("settings.tools.models.note.fastest");
    if (note == QLatin1String("Good balance"))
        //% "Good balance"
        return qtTrId("settings.tools.models.note.balance");
    if (note == QLatin1String("Recommended"))
        //% "Recommended"
        return qtTrId("settings.tools.models.note.recommended");
    if (note == QLatin1String("High accuracy"))
        //% "High accuracy"
        return qtTrId("settings.tools.models.note.high");
    if (note == QLatin1String("Best accuracy"))
        //% "Best accuracy"
        return qtTrId("settings.tools.models.note.best");
    return note;
}

}  // namespace

SpeechModelListModel::SpeechModelListModel(WhisperModelManager& manager, QObject* parent)
    : QAbstractTableModel(parent), manager_(manager) {
    for (const auto& m : WhisperModelManager::models()) downloaded_.append(manager_.isDownloaded(m.id));
    const int last = static_cast<int>(downloaded_.size()) - 1;
    connect(&manager_, &WhisperModelManager::selectedModelIDChanged, this, [this, last] { rowsChanged(0, last); });
    connect(&manager_, &WhisperModelManager::updateStatusesChanged, this, [this, last] { rowsChanged(0, last); });
    connect(&manager_, &WhisperModelManager::downloadProgressChanged, this, [this, last] { rowsChanged(0, last); });
    connect(&manager_, &WhisperModelManager::isDownloadingChanged, this, [this] { refresh(); });
}

int SpeechModelListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(WhisperModelManager::models().size());
}

int SpeechModelListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString SpeechModelListModel::stateText(int row) const {
    const QString& id = WhisperModelManager::models().at(row).id;
    if (manager_.downloadingModelID() == id)
        //% "Downloading… %1%"
        return qtTrId("settings.tools.models.state.downloading").arg(std::floor(manager_.downloadProgress() * 100));
    if (!downloaded_.at(row))
        //% "Not downloaded"
        return qtTrId("settings.tools.models.state.absent");
    switch (manager_.updateStatus(id)) {
    case WhisperModelManager::UpdateStatus::checking:
        //% "Checking…"
        return qtTrId("settings.tools.models.state.checking");
    case WhisperModelManager::UpdateStatus::available:
        //% "Update available"
        return qtTrId("settings.tools.models.state.available");
    case WhisperModelManager::UpdateStatus::checkFailed:
        //% "Downloaded (check failed)"
        return qtTrId("settings.tools.models.state.failed");
    case WhisperModelManager::UpdateStatus::upToDate:
        //% "Up to date"
        return qtTrId("settings.tools.models.state.current");
    case WhisperModelManager::UpdateStatus::unknown:
        break;
    }
    //% "Downloaded"
    return qtTrId("settings.tools.models.state.downloaded");
}

QVariant SpeechModelListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto& model = WhisperModelManager::models().at(index.row());
    const bool selected = manager_.selectedModelID() == model.id;
    switch (role) {
    case IdRole:
        return model.id;
    case IsDownloadedRole:
        return downloaded_.at(index.row());
    case IsSelectedRole:
        return selected;
    case IsDownloadingRole:
        return manager_.downloadingModelID() == model.id;
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return model.displayName;
        case SizeColumn:
            return model.size;
        case NoteColumn:
            return noteText(model.note);
        case StateColumn:
            return stateText(index.row());
        }
        return {};
    case Qt::CheckStateRole:
        if (index.column() == NameColumn) return selected ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::FontRole:
        if (selected) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        return model.id;
    }
    return {};
}

QVariant SpeechModelListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case NameColumn:
        //% "Model"
        return qtTrId("settings.tools.models.column.name");
    case SizeColumn:
        //% "Download"
        return qtTrId("settings.tools.models.column.size");
    case NoteColumn:
        //% "Best for"
        return qtTrId("settings.tools.models.column.note");
    case StateColumn:
        //% "State"
        return qtTrId("settings.tools.models.column.state");
    }
    return {};
}

Qt::ItemFlags SpeechModelListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == NameColumn && downloaded_.value(index.row())) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool SpeechModelListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != NameColumn || !downloaded_.value(index.row())) return false;
    if (value.toInt() != Qt::Checked) return false;  // one model is always selected
    manager_.setSelectedModelID(WhisperModelManager::models().at(index.row()).id);
    return true;
}

void SpeechModelListModel::refresh() {
    int first = -1, last = -1;
    for (int row = 0; row < downloaded_.size(); ++row) {
        const bool now = manager_.isDownloaded(WhisperModelManager::models().at(row).id);
        if (now == downloaded_.at(row)) continue;
        downloaded_[row] = now;
        if (first < 0) first = row;
        last = row;
    }
    // The downloading row's state text changes with the flag as well.
    rowsChanged(first < 0 ? 0 : first, last < 0 ? rowCount() - 1 : last);
}

void SpeechModelListModel::retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    rowsChanged(0, rowCount() - 1);
}

void SpeechModelListModel::rowsChanged(int first, int last) {
    if (first > last) return;
    emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

}  // namespace lumenote
