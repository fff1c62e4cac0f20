#include "app/DesktopSession.h"

#include "core/AppPaths.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "export/ExportDirectoryWatcher.h"
#include "export/ExportManager.h"
#include "media/URLDownloadService.h"
#include "pipeline/ExportFolders.h"
#include "screenshots/ScreenshotCaptureService.h"

namespace lumenote {

std::unique_ptr<DesktopSession> DesktopSession::open(const QString& storePath, QString* error) {
    auto store = LibraryStore::open(storePath, error);
    if (!store) return nullptr;
    std::unique_ptr<DesktopSession> session(new DesktopSession);
    session->store_ = std::move(store);
    session->exportFolders_ = std::make_unique<ExportFolders>(ExportManager::shared());
    session->library_ = std::make_unique<LibraryModel>(*session->store_, *session->exportFolders_);
    return session;
}

DesktopSession::~DesktopSession() {
    save();
    library_.reset();
}

void DesktopSession::save() {
    if (!store_ || !store_->hasChanges()) return;
    QString why;
    if (!store_->commit(&why)) logLine(QStringLiteral("[Lumenote] The library could not be saved: ") + why);
}

void DesktopSession::connectServices() {
    ExportDirectoryWatcher& watcher = ExportDirectoryWatcher::shared();
    connect(&watcher, &ExportDirectoryWatcher::exportDirectoryDidChange, library_.get(), &LibraryModel::exportDirectoryChanged);
    connect(&AppPaths::instance(), &AppPaths::resolved, this, &DesktopSession::watchExportRoot);
    connect(&Settings::shared(), &Settings::changed, this, [this](const QString& key) {
        if (key == QLatin1String(settings_keys::exportRootBookmark)) watchExportRoot();
    });
    watchExportRoot();

    URLDownloadService& tools = URLDownloadService::shared();
    ScreenshotCaptureService::shared().setFFmpegTools(
        {[&tools] { return tools.ffmpegPath(); }, [&tools] { return tools.installFFmpeg(); }});
}

void DesktopSession::watchExportRoot() { ExportDirectoryWatcher::shared().watch(ExportManager::shared().exportRoot()); }

}  // namespace lumenote
