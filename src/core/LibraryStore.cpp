#include "core/LibraryStore.h"

#include "core/AppPaths.h"
#include "core/LectureFiles.h"
#include "core/Log.h"
#include "core/RecordFields.h"
#include "core/RecordMirror.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QTimeZone>

#include <sqlite3.h>

#include <algorithm>

namespace lumenote {
namespace {

using sql::Statement;
using sql::exec;
using sql::sqliteError;

// Committed large blobs above this size are dropped from memory.
constexpr qsizetype kKeepInMemoryBytes = 64 * 1024;

QString blobName(uint32_t field) { return QString::fromLatin1(RecordFields::lectureField(field).name); }

// Creates a missing table, or adds the columns an older file lacks.
template <class R>
bool ensureTable(sqlite3* db, const char* table, std::span<const RecordField<R>> columns, QString* error) {
    QSet<QByteArray> present;
    {
        Statement info(db, QByteArray("PRAGMA table_info(") + table + ")");
        if (!info.ok()) {
            if (error) *error = sqliteError(db);
            return false;
        }
        while (info.step() == SQLITE_ROW) present.insert(info.text(1).toUtf8());
    }
    if (present.isEmpty()) {
        QByteArray sql = QByteArray("CREATE TABLE ") + table + " (";
        bool first = true;
        for (const auto& c : columns) {
            if (c.storage == FieldStorage::LargeBlob) continue;
            sql += QByteArray(first ? "" : ", ") + c.name + " " + c.sqlDeclaration;
            first = false;
        }
        sql += ")";
        return exec(db, sql.constData(), error);
    }
    for (const auto& c : columns) {
        // A primary key cannot be added later; every other column can.
        if (c.storage == FieldStorage::LargeBlob || present.contains(c.name)) continue;
        const QByteArray sql = QByteArray("ALTER TABLE ") + table + " ADD COLUMN " + c.name + " " + c.sqlDeclaration;
        if (!exec(db, sql.constData(), error)) return false;
    }
    return true;
}

template <class R>
bool sortedBySortOrder(const R& a, const R& b) {
    return a->sortOrder() < b->sortOrder();
}

}  // namespace

std::unique_ptr<LibraryStore> LibraryStore::open(const QString& path, QString* error) {
    auto failWith = [&](const QString& reason) -> std::unique_ptr<LibraryStore> {
        if (error) *error = QStringLiteral("Cannot open the library database \"%1\": %2").arg(path, withFullDiskNamed(reason, path));
        return nullptr;
    };
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) return failWith(QStringLiteral("the path is not a regular file"));
    if (!QDir().mkpath(info.absolutePath())) return failWith(QStringLiteral("its folder cannot be created"));

    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = db ? sqliteError(db) : QStringLiteral("out of memory");
        sqlite3_close(db);
        return failWith(reason);
    }
    auto closeAndFail = [&](const QString& reason) {
        sqlite3_close(db);
        return failWith(reason);
    };
    sqlite3_busy_timeout(db, 5000);

    // Read before writing anything, so that a foreign or damaged file is never altered.
    QString why;
    if (!exec(db, "SELECT count(*) FROM sqlite_master", &why)) return closeAndFail(why);
    {
        Statement meta(db, "SELECT value FROM meta WHERE key = 'schemaVersion'");
        if (meta.ok() && meta.step() == SQLITE_ROW) {
            const QString version = meta.text(0);
            if (version.section(QLatin1Char('.'), 0, 0) != QString::fromLatin1(kSchemaVersion).section(QLatin1Char('.'), 0, 0))
                return closeAndFail(QStringLiteral("it was written with schema version %1, which this version of Lumenote cannot read").arg(version));
        } else {
            Statement any(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
            if (any.ok() && any.step() == SQLITE_ROW && any.integer(0) > 0 && !meta.ok())
                return closeAndFail(QStringLiteral("it is an SQLite database but not a Lumenote library"));
        }
    }

    if (!exec(db, "PRAGMA journal_mode=WAL", &why)) return closeAndFail(why);
    // With WAL a commit survives a crash of the process at any moment;
    // NORMAL only gives up durability across a power cut.
    exec(db, "PRAGMA synchronous=NORMAL", nullptr);
    exec(db, "PRAGMA foreign_keys=OFF", nullptr);

    if (!exec(db, "BEGIN IMMEDIATE", &why)) return closeAndFail(why);
    const bool schemaOk =
        exec(db, "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL)", &why) &&
        exec(db, "INSERT OR IGNORE INTO meta (key, value) VALUES ('schemaVersion', '1.0.0')", &why) &&
        ensureTable(db, "lectures", RecordFields::lecture(), &why) &&
        ensureTable(db, "folders", RecordFields::folder(), &why) &&
        exec(db,
             "CREATE TABLE IF NOT EXISTS lecture_blobs (lecture_id TEXT NOT NULL, field TEXT NOT NULL, "
             "size INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE (lecture_id, field))",
             &why);
    if (!schemaOk) {
        exec(db, "ROLLBACK", nullptr);
        return closeAndFail(why);
    }
    if (!exec(db, "COMMIT", &why)) return closeAndFail(why);

    std::unique_ptr<LibraryStore> store(new LibraryStore(path, db));
    if (!store->loadAll(&why)) {
        store.reset();
        return failWith(why);
    }
    store->followSyncFolder();
    return store;
}

