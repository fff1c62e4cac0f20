#include "core/RecordMirror.h"

#include "core/LibraryStore.h"
#include "core/Log.h"
#include "core/RecordFields.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>
#include <QTimer>

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace lumenote {

namespace {

using sql::exec;
using sql::sqliteError;
using sql::Statement;

constexpr int kFormat = 2;  // 2: a stamp per field
constexpr uint32_t kAnnotationFields = Lecture::NotesDataField | Lecture::MarginNotesDataField | Lecture::HighlightsDataField |
                                       Lecture::NotesInlineNotesDataField | Lecture::NotesMarginNotesDataField |
                                       Lecture::NotesHighlightsDataField;

// Syncthing treats names beginning with "~syncthing~" as its own temporary
// files and never carries them; Nextcloud and Dropbox skip "~*.tmp".
QString temporaryName(const QString& name) { return QStringLiteral("~syncthing~") + name + QStringLiteral(".tmp"); }

// Writes under the temporary name, then renames into place; returns the
// file's modification time (ns) and size, none when it could not be written.
std::optional<std::pair<qint64, qint64>> writeAtomically(const QString& folder, const QString& name, const QByteArray& data) {
    const QByteArray temporary = QFile::encodeName(folder + QLatin1Char('/') + temporaryName(name));
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return std::nullopt;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    struct stat st {};
    const bool written = done == data.size() && ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!written || std::rename(temporary.constData(), QFile::encodeName(folder + QLatin1Char('/') + name).constData()) != 0) {
        ::unlink(temporary.constData());
        return std::nullopt;
    }
    return std::make_pair(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size));
}

// Modification time in nanoseconds and size; none when the file is gone.
std::optional<std::pair<qint64, qint64>> fileStamp(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return std::make_pair(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size));
}

QString annotationID(const QJsonValue& v) { return v.toObject().value(QLatin1String("id")).toString().toUpper(); }

std::optional<QJsonArray> annotationArray(const std::optional<QByteArray>& bytes) {
    if (!bytes) return QJsonArray();
    const QJsonDocument doc = QJsonDocument::fromJson(*bytes);
    if (!doc.isArray()) return std::nullopt;
    return doc.array();
}

QSet<QString> annotationIDs(const Lecture& l, const std::span<const RecordField<Lecture>> list) {
    QSet<QString> ids;
    for (const auto& f : list) {
        if (!(f.bit & kAnnotationFields)) continue;
        if (const auto a = annotationArray(l.*RecordFields::blobMember(f)))
            for (const QJsonValue& v : *a) ids.insert(annotationID(v));
    }
    ids.remove(QString());
    return ids;
}

// One annotation list after a merge: the winner's entries, then the loser's
// entries the winner lacks, leaving out deleted ids. A list that does not
// decode is taken as it is from the winner.
struct MergedList {
    std::optional<QByteArray> bytes;
    bool differsFromWinner = false;
};

MergedList mergeAnnotationList(const std::optional<QByteArray>& winner, const std::optional<QByteArray>& loser, const QSet<QString>& deleted) {
    const auto w = annotationArray(winner);
    if (!w) return {winner, false};
    const QJsonArray l = annotationArray(loser).value_or(QJsonArray());
    QJsonArray out;
    QSet<QString> ids;
    for (const QJsonValue& v : *w) {
        const QString id = annotationID(v);
        if (deleted.contains(id)) continue;
        ids.insert(id);
        out.append(v);
    }
    for (const QJsonValue& v : l) {
        const QString id = annotationID(v);
        if (id.isEmpty() || deleted.contains(id) || ids.contains(id)) continue;
        ids.insert(id);
        out.append(v);
    }
    if (out.size() == w->size()) return {winner, false};
    return {QJsonDocument(out).toJson(QJsonDocument::Compact), true};
}

QJsonArray sortedArray(const QSet<QString>& set) {
    QStringList list(set.begin(), set.end());
    list.sort();
    return QJsonArray::fromStringList(list);
}

QSet<QString> stringSet(const QJsonArray& array) {
    QSet<QString> out;
    for (const QJsonValue& v : array) out.insert(v.toString());
    return out;
}

QSet<QString> stringSet(const QString& json) { return stringSet(QJsonDocument::fromJson(json.toUtf8()).array()); }

QString compactText(const QJsonArray& a) { return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact)); }

Stamp stampFrom(const QJsonObject& o) {
    return {o.value(QLatin1String("wall")).toInteger(), o.value(QLatin1String("counter")).toInteger(),
            o.value(QLatin1String("machine")).toString()};
}

QJsonArray stampArray(const Stamp& s) { return {double(s.wall), double(s.counter), s.machine}; }

std::optional<Stamp> stampFromArray(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    if (a.size() < 3 || !a[0].isDouble() || !a[1].isDouble() || !a[2].isString()) return std::nullopt;
    return Stamp{a[0].toInteger(), a[1].toInteger(), a[2].toString()};
}

// What a field holds, in a few bytes; a large blob is told by its file name
// (which names its content).
template <class R>
QByteArray valueDigest(const R& record, const RecordField<R>& f, const QHash<QString, QString>& blobs) {
    if (f.storage == FieldStorage::LargeBlob) return QStringLiteral("file:").append(blobs.value(QLatin1String(f.name))).toUtf8();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    auto add = [&](const auto& plain) { hash.addData(QByteArrayView(reinterpret_cast<const char*>(&plain), sizeof plain)); };
    std::visit(
        [&](auto m) {
            using T = std::remove_cvref_t<decltype(record.*m)>;
            const T& v = record.*m;
            if constexpr (std::is_same_v<T, QString>) hash.addData(QByteArrayView(reinterpret_cast<const char*>(v.utf16()), v.size() * 2));
            else if constexpr (std::is_same_v<T, std::optional<QString>>) {
                add(v.has_value());
                if (v) hash.addData(QByteArrayView(reinterpret_cast<const char*>(v->utf16()), v->size() * 2));
            } else if constexpr (std::is_same_v<T, std::optional<QByteArray>>) {
                add(v.has_value());
                if (v) hash.addData(*v);
            } else if constexpr (std::is_same_v<T, QDateTime>) add(v.isValid() ? v.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min());
            else if constexpr (std::is_same_v<T, std::optional<QUuid>>) {
                add(v.has_value());
                if (v) hash.addData(v->toRfc4122());
            } else if constexpr (std::is_same_v<T, QUuid>) hash.addData(v.toRfc4122());
            else if constexpr (std::is_same_v<T, std::optional<bool>>) add(v ? (*v ? 1 : 2) : 0);
            else add(v);  // double, int
        },
        f.member);
    return hash.result().left(8);
}

