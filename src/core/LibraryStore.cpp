#include "core/LibraryStore.h"

#include "core/Log.h"
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

struct Column {
    const char* name;
    const char* declaration;
};

// Column order of the lectures table as read and written; new columns go at
// the end with a default so that older files open with the record defaults.
constexpr Column kLectureColumns[] = {
    {"id", "TEXT PRIMARY KEY NOT NULL"},
    {"title", "TEXT NOT NULL DEFAULT ''"},
    {"localFilePath", "TEXT"},
    {"sourceURL", "TEXT"},
    {"channelName", "TEXT"},
    {"dateAdded", "INTEGER NOT NULL DEFAULT 0"},
    {"duration", "REAL NOT NULL DEFAULT 0"},
    {"statusRaw", "TEXT NOT NULL DEFAULT 'pending'"},
    {"screenshotTimestamps", "BLOB"},
    {"folderID", "TEXT"},
    {"notesData", "BLOB"},
    {"marginNotesData", "BLOB"},
    {"highlightsData", "BLOB"},
    {"notesInlineNotesData", "BLOB"},
    {"notesMarginNotesData", "BLOB"},
    {"notesHighlightsData", "BLOB"},
    {"transcribedWithModelID", "TEXT"},
    {"desiredModelID", "TEXT"},
    {"consolidatedWithModelID", "TEXT"},
    {"consolidationOverride", "INTEGER"},
    {"transcriptLanguage", "TEXT"},
};
constexpr int kLectureColumnCount = int(std::size(kLectureColumns));

constexpr Column kFolderColumns[] = {
    {"id", "TEXT PRIMARY KEY NOT NULL"},
    {"name", "TEXT NOT NULL DEFAULT ''"},
    {"dateCreated", "INTEGER NOT NULL DEFAULT 0"},
    {"sortOrder", "INTEGER NOT NULL DEFAULT 0"},
};
constexpr int kFolderColumnCount = int(std::size(kFolderColumns));

// Committed large blobs above this size are dropped from memory.
constexpr qsizetype kKeepInMemoryBytes = 64 * 1024;

const char* blobName(uint32_t field) {
    switch (field) {
    case Lecture::TranscriptDataField: return "transcriptData";
    case Lecture::KeyframeDataField: return "keyframeData";
    case Lecture::ConsolidatedDataField: return "consolidatedData";
    default: return nullptr;
    }
}

QString sqliteError(sqlite3* db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

// Prepared statement with RAII finalisation.
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    int step() { return sqlite3_step(stmt_); }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

    void bindText(int i, const QString& s) {
        const QByteArray b = s.toUtf8();
        sqlite3_bind_text(stmt_, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    void bindText(int i, const std::optional<QString>& s) {
        if (s) bindText(i, *s);
        else sqlite3_bind_null(stmt_, i);
    }
    void bindBlob(int i, const std::optional<QByteArray>& b) {
        if (!b) sqlite3_bind_null(stmt_, i);
        else sqlite3_bind_blob(stmt_, i, b->constData(), int(b->size()), SQLITE_TRANSIENT);
    }
    void bindInt(int i, qint64 v) { sqlite3_bind_int64(stmt_, i, v); }
    void bindDouble(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
    void bindNull(int i) { sqlite3_bind_null(stmt_, i); }

    bool isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    QString text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, c)) : QString();
    }
    std::optional<QString> optText(int c) const {
        // sqlite3_column_text gives null exactly for SQL NULL (an empty text is "").
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        if (!p) return std::nullopt;
        return QString::fromUtf8(p, sqlite3_column_bytes(stmt_, c));
    }
    // For columns that hold a handful of distinct values (statuses, model ids):
    // equal texts share one string instead of allocating one per row.
    std::optional<QString> internedText(int c, QHash<QByteArray, QString>& pool) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        if (!p) return std::nullopt;
        const QByteArray key = QByteArray::fromRawData(p, sqlite3_column_bytes(stmt_, c));
        auto it = pool.constFind(key);
        if (it == pool.constEnd()) it = pool.insert(QByteArray(key.constData(), key.size()), QString::fromUtf8(key));
        return *it;
    }
    std::optional<QByteArray> optBlob(int c) const {
        if (isNull(c)) return std::nullopt;
        const void* p = sqlite3_column_blob(stmt_, c);
        return QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(stmt_, c));
    }
    qint64 integer(int c) const { return sqlite3_column_int64(stmt_, c); }
    double real(int c) const { return sqlite3_column_double(stmt_, c); }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql, QString* error) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    if (error) *error = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db));
    sqlite3_free(msg);
    return false;
}