LibraryStore::LibraryStore(const QString& path, sqlite3* db) : path_(path), db_(db) {
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { commit(); });
    lastDataVersion_ = dataVersion();
}

LibraryStore::~LibraryStore() {
    if (hasChanges()) commit();
    mirror_.reset();
    for (const auto& l : lectures_) l->store_ = nullptr;
    for (const auto& f : folders_) f->store_ = nullptr;
    sqlite3_close(db_);
}

qint64 LibraryStore::dataVersion() const {
    Statement s(db_, "PRAGMA data_version");
    return s.ok() && s.step() == SQLITE_ROW ? s.integer(0) : 0;
}

bool LibraryStore::loadAll(QString* error) {
    lectures_.clear();
    folders_.clear();
    QHash<QByteArray, QString> pool;
    {
        // Keyframe sizes are known without reading the images (a row's thumbnail key).
        QHash<QString, qint64> keyframeSizes;
        {
            Statement k(db_, "SELECT lecture_id, size FROM lecture_blobs WHERE field = 'keyframeData'");
            while (k.ok() && k.step() == SQLITE_ROW) keyframeSizes.insert(k.text(0), k.integer(1));
        }
        // Fields only: the row's small blobs are read on first use.
        const auto list = RecordFields::lecture();
        Statement s(db_, "SELECT " + fields::columnList(list, {FieldStorage::Key, FieldStorage::Column}) + " FROM lectures ORDER BY rowid");
        if (!s.ok()) {
            if (error) *error = sqliteError(db_);
            return false;
        }
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            const QString idText = s.text(0);
            const auto id = parseUuid(idText);
            if (!id) continue;  // a row another program wrote badly; leave it alone
            LecturePtr l(new Lecture(*id));
            int column = 0;
            for (const auto& f : list) {
                if (f.storage == FieldStorage::Key || f.storage == FieldStorage::Column) fields::read(s, column++, *l, f, pool);
            }
            l->id_ = *id;
            l->storedKeyframeSize_ = keyframeSizes.value(idText, 0);
            l->unloadedBlobs_ = Lecture::kLargeBlobFields | Lecture::kRowBlobFields;
            l->store_ = this;
            lectures_.push_back(std::move(l));
        }
        if (rc != SQLITE_DONE) {
            if (error) *error = sqliteError(db_);
            return false;
        }
    }
    {
        const auto list = RecordFields::folder();
        Statement s(db_, "SELECT " + fields::columnList(list, {FieldStorage::Key, FieldStorage::Column}) + " FROM folders ORDER BY rowid");
        if (!s.ok()) {
            if (error) *error = sqliteError(db_);
            return false;
        }
        while (s.step() == SQLITE_ROW) {
            const auto id = parseUuid(s.text(0));
            if (!id) continue;
            LectureFolderPtr f(new LectureFolder(*id));
            for (size_t i = 0; i < list.size(); ++i) fields::read(s, int(i), *f, list[i], pool);
            f->store_ = this;
            folders_.push_back(std::move(f));
        }
        std::stable_sort(folders_.begin(), folders_.end(), sortedBySortOrder<LectureFolderPtr>);
    }
    return true;
}

