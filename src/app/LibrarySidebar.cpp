#include "app/LibrarySidebar.h"

#include "app/LibraryCommands.h"
#include "app/LibraryItemDelegate.h"
#include "app/LibraryTreeModel.h"
#include "app/ThumbnailLoader.h"
#include "core/LibraryModel.h"
#include "core/Error.h"
#include "core/LibraryStore.h"
#include "core/Log.h"
#include "core/SearchIndex.h"

#include <QEvent>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace lumenote {
namespace {

// Shows lectures whose title holds the filter text; a folder shows while one
// of its lectures does (recursive filtering), and every row shows without a filter.
// Lectures whose title holds the text, or whose transcript, notes,
// annotations or slides the search index found it in.
class TitleFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString& text) {
        text_ = text;
        if (text.isEmpty()) hits_.clear();
        invalidateFilter();
    }
    void setHits(QHash<QUuid, int> hits) {
        hits_ = std::move(hits);
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (text_.isEmpty()) return true;
        const QModelIndex i = sourceModel()->index(row, 0, parent);
        if (LibraryTreeModel::Kind(i.data(LibraryTreeModel::KindRole).toInt()) == LibraryTreeModel::Kind::Folder) return false;
        return i.data().toString().contains(text_, Qt::CaseInsensitive) ||
               hits_.contains(i.data(LibraryTreeModel::IdRole).toUuid());
    }

private:
    QString text_;
    QHash<QUuid, int> hits_;
};

}  // namespace