QByteArray columnList(const Column* columns, int count, const char* prefix = "") {
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        if (i) out += ", ";
        out += prefix;
        out += columns[i].name;
    }
    return out;
}

// Creates a missing table, or adds the columns an older file lacks.
bool ensureTable(sqlite3* db, const char* table, const Column* columns, int count, QString* error) {
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
        for (int i = 0; i < count; ++i) sql += QByteArray(i ? ", " : "") + columns[i].name + " " + columns[i].declaration;
        sql += ")";
        return exec(db, sql.constData(), error);
    }
    for (int i = 0; i < count; ++i) {
        if (present.contains(columns[i].name)) continue;
        // A primary key cannot be added later; every other column can.
        QByteArray decl = columns[i].declaration;
        const QByteArray sql = QByteArray("ALTER TABLE ") + table + " ADD COLUMN " + columns[i].name + " " + decl;
        if (!exec(db, sql.constData(), error)) return false;
    }
    return true;
}

QDateTime dateFromMs(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC); }

}  // namespace

std::unique_ptr<LibraryStore> LibraryStore::open(const QString& path, QString* error) {
    auto failWith = [&](const QString& reason) -> std::unique_ptr<LibraryStore> {
        if (error) *error = QStringLiteral("Cannot open the library database \"%1\": %2").arg(path, reason);
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
        ensureTable(db, "lectures", kLectureColumns, kLectureColumnCount, &why) &&
        ensureTable(db, "folders", kFolderColumns, kFolderColumnCount, &why) &&
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
    return store;
}

LibraryStore::LibraryStore(const QString& path, sqlite3* db) : path_(path), db_(db) {
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { commit(); });
    lastDataVersion_ = dataVersion();
}

LibraryStore::~LibraryStore() {
    if (hasChanges()) commit();
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
    {
        // Keyframe sizes are known without reading the images (a row's thumbnail key).
        QHash<QString, qint64> keyframeSizes;
        {
            Statement k(db_, "SELECT lecture_id, size FROM lecture_blobs WHERE field = 'keyframeData'");
            while (k.ok() && k.step() == SQLITE_ROW) keyframeSizes.insert(k.text(0), k.integer(1));
        }
        // Fields only: the row's small blobs are read on first use.
        Statement s(db_,
                    "SELECT id, title, localFilePath, sourceURL, channelName, dateAdded, duration, statusRaw, folderID, "
                    "transcribedWithModelID, desiredModelID, consolidatedWithModelID, consolidationOverride, transcriptLanguage "
                    "FROM lectures ORDER BY rowid");
        if (!s.ok()) {
            if (error) *error = sqliteError(db_);
            return false;
        }
        QHash<QByteArray, QString> pool;
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            const QString idText = s.text(0);
            const auto id = parseUuid(idText);
            if (!id) continue;  // a row another program wrote badly; leave it alone
            LecturePtr l(new Lecture(*id));
            l->title_ = s.text(1);
            l->localFilePath_ = s.optText(2);
            l->sourceURL_ = s.optText(3);
            l->channelName_ = s.optText(4);
            l->dateAdded_ = dateFromMs(s.integer(5));
            l->duration_ = s.real(6);
            l->statusRaw_ = s.internedText(7, pool).value_or(QString());
            if (const auto folder = s.optText(8)) l->folderID_ = parseUuid(*folder);
            l->transcribedWithModelID_ = s.internedText(9, pool);
            l->desiredModelID_ = s.internedText(10, pool);
            l->consolidatedWithModelID_ = s.internedText(11, pool);
            if (!s.isNull(12)) l->consolidationOverride_ = s.integer(12) != 0;
            l->transcriptLanguage_ = s.internedText(13, pool);
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
        Statement s(db_, "SELECT " + columnList(kFolderColumns, kFolderColumnCount) + " FROM folders ORDER BY rowid");
        if (!s.ok()) {
            if (error) *error = sqliteError(db_);
            return false;
        }
        while (s.step() == SQLITE_ROW) {
            const auto id = parseUuid(s.text(0));
            if (!id) continue;
            LectureFolderPtr f(new LectureFolder(*id));
            f->name_ = s.text(1);
            f->dateCreated_ = dateFromMs(s.integer(2));
            f->sortOrder_ = int(s.integer(3));
            f->store_ = this;
            folders_.push_back(std::move(f));
        }
        std::stable_sort(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) { return a->sortOrder_ < b->sortOrder_; });
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
    std::stable_sort(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) { return a->sortOrder_ < b->sortOrder_; });
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
    std::stable_sort(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) { return a->sortOrder_ < b->sortOrder_; });
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
    s.bindText(2, QString::fromLatin1(blobName(field)));
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.optBlob(0);
}

