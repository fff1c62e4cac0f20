#include "core/LibraryModel.h"

#include "core/AppPaths.h"
#include "core/Json.h"
#include "core/LectureFiles.h"
#include "core/LibraryStore.h"
#include "core/Log.h"
#include "core/TranscriptModel.h"
#include "core/Uuid.h"

#include <QCollator>
#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace lumenote {
namespace {

// What the statistics depend on: which lectures, their durations, and which
// are processed (a finished run brings words and screenshots).
QString statsKey(const std::vector<LecturePtr>& lectures) {
    QStringList parts;
    parts.reserve(qsizetype(lectures.size()));
    for (const LecturePtr& l : lectures)
        parts << l->idText() + QLatin1Char(':') + QString::number(l->duration()) + QLatin1Char(':') + l->statusRaw();
    return parts.join(QLatin1Char(','));
}

template <typename T>
bool sameIds(const std::vector<std::shared_ptr<T>>& a, const std::vector<std::shared_ptr<T>>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) { return x->id() == y->id(); });
}

bool isInside(const QString& path, const QString& folder) {
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    if (canonicalFolder.isEmpty() || canonicalPath.isEmpty()) return false;
    return canonicalPath.startsWith(canonicalFolder + QLatin1Char('/'));
}

}  // namespace

LibraryModel::LibraryModel(LibraryStore& store, ExportFolderOperations& exports, QObject* parent)
    : QObject(parent), store_(store), exports_(exports) {
    refreshTimer_.setSingleShot(true);
    reconcileTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &LibraryModel::refreshLists);
    connect(&reconcileTimer_, &QTimer::timeout, this, [this] { reconcileExports(); });
    connect(&store_, &LibraryStore::changedInThisProcess, this, [this] { scheduleRefresh(kLocalChangeDelayMs); });
    connect(&store_, &LibraryStore::changedRemotely, this, [this] { scheduleRefresh(kRemoteChangeDelayMs); });
    connect(&AppPaths::instance(), &AppPaths::resolved, this, [this] {
        hasReconciled_ = true;
        reconcileExports();
    });
}

void LibraryModel::setSelectedLecture(const LecturePtr& lecture) {
    if (selected_ == lecture) return;
    selected_ = lecture;
    emit selectionChanged();
}

void LibraryModel::shown() {
    refreshLists();
    computeStats();
    if (AppPaths::isResolved() && !hasReconciled_) {
        hasReconciled_ = true;
        reconcileExports();
    }
}

void LibraryModel::sortFolders(std::vector<LectureFolderPtr>& folders) const {
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(folders.begin(), folders.end(), [&](const LectureFolderPtr& a, const LectureFolderPtr& b) {
        if (a->sortOrder() != b->sortOrder()) return a->sortOrder() < b->sortOrder();
        return collator.compare(a->name(), b->name()) < 0;
    });
}

void LibraryModel::refreshLists() {
    std::vector<LecturePtr> lectures = store_.lectures();
    std::stable_sort(lectures.begin(), lectures.end(), [](const LecturePtr& a, const LecturePtr& b) { return a->dateAdded() < b->dateAdded(); });
    std::vector<LectureFolderPtr> folders = store_.folders();
    sortFolders(folders);
    const bool changed = !sameIds(lectures, lectures_) || !sameIds(folders, folders_);
    if (!changed) {
        computeStats();  // a lecture may have been processed since
        return;
    }
    lectures_ = std::move(lectures);
    folders_ = std::move(folders);
    emit listsChanged();
    computeStats();
}

void LibraryModel::scheduleRefresh(int delayMs) { refreshTimer_.start(delayMs); }

void LibraryModel::scheduleReconcile(int delayMs) { reconcileTimer_.start(delayMs); }

LectureFolderPtr LibraryModel::folderOf(const Lecture& lecture) const {
    const auto id = lecture.folderID();
    return id ? store_.folder(*id) : nullptr;
}