// Never a digest of a value: the field is stamped by the next commit.
const QByteArray kRestamp = QByteArrayLiteral("restamp");

bool isConflictCopyName(const QString& rest) {
    // Syncthing: "<ID>.sync-conflict-20250101-120000-ABCDEFG.json";
    // Nextcloud: "<ID> (conflicted copy 2025-01-01 120000).json";
    // Dropbox: "<ID> (Laptop's conflicted copy 2025-01-01).json".
    return rest.contains(QLatin1String(".sync-conflict-")) || rest.contains(QLatin1String("conflicted copy"));
}

}  // namespace

struct RecordMirror::Document {
    QString fileName;
    bool conflictCopy = false;
    QUuid id;
    Kind kind = Kind::Lecture;
    Stamp stamp;
    bool deleted = false;
    QJsonObject fields;
    QHash<QString, Stamp> fieldStamps;  // a field without one carries `stamp` (documents of format 1)
    QSet<QString> deletedAnnotationIDs;
    qint64 fileTime = 0;
    qint64 fileSize = -1;

    Stamp fieldStamp(const QString& field) const { return fieldStamps.value(field, stamp); }
};

Stamp RecordMirror::State::fieldStamp(const QString& field) const {
    const auto it = marks.constFind(field);
    return it == marks.constEnd() || it->stamp.isNull() ? stamp : it->stamp;
}

template <class R>
QSet<QString> RecordMirror::newerFields(const Document& d, const State& st, std::span<const RecordField<R>> list, bool* localNewer) {
    QSet<QString> out;
    for (const auto& f : list) {
        if (f.storage == FieldStorage::Key) continue;
        const QString key = QLatin1String(f.name);
        if (!d.fields.contains(key)) continue;  // written by a version without this field
        const Stamp theirs = d.fieldStamp(key), ours = st.fieldStamp(key);
        if (theirs > ours) out.insert(key);
        else if (ours > theirs) *localNewer = true;
    }
    return out;
}

template <class R>
void RecordMirror::markChangedFields(State& st, const R& record, std::span<const RecordField<R>> list, const Stamp& prior, uint32_t unloaded,
                                     uint32_t legacyChanged) {
    for (const auto& f : list) {
        if (f.storage == FieldStorage::Key) continue;
        FieldMark& mark = st.marks[QLatin1String(f.name)];
        if (f.storage != FieldStorage::LargeBlob && (unloaded & f.bit)) {
            // Not read since the store opened, so not changed.
            if (mark.stamp.isNull()) mark.stamp = prior.isNull() ? st.stamp : prior;
            continue;
        }
        const QByteArray digest = valueDigest(record, f, st.blobs);
        // Without a digest (bookkeeping from before fields had stamps) the caller tells; folder fields have no bits.
        const bool legacy = f.bit ? (legacyChanged & f.bit) != 0 : legacyChanged != 0;
        const bool changed = prior.isNull() || (mark.digest.isEmpty() ? legacy : mark.digest != digest);
        if (changed) mark.stamp = st.stamp;
        else if (mark.stamp.isNull()) mark.stamp = prior;
        mark.digest = digest;
    }
}

struct RecordMirror::Outcome {
    bool recordChanged = false;
    bool reexport = false;
    std::optional<Stamp> adopted;
};

RecordMirror::RecordMirror(LibraryStore& store, sqlite3* db, QString folder)
    : store_(store), db_(db), folder_(std::move(folder)), clock_(QString()) {}

RecordMirror::~RecordMirror() = default;

