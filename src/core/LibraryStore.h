#pragma once

// The library: lectures and folders in one SQLite file (WAL journal). Records
// are loaded once when the store opens (without the three large blobs) and
// saved automatically: a write marks a record dirty, and all dirty records are
// committed in one transaction on the next turn of the event loop and at quit.
// Used on the main thread.

#include "core/Lecture.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace lumenote {

class RecordMirror;

class LibraryStore : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kSchemaVersion = "1.0.0";

    // Opens the store at `path`, creating the file and its folder when absent.
    // A file that cannot be opened (not a database, unreadable, written by a
    // newer version) is left untouched and none is returned with *error naming
    // the file and the reason.
    static std::unique_ptr<LibraryStore> open(const QString& path, QString* error);
    ~LibraryStore() override;

    QString path() const { return path_; }

    // Lectures in the order they were added to the store; folders by sortOrder.
    const std::vector<LecturePtr>& lectures() const { return lectures_; }
    const std::vector<LectureFolderPtr>& folders() const { return folders_; }
    LecturePtr lecture(const QUuid& id) const;
    LectureFolderPtr folder(const QUuid& id) const;

    void insert(const LecturePtr& lecture);
    void remove(const LecturePtr& lecture);
    void insert(const LectureFolderPtr& folder);
    void remove(const LectureFolderPtr& folder);

    bool hasChanges() const { return !dirtyLectures_.isEmpty() || !dirtyFolders_.isEmpty() || !removedLectures_.isEmpty() || !removedFolders_.isEmpty(); }
    // Commits every pending change now (autosave does this on its own; the
    // application calls it once more at quit). On failure the changes stay
    // pending for the next attempt.
    bool commit(QString* error = nullptr);

    // Mirrors every record as a document in `recordsFolder`, a folder that a
    // sync client keeps in step between machines, and merges the documents
    // other machines write there (see RecordMirror). A store opened while the
    // sync folder is set follows it on its own once the folder is resolved.
    // Fails (nothing attached) when the folder cannot be created or holds the
    // database itself.
    bool attachMirror(const QString& recordsFolder, QString* error = nullptr);
    RecordMirror* mirror() const { return mirror_.get(); }

    // Polls the file for commits made by other processes (the command-line tool
    // and the application may share a library) and merges them; off by default.
    void setWatchForExternalChanges(bool enabled, int intervalMs = 1000);
    // Merges changes made by other processes now; returns whether there were any.
    bool refreshFromDisk();

signals:
    // After this process committed its own changes.
    void changedInThisProcess();
    // After changes made elsewhere were merged into the records.
    void changedRemotely();

private:
    friend class Lecture;
    friend class LectureFolder;
    friend class RecordMirror;
    explicit LibraryStore(const QString& path, sqlite3* db);

    void scheduleCommit(Lecture* lecture);
    void scheduleCommit(LectureFolder* folder);
    void armAutosave();
    std::optional<QByteArray> loadBlob(const QUuid& id, uint32_t field) const;
    void loadRowBlobs(const Lecture& lecture) const;
    bool loadAll(QString* error);
    // One transaction with every pending change (and the mirror's share).
    bool writeChanges(QString* error);
    void followSyncFolder();
    qint64 dataVersion() const;

    QString path_;
    sqlite3* db_;
    std::vector<LecturePtr> lectures_;
    std::vector<LectureFolderPtr> folders_;
    QSet<Lecture*> dirtyLectures_;
    QSet<LectureFolder*> dirtyFolders_;
    QList<QUuid> removedLectures_;
    QList<QUuid> removedFolders_;
    bool autosaveArmed_ = false;
    QTimer* watchTimer_ = nullptr;
    qint64 lastDataVersion_ = 0;
    std::unique_ptr<RecordMirror> mirror_;
};

// A read-only connection to a library file for worker threads (the store itself
// is used on the main thread only). Sees what has been committed.
class LibraryReader {
public:
    explicit LibraryReader(const QString& path);
    ~LibraryReader();
    LibraryReader(const LibraryReader&) = delete;
    LibraryReader& operator=(const LibraryReader&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    std::optional<QByteArray> transcriptData(const QUuid& lectureID) const;
    std::optional<QByteArray> screenshotTimestamps(const QUuid& lectureID) const;
    std::optional<QByteArray> keyframeData(const QUuid& lectureID) const;

private:
    std::optional<QByteArray> largeBlob(const QUuid& lectureID, uint32_t field) const;
    sqlite3* db_ = nullptr;
};

}  // namespace lumenote
