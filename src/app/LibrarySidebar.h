#pragma once

// The library sidebar: title filter, the folder and lecture tree, and the
// library totals. Every library operation is reached from its context menus
// (folder, lecture, selection, empty area), the Delete key and drag and drop;
// the destructive ones ask first.

#include "core/Lecture.h"

#include <QHash>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QMenu;
class QSortFilterProxyModel;
class QStackedWidget;
class QTimer;
class QToolButton;
class QTreeView;
class QUndoStack;

namespace lumenote {

class LibraryModel;
class LibraryStore;
class LibraryTreeModel;
class SearchIndex;
class ThumbnailLoader;

class LibrarySidebar : public QWidget {
    Q_OBJECT
public:
    LibrarySidebar(LibraryModel& library, LibraryStore& store, QWidget* parent = nullptr);
    ~LibrarySidebar() override;

    // Asks before a destructive operation; true goes ahead. A message box by
    // default; tests answer it themselves.
    using Confirmation = std::function<bool(const QString& title, const QString& message)>;
    void setConfirmation(Confirmation confirm) { confirm_ = std::move(confirm); }

    LibraryTreeModel& treeModel() { return *tree_; }
    QTreeView* view() const { return view_; }
    QLineEdit* filterField() const { return filter_; }
    // How long typing must pause before the lectures' contents are searched.
    static constexpr int kSearchDelayMs = 250;
    // Matches per lecture of the last contents search (empty without a search).
    const QHash<QUuid, int>& contentHits() const { return hits_; }
    QLabel* hitCountLabel() const { return hitCount_; }
    // A search of the lectures' words is due, or waits for the index to open.
    bool isSearchingContents() const;
    ThumbnailLoader& thumbnails() { return *thumbnails_; }
    // Folder renames and lecture moves, for Undo and Redo.
    QUndoStack* undoStack() const { return undo_; }

    // Shows and selects the lecture (opening its folder).
    void selectLecture(const LecturePtr& lecture);
    // The lectures selected in the tree, in row order.
    QList<LecturePtr> selectedLectures() const;
    // Puts the cursor in the filter field.
    void focusFilter();

    // The operations behind the menus and keys.
    void newFolder();
    void deleteSelection();
    void deleteAllLectures();
    void deleteUnprocessedLectures();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void retranslate();
    void showContextMenu(const QPoint& pos);
    void addLectureActions(QMenu& menu, const QList<LecturePtr>& lectures);
    void addFolderActions(QMenu& menu, const LectureFolderPtr& folder);
    void addLibraryActions(QMenu& menu);
    void deleteLectures(const QList<LecturePtr>& lectures);
    void deleteFolder(const LectureFolderPtr& folder, bool withContents);
    void moveLectures(const QList<LecturePtr>& lectures, const LectureFolderPtr& folder);
    void updateSelectionFromView();
    void updateStats();
    void openSearchIndex();
    void updateEmptyState();
    void searchContents();
    void updateHitCount();
    void applyExpansion(const QModelIndex& proxyParent, int first, int last);
    bool confirm(const QString& title, const QString& message);

    LibraryModel& library_;
    LibraryStore& store_;
    ThumbnailLoader* thumbnails_;
    LibraryTreeModel* tree_;
    QSortFilterProxyModel* proxy_;
    QLabel* heading_;
    QToolButton* newFolderButton_;
    QLineEdit* filter_;
    QLabel* hitCount_;
    QTimer* searchDelay_;
    // The library's search index, opened (or built) on a worker at the first search.
    std::shared_ptr<SearchIndex> index_;
    bool openingIndex_ = false;
    bool indexUnavailable_ = false;
    QHash<QUuid, int> hits_;
    QStackedWidget* stack_;
    QTreeView* view_;
    QLabel* emptyTitle_;
    QLabel* emptyMessage_;
    QLabel* noMatches_;
    QLabel* stats_;
    Confirmation confirm_;
    QUndoStack* undo_;
    bool updatingSelection_ = false;
};

}  // namespace lumenote
