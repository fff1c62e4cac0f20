#pragma once

// The library sidebar's item model: folders first, then the unfiled lectures,
// each folder holding its lectures, all in the library's order. It follows the
// library by inserting, moving and removing rows (never a reset), so selection
// and open folders survive. Lectures are dragged as their ids and dropped onto
// a folder (or a lecture inside it) to move there, or onto the empty area to
// become unfiled. Folder names are edited in place.

#include "core/Lecture.h"

#include <QAbstractItemModel>
#include <QHash>

#include <functional>
#include <memory>
#include <vector>

namespace lumenote {

class LibraryModel;
class LibraryStore;
class ThumbnailLoader;

class LibraryTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum class Kind { Folder, Lecture };
    enum Role {
        KindRole = Qt::UserRole + 1,  // Kind as int
        IdRole,                       // QUuid
        StatusRole,                   // LectureStatus as int
        DurationRole,                 // seconds (double)
        DateAddedRole,                // QDateTime
        LectureCountRole,             // a folder's lectures
    };
    static constexpr const char* kLectureIdsMimeType = "application/x-lumenote-lecture-ids";

    LibraryTreeModel(LibraryModel& library, LibraryStore& store, ThumbnailLoader* thumbnails = nullptr, QObject* parent = nullptr);
    ~LibraryTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) override;

    LecturePtr lectureAt(const QModelIndex& index) const;
    LectureFolderPtr folderAt(const QModelIndex& index) const;
    QModelIndex indexOfLecture(const QUuid& id) const;
    QModelIndex indexOfFolder(const QUuid& id) const;

    // Where drops and in-place renames go (the sidebar makes them undoable);
    // without handlers the library is changed directly.
    using MoveHandler = std::function<void(const QList<LecturePtr>& lectures, const LectureFolderPtr& target)>;
    using RenameHandler = std::function<void(const LectureFolderPtr& folder, const QString& name)>;
    void setMoveHandler(MoveHandler handler) { moveHandler_ = std::move(handler); }
    void setRenameHandler(RenameHandler handler) { renameHandler_ = std::move(handler); }

    // Brings the rows in line with the library's lists and folder membership
    // (called on every library and store change; callers after an operation
    // may call it at once).
    void sync();

private:
    struct Node;
    Node* nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    // Makes `parent`'s children exactly `wanted`, in that order.
    void arrangeChildren(Node* parent, const std::vector<Node*>& wanted);
    void removeChildRange(Node* parent, int first, int last);
    void renumber(Node* parent, int from);
    void lectureThumbnailReady(const QUuid& id);
    void emitAllDataChanged();

    LibraryModel& library_;
    LibraryStore& store_;
    ThumbnailLoader* thumbnails_;
    std::unique_ptr<Node> root_;
    QHash<QUuid, Node*> folderNodes_;
    QHash<QUuid, Node*> lectureNodes_;
    MoveHandler moveHandler_;
    RenameHandler renameHandler_;
};

}  // namespace lumenote
