#pragma once

// What the desktop application composes once: the shared library store, the
// export folders and the library operations over it, and the wiring only an
// application does (the export-folder watcher feeding the library's
// reconcile, the screenshot capture's ffmpeg from the external-tools manager).

#include <QObject>
#include <QString>

#include <memory>

namespace lumenote {

class ExportFolders;
class LibraryModel;
class LibraryStore;

class DesktopSession : public QObject {
    Q_OBJECT
public:
    // Opens the store at `storePath`; none with *error when it cannot be
    // opened (the file is left as it is).
    static std::unique_ptr<DesktopSession> open(const QString& storePath, QString* error);
    ~DesktopSession() override;

    LibraryStore& store() { return *store_; }
    LibraryModel& library() { return *library_; }

    // Watches the export root (again when it moves: the sync folder resolved,
    // another folder chosen) and reconciles the library after changes there;
    // lets screenshot capture find and install ffmpeg like the downloader.
    void connectServices();
    // Saves pending library changes (at quit).
    void save();

private:
    DesktopSession() = default;
    void watchExportRoot();

    std::unique_ptr<LibraryStore> store_;
    std::unique_ptr<ExportFolders> exportFolders_;
    std::unique_ptr<LibraryModel> library_;
};

}  // namespace lumenote
