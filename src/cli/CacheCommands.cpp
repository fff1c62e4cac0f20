// cache list|clean

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "media/DownloadCache.h"
#include "media/URLDownloadService.h"

#include <QFileInfo>

namespace lumenote::cli {

namespace {

QString rowLabel(const CachedFile& f) {
    if (f.isInUse) return QStringLiteral("in use");
    if (f.isIncomplete()) return QStringLiteral("incomplete");
    return QString();
}

}  // namespace

QCoro::Task<int> runCache(Session& session) {
    Console& console = session.console;
    const QString sub = session.invocation.command->name.section(QLatin1Char(' '), 1);
    const QString folder = URLDownloadService::downloadFolder();
    const QList<CachedFile> files = co_await DownloadCache::load(session.store(), folder);

    if (sub == QLatin1String("list")) {
        if (files.isEmpty()) {
            console.print(QStringLiteral("No downloaded videos in %1.").arg(folder));
            co_return kExitDone;
        }
        qint64 total = 0;
        for (const CachedFile& f : files) {
            total += f.size;
            console.print(QStringLiteral("%1  %2  %3  (%4)").arg(sizeText(f.size), 8).arg(rowLabel(f), -10).arg(f.baseName(), f.fileName()));
        }
        console.print(QStringLiteral("%1 file%2, %3, in %4").arg(files.size()).arg(files.size() == 1 ? "" : "s").arg(sizeText(total), folder));
        co_return kExitDone;
    }

    // clean
    const QStringList names = session.invocation.arguments;
    if (names.isEmpty()) {
        int inUse = 0;
        qint64 freed = 0;
        for (const CachedFile& f : files) {
            if (f.isInUse) ++inUse;
            else freed += f.size;
        }
        const QList<CachedFile> left = DownloadCache::removeAllUnused(files);
        int removed = 0;
        for (const CachedFile& f : files)
            if (!f.isInUse && !QFileInfo::exists(f.path)) ++removed;
        int failed = 0;
        for (const CachedFile& f : left) failed += f.isInUse ? 0 : 1;
        console.print(QStringLiteral("Removed %1 file%2 (%3).").arg(removed).arg(removed == 1 ? "" : "s").arg(sizeText(freed)));
        if (removed > 0 || inUse > 0) console.print(DownloadCache::removeAllConfirmation(inUse));
        if (failed > 0) {
            console.error(QStringLiteral("%1 file%2 could not be deleted").arg(failed).arg(failed == 1 ? "" : "s"));
            co_return kExitFailed;
        }
        co_return kExitDone;
    }
    // Named files: by file name or path, each checked before any is deleted.
    QList<CachedFile> chosen;
    for (const QString& name : names) {
        const QString absolute = QFileInfo(name).absoluteFilePath();
        const CachedFile* match = nullptr;
        for (const CachedFile& f : files)
            if (f.fileName() == name || f.path == name || f.path == absolute) match = &f;
        if (!match) throw CommandFailure(QStringLiteral("'%1' is not in the download cache (see 'cache list')").arg(name));
        if (match->isInUse) throw CommandFailure(QStringLiteral("'%1' is used by a lecture and stays").arg(match->fileName()));
        chosen << *match;
    }
    for (const CachedFile& f : chosen) {
        if (!DownloadCache::deleteFile(f)) throw CommandFailure(QStringLiteral("'%1' could not be deleted").arg(f.path));
        console.print(QStringLiteral("Removed %1 (%2).").arg(f.fileName(), sizeText(f.size)));
    }
    co_return kExitDone;
}

}  // namespace lumenote::cli