LecturePtr LibraryStore::lecture(const QUuid& id) const {
    for (const auto& l : lectures_)
        if (l->id_ == id) return l;
    return nullptr;
}

LectureFolderPtr LibraryStore::folder(const QUuid& id) const {
    for (const auto& f : folders_)
        if (f->id_ == id) return f;
    return nullptr;
}

void LibraryStore::insert(const LecturePtr& lecture) {
    if (!lecture || lecture->store_ == this) return;
    lecture->store_ = this;
    lecture->deleted_ = false;
    lectures_.push_back(lecture);
    removedLectures_.removeAll(lecture->id_);
    // Everything a new record holds must reach the file.
    lecture->dirty_ = ~0u;
    scheduleCommit(lecture.get());
}

void LibraryStore::remove(const LecturePtr& lecture) {
    if (!lecture || lecture->store_ != this) return;
    // Blobs not read yet would be lost to a holder of the record; load them first.
    lecture->ensureBlobLoaded(Lecture::TranscriptDataField);
    lecture->ensureBlobLoaded(Lecture::KeyframeDataField);
    lecture->ensureBlobLoaded(Lecture::ConsolidatedDataField);
    lecture->ensureBlobLoaded(Lecture::kRowBlobFields);
    lecture->deleted_ = true;
    lecture->store_ = nullptr;
    dirtyLectures_.remove(lecture.get());
    lectures_.erase(std::remove(lectures_.begin(), lectures_.end(), lecture), lectures_.end());
    removedLectures_.append(lecture->id_);
    armAutosave();
}

void LibraryStore::insert(const LectureFolderPtr& folder) {
    if (!folder || folder->store_ == this) return;
    folder->store_ = this;
    folder->deleted_ = false;
    folders_.push_back(folder);
    std::stable_sort(folders_.begin(), folders_.end(), sortedBySortOrder<LectureFolderPtr>);
    removedFolders_.removeAll(folder->id_);
    scheduleCommit(folder.get());
}

void LibraryStore::remove(const LectureFolderPtr& folder) {
    if (!folder || folder->store_ != this) return;
    folder->deleted_ = true;
    folder->store_ = nullptr;
    dirtyFolders_.remove(folder.get());
    folders_.erase(std::remove(folders_.begin(), folders_.end(), folder), folders_.end());
    removedFolders_.append(folder->id_);
    armAutosave();
}

void LibraryStore::scheduleCommit(Lecture* lecture) {
    dirtyLectures_.insert(lecture);
    armAutosave();
}

void LibraryStore::scheduleCommit(LectureFolder* folder) {
    folder->dirty_ = true;
    dirtyFolders_.insert(folder);
    // Listing order follows sortOrder at once.
    std::stable_sort(folders_.begin(), folders_.end(), sortedBySortOrder<LectureFolderPtr>);
    armAutosave();
}

void LibraryStore::armAutosave() {
    if (autosaveArmed_) return;
    autosaveArmed_ = true;
    QMetaObject::invokeMethod(this, [this] {
        autosaveArmed_ = false;
        if (hasChanges()) commit();
    }, Qt::QueuedConnection);
}

std::optional<QByteArray> LibraryStore::loadBlob(const QUuid& id, uint32_t field) const {
    Statement s(db_, "SELECT data FROM lecture_blobs WHERE lecture_id = ? AND field = ?");
    if (!s.ok()) return std::nullopt;
    s.bindText(1, uuidText(id));
    s.bindText(2, blobName(field));
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.optBlob(0);
}

void LibraryStore::loadRowBlobs(const Lecture& l) const {
    const auto list = RecordFields::lecture();
    Statement s(db_, "SELECT " + fields::columnList(list, {FieldStorage::RowBlob}) + " FROM lectures WHERE id = ?");
    if (!s.ok()) return;
    s.bindText(1, uuidText(l.id_));
    if (s.step() != SQLITE_ROW) return;
    QHash<QByteArray, QString> pool;
    int column = 0;
    for (const auto& f : list)
        if (f.storage == FieldStorage::RowBlob) fields::read(s, column++, const_cast<Lecture&>(l), f, pool);
}

