#include "pipeline/ExportFolders.h"

#include "export/ExportManager.h"

namespace lumenote {

QString ExportFolders::lectureDirName(const QDateTime& dateAdded, const QString& title) const {
    return ExportManager::lectureDirName(dateAdded, title);
}

void ExportFolders::deleteExport(const Lecture& lecture, const std::optional<QString>& folderName) {
    exports_.deleteExport(lecture, folderName);
}

void ExportFolders::moveExport(const Lecture& lecture, const std::optional<QString>& fromFolder, const std::optional<QString>& toFolder) {
    exports_.moveExport(lecture, fromFolder, toFolder);
}

QList<DiskExportEntry> ExportFolders::scanExportRoot() const { return exports_.scanExportRoot(); }

}  // namespace lumenote