LibrarySidebar::LibrarySidebar(LibraryModel& library, LibraryStore& store, QWidget* parent)
    : QWidget(parent), library_(library), store_(store) {
    setObjectName(QStringLiteral("librarySidebar"));
    thumbnails_ = new ThumbnailLoader(store.path(), this);
    const qreal dpr = devicePixelRatioF();
    thumbnails_->setThumbnailSize(QSize(int(64 * dpr * 1.5), int(36 * dpr * 1.5)));
    tree_ = new LibraryTreeModel(library, store, thumbnails_, this);
    undo_ = new QUndoStack(this);
    tree_->setMoveHandler([this](const QList<LecturePtr>& lectures, const LectureFolderPtr& folder) { moveLectures(lectures, folder); });
    tree_->setRenameHandler([this](const LectureFolderPtr& folder, const QString& name) {
        auto* command = new RenameFolderCommand(library_, store_, folder, name);
        if (command->isObsolete())
            delete command;
        else
            undo_->push(command);
    });
    // Undo and Redo change records; the rows follow at once.
    connect(undo_, &QUndoStack::indexChanged, tree_, &LibraryTreeModel::sync);
    proxy_ = new TitleFilter(this);
    proxy_->setRecursiveFilteringEnabled(true);
    proxy_->setSourceModel(tree_);

    heading_ = new QLabel(this);
    QFont headingFont = heading_->font();
    headingFont.setWeight(QFont::Bold);
    heading_->setFont(headingFont);
    newFolderButton_ = new QToolButton(this);
    newFolderButton_->setObjectName(QStringLiteral("newFolderButton"));
    newFolderButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    newFolderButton_->setAutoRaise(true);
    connect(newFolderButton_, &QToolButton::clicked, this, &LibrarySidebar::newFolder);
    auto* header = new QHBoxLayout;
    header->addWidget(heading_, 1);
    header->addWidget(newFolderButton_);

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("libraryFilter"));
    filter_->setClearButtonEnabled(true);
    hitCount_ = new QLabel(this);
    hitCount_->setObjectName(QStringLiteral("libraryHitCount"));
    hitCount_->hide();
    // The words inside the lectures are looked up once typing pauses.
    searchDelay_ = new QTimer(this);
    searchDelay_->setSingleShot(true);
    searchDelay_->setInterval(kSearchDelayMs);
    connect(searchDelay_, &QTimer::timeout, this, &LibrarySidebar::searchContents);
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        static_cast<TitleFilter*>(proxy_)->setText(text);
        if (text.trimmed().isEmpty()) {
            searchDelay_->stop();
            hits_.clear();
            hitCount_->hide();
        } else {
            searchDelay_->start();
        }
        if (!text.isEmpty()) view_->expandAll();
        updateEmptyState();
    });

    view_ = new QTreeView(this);
    view_->setObjectName(QStringLiteral("libraryTree"));
    view_->setModel(proxy_);
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(false);
    view_->setItemDelegate(new LibraryItemDelegate(view_));
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setDragDropMode(QAbstractItemView::DragDrop);
    view_->setDefaultDropAction(Qt::MoveAction);
    view_->setDragEnabled(true);
    view_->setAcceptDrops(true);
    view_->setDropIndicatorShown(true);
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->installEventFilter(this);
    connect(view_, &QTreeView::customContextMenuRequested, this, &LibrarySidebar::showContextMenu);
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &LibrarySidebar::updateSelectionFromView);
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, &LibrarySidebar::updateSelectionFromView);
    connect(view_, &QTreeView::expanded, this, [this](const QModelIndex& i) {
        if (const auto f = tree_->folderAt(proxy_->mapToSource(i))) library_.expandedFolderIDs().insert(f->id());
    });
    connect(view_, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
        if (const auto f = tree_->folderAt(proxy_->mapToSource(i))) library_.expandedFolderIDs().remove(f->id());
    });
    connect(proxy_, &QAbstractItemModel::rowsInserted, this, &LibrarySidebar::applyExpansion);
    connect(proxy_, &QAbstractItemModel::rowsInserted, this, &LibrarySidebar::updateEmptyState);
    connect(proxy_, &QAbstractItemModel::rowsRemoved, this, &LibrarySidebar::updateEmptyState);

    // The empty library and the filter without matches.
    emptyTitle_ = new QLabel(this);
    emptyTitle_->setAlignment(Qt::AlignCenter);
    QFont emptyFont = emptyTitle_->font();
    emptyFont.setWeight(QFont::DemiBold);
    emptyTitle_->setFont(emptyFont);
    emptyMessage_ = new QLabel(this);
    emptyMessage_->setAlignment(Qt::AlignCenter);
    emptyMessage_->setWordWrap(true);
    emptyMessage_->setForegroundRole(QPalette::PlaceholderText);
    auto* empty = new QWidget(this);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch();
    emptyLayout->addWidget(emptyTitle_);
    emptyLayout->addWidget(emptyMessage_);
    emptyLayout->addStretch(2);
    noMatches_ = new QLabel(this);
    noMatches_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    noMatches_->setForegroundRole(QPalette::PlaceholderText);
    noMatches_->setWordWrap(true);
    noMatches_->setMargin(12);

    stack_ = new QStackedWidget(this);
    stack_->addWidget(view_);
    stack_->addWidget(empty);
    stack_->addWidget(noMatches_);

    stats_ = new QLabel(this);
    stats_->setObjectName(QStringLiteral("libraryStats"));
    stats_->setForegroundRole(QPalette::PlaceholderText);
    stats_->setWordWrap(true);
    connect(&library_, &LibraryModel::statsChanged, this, &LibrarySidebar::updateStats);
    connect(&library_, &LibraryModel::selectionChanged, this, [this] {
        if (!updatingSelection_ && !library_.selectedLecture()) view_->selectionModel()->clearSelection();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addLayout(header);
    layout->addWidget(filter_);
    layout->addWidget(hitCount_);
    layout->addWidget(stack_, 1);
    layout->addWidget(stats_);

    confirm_ = [this](const QString& title, const QString& message) {
        QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Cancel, this);
        //% "Delete"
        QPushButton* del = box.addButton(qtTrId("sidebar.confirm.delete"), QMessageBox::DestructiveRole);
        box.setDefaultButton(QMessageBox::Cancel);
        box.exec();
        return box.clickedButton() == del;
    };
    retranslate();
    applyExpansion({}, 0, proxy_->rowCount() - 1);
    updateEmptyState();
}

LibrarySidebar::~LibrarySidebar() = default;

void LibrarySidebar::retranslate() {
    //% "Library"
    heading_->setText(qtTrId("sidebar.title"));
    //% "New Folder"
    newFolderButton_->setToolTip(qtTrId("sidebar.menu.new.folder"));
    //% "Search lectures"
    filter_->setPlaceholderText(qtTrId("sidebar.filter.placeholder"));
    //% "No lectures yet"
    emptyTitle_->setText(qtTrId("sidebar.empty.title"));
    //% "Import a lecture video to get started."
    emptyMessage_->setText(qtTrId("sidebar.empty.message"));
    //% "No lecture matches your search."
    noMatches_->setText(qtTrId("sidebar.filter.no.matches"));
    updateStats();
    updateHitCount();
    // Status badges and dates are painted in the new language.
    view_->viewport()->update();
}

void LibrarySidebar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

