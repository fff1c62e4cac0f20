#include "media/DownloadCache.h"

#include "core/LibraryStore.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace lumenote {

using namespace Qt::StringLiterals;

QString CachedFile::fileName() const { return QFileInfo(path).fileName(); }

bool CachedFile::isIncomplete() const { return !isInUse && fileName().endsWith(QLatin1String(".part")); }

QString CachedFile::baseName() const { return DownloadCache::baseName(fileName()); }

QString CachedFile::labelKey() const {
    if (isInUse) return u"settings.cache.in.use"_s;
    if (isIncomplete()) return u"settings.cache.incomplete"_s;
    return {};
}

QList<CachedFile> DownloadCache::buildListing(const QList<CacheFolderEntry>& entries, const QSet<QString>& inUsePaths) {
    QList<CachedFile> files;
    for (const CacheFolderEntry& e : entries) {
        if (!e.isRegularFile) continue;
        files.append(CachedFile{QUuid::createUuid(), e.path, e.size, inUsePaths.contains(e.path)});
    }
    std::stable_sort(files.begin(), files.end(), [](const CachedFile& a, const CachedFile& b) {
        if (a.isInUse != b.isInUse) return !a.isInUse;
        return a.size > b.size;
    });
    return files;
}

QString DownloadCache::baseName(const QString& fileName) {
    static const QRegularExpression formatId(u"^[fF][0-9]+$"_s);
    static const QStringList stripped = {u"mp4"_s, u"webm"_s, u"mkv"_s, u"mov"_s,
                                         u"m4v"_s, u"avi"_s, u"part"_s};
    QString name = fileName;
    for (;;) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0) break;
        const QString ext = name.mid(dot + 1);
        if (!stripped.contains(ext.toLower()) && !formatId.match(ext).hasMatch()) break;
        name.truncate(dot);
    }
    return name;
}

QString DownloadCache::removeAllConfirmation(int inUseCount) {
    QString text = u"Lectures that used these videos will need to be re-downloaded before they can be reprocessed."_s;
    if (inUseCount > 0) {
        text += u" %1 file%2 still used by library items and will not be removed."_s
                    .arg(inUseCount)
                    .arg(inUseCount == 1 ? u" is"_s : u"s are"_s);
    }
    return text;
}

QList<CacheFolderEntry> DownloadCache::readFolder(const QString& folder) {
    QList<CacheFolderEntry> entries;
    QDir dir(folder);
    if (!dir.exists()) return entries;
    // Without QDir::Hidden, dot files are skipped. Symbolic links are listed as
    // what they are, not as the file they point to.
    const QFileInfoList infos = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& info : infos) {
        entries.append(CacheFolderEntry{folder + QLatin1Char('/') + info.fileName(), info.size(), info.isFile() && !info.isSymLink()});
    }
    return entries;
}

QSet<QString> DownloadCache::inUsePaths(const LibraryStore& store) {
    QSet<QString> paths;
    for (const LecturePtr& l : store.lectures()) {
        if (l->localFilePath()) paths.insert(*l->localFilePath());
    }
    return paths;
}

QCoro::Task<QList<CachedFile>> DownloadCache::load(const LibraryStore& store, QString folder) {
    const QSet<QString> inUse = inUsePaths(store);
    // Named, not a temporary inside the co_await: GCC 12 mishandles those.
    QFuture<QList<CacheFolderEntry>> listing = QtConcurrent::run([folder] { return readFolder(folder); });
    const QList<CacheFolderEntry> entries = co_await listing;
    co_return buildListing(entries, inUse);
}

bool DownloadCache::deleteFile(const CachedFile& file) {
    if (file.isInUse) return false;
    return QFile::remove(file.path);
}

QList<CachedFile> DownloadCache::removeAllUnused(const QList<CachedFile>& files) {
    QList<CachedFile> remaining;
    for (const CachedFile& f : files) {
        if (f.isInUse || !QFile::remove(f.path)) remaining.append(f);
    }
    return remaining;
}

}  // namespace lumenote
