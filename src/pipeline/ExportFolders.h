#pragma once

// The library's view of the export folders, backed by ExportManager.

#include "core/LibraryModel.h"

namespace lumenote {

class ExportManager;

class ExportFolders : public ExportFolderOperations {
public:
    explicit ExportFolders(ExportManager& exports) : exports_(exports) {}
    using ExportFolderOperations::lectureDirName;
    QString lectureDirName(const QDateTime& dateAdded, const QString& title) const override;
    void deleteExport(const Lecture& lecture, const std::optional<QString>& folderName) override;
    void moveExport(const Lecture& lecture, const std::optional<QString>& fromFolder, const std::optional<QString>& toFolder) override;
    QList<DiskExportEntry> scanExportRoot() const override;

private:
    ExportManager& exports_;
};

}  // namespace lumenote