std::unique_ptr<RecordMirror> RecordMirror::create(LibraryStore& store, sqlite3* db, const QString& folderPath, QString* error) {
    const QString folder = QDir::cleanPath(QFileInfo(folderPath).absoluteFilePath());
    auto fail = [&](const QString& why) -> std::unique_ptr<RecordMirror> {
        if (error) *error = QStringLiteral("Cannot mirror the library in %1: %2").arg(folder, why);
        return nullptr;
    };
    // The folder two levels up is the sync folder (<sync folder>/Lumenote/Records).
    const QString syncRoot = QDir::cleanPath(folder + QStringLiteral("/../.."));
    const QString database = QFileInfo(store.path()).canonicalFilePath();
    if (!database.isEmpty() && QDir(syncRoot).exists() &&
        (database + QLatin1Char('/')).startsWith(QFileInfo(syncRoot).canonicalFilePath() + QLatin1Char('/')))
        return fail(QStringLiteral("the library database %1 lies inside the sync folder; it must stay on this machine").arg(database));
    if (!QDir().mkpath(folder)) return fail(QStringLiteral("the folder cannot be created"));

    QString why;
    if (!exec(db,
              "CREATE TABLE IF NOT EXISTS mirror_records (id TEXT PRIMARY KEY NOT NULL, kind INTEGER NOT NULL, wall INTEGER NOT NULL, "
              "counter INTEGER NOT NULL, machine TEXT NOT NULL, deleted INTEGER NOT NULL, exported INTEGER NOT NULL, "
              "fileTime INTEGER NOT NULL, fileSize INTEGER NOT NULL, blobs TEXT, annotations TEXT, deletedAnnotations TEXT, fields BLOB)",
              &why))
        return fail(why);
    {
        // Bookkeeping written before fields had stamps of their own.
        Statement s(db, "SELECT 1 FROM pragma_table_info('mirror_records') WHERE name = 'fields'");
        if (s.ok() && s.step() != SQLITE_ROW && !exec(db, "ALTER TABLE mirror_records ADD COLUMN fields BLOB", &why)) return fail(why);
    }
    QString machine;
    {
        Statement s(db, "SELECT value FROM meta WHERE key = 'machineID'");
        if (s.ok() && s.step() == SQLITE_ROW) machine = s.text(0);
    }
    if (machine.isEmpty()) {
        machine = uuidText(QUuid::createUuid());
        Statement s(db, "INSERT OR REPLACE INTO meta (key, value) VALUES ('machineID', ?)");
        s.bindText(1, machine);
        if (s.step() != SQLITE_DONE) return fail(sqliteError(db));
    }
    std::unique_ptr<RecordMirror> mirror(new RecordMirror(store, db, folder));
    mirror->clock_ = HybridClock(machine);
    mirror->reloadState();

    mirror->debounce_ = new QTimer(mirror.get());
    mirror->debounce_->setSingleShot(true);
    mirror->debounce_->setInterval(kDebounceMs);
    connect(mirror->debounce_, &QTimer::timeout, mirror.get(), [m = mirror.get()] { m->importNow(); });
    mirror->retry_ = new QTimer(mirror.get());
    mirror->retry_->setSingleShot(true);
    mirror->retry_->setInterval(kRetryMs);
    connect(mirror->retry_, &QTimer::timeout, mirror.get(), [m = mirror.get()] { m->syncNow(); });
    mirror->watcher_ = new QFileSystemWatcher(QStringList{folder}, mirror.get());
    connect(mirror->watcher_, &QFileSystemWatcher::directoryChanged, mirror.get(), [m = mirror.get()] { m->scheduleImport(); });
    return mirror;
}

void RecordMirror::reloadState() {
    states_.clear();
    Statement s(db_, "SELECT id, kind, wall, counter, machine, deleted, exported, fileTime, fileSize, blobs, annotations, deletedAnnotations, "
                     "fields FROM mirror_records");
    while (s.ok() && s.step() == SQLITE_ROW) {
        const auto id = parseUuid(s.text(0));
        if (!id) continue;
        State st;
        st.kind = s.integer(1) == 1 ? Kind::Folder : Kind::Lecture;
        st.stamp = {s.integer(2), s.integer(3), s.text(4)};
        st.deleted = s.integer(5) != 0;
        st.exported = s.integer(6) != 0;
        st.fileTime = s.integer(7);
        st.fileSize = s.integer(8);
        const QJsonObject blobs = QJsonDocument::fromJson(s.text(9).toUtf8()).object();
        for (auto it = blobs.begin(); it != blobs.end(); ++it) st.blobs.insert(it.key(), it.value().toString());
        st.annotationIDs = stringSet(s.text(10));
        st.deletedAnnotationIDs = stringSet(s.text(11));
        if (const auto marks = s.optBlob(12)) {
            QDataStream in(*marks);
            qint32 count = 0;
            in >> count;
            for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
                QString name;
                FieldMark mark;
                in >> name >> mark.stamp.wall >> mark.stamp.counter >> mark.stamp.machine >> mark.digest;
                if (in.status() == QDataStream::Ok) st.marks.insert(name, std::move(mark));
            }
        }
        clock_.observe(st.stamp);
        states_.insert(*id, std::move(st));
    }
    auto metaText = [&](const char* key) {
        Statement m(db_, QByteArray("SELECT value FROM meta WHERE key = '") + key + "'");
        return m.ok() && m.step() == SQLITE_ROW ? m.text(0) : QString();
    };
    auto metaDate = [&](const char* key) -> std::optional<QDateTime> {
        const QString v = metaText(key);
        if (v.isEmpty()) return std::nullopt;
        return QDateTime::fromMSecsSinceEpoch(v.toLongLong(), Qt::UTC);
    };
    status_.lastExport = metaDate("mirror.lastExport");
    status_.lastExportCount = metaText("mirror.lastExportCount").toInt();
    status_.lastImport = metaDate("mirror.lastImport");
    status_.lastImportCount = metaText("mirror.lastImportCount").toInt();
    status_.conflictsResolved = metaText("mirror.conflictsResolved").toInt();
}

void RecordMirror::saveStatus() {
    Statement s(db_, "INSERT OR REPLACE INTO meta (key, value) VALUES (?, ?)");
    auto put = [&](const char* key, const QString& value) {
        s.reset();
        s.bindText(1, QString::fromLatin1(key));
        s.bindText(2, value);
        s.step();
    };
    if (status_.lastExport) put("mirror.lastExport", QString::number(status_.lastExport->toMSecsSinceEpoch()));
    put("mirror.lastExportCount", QString::number(status_.lastExportCount));
    if (status_.lastImport) put("mirror.lastImport", QString::number(status_.lastImport->toMSecsSinceEpoch()));
    put("mirror.lastImportCount", QString::number(status_.lastImportCount));
    put("mirror.conflictsResolved", QString::number(status_.conflictsResolved));
}

RecordMirror::Status RecordMirror::status() const {
    Status s = status_;
    s.folder = folder_;
    s.machineID = clock_.machine();
    s.pendingDocuments = unreadable_;
    for (const State& st : states_)
        if (!st.exported) ++s.pendingDocuments;
    for (const auto& l : store_.lectures())
        if (!states_.contains(l->id())) ++s.pendingDocuments;
    for (const auto& f : store_.folders())
        if (!states_.contains(f->id())) ++s.pendingDocuments;
    return s;
}

void RecordMirror::setWallClock(HybridClock::WallClock wall) { clock_.setWallClock(std::move(wall)); }