bool LibrarySidebar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace)) {
            deleteSelection();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool LibrarySidebar::confirm(const QString& title, const QString& message) { return confirm_ ? confirm_(title, message) : true; }

void LibrarySidebar::updateStats() {
    const LibraryStats& s = library_.stats();
    const QLocale locale;
    //% "Lectures: %1 · Duration: %2\nWords: %3 · Screenshots: %4"
    stats_->setText(qtTrId("sidebar.stats.summary")
                        .arg(locale.toString(s.lectureCount))
                        .arg(s.totalDuration > 0 ? LibraryItemDelegate::durationText(s.totalDuration) : QStringLiteral("0:00"))
                        .arg(locale.toString(s.totalWords))
                        .arg(locale.toString(s.screenshotCount)));
}

bool LibrarySidebar::isSearchingContents() const { return searchDelay_->isActive() || openingIndex_; }

void LibrarySidebar::openSearchIndex() {
    // Opening builds a missing index, which takes a while for a large
    // library: it happens on a worker, and the search runs once it is open.
    openingIndex_ = true;
    struct Opened {
        std::shared_ptr<SearchIndex> index;
        QString error;
    };
    auto* watcher = new QFutureWatcher<Opened>(this);
    connect(watcher, &QFutureWatcher<Opened>::finished, this, [this, watcher] {
        watcher->deleteLater();
        openingIndex_ = false;
        const Opened opened = watcher->result();
        if (!opened.index) {
            indexUnavailable_ = true;
            logLine(QStringLiteral("[Lumenote] Library search unavailable: ") + opened.error);
            return;
        }
        index_ = opened.index;
        index_->follow(store_);
        connect(index_.get(), &SearchIndex::indexChanged, this, [this] {
            if (!filter_->text().trimmed().isEmpty()) searchDelay_->start();
        });
        searchContents();
    });
    watcher->setFuture(QtConcurrent::run([path = store_.path(), main = thread()]() -> Opened {
        try {
            std::shared_ptr<SearchIndex> index = SearchIndex::open(path);
            index->moveToThread(main);  // it lives on, and is used, on the main thread
            return {std::move(index), {}};
        } catch (const Error& e) {
            return {nullptr, e.description()};
        }
    }));
}

void LibrarySidebar::searchContents() {
    const QString text = filter_->text().trimmed();
    if (text.isEmpty() || indexUnavailable_) return;
    if (!index_) {
        if (!openingIndex_) openSearchIndex();
        return;
    }
    // The word being typed counts as a prefix.
    const QString query = text.back().isLetterOrNumber() ? text + QLatin1Char('*') : text;
    hits_ = index_->hitCounts(query);
    static_cast<TitleFilter*>(proxy_)->setHits(hits_);
    view_->expandAll();
    updateHitCount();
    updateEmptyState();
}

void LibrarySidebar::updateHitCount() {
    if (filter_->text().trimmed().isEmpty() || hits_.isEmpty()) {
        hitCount_->hide();
        return;
    }
    int matches = 0;
    for (int n : std::as_const(hits_)) matches += n;
    const QLocale locale;
    //% "Matches: %1 · Lectures: %2"
    hitCount_->setText(qtTrId("sidebar.filter.hits").arg(locale.toString(matches), locale.toString(hits_.size())));
    hitCount_->show();
}

void LibrarySidebar::updateEmptyState() {
    if (tree_->rowCount() == 0)
        stack_->setCurrentIndex(1);
    else if (proxy_->rowCount() == 0)
        stack_->setCurrentIndex(2);
    else
        stack_->setCurrentWidget(view_);
}

void LibrarySidebar::applyExpansion(const QModelIndex& proxyParent, int first, int last) {
    if (proxyParent.isValid()) return;
    for (int r = first; r <= last; ++r) {
        const QModelIndex i = proxy_->index(r, 0);
        if (const auto f = tree_->folderAt(proxy_->mapToSource(i)); f && library_.expandedFolderIDs().contains(f->id())) view_->expand(i);
    }
}

QList<LecturePtr> LibrarySidebar::selectedLectures() const {
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return view_->visualRect(a).top() < view_->visualRect(b).top();
    });
    QList<LecturePtr> out;
    for (const QModelIndex& i : rows)
        if (const LecturePtr l = tree_->lectureAt(proxy_->mapToSource(i))) out << l;
    return out;
}

void LibrarySidebar::updateSelectionFromView() {
    const QModelIndex current = proxy_->mapToSource(view_->currentIndex());
    LecturePtr lecture = view_->selectionModel()->isSelected(view_->currentIndex()) ? tree_->lectureAt(current) : nullptr;
    const QList<LecturePtr> selected = selectedLectures();
    if (!lecture && selected.size() == 1) lecture = selected.front();
    updatingSelection_ = true;
    library_.setSelectedLecture(lecture);
    updatingSelection_ = false;
}