bool LibraryStore::commit(QString* error) {
    if (!hasChanges()) return true;
    if (!writeChanges(error)) return false;
    emit changedInThisProcess();
    return true;
}

bool LibraryStore::writeChanges(QString* error) {
    QString why;
    auto failed = [&] {
        exec(db_, "ROLLBACK", nullptr);
        logLine(QStringLiteral("[Lumenote] Saving the library to %1 failed: %2").arg(path_, why));
        if (error) *error = why;
        return false;
    };
    if (!exec(db_, "BEGIN IMMEDIATE", &why)) return failed();

    const auto list = RecordFields::lecture();
    const QByteArray rowColumns = fields::columnList(list, {FieldStorage::Key, FieldStorage::Column, FieldStorage::RowBlob});
    QByteArray upsert = "INSERT INTO lectures (" + rowColumns + ") VALUES (";
    QByteArray updates;
    int rowFieldCount = 0;
    for (const auto& f : list) {
        if (f.storage == FieldStorage::LargeBlob) continue;
        upsert += rowFieldCount++ ? ", ?" : "?";
        if (f.storage != FieldStorage::Key) updates += QByteArray(updates.isEmpty() ? "" : ", ") + f.name + " = excluded." + f.name;
    }
    upsert += ") ON CONFLICT(id) DO UPDATE SET " + updates;
    Statement put(db_, upsert);
    Statement putBlob(db_, "INSERT OR REPLACE INTO lecture_blobs (lecture_id, field, size, data) VALUES (?, ?, ?, ?)");
    Statement dropBlob(db_, "DELETE FROM lecture_blobs WHERE lecture_id = ? AND field = ?");
    if (!put.ok() || !putBlob.ok() || !dropBlob.ok()) {
        why = sqliteError(db_);
        return failed();
    }

    // In list order, so that new rows keep the order in which lectures were added.
    std::vector<Lecture*> dirtyInOrder;
    dirtyInOrder.reserve(size_t(dirtyLectures_.size()));
    for (const LecturePtr& l : lectures_)
        if (dirtyLectures_.contains(l.get())) dirtyInOrder.push_back(l.get());
    for (Lecture* l : dirtyInOrder) {
        const QString id = uuidText(l->id_);
        put.reset();
        int index = 1;
        for (const auto& f : list)
            if (f.storage != FieldStorage::LargeBlob) fields::bind(put, index++, *l, f);
        if (put.step() != SQLITE_DONE) {
            why = sqliteError(db_);
            return failed();
        }
        for (const auto& f : list) {
            if (f.storage != FieldStorage::LargeBlob || !(l->dirty_ & f.bit) || (l->unloadedBlobs_ & f.bit)) continue;
            const std::optional<QByteArray>& value = l->*RecordFields::blobMember(f);
            Statement& s = value ? putBlob : dropBlob;
            s.reset();
            s.bindText(1, id);
            s.bindText(2, QString::fromLatin1(f.name));
            if (value) {
                s.bindInt(3, value->size());
                s.bindBlob(4, *value);
            }
            if (s.step() != SQLITE_DONE) {
                why = sqliteError(db_);
                return failed();
            }
        }
    }
    {
        Statement del(db_, "DELETE FROM lectures WHERE id = ?");
        Statement delBlobs(db_, "DELETE FROM lecture_blobs WHERE lecture_id = ?");
        for (const QUuid& id : std::as_const(removedLectures_)) {
            for (Statement* s : {&del, &delBlobs}) {
                s->reset();
                s->bindText(1, uuidText(id));
                if (s->step() != SQLITE_DONE) {
                    why = sqliteError(db_);
                    return failed();
                }
            }
        }
    }
    std::vector<LectureFolder*> dirtyFolders;
    for (const LectureFolderPtr& f : folders_)
        if (dirtyFolders_.contains(f.get())) dirtyFolders.push_back(f.get());
    {
        const auto folderList = RecordFields::folder();
        QByteArray sql = "INSERT INTO folders (" + fields::columnList(folderList, {FieldStorage::Key, FieldStorage::Column}) + ") VALUES (";
        QByteArray folderUpdates;
        for (size_t i = 0; i < folderList.size(); ++i) {
            sql += i ? ", ?" : "?";
            if (folderList[i].storage != FieldStorage::Key)
                folderUpdates += QByteArray(folderUpdates.isEmpty() ? "" : ", ") + folderList[i].name + " = excluded." + folderList[i].name;
        }
        Statement putFolder(db_, sql + ") ON CONFLICT(id) DO UPDATE SET " + folderUpdates);
        for (LectureFolder* f : dirtyFolders) {
            putFolder.reset();
            for (size_t i = 0; i < folderList.size(); ++i) fields::bind(putFolder, int(i) + 1, *f, folderList[i]);
            if (putFolder.step() != SQLITE_DONE) {
                why = sqliteError(db_);
                return failed();
            }
        }
        Statement delFolder(db_, "DELETE FROM folders WHERE id = ?");
        for (const QUuid& id : std::as_const(removedFolders_)) {
            delFolder.reset();
            delFolder.bindText(1, uuidText(id));
            if (delFolder.step() != SQLITE_DONE) {
                why = sqliteError(db_);
                return failed();
            }
        }
    }
    // The mirror's documents and its bookkeeping go with the same transaction.
    if (mirror_ && !mirror_->stage(dirtyInOrder, dirtyFolders, removedLectures_, removedFolders_, &why)) return failed();
    if (!exec(db_, "COMMIT", &why)) return failed();

    for (Lecture* l : std::as_const(dirtyLectures_)) {
        l->dirty_ = 0;
        if (!(l->unloadedBlobs_ & Lecture::KeyframeDataField)) l->storedKeyframeSize_ = l->keyframeData_ ? l->keyframeData_->size() : 0;
        // A library of long lectures would otherwise keep every transcript in
        // memory; once stored, large blobs are read again on demand.
        for (uint32_t field : {Lecture::TranscriptDataField, Lecture::ConsolidatedDataField}) {
            std::optional<QByteArray>& value = l->*RecordFields::blobMember(RecordFields::lectureField(field));
            if (value && value->size() > kKeepInMemoryBytes) {
                value.reset();
                l->unloadedBlobs_ |= field;
            }
        }
    }
    for (LectureFolder* f : std::as_const(dirtyFolders_)) f->dirty_ = false;
    dirtyLectures_.clear();
    dirtyFolders_.clear();
    removedLectures_.clear();
    removedFolders_.clear();
    lastDataVersion_ = dataVersion();
    return true;
}

