#pragma once

// The library sidebar's model, independent of widgets: the fetched lists, their
// debounced refresh, library totals, the folder and lecture operations, and the
// reconcile pass that brings statuses and folder membership in line with the
// exports found on disk.

#include "core/Lecture.h"

#include <QCoroTask>
#include <QFutureWatcher>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace lumenote {

class LibraryStore;

// One lecture export found under the export root.
struct DiskExportEntry {
    QString lectureDirName;
    std::optional<QString> folderName;
    // The lecture the export was written for; none for exports written
    // before folders were stamped.
    std::optional<QUuid> lectureID;
    bool operator==(const DiskExportEntry&) const = default;
};

// What the library needs of the export folders; the export layer provides it.
class ExportFolderOperations {
public:
    virtual ~ExportFolderOperations() = default;
    // The name of a lecture's export folder ("yyyy-MM-dd" and the cleaned
    // title), which lectures of the same date and title share; only exports
    // without a lecture stamp are matched by it. Works on values, so it may
    // run off the main thread.
    virtual QString lectureDirName(const QDateTime& dateAdded, const QString& title) const = 0;
    QString lectureDirName(const Lecture& lecture) const { return lectureDirName(lecture.dateAdded(), lecture.title()); }
    virtual void deleteExport(const Lecture& lecture, const std::optional<QString>& folderName) = 0;
    virtual void moveExport(const Lecture& lecture, const std::optional<QString>& fromFolder, const std::optional<QString>& toFolder) = 0;
    // Lists the export root; runs off the main thread.
    virtual QList<DiskExportEntry> scanExportRoot() const = 0;
};

struct LibraryStats {
    int lectureCount = 0;
    double totalDuration = 0;
    qint64 totalWords = 0;
    qint64 screenshotCount = 0;
    bool operator==(const LibraryStats&) const = default;
};

class LibraryModel : public QObject {
    Q_OBJECT
public:
    // Debounce delays of the three triggers.
    static constexpr int kLocalChangeDelayMs = 100;
    static constexpr int kRemoteChangeDelayMs = 600;
    static constexpr int kExportChangeDelayMs = 1000;

    LibraryModel(LibraryStore& store, ExportFolderOperations& exports, QObject* parent = nullptr);

    const std::vector<LecturePtr>& lectures() const { return lectures_; }
    const std::vector<LectureFolderPtr>& folders() const { return folders_; }
    const LibraryStats& stats() const { return stats_; }
    LecturePtr selectedLecture() const { return selected_; }
    void setSelectedLecture(const LecturePtr& lecture);
    QSet<QUuid>& expandedFolderIDs() { return expanded_; }
    bool hasReconciled() const { return hasReconciled_; }

    // The sidebar appeared: refresh, totals, and the first reconcile once storage is resolved.
    void shown();
    void refreshLists();
    void scheduleRefresh(int delayMs);
    void scheduleReconcile(int delayMs);
    // Call when the export root changed on disk (the watcher's notification).
    void exportDirectoryChanged() { scheduleReconcile(kExportChangeDelayMs); }

    // Folder and lecture operations. createFolder and renameFolder take the
    // editor's draft; a draft of blanks only changes nothing.
    LectureFolderPtr createFolder(const QString& draft);
    void renameFolder(const LectureFolderPtr& folder, const QString& draft);
    void deleteFolder(const LectureFolderPtr& folder);
    void deleteFolderAndContents(const LectureFolderPtr& folder);
    void moveLecture(const LecturePtr& lecture, const LectureFolderPtr& target);
    void deleteLecture(const LecturePtr& lecture);
    void deleteAll();
    void deleteUnprocessed();

    // Lists the export root off the main thread, then repairs on the main thread.
    QCoro::Task<> reconcileExports();
    // Recomputes the totals off the main thread when the lecture ids changed.
    void computeStats();

    // The library folder a lecture belongs to (none for unfiled or a dangling id).
    LectureFolderPtr folderOf(const Lecture& lecture) const;
    std::optional<QString> folderNameOf(const Lecture& lecture) const;

    // Pure rules, public for tests and the command line.
    static qint64 countWordsSplitAtWhitespace(const QString& text);
    struct StatsInput {
        QUuid id;
        double duration = 0;
        bool complete = false;
    };
    static std::vector<StatsInput> statsInputs(const std::vector<LecturePtr>& lectures);
    // Reads transcripts and screenshot times through its own connection to the store file.
    static LibraryStats statsFor(const std::vector<StatsInput>& lectures, const QString& storePath);

signals:
    void listsChanged();
    void statsChanged();
    void selectionChanged();
    void reconciled();

private:
    void removeLectureFiles(const Lecture& lecture);
    void sortFolders(std::vector<LectureFolderPtr>& folders) const;

    LibraryStore& store_;
    ExportFolderOperations& exports_;
    std::vector<LecturePtr> lectures_;
    std::vector<LectureFolderPtr> folders_;
    LecturePtr selected_;
    QSet<QUuid> expanded_;
    bool hasReconciled_ = false;
    LibraryStats stats_;
    QString statsKey_;
    QString computingKey_;
    QTimer refreshTimer_;
    QTimer reconcileTimer_;
    std::unique_ptr<QFutureWatcher<LibraryStats>> statsWatcher_;
};

}  // namespace lumenote
