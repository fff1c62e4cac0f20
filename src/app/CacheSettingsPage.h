#pragma once

// The downloaded-video cache: every file in the download folder with its
// size, marked when a lecture still uses it; files not in use can be deleted
// one by one or all at once. Files in use are never deleted from here.

#include "app/SettingsPage.h"

#include "media/DownloadCache.h"

#include <QCoroTask>
#include <QFuture>
#include <QSet>
#include <QString>

#include <optional>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeView;

namespace lumenote {

class CachedFileListModel;
class LibraryStore;

class CacheSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit CacheSettingsPage(QWidget* parent = nullptr);

    void setLibraryStore(const LibraryStore* store) { store_ = store; }
    // The folder listed (default: the download folder).
    void setFolder(const QString& folder) { folder_ = folder; }

    void pageShown() override;
    void retranslate() override;

    CachedFileListModel* fileList() const { return files_; }
    QTreeView* fileView() const { return view_; }
    bool isLoading() const { return loading_; }

    // Reads the folder again.
    QCoro::Task<> reload();

signals:
    void listingFinished();

private:
    // The paths the library's lectures use (main thread); none when the
    // library cannot be read.
    std::optional<QSet<QString>> pathsInUse();
    // The folder read on a worker thread, against the paths in use.
    QFuture<QList<CachedFile>> startListing();
    void updateState();
    void deleteCurrent();
    void removeAll();

    const LibraryStore* store_ = nullptr;
    QString folder_;
    bool loading_ = false;
    QString loadError_;
    CachedFileListModel* files_ = nullptr;

    QLabel* heading_ = nullptr;
    QLabel* description_ = nullptr;
    QStackedWidget* body_ = nullptr;
    QLabel* calculating_ = nullptr;
    QWidget* empty_ = nullptr;
    QLabel* emptyTitle_ = nullptr;
    QLabel* emptyDetail_ = nullptr;
    QTreeView* view_ = nullptr;
    QLabel* legend_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* removeAll_ = nullptr;
};

}  // namespace lumenote