std::optional<QString> LibraryModel::folderNameOf(const Lecture& lecture) const {
    const LectureFolderPtr f = folderOf(lecture);
    return f ? std::optional<QString>(f->name()) : std::nullopt;
}

LectureFolderPtr LibraryModel::createFolder(const QString& draft) {
    const QString name = draft.trimmed();
    if (name.isEmpty()) return nullptr;
    auto folder = LectureFolder::create(name, 0);
    store_.insert(folder);
    std::vector<LectureFolderPtr> ordered{folder};
    for (const LectureFolderPtr& f : folders_)
        if (f != folder) ordered.push_back(f);
    for (size_t i = 0; i < ordered.size(); ++i) ordered[i]->setSortOrder(int(i));
    expanded_.insert(folder->id());
    folders_ = ordered;
    emit listsChanged();
    return folder;
}

void LibraryModel::renameFolder(const LectureFolderPtr& folder, const QString& draft) {
    const QString name = draft.trimmed();
    if (!folder || name.isEmpty() || name == folder->name()) return;
    // The exports take the new name on disk too; left under the old one, the reconcile pass
    // would put the lectures back into a folder of that name.
    for (const LecturePtr& l : store_.lectures())
        if (l->folderID() == folder->id()) exports_.moveExport(*l, folder->name(), name);
    folder->setName(name);
}

void LibraryModel::deleteFolder(const LectureFolderPtr& folder) {
    if (!folder) return;
    for (const LecturePtr& l : store_.lectures()) {
        if (l->folderID() != folder->id()) continue;
        exports_.moveExport(*l, folder->name(), std::nullopt);
        l->setFolderID(std::nullopt);
    }
    expanded_.remove(folder->id());
    store_.remove(folder);
    refreshLists();
}

void LibraryModel::deleteFolderAndContents(const LectureFolderPtr& folder) {
    if (!folder) return;
    const std::vector<LecturePtr> all = store_.lectures();
    for (const LecturePtr& l : all)
        if (l->folderID() == folder->id()) deleteLecture(l);
    expanded_.remove(folder->id());
    store_.remove(folder);
    refreshLists();
}

void LibraryModel::moveLecture(const LecturePtr& lecture, const LectureFolderPtr& target) {
    if (!lecture) return;
    const LectureFolderPtr current = folderOf(*lecture);
    if (current == target) return;
    exports_.moveExport(*lecture, current ? std::optional<QString>(current->name()) : std::nullopt,
                        target ? std::optional<QString>(target->name()) : std::nullopt);
    lecture->setFolderID(target ? std::optional<QUuid>(target->id()) : std::nullopt);
}

void LibraryModel::removeLectureFiles(const Lecture& lecture) {
    QFile::remove(transcriptSideFilePath(lecture.id()));
    QFile::remove(keyframeSideFilePath(lecture.id()));
    QFile::remove(consolidatedSideFilePath(lecture.id()));
    QFile::remove(slideTextSideFilePath(lecture.id()));
    QDir(AppPaths::screenshotsDirectory() + QLatin1Char('/') + lecture.idText()).removeRecursively();
}

void LibraryModel::deleteLecture(const LecturePtr& lecture) {
    if (!lecture) return;
    if (selected_ == lecture) setSelectedLecture(nullptr);
    if (const auto path = lecture->localFilePath(); path && isInside(*path, AppPaths::downloadsDirectory())) QFile::remove(*path);
    exports_.deleteExport(*lecture, folderNameOf(*lecture));
    removeLectureFiles(*lecture);
    store_.remove(lecture);
    refreshLists();
}

void LibraryModel::deleteAll() {
    const std::vector<LecturePtr> all = store_.lectures();
    if (selected_) setSelectedLecture(nullptr);
    // Cached downloads stay: the bulk deletions leave them to the cache screen.
    for (const LecturePtr& l : all) {
        exports_.deleteExport(*l, folderNameOf(*l));
        removeLectureFiles(*l);
        store_.remove(l);
    }
    refreshLists();
}