QString RecordMirror::documentPath(const QUuid& id) const { return folder_ + QLatin1Char('/') + uuidText(id) + QStringLiteral(".json"); }

void RecordMirror::start() {
    importNow();
    exportUnmirrored();
    collectTombstones();
}

bool RecordMirror::syncNow() {
    const bool changed = importNow();
    exportUnmirrored();
    collectTombstones();
    return changed;
}

void RecordMirror::scheduleImport() {
    // The watch on the folder lapses when the folder is replaced; renew it.
    if (!watcher_->directories().contains(folder_) && QFileInfo(folder_).isDir()) watcher_->addPath(folder_);
    debounce_->start();
}

bool RecordMirror::saveState(const QUuid& id, const State& st) {
    if (!saveStatement_)
        saveStatement_ = std::make_unique<Statement>(
            db_, "INSERT OR REPLACE INTO mirror_records (id, kind, wall, counter, machine, deleted, exported, fileTime, fileSize, blobs, "
                 "annotations, deletedAnnotations, fields) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement& s = *saveStatement_;
    if (!s.ok()) return false;
    s.reset();
    QJsonObject blobs;
    for (auto it = st.blobs.begin(); it != st.blobs.end(); ++it) blobs.insert(it.key(), it.value());
    s.bindText(1, uuidText(id));
    s.bindInt(2, st.kind == Kind::Folder ? 1 : 0);
    s.bindInt(3, st.stamp.wall);
    s.bindInt(4, st.stamp.counter);
    s.bindText(5, st.stamp.machine);
    s.bindInt(6, st.deleted ? 1 : 0);
    s.bindInt(7, st.exported ? 1 : 0);
    s.bindInt(8, st.fileTime);
    s.bindInt(9, st.fileSize);
    s.bindText(10, QString::fromUtf8(QJsonDocument(blobs).toJson(QJsonDocument::Compact)));
    s.bindText(11, compactText(sortedArray(st.annotationIDs)));
    s.bindText(12, compactText(sortedArray(st.deletedAnnotationIDs)));
    QByteArray marks;
    {
        QDataStream out(&marks, QIODevice::WriteOnly);
        out << qint32(st.marks.size());
        for (auto it = st.marks.begin(); it != st.marks.end(); ++it)
            out << it.key() << it->stamp.wall << it->stamp.counter << it->stamp.machine << it->digest;
    }
    s.bindBlob(13, marks);
    return s.step() == SQLITE_DONE;
}

std::optional<QString> RecordMirror::writeBlob(const QUuid& id, const char* field, const QByteArray& data) {
    const QString name = uuidText(id) + QLatin1Char('.') + QLatin1String(field) + QLatin1Char('.') +
                         QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(20)) +
                         QStringLiteral(".bin");
    // Named by content: a file already there holds these very bytes.
    if (QFileInfo::exists(folder_ + QLatin1Char('/') + name)) return name;
    if (!writeAtomically(folder_, name, data)) return std::nullopt;
    return name;
}

bool RecordMirror::writeDocument(const QUuid& id, State& st, const Lecture* lecture, const LectureFolder* folder) {
    QJsonObject doc;
    doc.insert(QLatin1String("format"), kFormat);
    doc.insert(QLatin1String("kind"), st.kind == Kind::Folder ? QLatin1String("folder") : QLatin1String("lecture"));
    doc.insert(QLatin1String("id"), uuidText(id));
    doc.insert(QLatin1String("wall"), double(st.stamp.wall));
    doc.insert(QLatin1String("counter"), double(st.stamp.counter));
    doc.insert(QLatin1String("machine"), st.stamp.machine);
    doc.insert(QLatin1String("deleted"), st.deleted);
    if (!st.deleted) {
        QJsonObject values;
        QJsonObject stamps;
        // Fields last changed by the record's own stamp go without one.
        auto stampOf = [&](const char* name) {
            const Stamp s = std::min(st.fieldStamp(QLatin1String(name)), st.stamp);
            if (s != st.stamp) stamps.insert(QLatin1String(name), stampArray(s));
        };
        if (lecture) {
            for (const auto& f : RecordFields::lecture()) {
                if (f.storage == FieldStorage::Key) continue;
                stampOf(f.name);
                if (f.storage == FieldStorage::LargeBlob) {
                    const QString file = st.blobs.value(QLatin1String(f.name));
                    values.insert(QLatin1String(f.name), file.isEmpty() ? QJsonValue() : QJsonValue(file));
                } else {
                    values.insert(QLatin1String(f.name), fields::toJson(*lecture, f));
                }
            }
        } else if (folder) {
            for (const auto& f : RecordFields::folder()) {
                if (f.storage == FieldStorage::Key) continue;
                stampOf(f.name);
                values.insert(QLatin1String(f.name), fields::toJson(*folder, f));
            }
        }
        doc.insert(QLatin1String("fields"), values);
        doc.insert(QLatin1String("fieldStamps"), stamps);
    }
    if (st.kind == Kind::Lecture) doc.insert(QLatin1String("deletedAnnotations"), sortedArray(st.deletedAnnotationIDs));
    const QString name = uuidText(id) + QStringLiteral(".json");
    const auto file = writeAtomically(folder_, name, QJsonDocument(doc).toJson(QJsonDocument::Compact));
    st.exported = file.has_value();
    if (file) {
        st.fileTime = file->first;
        st.fileSize = file->second;
    }
    return st.exported;
}

