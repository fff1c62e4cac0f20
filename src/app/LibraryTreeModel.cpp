#include "app/LibraryTreeModel.h"

#include "app/ThumbnailLoader.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"

#include <QIODevice>
#include <QMimeData>
#include <QSet>

namespace lumenote {

struct LibraryTreeModel::Node {
    Kind kind = Kind::Lecture;
    Node* parent = nullptr;
    int row = 0;
    std::vector<Node*> children;
    LectureFolderPtr folder;
    LecturePtr lecture;
};

LibraryTreeModel::LibraryTreeModel(LibraryModel& library, LibraryStore& store, ThumbnailLoader* thumbnails, QObject* parent)
    : QAbstractItemModel(parent), library_(library), store_(store), thumbnails_(thumbnails), root_(std::make_unique<Node>()) {
    root_->kind = Kind::Folder;
    connect(&library_, &LibraryModel::listsChanged, this, &LibraryTreeModel::sync);
    auto refresh = [this] {
        sync();
        emitAllDataChanged();
    };
    connect(&store_, &LibraryStore::changedInThisProcess, this, refresh);
    connect(&store_, &LibraryStore::changedRemotely, this, refresh);
    if (thumbnails_) connect(thumbnails_, &ThumbnailLoader::thumbnailReady, this, &LibraryTreeModel::lectureThumbnailReady);
    sync();
}

LibraryTreeModel::~LibraryTreeModel() {
    qDeleteAll(lectureNodes_);
    qDeleteAll(folderNodes_);
}

LibraryTreeModel::Node* LibraryTreeModel::nodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

QModelIndex LibraryTreeModel::indexOf(const Node* node) const {
    if (!node || node == root_.get() || !node->parent) return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

QModelIndex LibraryTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const Node* p = nodeAt(parent);
    if (column != 0 || row < 0 || row >= int(p->children.size())) return {};
    return createIndex(row, 0, p->children[size_t(row)]);
}

QModelIndex LibraryTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    return indexOf(static_cast<Node*>(child.internalPointer())->parent);
}

int LibraryTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return int(nodeAt(parent)->children.size());
}

int LibraryTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant LibraryTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Node* n = nodeAt(index);
    if (role == KindRole) return int(n->kind);
    if (n->kind == Kind::Folder) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole: return n->folder->name();
        case IdRole: return n->folder->id();
        case LectureCountRole: return int(n->children.size());
        default: return {};
        }
    }
    const Lecture& l = *n->lecture;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return l.title();
    case IdRole: return l.id();
    case StatusRole: return int(l.status());
    case DurationRole: return l.duration();
    case DateAddedRole: return l.dateAdded();
    case Qt::DecorationRole:
        if (thumbnails_)
            if (auto image = thumbnails_->thumbnail(l)) return *image;
        return {};
    default: return {};
    }
}

bool LibraryTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    Node* n = nodeAt(index);
    if (n->kind != Kind::Folder) return false;
    const QString before = n->folder->name();
    if (renameHandler_)
        renameHandler_(n->folder, value.toString());
    else
        library_.renameFolder(n->folder, value.toString());
    if (n->folder->name() == before) return false;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole});
    return true;
}

Qt::ItemFlags LibraryTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    return nodeAt(index)->kind == Kind::Folder ? base | Qt::ItemIsEditable : base | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList LibraryTreeModel::mimeTypes() const { return {QString::fromLatin1(kLectureIdsMimeType)}; }

QMimeData* LibraryTreeModel::mimeData(const QModelIndexList& indexes) const {
    QStringList ids;
    for (const QModelIndex& i : indexes)
        if (const LecturePtr l = lectureAt(i); l && !ids.contains(l->idText())) ids << l->idText();
    if (ids.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kLectureIdsMimeType), ids.join(QLatin1Char('\n')).toUtf8());
    return data;
}

bool LibraryTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex&) const {
    return data && action == Qt::MoveAction && data->hasFormat(QString::fromLatin1(kLectureIdsMimeType));
}

bool LibraryTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    // Onto a folder or one of its lectures: that folder; anywhere else: unfiled.
    const Node* target = nodeAt(parent);
    if (target->kind == Kind::Lecture) target = target->parent;
    const LectureFolderPtr folder = target && target != root_.get() ? target->folder : nullptr;
    QList<LecturePtr> moving;
    const QStringList ids = QString::fromUtf8(data->data(QString::fromLatin1(kLectureIdsMimeType))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        const LecturePtr lecture = store_.lecture(QUuid(id));
        if (lecture && !lecture->isDeleted() && library_.folderOf(*lecture) != folder) moving << lecture;
    }
    if (moving.isEmpty()) return false;
    if (moveHandler_) {
        moveHandler_(moving, folder);
    } else {
        for (const LecturePtr& l : moving) library_.moveLecture(l, folder);
    }
    sync();
    return true;
}

LecturePtr LibraryTreeModel::lectureAt(const QModelIndex& index) const {
    const Node* n = index.isValid() ? nodeAt(index) : nullptr;
    return n && n->kind == Kind::Lecture ? n->lecture : nullptr;
}

LectureFolderPtr LibraryTreeModel::folderAt(const QModelIndex& index) const {
    const Node* n = index.isValid() ? nodeAt(index) : nullptr;
    return n && n->kind == Kind::Folder ? n->folder : nullptr;
}

QModelIndex LibraryTreeModel::indexOfLecture(const QUuid& id) const { return indexOf(lectureNodes_.value(id)); }

QModelIndex LibraryTreeModel::indexOfFolder(const QUuid& id) const { return indexOf(folderNodes_.value(id)); }