void LibraryModel::deleteUnprocessed() {
    const std::vector<LecturePtr> all = store_.lectures();
    for (const LecturePtr& l : all) {
        if (l->status() == LectureStatus::Complete) continue;
        if (selected_ == l) setSelectedLecture(nullptr);
        exports_.deleteExport(*l, folderNameOf(*l));
        removeLectureFiles(*l);
        store_.remove(l);
    }
    refreshLists();
}

QCoro::Task<> LibraryModel::reconcileExports() {
    // Names, the listing and the video checks are made on a worker from copied
    // values; a large library would otherwise hold up the main thread.
    struct Input {
        QDateTime dateAdded;
        QString title;
        QString videoPath;
    };
    struct Result {
        QStringList names;
        QList<bool> videoPresent;
        QList<DiskExportEntry> entries;
    };
    // Earliest-added first: older exports without a lecture stamp are matched
    // by folder name, and the earliest lecture of a shared name takes the first.
    std::vector<LecturePtr> lectures = store_.lectures();
    std::stable_sort(lectures.begin(), lectures.end(), [](const LecturePtr& a, const LecturePtr& b) { return a->dateAdded() < b->dateAdded(); });
    std::vector<Input> inputs;
    inputs.reserve(lectures.size());
    for (const LecturePtr& l : lectures) inputs.push_back({l->dateAdded(), l->title(), l->localFilePath().value_or(QString())});

    ExportFolderOperations* exports = &exports_;
    // Named before awaiting: GCC 12 mishandles temporaries inside a co_await expression.
    QFuture<Result> work = QtConcurrent::run([exports, inputs = std::move(inputs)] {
        Result r;
        r.names.reserve(qsizetype(inputs.size()));
        r.videoPresent.reserve(qsizetype(inputs.size()));
        for (const Input& in : inputs) {
            r.names << exports->lectureDirName(in.dateAdded, in.title);
            r.videoPresent << (!in.videoPath.isEmpty() && QFileInfo::exists(in.videoPath));
        }
        r.entries = exports->scanExportRoot();
        return r;
    });
    const Result result = co_await work;
    const QList<DiskExportEntry>& entries = result.entries;

    QHash<QUuid, LecturePtr> byID;
    QHash<QString, QList<LecturePtr>> byName;
    QHash<QUuid, QString> nameOf;
    QHash<QUuid, bool> videoPresent;
    for (size_t i = 0; i < lectures.size(); ++i) {
        const LecturePtr& l = lectures[i];
        byID.insert(l->id(), l);
        byName[result.names[qsizetype(i)]].append(l);
        nameOf.insert(l->id(), result.names[qsizetype(i)]);
        videoPresent.insert(l->id(), result.videoPresent[qsizetype(i)]);
    }

    QSet<QUuid> found;
    for (const DiskExportEntry& entry : entries) {
        LecturePtr l;
        if (entry.lectureID) {
            l = byID.value(*entry.lectureID);
        } else {
            for (const LecturePtr& candidate : byName.value(entry.lectureDirName))
                if (!found.contains(candidate->id())) {
                    l = candidate;
                    break;
                }
        }
        if (!l || l->isDeleted()) continue;
        found.insert(l->id());
        if (l->status() == LectureStatus::Missing) {
            logLine(QStringLiteral("[Reconcile] Export found for '%1' — restoring .complete").arg(l->title()));
            l->setStatus(LectureStatus::Complete);
        }
        if (!entry.folderName) {
            if (l->folderID()) {
                logLine(QStringLiteral("[Reconcile] '%1' → unfiled").arg(l->title()));
                l->setFolderID(std::nullopt);
            }
            continue;
        }
        LectureFolderPtr folder;
        for (const LectureFolderPtr& f : store_.folders())
            if (f->name() == *entry.folderName) folder = f;
        if (!folder) {
            folder = LectureFolder::create(*entry.folderName, 0);
            store_.insert(folder);
            logLine(QStringLiteral("[Reconcile] Created folder '%1' from disk").arg(*entry.folderName));
        }
        if (l->folderID() != folder->id()) {
            logLine(QStringLiteral("[Reconcile] '%1' → folder '%2'").arg(l->title(), *entry.folderName));
            l->setFolderID(folder->id());
        }
    }

    for (const LecturePtr& l : lectures) {
        if (l->isDeleted() || l->status() != LectureStatus::Complete || found.contains(l->id())) continue;
        // A lecture re-pointed while the worker ran is checked here.
        const QString name = nameOf.value(l->id());
        const auto path = l->localFilePath();
        const auto known = videoPresent.constFind(l->id());
        const bool present = path && !path->isEmpty() && (known != videoPresent.constEnd() ? *known : QFileInfo::exists(*path));
        if (!present) {
            logLine(QStringLiteral("[Reconcile] Export not yet synced for '%1' — keeping .complete").arg(name));
        } else {
            logLine(QStringLiteral("[Reconcile] Export missing for '%1' → missing").arg(name));
            l->setStatus(LectureStatus::Missing);
        }
    }
    refreshLists();
    emit reconciled();
}