bool RecordMirror::stage(const std::vector<Lecture*>& lectures, const std::vector<LectureFolder*>& folders, const QList<QUuid>& removedLectures,
                         const QList<QUuid>& removedFolders, QString* error, bool everything) {
    int written = 0;
    bool failedWrite = false;
    const auto list = RecordFields::lecture();
    auto fail = [&] {
        if (error) *error = sqliteError(db_);
        return false;
    };
    // The stamp of a change: the document's when it came from one, else a new one.
    auto stampFor = [&](const QUuid& id, State& st) {
        const auto imported = importing_.constFind(id);
        if (imported != importing_.constEnd() && !imported->reexport) {
            st.stamp = imported->stamp;
            return false;
        }
        st.stamp = clock_.now();
        return true;
    };

    for (Lecture* l : lectures) {
        const bool known = states_.contains(l->id_);
        State& st = states_[l->id_];
        st.kind = Kind::Lecture;
        const Stamp prior = known && !st.deleted ? st.stamp : Stamp();
        if (!known || st.deleted) st.marks.clear();
        st.deleted = false;
        const bool fromDocument = importing_.contains(l->id_);
        if (!stampFor(l->id_, st)) {
            st.exported = true;
            if (!saveState(l->id_, st)) return fail();
            continue;
        }
        const uint32_t changed = everything || !known ? ~0u : l->dirty_;
        // Bookkeeping from before fields had stamps: the annotation lists are read to take their digests.
        if (st.marks.isEmpty() && !prior.isNull()) l->ensureBlobLoaded(Lecture::kRowBlobFields);
        if (!fromDocument && (changed & kAnnotationFields)) {
            // Ids that left the lists since the last document were deleted here.
            const QSet<QString> now = annotationIDs(*l, list);
            for (const QString& id : std::as_const(st.annotationIDs))
                if (!now.contains(id)) st.deletedAnnotationIDs.insert(id);
            st.annotationIDs = now;
        }
        for (const auto& f : list) {
            if (f.storage != FieldStorage::LargeBlob || fromDocument) continue;
            const QString key = QLatin1String(f.name);
            // A file this record names that has gone from the folder is written again.
            const QString named = st.blobs.value(key);
            const bool lost = !named.isEmpty() && !QFileInfo::exists(folder_ + QLatin1Char('/') + named);
            if (!lost && (!(changed & f.bit) || ((l->unloadedBlobs_ & f.bit) && known && !everything))) continue;
            const std::optional<QByteArray> value = (l->unloadedBlobs_ & f.bit) ? store_.loadBlob(l->id_, f.bit) : l->*RecordFields::blobMember(f);
            if (!value) {
                st.blobs.remove(key);
            } else if (const auto name = writeBlob(l->id_, f.name, *value)) {
                st.blobs.insert(key, *name);
            } else {
                failedWrite = true;
                continue;
            }
        }
        markChangedFields(st, *l, list, prior, l->unloadedBlobs_, changed);
        if (writeDocument(l->id_, st, l, nullptr)) ++written;
        else failedWrite = true;
        if (!saveState(l->id_, st)) return fail();
    }
    for (LectureFolder* f : folders) {
        const bool known = states_.contains(f->id_);
        State& st = states_[f->id_];
        st.kind = Kind::Folder;
        const Stamp prior = known && !st.deleted ? st.stamp : Stamp();
        if (!known || st.deleted) st.marks.clear();
        st.deleted = false;
        if (!stampFor(f->id_, st)) {
            st.exported = true;
        } else {
            markChangedFields(st, *f, RecordFields::folder(), prior, 0, ~0u);
            if (writeDocument(f->id_, st, nullptr, f)) ++written;
            else failedWrite = true;
        }
        if (!saveState(f->id_, st)) return fail();
    }
    auto tombstone = [&](const QUuid& id, Kind kind) {
        State& st = states_[id];
        st.kind = kind;
        st.deleted = true;
        st.blobs.clear();
        st.marks.clear();
        if (!stampFor(id, st)) {
            st.exported = true;
        } else if (writeDocument(id, st, nullptr, nullptr)) {
            ++written;
        } else {
            failedWrite = true;
        }
        return saveState(id, st);
    };
    for (const QUuid& id : removedLectures)
        if (!tombstone(id, Kind::Lecture)) return fail();
    for (const QUuid& id : removedFolders)
        if (!tombstone(id, Kind::Folder)) return fail();
    for (const QUuid& id : std::as_const(rewriteTombstone_))
        if (!tombstone(id, states_.value(id).kind)) return fail();
    for (const QUuid& id : std::as_const(stateOnly_))
        if (states_.contains(id) && !saveState(id, states_[id])) return fail();

    if (written > 0) {
        status_.lastExport = QDateTime::fromMSecsSinceEpoch(clock_.wallNow(), Qt::UTC);
        status_.lastExportCount = written;
        saveStatus();
    }
    if (failedWrite) {
        logLine(QStringLiteral("[Sync] Could not write every record to the sync folder %1; trying again shortly.").arg(folder_));
        if (retry_) retry_->start();
    }
    return true;
}

bool RecordMirror::exportUnmirrored() {
    std::vector<Lecture*> lectures;
    std::vector<LectureFolder*> folders;
    for (const auto& l : store_.lectures()) {
        const auto st = states_.constFind(l->id_);
        if (st == states_.constEnd() || !st->exported || st->deleted) {
            l->ensureBlobLoaded(Lecture::kRowBlobFields);
            lectures.push_back(l.get());
        }
    }
    for (const auto& f : store_.folders()) {
        const auto st = states_.constFind(f->id_);
        if (st == states_.constEnd() || !st->exported || st->deleted) folders.push_back(f.get());
    }
    QList<QUuid> tombstones;
    for (auto it = states_.constBegin(); it != states_.constEnd(); ++it)
        if (it->deleted && !it->exported) tombstones.append(it.key());
    if (lectures.empty() && folders.empty() && tombstones.isEmpty()) return true;
    QString why;
    if (!exec(db_, "BEGIN IMMEDIATE", &why)) return false;
    // A tombstone is written again with its kind; removed lists take lectures first.
    QList<QUuid> lectureTombstones, folderTombstones;
    for (const QUuid& id : tombstones) (states_[id].kind == Kind::Folder ? folderTombstones : lectureTombstones).append(id);
    if (!stage(lectures, folders, lectureTombstones, folderTombstones, &why, true) || !exec(db_, "COMMIT", &why)) {
        exec(db_, "ROLLBACK", nullptr);
        logLine(QStringLiteral("[Sync] Mirroring the library failed: %1").arg(why));
        reloadState();
        return false;
    }
    return true;
}