void LibraryStore::followSyncFolder() {
    auto attach = [this] {
        const std::optional<QString> records = AppPaths::recordsDirectory();
        if (!records) return;
        QString why;
        if (!attachMirror(*records, &why))
            logLine(QStringLiteral("[Lumenote] The sync folder is unavailable (%1). Falling back to local store.").arg(why));
    };
    if (AppPaths::isResolved()) attach();
    connect(&AppPaths::instance(), &AppPaths::resolved, this, attach);
}

bool LibraryStore::attachMirror(const QString& recordsFolder, QString* error) {
    if (mirror_ && mirror_->folder() == QDir::cleanPath(QFileInfo(recordsFolder).absoluteFilePath())) return true;
    mirror_.reset();
    if (hasChanges()) commit();
    auto mirror = RecordMirror::create(*this, db_, recordsFolder, error);
    if (!mirror) return false;
    mirror_ = std::move(mirror);
    logLine(QStringLiteral("[Sync] Mirroring the library in the sync folder: %1").arg(mirror_->folder()));
    mirror_->start();
    return true;
}

void LibraryStore::setWatchForExternalChanges(bool enabled, int intervalMs) {
    if (!enabled) {
        delete watchTimer_;
        watchTimer_ = nullptr;
        return;
    }
    if (!watchTimer_) {
        watchTimer_ = new QTimer(this);
        connect(watchTimer_, &QTimer::timeout, this, [this] { refreshFromDisk(); });
    }
    watchTimer_->start(intervalMs);
}