qint64 LibraryModel::countWordsSplitAtWhitespace(const QString& text) {
    // A scan rather than a split: the transcript panel counts a whole lecture on every rebuild.
    qint64 words = 0;
    bool inWord = false;
    for (const QChar c : text) {
        const bool space = c.isSpace();
        if (!space && !inWord) ++words;
        inWord = !space;
    }
    return words;
}

std::vector<LibraryModel::StatsInput> LibraryModel::statsInputs(const std::vector<LecturePtr>& lectures) {
    std::vector<StatsInput> inputs;
    inputs.reserve(lectures.size());
    for (const LecturePtr& l : lectures) inputs.push_back({l->id(), l->duration(), l->status() == LectureStatus::Complete});
    return inputs;
}

LibraryStats LibraryModel::statsFor(const std::vector<StatsInput>& lectures, const QString& storePath) {
    LibraryStats stats;
    stats.lectureCount = int(lectures.size());
    LibraryReader reader(storePath);
    for (const StatsInput& c : lectures) {
        stats.totalDuration += c.duration;
        if (!c.complete) continue;
        std::optional<QByteArray> bytes = reader.transcriptData(c.id);
        if (!bytes) bytes = readFileBytes(transcriptSideFilePath(c.id));
        if (bytes)
            if (const auto transcript = decodeTranscript(*bytes))
                for (const TranscriptSegment& s : *transcript) stats.totalWords += countWordsSplitAtWhitespace(s.text);
        if (const auto times = reader.screenshotTimestamps(c.id))
            if (const auto decoded = json::decodeDoubles(*times)) stats.screenshotCount += decoded->size();
    }
    return stats;
}

void LibraryModel::computeStats() {
    const QString key = statsKey(lectures_);
    if (key == statsKey_ || key == computingKey_) return;
    computingKey_ = key;
    // The worker reads through its own connection, so what it needs must be on disk.
    store_.commit();
    // Values are copied here on the main thread; the worker never touches the records.
    const std::vector<StatsInput> inputs = statsInputs(lectures_);
    const QString path = store_.path();
    statsWatcher_ = std::make_unique<QFutureWatcher<LibraryStats>>();
    QFutureWatcher<LibraryStats>* watcher = statsWatcher_.get();
    connect(watcher, &QFutureWatcher<LibraryStats>::finished, this, [this, watcher, key] {
        if (computingKey_ != key) return;  // superseded by a newer computation
        computingKey_.clear();
        statsKey_ = key;
        const LibraryStats result = watcher->result();
        if (result == stats_) return;
        stats_ = result;
        emit statsChanged();
    });
    watcher->setFuture(QtConcurrent::run([inputs, path] { return statsFor(inputs, path); }));
}

}  // namespace lumenote