void LibrarySidebar::selectLecture(const LecturePtr& lecture) {
    if (!lecture) {
        view_->selectionModel()->clearSelection();
        return;
    }
    // A lecture imported a moment ago may not be in the fetched lists yet.
    library_.refreshLists();
    tree_->sync();
    const QModelIndex source = tree_->indexOfLecture(lecture->id());
    if (!source.isValid()) {
        library_.setSelectedLecture(lecture);
        return;
    }
    if (!proxy_->mapFromSource(source).isValid()) filter_->clear();
    const QModelIndex i = proxy_->mapFromSource(source);
    if (i.parent().isValid()) view_->expand(i.parent());
    view_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(i);
}

void LibrarySidebar::focusFilter() {
    filter_->setFocus(Qt::ShortcutFocusReason);
    filter_->selectAll();
}

void LibrarySidebar::showContextMenu(const QPoint& pos) {
    const QModelIndex at = view_->indexAt(pos);
    QMenu menu(this);
    if (at.isValid() && !view_->selectionModel()->isSelected(at))
        view_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (const LectureFolderPtr folder = at.isValid() ? tree_->folderAt(proxy_->mapToSource(at)) : nullptr) {
        addFolderActions(menu, folder);
    } else if (at.isValid()) {
        addLectureActions(menu, selectedLectures());
    } else {
        addLibraryActions(menu);
    }
    if (!menu.isEmpty()) menu.exec(view_->viewport()->mapToGlobal(pos));
}

void LibrarySidebar::addLectureActions(QMenu& menu, const QList<LecturePtr>& lectures) {
    if (lectures.isEmpty()) return;
    //% "Move to Folder"
    QMenu* move = menu.addMenu(qtTrId("sidebar.lecture.move.to.folder"));
    for (const LectureFolderPtr& f : library_.folders()) {
        QAction* a = move->addAction(style()->standardIcon(QStyle::SP_DirIcon), f->name());
        connect(a, &QAction::triggered, this, [this, lectures, f] { moveLectures(lectures, f); });
    }
    if (move->isEmpty()) {
        //% "No folders yet"
        move->addAction(qtTrId("sidebar.lecture.move.no.folders"))->setEnabled(false);
    }
    const bool anyFiled = std::any_of(lectures.begin(), lectures.end(), [this](const LecturePtr& l) { return library_.folderOf(*l) != nullptr; });
    if (anyFiled) {
        //% "Remove from Folder"
        connect(menu.addAction(qtTrId("sidebar.lecture.remove.from.folder")), &QAction::triggered, this,
                [this, lectures] { moveLectures(lectures, nullptr); });
    }
    menu.addSeparator();
    //% "Delete Lecture…"
    QString deleteText = qtTrId("sidebar.lecture.delete");
    if (lectures.size() > 1) {
        //% "Delete %1 Lectures…"
        deleteText = qtTrId("sidebar.lecture.delete.selected").arg(lectures.size());
    }
    connect(menu.addAction(deleteText), &QAction::triggered, this, [this, lectures] { deleteLectures(lectures); });
}

void LibrarySidebar::addFolderActions(QMenu& menu, const LectureFolderPtr& folder) {
    //% "Rename Folder"
    connect(menu.addAction(qtTrId("sidebar.folder.rename")), &QAction::triggered, this, [this, folder] {
        const QModelIndex i = proxy_->mapFromSource(tree_->indexOfFolder(folder->id()));
        if (i.isValid()) view_->edit(i);
    });
    menu.addSeparator();
    //% "Delete Folder…"
    connect(menu.addAction(qtTrId("sidebar.folder.delete")), &QAction::triggered, this, [this, folder] { deleteFolder(folder, false); });
    //% "Delete Folder and Its Lectures…"
    connect(menu.addAction(qtTrId("sidebar.folder.delete.contents")), &QAction::triggered, this,
            [this, folder] { deleteFolder(folder, true); });
}

void LibrarySidebar::addLibraryActions(QMenu& menu) {
    connect(menu.addAction(qtTrId("sidebar.menu.new.folder")), &QAction::triggered, this, &LibrarySidebar::newFolder);
    menu.addSeparator();
    //% "Delete Unprocessed Lectures…"
    QAction* unprocessed = menu.addAction(qtTrId("sidebar.menu.delete.unprocessed"));
    connect(unprocessed, &QAction::triggered, this, &LibrarySidebar::deleteUnprocessedLectures);
    //% "Delete All Lectures…"
    QAction* all = menu.addAction(qtTrId("sidebar.menu.delete.all"));
    connect(all, &QAction::triggered, this, &LibrarySidebar::deleteAllLectures);
    all->setEnabled(!library_.lectures().empty());
    unprocessed->setEnabled(std::any_of(library_.lectures().begin(), library_.lectures().end(),
                                        [](const LecturePtr& l) { return l->status() != LectureStatus::Complete; }));
}