bool LibraryStore::refreshFromDisk() {
    const qint64 version = dataVersion();
    if (version == lastDataVersion_) return false;
    lastDataVersion_ = version;
    // Another process sharing this file may have mirrored records meanwhile.
    if (mirror_) mirror_->reloadState();

    // Read the file's current records into a scratch store sharing this connection.
    std::vector<LecturePtr> oldLectures = std::move(lectures_);
    std::vector<LectureFolderPtr> oldFolders = std::move(folders_);
    QString why;
    if (!loadAll(&why)) {
        lectures_ = std::move(oldLectures);
        folders_ = std::move(oldFolders);
        logLine(QStringLiteral("[Lumenote] Reading changes to %1 failed: %2").arg(path_, why));
        return false;
    }
    std::vector<LecturePtr> fresh = std::move(lectures_);
    std::vector<LectureFolderPtr> freshFolders = std::move(folders_);
    QHash<QUuid, LecturePtr> freshById;
    for (const auto& l : fresh) freshById.insert(l->id_, l);
    QHash<QUuid, LectureFolderPtr> freshFoldersById;
    for (const auto& f : freshFolders) freshFoldersById.insert(f->id_, f);

    // Keep the identity of records we already hand out; local edits not yet
    // committed win over the file.
    lectures_.clear();
    QSet<QUuid> seen;
    for (const auto& l : oldLectures) {
        seen.insert(l->id_);
        if (dirtyLectures_.contains(l.get())) {
            lectures_.push_back(l);
            continue;
        }
        const LecturePtr f = freshById.value(l->id_);
        if (!f) {
            l->deleted_ = true;
            l->store_ = nullptr;
            continue;
        }
        const uint32_t dirty = l->dirty_;
        for (const auto& field : RecordFields::lecture())
            if (field.storage == FieldStorage::Column) fields::copy(*f, *l, field);
        l->storedKeyframeSize_ = f->storedKeyframeSize_;
        for (const auto& field : RecordFields::lecture())
            if (field.storage == FieldStorage::LargeBlob || field.storage == FieldStorage::RowBlob) ((*l).*RecordFields::blobMember(field)).reset();
        l->unloadedBlobs_ = Lecture::kLargeBlobFields | Lecture::kRowBlobFields;
        l->dirty_ = dirty;
        lectures_.push_back(l);
    }
    for (const auto& f : fresh)
        if (!seen.contains(f->id_) && !removedLectures_.contains(f->id_)) lectures_.push_back(f);

    folders_.clear();
    QSet<QUuid> seenFolders;
    for (const auto& f : oldFolders) {
        seenFolders.insert(f->id_);
        if (dirtyFolders_.contains(f.get())) {
            folders_.push_back(f);
            continue;
        }
        const LectureFolderPtr n = freshFoldersById.value(f->id_);
        if (!n) {
            f->deleted_ = true;
            f->store_ = nullptr;
            continue;
        }
        for (const auto& field : RecordFields::folder())
            if (field.storage == FieldStorage::Column) fields::copy(*n, *f, field);
        folders_.push_back(f);
    }
    for (const auto& n : freshFolders)
        if (!seenFolders.contains(n->id_) && !removedFolders_.contains(n->id_)) folders_.push_back(n);
    std::stable_sort(folders_.begin(), folders_.end(), sortedBySortOrder<LectureFolderPtr>);

    emit changedRemotely();
    return true;
}

LibraryReader::LibraryReader(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_busy_timeout(db_, 5000);
}

LibraryReader::~LibraryReader() { sqlite3_close(db_); }

std::optional<QByteArray> LibraryReader::largeBlob(const QUuid& id, uint32_t field) const {
    if (!db_) return std::nullopt;
    Statement s(db_, "SELECT data FROM lecture_blobs WHERE lecture_id = ? AND field = ?");
    if (!s.ok()) return std::nullopt;
    s.bindText(1, uuidText(id));
    s.bindText(2, blobName(field));
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.optBlob(0);
}

std::optional<QByteArray> LibraryReader::transcriptData(const QUuid& id) const { return largeBlob(id, Lecture::TranscriptDataField); }

std::optional<QByteArray> LibraryReader::keyframeData(const QUuid& id) const { return largeBlob(id, Lecture::KeyframeDataField); }

std::optional<QByteArray> LibraryReader::screenshotTimestamps(const QUuid& id) const {
    if (!db_) return std::nullopt;
    Statement s(db_, "SELECT screenshotTimestamps FROM lectures WHERE id = ?");
    if (!s.ok()) return std::nullopt;
    s.bindText(1, uuidText(id));
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.optBlob(0);
}

}  // namespace lumenote