void LibraryTreeModel::renumber(Node* parent, int from) {
    for (size_t i = size_t(std::max(0, from)); i < parent->children.size(); ++i) parent->children[i]->row = int(i);
}

void LibraryTreeModel::removeChildRange(Node* parent, int first, int last) {
    beginRemoveRows(indexOf(parent), first, last);
    for (int r = first; r <= last; ++r) {
        Node* n = parent->children[size_t(r)];
        if (n->kind == Kind::Folder) {
            for (Node* c : n->children) {
                lectureNodes_.remove(c->lecture->id());
                delete c;
            }
            folderNodes_.remove(n->folder->id());
        } else {
            lectureNodes_.remove(n->lecture->id());
        }
        delete n;
    }
    parent->children.erase(parent->children.begin() + first, parent->children.begin() + last + 1);
    renumber(parent, first);
    endRemoveRows();
}

void LibraryTreeModel::arrangeChildren(Node* parent, const std::vector<Node*>& wanted) {
    const QModelIndex parentIndex = indexOf(parent);
    auto& children = parent->children;
    for (size_t i = 0; i < wanted.size(); ++i) {
        Node* w = wanted[i];
        if (i < children.size() && children[i] == w) continue;
        if (w->parent == parent) {
            // Further down: move it up to here.
            const int from = w->row;
            beginMoveRows(parentIndex, from, from, parentIndex, int(i));
            children.erase(children.begin() + from);
            children.insert(children.begin() + qsizetype(i), w);
            renumber(parent, int(i));
            endMoveRows();
            continue;
        }
        // A run of new rows.
        size_t end = i;
        while (end < wanted.size() && wanted[end]->parent != parent) ++end;
        beginInsertRows(parentIndex, int(i), int(end - 1));
        for (size_t k = i; k < end; ++k) wanted[k]->parent = parent;
        children.insert(children.begin() + qsizetype(i), wanted.begin() + qsizetype(i), wanted.begin() + qsizetype(end));
        renumber(parent, int(i));
        endInsertRows();
        i = end - 1;
    }
}

void LibraryTreeModel::sync() {
    // Where every record should be.
    QHash<QUuid, LectureFolderPtr> folders;
    std::vector<LectureFolderPtr> folderOrder;
    for (const LectureFolderPtr& f : library_.folders()) {
        if (f->isDeleted() || folders.contains(f->id())) continue;
        folders.insert(f->id(), f);
        folderOrder.push_back(f);
    }
    QHash<QUuid, QUuid> parentOf;  // lecture -> folder id, null for unfiled
    std::vector<LecturePtr> lectureOrder;
    for (const LecturePtr& l : library_.lectures()) {
        if (l->isDeleted() || parentOf.contains(l->id())) continue;
        const auto fid = l->folderID();
        parentOf.insert(l->id(), fid && folders.contains(*fid) ? *fid : QUuid());
        lectureOrder.push_back(l);
    }

    // Rows that must go, in runs from the bottom up.
    auto removeWhere = [this](Node* parent, const std::function<bool(const Node*)>& gone) {
        for (int r = int(parent->children.size()) - 1; r >= 0;) {
            if (!gone(parent->children[size_t(r)])) {
                --r;
                continue;
            }
            int first = r;
            while (first > 0 && gone(parent->children[size_t(first - 1)])) --first;
            removeChildRange(parent, first, r);
            r = first - 1;
        }
    };
    for (Node* f : std::vector<Node*>(root_->children)) {
        if (f->kind != Kind::Folder || !folders.contains(f->folder->id())) continue;
        const QUuid fid = f->folder->id();
        removeWhere(f, [&](const Node* n) { return parentOf.value(n->lecture->id(), QUuid::createUuid()) != fid; });
    }
    removeWhere(root_.get(), [&](const Node* n) {
        if (n->kind == Kind::Folder) return !folders.contains(n->folder->id());
        const auto it = parentOf.constFind(n->lecture->id());
        return it == parentOf.constEnd() || !it->isNull();
    });

    // New nodes, then the order.
    auto nodeForLecture = [this](const LecturePtr& l) {
        Node*& n = lectureNodes_[l->id()];
        if (!n) n = new Node{Kind::Lecture, nullptr, 0, {}, nullptr, l};
        n->lecture = l;
        return n;
    };
    std::vector<Node*> rootWanted;
    QHash<QUuid, std::vector<Node*>> folderWanted;
    for (const LectureFolderPtr& f : folderOrder) {
        Node*& n = folderNodes_[f->id()];
        if (!n) n = new Node{Kind::Folder, nullptr, 0, {}, f, nullptr};
        n->folder = f;
        rootWanted.push_back(n);
    }
    for (const LecturePtr& l : lectureOrder) {
        const QUuid fid = parentOf.value(l->id());
        if (fid.isNull())
            rootWanted.push_back(nodeForLecture(l));
        else
            folderWanted[fid].push_back(nodeForLecture(l));
    }
    arrangeChildren(root_.get(), rootWanted);
    for (const LectureFolderPtr& f : folderOrder) arrangeChildren(folderNodes_.value(f->id()), folderWanted.value(f->id()));
}

void LibraryTreeModel::emitAllDataChanged() {
    auto changed = [this](const Node* parent) {
        if (parent->children.empty()) return;
        const QModelIndex p = indexOf(parent);
        emit dataChanged(index(0, 0, p), index(int(parent->children.size()) - 1, 0, p));
    };
    changed(root_.get());
    for (const Node* f : root_->children)
        if (f->kind == Kind::Folder) changed(f);
}

void LibraryTreeModel::lectureThumbnailReady(const QUuid& id) {
    if (const QModelIndex i = indexOfLecture(id); i.isValid()) emit dataChanged(i, i, {Qt::DecorationRole});
}

}  // namespace lumenote