void RecordMirror::collectTombstones() {
    // Blob files that the version of their record this machine holds (the
    // latest in the folder) no longer uses. A document of another machine
    // that still names one may be on its way, so they stay as long as
    // tombstones do. Leftovers of interrupted writes go after an hour, the
    // conflict copies of blob files (the same bytes under another name) at once.
    const qint64 now = clock_.wallNow();
    QDir dir(folder_);
    for (const QString& name : dir.entryList({QStringLiteral("*.bin"), QStringLiteral("~syncthing~*.tmp")}, QDir::Files | QDir::Hidden)) {
        const auto file = fileStamp(folder_ + QLatin1Char('/') + name);
        if (!file) continue;
        const qint64 ageMs = now - file->first / 1000000;
        if (name.startsWith(QLatin1String("~syncthing~"))) {
            if (ageMs > 60 * 60 * 1000) dir.remove(name);
            continue;
        }
        if (isConflictCopyName(name)) {
            dir.remove(name);
            continue;
        }
        const auto id = parseUuid(name.left(36));
        const auto st = id ? states_.constFind(*id) : states_.constEnd();
        if (st == states_.constEnd() || ageMs < kTombstoneLifetimeMs || std::find(st->blobs.begin(), st->blobs.end(), name) != st->blobs.end())
            continue;
        const auto doc = fileStamp(documentPath(*id));
        const bool current = doc ? doc->first == st->fileTime && doc->second == st->fileSize : st->deleted;
        if (current) dir.remove(name);
    }

    const qint64 cutoff = now - kTombstoneLifetimeMs;
    QList<QUuid> expired;
    for (auto it = states_.constBegin(); it != states_.constEnd(); ++it)
        if (it->deleted && it->exported && it->stamp.wall < cutoff) expired.append(it.key());
    Statement drop(db_, "DELETE FROM mirror_records WHERE id = ?");
    for (const QUuid& id : std::as_const(expired)) {
        // Only the tombstone itself; a record created anew under this id stays.
        const QString path = documentPath(id);
        const auto file = fileStamp(path);
        const State& st = states_[id];
        if (file && file->first == st.fileTime && file->second == st.fileSize) QFile::remove(path);
        drop.reset();
        drop.bindText(1, uuidText(id));
        drop.step();
        states_.remove(id);
    }
}

std::optional<RecordMirror::Document> RecordMirror::readDocument(const QString& fileName, const QUuid& id, bool conflictCopy, bool* incomplete) const {
    *incomplete = false;
    const QString path = folder_ + QLatin1Char('/') + fileName;
    QFile file(path);
    const auto stamp = fileStamp(path);
    if (!stamp || !file.open(QIODevice::ReadOnly)) return std::nullopt;
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject o = json.object();
    Document d;
    d.fileName = fileName;
    d.conflictCopy = conflictCopy;
    d.fileTime = stamp->first;
    d.fileSize = stamp->second;
    const QString kind = o.value(QLatin1String("kind")).toString();
    // Half a document (a transfer still running) does not parse; it is read again on the next change.
    if (error.error != QJsonParseError::NoError || !json.isObject() || parseUuid(o.value(QLatin1String("id")).toString()) != id ||
        (kind != QLatin1String("lecture") && kind != QLatin1String("folder")) || !o.value(QLatin1String("wall")).isDouble() ||
        o.value(QLatin1String("machine")).toString().isEmpty()) {
        *incomplete = true;
        return std::nullopt;
    }
    d.id = id;
    d.kind = kind == QLatin1String("folder") ? Kind::Folder : Kind::Lecture;
    d.stamp = stampFrom(o);
    d.deleted = o.value(QLatin1String("deleted")).toBool();
    d.fields = o.value(QLatin1String("fields")).toObject();
    const QJsonObject stamps = o.value(QLatin1String("fieldStamps")).toObject();
    for (auto it = stamps.begin(); it != stamps.end(); ++it)
        if (const auto s = stampFromArray(it.value())) d.fieldStamps.insert(it.key(), std::min(*s, d.stamp));
    d.deletedAnnotationIDs = stringSet(o.value(QLatin1String("deletedAnnotations")).toArray());
    if (!d.deleted && d.kind == Kind::Lecture) {
        // The blob files travel on their own and may not be here yet.
        for (const auto& f : RecordFields::lecture()) {
            if (f.storage != FieldStorage::LargeBlob) continue;
            const QString blob = d.fields.value(QLatin1String(f.name)).toString();
            if (!blob.isEmpty() && !QFileInfo::exists(folder_ + QLatin1Char('/') + blob)) {
                *incomplete = true;
                return std::nullopt;
            }
        }
    }
    return d;
}

bool RecordMirror::applyLectureFields(const Document& d, Lecture& l, State& st, const QSet<QString>* only) {
    for (const auto& f : RecordFields::lecture()) {
        if (f.storage == FieldStorage::Key) continue;
        const QString key = QLatin1String(f.name);
        if (!d.fields.contains(key)) continue;  // written by a version without this field
        if (only && !only->contains(key)) continue;
        const QJsonValue v = d.fields.value(key);
        if (f.storage == FieldStorage::LargeBlob) {
            const QString file = v.toString();
            if (file == st.blobs.value(key) && !(file.isEmpty() && !(l.unloadedBlobs_ & f.bit) && l.*RecordFields::blobMember(f))) continue;
            std::optional<QByteArray> value;
            if (!file.isEmpty()) {
                QFile in(folder_ + QLatin1Char('/') + file);
                if (!in.open(QIODevice::ReadOnly)) return false;
                value = in.readAll();
                st.blobs.insert(key, file);
            } else {
                st.blobs.remove(key);
            }
            l.*RecordFields::blobMember(f) = std::move(value);
            l.unloadedBlobs_ &= ~f.bit;
            l.dirty_ |= f.bit;
            continue;
        }
        if (fields::fromJson(v, l, f)) l.dirty_ |= f.bit;
    }
    return true;
}

