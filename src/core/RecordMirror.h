#pragma once

// The record mirror: every Lecture and LectureFolder of a store as one JSON
// document in a folder that the user's sync client (Syncthing, Nextcloud,
// Dropbox and the like) keeps in step between machines, and the merge of the
// documents the other machines write there.
//
// - "<ID>.json" holds a record's fields, a hybrid-logical-clock stamp and the
//   id of the machine that wrote it; a deleted record leaves a tombstone
//   document, collected after 30 days. The three large blobs are files of
//   their own, named by their content ("<ID>.<field>.<hash>.bin"); a blob
//   file stays as long as a tombstone after its record has moved on.
// - Files are written under a temporary name the sync clients ignore and then
//   renamed into place, inside the store's commit.
// - Each field carries the stamp of the commit that last changed it (told
//   by comparing with the value last mirrored), and the merge takes each
//   field from the side whose stamp for it is newer (ties go to the greater
//   machine id), so edits of different fields made apart all survive; a
//   document without field stamps has every field stamped with its own. A
//   tombstone wins over a record whose every edit is older than it.
//   Annotation lists merge by annotation id, and a deleted annotation's id is
//   remembered so that it stays deleted. A document that does not parse yet
//   (still arriving) is left alone and read again on the next change. The
//   conflict copies the sync clients leave are merged like any other version
//   and removed.
// - After merging, the store raises changedRemotely.
//
// The bookkeeping (each record's and field's stamp, the files seen, the annotation ids)
// lives in the store's own SQLite file, which never lives in the sync folder.

#include "core/HybridClock.h"
#include "core/Lecture.h"
#include "core/RecordFields.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <span>
#include <vector>

struct sqlite3;
class QFileSystemWatcher;
class QTimer;

namespace lumenote {

class LibraryStore;
namespace sql {
class Statement;
}

class RecordMirror : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kTombstoneLifetimeMs = 30LL * 24 * 60 * 60 * 1000;
    // Changes in the folder are read this long after the last one of a burst.
    static constexpr int kDebounceMs = 150;
    // Documents that could not be read or written are tried again this often.
    static constexpr int kRetryMs = 10000;

    struct Status {
        QString folder;
        QString machineID;
        std::optional<QDateTime> lastExport;
        int lastExportCount = 0;  // documents written by the last export
        std::optional<QDateTime> lastImport;
        int lastImportCount = 0;    // records changed by the last import
        int pendingDocuments = 0;   // local changes not yet written plus documents not yet readable
        int conflictsResolved = 0;  // conflict copies merged and removed, in total
    };

    ~RecordMirror() override;

    QString folder() const { return folder_; }
    QString machineID() const { return clock_.machine(); }
    Status status() const;

    // Writes what is pending and merges what other machines wrote, now
    // instead of at the next change; returns whether the store changed.
    bool syncNow();

    // Tests and benchmarks replace the wall clock (an hour of skew, thirty days later).
    void setWallClock(HybridClock::WallClock wall);
    // Removes tombstones older than kTombstoneLifetimeMs and the blob files
    // no longer used (also done on each sync).
    void collectTombstones();

private:
    friend class LibraryStore;
    enum class Kind { Lecture, Folder };
    // A field's stamp (of the commit that last changed it) and a digest of
    // the value it was given then, to tell which fields a commit changed.
    struct FieldMark {
        Stamp stamp;
        QByteArray digest;
    };
    struct State {
        Kind kind = Kind::Lecture;
        Stamp stamp;
        bool deleted = false;
        bool exported = false;
        qint64 fileTime = 0;  // the document file as last written or read (ns since 1970, size)
        qint64 fileSize = -1;
        QHash<QString, QString> blobs;  // large-blob field -> file name
        QSet<QString> annotationIDs;
        QSet<QString> deletedAnnotationIDs;
        QHash<QString, FieldMark> marks;  // field name -> mark; a field without one carries `stamp`
        Stamp fieldStamp(const QString& field) const;
    };
    struct Document;
    struct Outcome;
    struct Import {
        Stamp stamp;
        bool reexport = false;
    };

    RecordMirror(LibraryStore& store, sqlite3* db, QString folder);
    static std::unique_ptr<RecordMirror> create(LibraryStore& store, sqlite3* db, const QString& folder, QString* error);
    // The first sync after attaching: merges the folder (a new machine
    // rebuilds its library from it), then writes every record not mirrored yet.
    void start();

    // Part of the store's commit transaction: stamps the committed changes,
    // writes their documents and records the bookkeeping. `everything`
    // treats every field as changed (the first export of a record).
    bool stage(const std::vector<Lecture*>& lectures, const std::vector<LectureFolder*>& folders, const QList<QUuid>& removedLectures,
               const QList<QUuid>& removedFolders, QString* error, bool everything = false);
    void reloadState();

    bool importNow();
    bool exportUnmirrored();
    void scheduleImport();

    std::optional<Document> readDocument(const QString& fileName, const QUuid& id, bool conflictCopy, bool* incomplete) const;
    // Whether the document is newer than this machine's version of its record.
    bool isNewer(const Document& d);
    void mergeLecture(const Document& d, Outcome& out);
    void mergeFolder(const Document& d, Outcome& out);
    // Applies the document's fields (those in `only`, when given).
    bool applyLectureFields(const Document& d, Lecture& l, State& st, const QSet<QString>* only = nullptr);
    // The fields whose stamp in the document is newer than here; `localNewer`
    // is set when a field here is newer than the document's.
    template <class R>
    static QSet<QString> newerFields(const Document& d, const State& st, std::span<const RecordField<R>> list, bool* localNewer);
    // Gives the fields whose value differs from the last mirrored one the
    // record's new stamp. `prior` is the record's stamp before this commit;
    // `legacyChanged` tells the changed fields of a field without a digest.
    template <class R>
    static void markChangedFields(State& st, const R& record, std::span<const RecordField<R>> list, const Stamp& prior, uint32_t unloaded,
                                  uint32_t legacyChanged);

    bool writeDocument(const QUuid& id, State& st, const Lecture* lecture, const LectureFolder* folder);
    std::optional<QString> writeBlob(const QUuid& id, const char* field, const QByteArray& data);
    bool saveState(const QUuid& id, const State& st);
    void saveStatus();
    QString documentPath(const QUuid& id) const;

    LibraryStore& store_;
    sqlite3* db_;
    std::unique_ptr<sql::Statement> saveStatement_;
    QHash<QUuid, LecturePtr> lectureIndex_;  // during an import
    QString folder_;
    HybridClock clock_;
    QHash<QUuid, State> states_;
    // During an import commit: the records taken from documents.
    QHash<QUuid, Import> importing_;
    QList<QUuid> stateOnly_;       // bookkeeping changed, the record did not
    QSet<QUuid> rewriteTombstone_;  // a local deletion newer than the document in the folder
    int unreadable_ = 0;
    Status status_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* debounce_ = nullptr;
    QTimer* retry_ = nullptr;
};

}  // namespace lumenote
