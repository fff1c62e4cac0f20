#pragma once

// The downloaded-video cache: lists the files in the download folder with their
// sizes, marks the ones a lecture still uses, and deletes the others. Files in
// use are never deleted from here; nothing here changes the library.

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <QCoroTask>

namespace lumenote {

class LibraryStore;

struct CachedFile {
    QUuid id;  // fresh for every listing
    QString path;
    qint64 size = 0;
    bool isInUse = false;  // a lecture's localFilePath equals `path` exactly

    QString fileName() const;
    // A leftover partial download of yt-dlp: not in use and named "*.part".
    bool isIncomplete() const;
    // The name the row shows (see cachedFileBaseName).
    QString baseName() const;
    // The row's label key: "settings.cache.in.use", "settings.cache.incomplete" or none.
    QString labelKey() const;
};

// One entry of a folder listing.
struct CacheFolderEntry {
    QString path;
    qint64 size = 0;
    bool isRegularFile = false;
};

class DownloadCache {
public:
    // Regular files only, each marked in use when `inUsePaths` holds its path;
    // files not in use first, larger files first within each group.
    static QList<CachedFile> buildListing(const QList<CacheFolderEntry>& entries, const QSet<QString>& inUsePaths);

    // Strips trailing extensions while they are (any case) a video container,
    // "part", or a yt-dlp format id ("f" and digits):
    // "Talk.f137.mp4.part" -> "Talk".
    static QString baseName(const QString& fileName);

    // The remove-all confirmation, with the count of files in use that stay.
    static QString removeAllConfirmation(int inUseCount);

    // The folder's entries (hidden files skipped); a folder that cannot be read
    // lists nothing.
    static QList<CacheFolderEntry> readFolder(const QString& folder);
    // Every lecture's localFilePath.
    static QSet<QString> inUsePaths(const LibraryStore& store);

    // The listing of `folder` against the library: the paths are collected here
    // (main thread), the folder is read on a worker thread.
    static QCoro::Task<QList<CachedFile>> load(const LibraryStore& store, QString folder);

    // Deletes one file that is not in use; false when it is in use or the
    // deletion failed (the row then stays).
    static bool deleteFile(const CachedFile& file);
    // Deletes every file not in use (a failure does not stop the others) and
    // returns the rows that remain: files in use and files that could not be deleted.
    static QList<CachedFile> removeAllUnused(const QList<CachedFile>& files);
};

}  // namespace lumenote