bool RecordMirror::isNewer(const Document& d) {
    State& st = states_[d.id];
    st.kind = d.kind;
    return st.stamp.isNull() || d.stamp > st.stamp;
}

void RecordMirror::mergeLecture(const Document& d, Outcome& out) {
    const bool remoteWins = isNewer(d);
    State& st = states_[d.id];
    LecturePtr local = lectureIndex_.value(d.id);
    const auto list = RecordFields::lecture();
    if (d.deleted) {
        // A deletion wins over the edits made here before it.
        if (!remoteWins) {
            if (!d.conflictCopy) out.reexport = true;  // the folder still shows an older tombstone
            return;
        }
        if (local) {
            store_.remove(local);
            lectureIndex_.remove(d.id);
            out.recordChanged = true;
        }
        st.deleted = true;
        st.blobs.clear();
        st.marks.clear();
        st.stamp = d.stamp;
        out.adopted = d.stamp;
        out.reexport = false;
        return;
    }
    if (!local) {
        if (!remoteWins) {
            if (!d.conflictCopy) out.reexport = true;  // deleted here after that version
            return;
        }
        LecturePtr created(new Lecture(d.id));
        st.blobs.clear();
        st.marks.clear();
        st.deleted = false;
        if (!applyLectureFields(d, *created, st)) return;
        st.stamp = d.stamp;
        for (const auto& f : list)
            if (f.storage != FieldStorage::Key)
                st.marks.insert(QLatin1String(f.name), {d.fieldStamp(QLatin1String(f.name)), valueDigest(*created, f, st.blobs)});
        st.annotationIDs = annotationIDs(*created, list);
        st.deletedAnnotationIDs = d.deletedAnnotationIDs;
        store_.insert(created);
        lectureIndex_.insert(d.id, created);
        out.recordChanged = true;
        out.adopted = d.stamp;
        out.reexport = false;
        return;
    }

    // Field by field, the newer stamp wins; annotation lists then take in
    // the other side's entries the winner lacks.
    local->ensureBlobLoaded(Lecture::kRowBlobFields);
    const QSet<QString> deleted = st.deletedAnnotationIDs | d.deletedAnnotationIDs;
    bool localNewer = deleted.size() != d.deletedAnnotationIDs.size();
    bool changed = deleted.size() != st.deletedAnnotationIDs.size();
    const QSet<QString> take = newerFields(d, st, list, &localNewer);
    std::vector<std::optional<QByteArray>> before;
    for (const auto& f : list)
        if (f.bit & kAnnotationFields) before.push_back((*local).*RecordFields::blobMember(f));
    if (!take.isEmpty() && !applyLectureFields(d, *local, st, &take)) return;
    for (const auto& f : list)
        if (take.contains(QLatin1String(f.name))) st.marks[QLatin1String(f.name)] = {d.fieldStamp(QLatin1String(f.name)), valueDigest(*local, f, st.blobs)};
    Lecture theirs(d.id);  // the document's annotation lists, decoded
    size_t i = 0;
    for (const auto& f : list) {
        if (!(f.bit & kAnnotationFields)) continue;
        const QString key = QLatin1String(f.name);
        const bool took = take.contains(key);
        if (!took) fields::fromJson(d.fields.value(key), theirs, f);
        const std::optional<QByteArray>& loser = took ? before[i] : theirs.*RecordFields::blobMember(f);
        ++i;
        MergedList merged = mergeAnnotationList((*local).*RecordFields::blobMember(f), loser, deleted);
        if (!merged.differsFromWinner) continue;
        (*local).*RecordFields::blobMember(f) = std::move(merged.bytes);
        local->dirty_ |= f.bit;
        st.marks[key].digest = kRestamp;  // the union is newer than either list
        changed = true;
        localNewer = true;
    }
    if (!take.isEmpty()) {
        // Without anything newer here this machine now holds the document's version.
        st.stamp = localNewer ? std::max(st.stamp, d.stamp) : d.stamp;
        out.adopted = st.stamp;
        out.reexport = localNewer;
    } else if ((localNewer || d.stamp < st.stamp) && (!d.conflictCopy || changed)) {
        out.reexport = true;
    } else if (!localNewer && d.stamp > st.stamp) {
        st.stamp = d.stamp;  // the same values, written again
        out.adopted = d.stamp;
    }
    out.recordChanged = out.recordChanged || changed || !take.isEmpty();
    st.deleted = false;
    st.deletedAnnotationIDs = deleted;
    st.annotationIDs = annotationIDs(*local, list);
    if (out.recordChanged) store_.scheduleCommit(local.get());
}