void LibrarySidebar::newFolder() {
    //% "New Folder"
    const LectureFolderPtr folder = library_.createFolder(qtTrId("sidebar.folder.new.name"));
    if (!folder) return;
    tree_->sync();
    filter_->clear();
    const QModelIndex i = proxy_->mapFromSource(tree_->indexOfFolder(folder->id()));
    if (!i.isValid()) return;
    view_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(i);
    view_->edit(i);
}

void LibrarySidebar::moveLectures(const QList<LecturePtr>& lectures, const LectureFolderPtr& folder) {
    auto* command = new MoveLecturesCommand(library_, store_, lectures, folder);
    if (!command->changesAnything()) {
        delete command;
        return;
    }
    undo_->push(command);
    tree_->sync();
    if (folder) {
        library_.expandedFolderIDs().insert(folder->id());
        view_->expand(proxy_->mapFromSource(tree_->indexOfFolder(folder->id())));
    }
}

void LibrarySidebar::deleteLectures(const QList<LecturePtr>& lectures) {
    if (lectures.isEmpty()) return;
    bool ok;
    if (lectures.size() == 1) {
        //% "Delete “%1”?"
        ok = confirm(qtTrId("sidebar.confirm.delete.lecture.title").arg(lectures.front()->title()),
                     //% "The lecture, its transcript, its screenshots and its exported study page are removed. This cannot be undone."
                     qtTrId("sidebar.confirm.delete.lecture.message"));
    } else {
        //% "Delete %1 lectures?"
        ok = confirm(qtTrId("sidebar.confirm.delete.selected.title").arg(lectures.size()),
                     //% "The selected lectures, their transcripts, screenshots and exported study pages are removed. This cannot be undone."
                     qtTrId("sidebar.confirm.delete.selected.message"));
    }
    if (!ok) return;
    for (const LecturePtr& l : lectures) library_.deleteLecture(l);
    tree_->sync();
}

void LibrarySidebar::deleteFolder(const LectureFolderPtr& folder, bool withContents) {
    if (!folder) return;
    bool ok;
    if (withContents) {
        //% "Delete the folder “%1” and its lectures?"
        ok = confirm(qtTrId("sidebar.confirm.delete.folder.contents.title").arg(folder->name()),
                     //% "Every lecture in this folder is removed with its transcript, screenshots and exported study page. This cannot be undone."
                     qtTrId("sidebar.confirm.delete.folder.contents.message"));
    } else {
        //% "Delete the folder “%1”?"
        ok = confirm(qtTrId("sidebar.confirm.delete.folder.title").arg(folder->name()),
                     //% "Its lectures are kept and move to the top of the library."
                     qtTrId("sidebar.confirm.delete.folder.message"));
    }
    if (!ok) return;
    if (withContents)
        library_.deleteFolderAndContents(folder);
    else
        library_.deleteFolder(folder);
    tree_->sync();
}

void LibrarySidebar::deleteSelection() {
    const QList<LecturePtr> lectures = selectedLectures();
    if (!lectures.isEmpty()) {
        deleteLectures(lectures);
        return;
    }
    if (const LectureFolderPtr f = tree_->folderAt(proxy_->mapToSource(view_->currentIndex()))) deleteFolder(f, false);
}

void LibrarySidebar::deleteAllLectures() {
    if (library_.lectures().empty()) return;
    //% "Delete all lectures?"
    if (!confirm(qtTrId("sidebar.confirm.delete.all.title"),
                 //% "All %1 lectures are removed with their transcripts, screenshots and exported study pages. Downloaded videos stay in the cache. This cannot be undone."
                 qtTrId("sidebar.confirm.delete.all.message").arg(library_.lectures().size())))
        return;
    library_.deleteAll();
    tree_->sync();
}

void LibrarySidebar::deleteUnprocessedLectures() {
    const auto count = std::count_if(library_.lectures().begin(), library_.lectures().end(),
                                     [](const LecturePtr& l) { return l->status() != LectureStatus::Complete; });
    if (count == 0) return;
    //% "Delete unprocessed lectures?"
    if (!confirm(qtTrId("sidebar.confirm.delete.unprocessed.title"),
                 //% "%1 lectures that are not complete (pending, failed or with a missing export) are removed. Finished lectures stay."
                 qtTrId("sidebar.confirm.delete.unprocessed.message").arg(count)))
        return;
    library_.deleteUnprocessed();
    tree_->sync();
}

}  // namespace lumenote