void LibraryStore::loadRowBlobs(const Lecture& l) const {
    Statement s(db_,
                "SELECT screenshotTimestamps, notesData, marginNotesData, highlightsData, notesInlineNotesData, "
                "notesMarginNotesData, notesHighlightsData FROM lectures WHERE id = ?");
    if (!s.ok()) return;
    s.bindText(1, uuidText(l.id_));
    if (s.step() != SQLITE_ROW) return;
    l.screenshotTimestamps_ = s.optBlob(0);
    l.notesData_ = s.optBlob(1);
    l.marginNotesData_ = s.optBlob(2);
    l.highlightsData_ = s.optBlob(3);
    l.notesInlineNotesData_ = s.optBlob(4);
    l.notesMarginNotesData_ = s.optBlob(5);
    l.notesHighlightsData_ = s.optBlob(6);
}

bool LibraryStore::commit(QString* error) {
    if (!hasChanges()) return true;
    QString why;
    auto failed = [&] {
        exec(db_, "ROLLBACK", nullptr);
        logLine(QStringLiteral("[Lumenote] Saving the library to %1 failed: %2").arg(path_, why));
        if (error) *error = why;
        return false;
    };
    if (!exec(db_, "BEGIN IMMEDIATE", &why)) return failed();

    QByteArray upsert = "INSERT INTO lectures (" + columnList(kLectureColumns, kLectureColumnCount) + ") VALUES (";
    for (int i = 0; i < kLectureColumnCount; ++i) upsert += i ? ", ?" : "?";
    upsert += ") ON CONFLICT(id) DO UPDATE SET ";
    for (int i = 1; i < kLectureColumnCount; ++i)
        upsert += QByteArray(i > 1 ? ", " : "") + kLectureColumns[i].name + " = excluded." + kLectureColumns[i].name;
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
        put.bindText(1, id);
        put.bindText(2, l->title_);
        put.bindText(3, l->localFilePath_);
        put.bindText(4, l->sourceURL_);
        put.bindText(5, l->channelName_);
        put.bindInt(6, l->dateAdded_.toMSecsSinceEpoch());
        put.bindDouble(7, l->duration_);
        put.bindText(8, l->statusRaw_);
        put.bindBlob(9, l->screenshotTimestamps_);
        put.bindText(10, l->folderID_ ? std::optional<QString>(uuidText(*l->folderID_)) : std::nullopt);
        put.bindBlob(11, l->notesData_);
        put.bindBlob(12, l->marginNotesData_);
        put.bindBlob(13, l->highlightsData_);
        put.bindBlob(14, l->notesInlineNotesData_);
        put.bindBlob(15, l->notesMarginNotesData_);
        put.bindBlob(16, l->notesHighlightsData_);
        put.bindText(17, l->transcribedWithModelID_);
        put.bindText(18, l->desiredModelID_);
        put.bindText(19, l->consolidatedWithModelID_);
        if (l->consolidationOverride_) put.bindInt(20, *l->consolidationOverride_ ? 1 : 0);
        else put.bindNull(20);
        put.bindText(21, l->transcriptLanguage_);
        if (put.step() != SQLITE_DONE) {
            why = sqliteError(db_);
            return failed();
        }
        for (uint32_t field : {Lecture::TranscriptDataField, Lecture::KeyframeDataField, Lecture::ConsolidatedDataField}) {
            if (!(l->dirty_ & field) || (l->unloadedBlobs_ & field)) continue;
            const std::optional<QByteArray>& value = field == Lecture::TranscriptDataField ? l->transcriptData_
                                                     : field == Lecture::KeyframeDataField  ? l->keyframeData_
                                                                                            : l->consolidatedData_;
            Statement& s = value ? putBlob : dropBlob;
            s.reset();
            s.bindText(1, id);
            s.bindText(2, QString::fromLatin1(blobName(field)));
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
    {
        Statement putFolder(db_, "INSERT INTO folders (id, name, dateCreated, sortOrder) VALUES (?, ?, ?, ?) ON CONFLICT(id) DO "
                                 "UPDATE SET name = excluded.name, dateCreated = excluded.dateCreated, sortOrder = excluded.sortOrder");
        for (LectureFolder* f : std::as_const(dirtyFolders_)) {
            putFolder.reset();
            putFolder.bindText(1, uuidText(f->id_));
            putFolder.bindText(2, f->name_);
            putFolder.bindInt(3, f->dateCreated_.toMSecsSinceEpoch());
            putFolder.bindInt(4, f->sortOrder_);
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
    if (!exec(db_, "COMMIT", &why)) return failed();

    for (Lecture* l : std::as_const(dirtyLectures_)) {
        l->dirty_ = 0;
        if (!(l->unloadedBlobs_ & Lecture::KeyframeDataField)) l->storedKeyframeSize_ = l->keyframeData_ ? l->keyframeData_->size() : 0;
        // A library of long lectures would otherwise keep every transcript in
        // memory; once stored, large blobs are read again on demand.
        if (l->transcriptData_ && l->transcriptData_->size() > kKeepInMemoryBytes) {
            l->transcriptData_.reset();
            l->unloadedBlobs_ |= Lecture::TranscriptDataField;
        }
        if (l->consolidatedData_ && l->consolidatedData_->size() > kKeepInMemoryBytes) {
            l->consolidatedData_.reset();
            l->unloadedBlobs_ |= Lecture::ConsolidatedDataField;
        }
    }
    for (LectureFolder* f : std::as_const(dirtyFolders_)) f->dirty_ = false;
    dirtyLectures_.clear();
    dirtyFolders_.clear();
    removedLectures_.clear();
    removedFolders_.clear();
    lastDataVersion_ = dataVersion();
    emit changedInThisProcess();
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
        l->title_ = f->title_;
        l->localFilePath_ = f->localFilePath_;
        l->sourceURL_ = f->sourceURL_;
        l->channelName_ = f->channelName_;
        l->dateAdded_ = f->dateAdded_;
        l->duration_ = f->duration_;
        l->statusRaw_ = f->statusRaw_;
        l->folderID_ = f->folderID_;
        l->transcribedWithModelID_ = f->transcribedWithModelID_;
        l->desiredModelID_ = f->desiredModelID_;
        l->consolidatedWithModelID_ = f->consolidatedWithModelID_;
        l->consolidationOverride_ = f->consolidationOverride_;
        l->transcriptLanguage_ = f->transcriptLanguage_;
        l->storedKeyframeSize_ = f->storedKeyframeSize_;
        l->transcriptData_.reset();
        l->keyframeData_.reset();
        l->consolidatedData_.reset();
        l->screenshotTimestamps_.reset();
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
        f->name_ = n->name_;
        f->dateCreated_ = n->dateCreated_;
        f->sortOrder_ = n->sortOrder_;
        folders_.push_back(f);
    }
    for (const auto& n : freshFolders)
        if (!seenFolders.contains(n->id_) && !removedFolders_.contains(n->id_)) folders_.push_back(n);
    std::stable_sort(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) { return a->sortOrder_ < b->sortOrder_; });

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
    s.bindText(2, QString::fromLatin1(blobName(field)));
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