void RecordMirror::mergeFolder(const Document& d, Outcome& out) {
    const bool remoteWins = isNewer(d);
    State& st = states_[d.id];
    LectureFolderPtr local = store_.folder(d.id);
    const auto list = RecordFields::folder();
    if (d.deleted || !local) {
        if (!remoteWins) {
            if (!d.conflictCopy) out.reexport = true;
            return;
        }
        st.stamp = d.stamp;
        st.deleted = d.deleted;
        st.marks.clear();
        out.adopted = d.stamp;
        out.reexport = false;
        if (d.deleted) {
            if (local) {
                store_.remove(local);
                out.recordChanged = true;
            }
            return;
        }
        LectureFolderPtr created(new LectureFolder(d.id));
        for (const auto& f : list) {
            if (f.storage == FieldStorage::Key || !d.fields.contains(QLatin1String(f.name))) continue;
            fields::fromJson(d.fields.value(QLatin1String(f.name)), *created, f);
        }
        for (const auto& f : list)
            if (f.storage != FieldStorage::Key) st.marks.insert(QLatin1String(f.name), {d.fieldStamp(QLatin1String(f.name)), valueDigest(*created, f, st.blobs)});
        store_.insert(created);
        out.recordChanged = true;
        return;
    }
    bool localNewer = false;
    const QSet<QString> take = newerFields(d, st, list, &localNewer);
    if (take.isEmpty()) {
        if ((localNewer || d.stamp < st.stamp) && !d.conflictCopy) out.reexport = true;
        else if (!localNewer && d.stamp > st.stamp) out.adopted = st.stamp = d.stamp;  // the same values, written again
        return;
    }
    for (const auto& f : list) {
        const QString key = QLatin1String(f.name);
        if (!take.contains(key)) continue;
        fields::fromJson(d.fields.value(key), *local, f);
        st.marks[key] = {d.fieldStamp(key), valueDigest(*local, f, st.blobs)};
    }
    st.stamp = localNewer ? std::max(st.stamp, d.stamp) : d.stamp;
    st.deleted = false;
    out.adopted = st.stamp;
    out.reexport = localNewer;
    out.recordChanged = true;
    store_.scheduleCommit(local.get());
}

bool RecordMirror::importNow() {
    // Local changes first, so that they are stamped before anything is merged.
    if (store_.hasChanges()) store_.commit();

    struct Candidate {
        QString name;
        bool conflictCopy;
    };
    QHash<QUuid, QList<Candidate>> candidates;
    const QStringList names = QDir(folder_).entryList({QStringLiteral("*.json")}, QDir::Files);
    for (const QString& name : names) {
        if (name.size() < 41) continue;
        const auto id = parseUuid(name.left(36));
        if (!id) continue;
        const QString rest = name.mid(36);
        const bool main = rest == QLatin1String(".json");
        if (!main && !isConflictCopyName(rest)) continue;
        if (main) {
            const auto st = states_.constFind(*id);
            if (st != states_.constEnd()) {
                const auto file = fileStamp(folder_ + QLatin1Char('/') + name);
                if (file && file->first == st->fileTime && file->second == st->fileSize) continue;
            }
        }
        candidates[*id].append({name, !main});
    }

    lectureIndex_.clear();
    if (!candidates.isEmpty())
        for (const LecturePtr& l : store_.lectures()) lectureIndex_.insert(l->id_, l);
    unreadable_ = 0;
    QStringList mergedCopies;
    int changedRecords = 0;
    importing_.clear();
    stateOnly_.clear();
    rewriteTombstone_.clear();
    for (auto it = candidates.constBegin(); it != candidates.constEnd(); ++it) {
        std::vector<Document> versions;
        for (const Candidate& c : it.value()) {
            bool incomplete = false;
            if (auto d = readDocument(c.name, it.key(), c.conflictCopy, &incomplete)) versions.push_back(std::move(*d));
            else if (incomplete) ++unreadable_;
        }
        if (versions.empty()) continue;
        std::sort(versions.begin(), versions.end(), [](const Document& a, const Document& b) { return a.stamp < b.stamp; });
        Outcome out;
        for (const Document& d : versions) {
            clock_.observe(d.stamp);
            const auto st = states_.constFind(d.id);
            if (st != states_.constEnd() && st->stamp == d.stamp && !st->stamp.isNull()) {
                // A version this machine already has (its own, or one read before).
                if (d.conflictCopy) mergedCopies.append(d.fileName);
                continue;
            }
            if (d.kind == Kind::Folder) mergeFolder(d, out);
            else mergeLecture(d, out);
            if (d.conflictCopy) mergedCopies.append(d.fileName);
        }
        State& st = states_[it.key()];
        for (const Document& d : versions) {
            if (d.conflictCopy) continue;
            st.fileTime = d.fileTime;
            st.fileSize = d.fileSize;
        }
        if (out.recordChanged) ++changedRecords;
        const bool live = st.kind == Kind::Folder ? bool(store_.folder(it.key())) : lectureIndex_.contains(it.key());
        if (out.recordChanged || (out.reexport && live)) {
            importing_.insert(it.key(), {st.stamp, out.reexport});
            if (out.reexport && !out.recordChanged) {
                if (st.kind == Kind::Folder) store_.scheduleCommit(store_.folder(it.key()).get());
                else store_.scheduleCommit(lectureIndex_.value(it.key()).get());
            }
        } else if (out.reexport && st.deleted) {
            rewriteTombstone_.insert(it.key());
        } else {
            st.exported = true;
            stateOnly_.append(it.key());
        }
    }

    bool ok = true;
    if (!importing_.isEmpty() || !stateOnly_.isEmpty() || !rewriteTombstone_.isEmpty() || store_.hasChanges()) {
        QString why;
        ok = store_.writeChanges(&why);
        if (!ok) reloadState();
    }
    importing_.clear();
    stateOnly_.clear();
    rewriteTombstone_.clear();
    lectureIndex_.clear();
    if (ok) {
        for (const QString& name : std::as_const(mergedCopies)) QFile::remove(folder_ + QLatin1Char('/') + name);
        if (!mergedCopies.isEmpty()) {
            status_.conflictsResolved += int(mergedCopies.size());
            logLine(QStringLiteral("[Sync] Merged and removed %1 conflict cop%2 in the sync folder.")
                        .arg(mergedCopies.size())
                        .arg(mergedCopies.size() == 1 ? "y" : "ies"));
        }
        if (changedRecords > 0 || !mergedCopies.isEmpty()) {
            status_.lastImport = QDateTime::fromMSecsSinceEpoch(clock_.wallNow(), Qt::UTC);
            status_.lastImportCount = changedRecords;
            saveStatus();
        }
    }
    if (unreadable_ > 0) retry_->start();
    if (ok && changedRecords > 0) emit store_.changedRemotely();
    return ok && changedRecords > 0;
}

}  // namespace lumenote
