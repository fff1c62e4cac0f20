#include "app/CacheSettingsPage.h"

#include "app/CachedFileListModel.h"
#include "app/LocalizationManager.h"
#include "core/AppPaths.h"
#include "core/LibraryStore.h"
#include "media/URLDownloadService.h"

#include <QCoroFuture>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace lumenote {

CacheSettingsPage::CacheSettingsPage(QWidget* parent) : SettingsPage(parent), folder_(URLDownloadService::downloadFolder()) {
    setObjectName(QStringLiteral("cachePage"));
    heading_ = createHeading();
    description_ = new QLabel(this);
    description_->setWordWrap(true);

    files_ = new CachedFileListModel(this);
    view_ = new QTreeView(this);
    view_->setObjectName(QStringLiteral("cachedFileList"));
    view_->setModel(files_);
    view_->setRootIsDecorated(false);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->header()->setSectionResizeMode(CachedFileListModel::NameColumn, QHeaderView::Stretch);
    view_->header()->setSectionResizeMode(CachedFileListModel::SizeColumn, QHeaderView::ResizeToContents);
    view_->header()->setSectionResizeMode(CachedFileListModel::LabelColumn, QHeaderView::ResizeToContents);
    view_->header()->setStretchLastSection(false);

    calculating_ = new QLabel(this);
    calculating_->setAlignment(Qt::AlignCenter);
    empty_ = new QWidget(this);
    emptyTitle_ = new QLabel(empty_);
    emptyTitle_->setObjectName(QStringLiteral("cacheEmptyTitle"));
    emptyTitle_->setAlignment(Qt::AlignCenter);
    QFont bold = emptyTitle_->font();
    bold.setBold(true);
    emptyTitle_->setFont(bold);
    emptyDetail_ = new QLabel(empty_);
    emptyDetail_->setAlignment(Qt::AlignCenter);
    emptyDetail_->setWordWrap(true);
    emptyDetail_->setForegroundRole(QPalette::PlaceholderText);
    auto* emptyLayout = new QVBoxLayout(empty_);
    emptyLayout->addStretch(1);
    emptyLayout->addWidget(emptyTitle_);
    emptyLayout->addWidget(emptyDetail_);
    emptyLayout->addStretch(1);
    body_ = new QStackedWidget(this);
    body_->addWidget(calculating_);
    body_->addWidget(empty_);
    body_->addWidget(view_);

    legend_ = new QLabel(this);
    legend_->setWordWrap(true);
    legend_->setForegroundRole(QPalette::PlaceholderText);
    total_ = new QLabel(this);
    total_->setObjectName(QStringLiteral("cacheTotal"));
    delete_ = new QPushButton(this);
    delete_->setObjectName(QStringLiteral("cacheDelete"));
    removeAll_ = new QPushButton(this);
    removeAll_->setObjectName(QStringLiteral("cacheRemoveAll"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(total_, 1);
    buttons->addWidget(delete_);
    buttons->addWidget(removeAll_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(description_);
    layout->addWidget(body_, 1);
    layout->addWidget(legend_);
    layout->addLayout(buttons);

    connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { updateState(); });
    connect(files_, &QAbstractItemModel::rowsRemoved, this, [this] { updateState(); });
    connect(files_, &QAbstractItemModel::rowsInserted, this, [this] { updateState(); });
    connect(delete_, &QPushButton::clicked, this, [this] { deleteCurrent(); });
    connect(removeAll_, &QPushButton::clicked, this, [this] { removeAll(); });
    retranslate();
}

void CacheSettingsPage::pageShown() { reload(); }

std::optional<QSet<QString>> CacheSettingsPage::pathsInUse() {
    if (store_) return DownloadCache::inUsePaths(*store_);
    const QString path = AppPaths::libraryStorePath();
    if (!QFileInfo::exists(path)) return QSet<QString>();
    QString error;
    const std::unique_ptr<LibraryStore> store = LibraryStore::open(path, &error);
    if (!store) {
        loadError_ = error;
        return std::nullopt;
    }
    return DownloadCache::inUsePaths(*store);
}

QFuture<QList<CachedFile>> CacheSettingsPage::startListing() {
    // Without knowing which files the library uses, nothing is offered for deletion.
    const std::optional<QSet<QString>> inUse = pathsInUse();
    if (!inUse) return QtFuture::makeReadyFuture(QList<CachedFile>());
    const QString folder = folder_;
    const QSet<QString> paths = *inUse;
    return QtConcurrent::run([folder, paths] { return DownloadCache::buildListing(DownloadCache::readFolder(folder), paths); });
}

QCoro::Task<> CacheSettingsPage::reload() {
    if (loading_) co_return;
    QPointer<CacheSettingsPage> self(this);
    loading_ = true;
    loadError_.clear();
    updateState();

    const QList<CachedFile> listing = co_await startListing();
    if (!self) co_return;
    files_->setFiles(listing);
    loading_ = false;
    updateState();
    emit listingFinished();
}

void CacheSettingsPage::updateState() {
    body_->setCurrentWidget(loading_ ? static_cast<QWidget*>(calculating_) : files_->rowCount() == 0 ? empty_ : static_cast<QWidget*>(view_));
    const QModelIndex current = view_->selectionModel()->currentIndex();
    delete_->setEnabled(!loading_ && current.isValid() && !current.data(CachedFileListModel::InUseRole).toBool());
    qint64 total = 0;
    int unused = 0;
    for (const CachedFile& f : files_->files()) {
        total += f.size;
        if (!f.isInUse) ++unused;
    }
    removeAll_->setEnabled(!loading_ && unused > 0);
    const QLocale locale(LocalizationManager::code(LocalizationManager::shared().currentLanguage()));
    if (!loadError_.isEmpty()) {
        total_->setText(loadError_);
    } else if (files_->rowCount() > 0) {
        //% "%1 videos, %2 in total"
        total_->setText(qtTrId("settings.cache.total").arg(files_->rowCount()).arg(locale.formattedDataSize(total, 1, QLocale::DataSizeSIFormat)));
    } else {
        total_->clear();
    }
}

void CacheSettingsPage::deleteCurrent() {
    const QModelIndex current = view_->selectionModel()->currentIndex();
    if (!current.isValid()) return;
    const CachedFile file = files_->files().at(current.row());
    if (DownloadCache::deleteFile(file)) {
        QList<CachedFile> rest = files_->files();
        rest.removeAt(current.row());
        files_->keepOnly(rest);
    } else if (!file.isInUse) {
        //% "“%1” could not be deleted."
        QMessageBox::warning(this, windowTitle(), qtTrId("settings.cache.delete.failed").arg(file.fileName()));
    }
}

void CacheSettingsPage::removeAll() {
    int inUse = 0;
    for (const CachedFile& f : files_->files())
        if (f.isInUse) ++inUse;
    //% "Lectures that used these videos will need to be re-downloaded before they can be reprocessed."
    QString text = qtTrId("settings.cache.remove.all.confirm");
    if (inUse == 1)
        //% "%1 file is still used by library items and will not be removed."
        text += QLatin1Char(' ') + qtTrId("settings.cache.remove.all.in.use.one").arg(inUse);
    else if (inUse > 1)
        //% "%1 files are still used by library items and will not be removed."
        text += QLatin1Char(' ') + qtTrId("settings.cache.remove.all.in.use.many").arg(inUse);
    //% "Remove All Unused Videos"
    QMessageBox box(QMessageBox::Warning, qtTrId("settings.cache.remove.all"), text, QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("removeAllConfirmation"));
    QPushButton* confirm = box.addButton(qtTrId("settings.cache.remove.all"), QMessageBox::DestructiveRole);
    //% "Cancel"
    box.addButton(qtTrId("settings.cancel"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() != confirm) return;
    files_->keepOnly(DownloadCache::removeAllUnused(files_->files()));
}

void CacheSettingsPage::retranslate() {
    //% "Downloaded Videos"
    heading_->setText(qtTrId("settings.cache.title"));
    //% "Videos downloaded from web addresses stay here so that lectures can be processed again. Videos that a lecture still uses are protected."
    description_->setText(qtTrId("settings.cache.description"));
    //% "Calculating sizes…"
    calculating_->setText(qtTrId("settings.cache.calculating"));
    //% "No downloaded videos"
    emptyTitle_->setText(qtTrId("settings.cache.empty.title"));
    //% "Videos you import from a web address appear here."
    emptyDetail_->setText(qtTrId("settings.cache.empty.detail"));
    //% "Videos marked “In use” belong to lectures in your library and cannot be deleted here."
    legend_->setText(qtTrId("settings.cache.protected.legend"));
    //% "Delete"
    delete_->setText(qtTrId("settings.cache.delete"));
    removeAll_->setText(qtTrId("settings.cache.remove.all"));
    files_->retranslate(QLocale(LocalizationManager::code(LocalizationManager::shared().currentLanguage())));
    updateState();
}

}  // namespace lumenote
