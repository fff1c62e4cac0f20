// watch DIR: processes every video that settles in a folder, until stopped.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "core/Error.h"
#include "core/LibraryStore.h"
#include "pipeline/WatchFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <qcorotimer.h>

namespace lumenote::cli {

QCoro::Task<int> runWatch(Session& session) {
    const Invocation& inv = session.invocation;
    const QFileInfo dir(inv.arguments[0]);
    if (!dir.isDir()) throw CommandFailure(QStringLiteral("not a folder: %1").arg(inv.arguments[0]));
    if (const auto folder = inv.value(QStringLiteral("folder")); folder && folder->trimmed().isEmpty())
        throw UsageError(QStringLiteral("the folder name is empty"), inv.command->name);
    LibraryStore& store = session.store();
    Console& console = session.console;
    auto log = [&console](const QString& text) { console.print(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss  ")) + text); };

    WatchFolder watch(dir.absoluteFilePath());
    const auto idle = [&console, path = watch.folder()] { console.print(QStringLiteral("Stopped watching %1.").arg(path)); };
    session.onInterrupt = idle;
    log(QStringLiteral("Watching %1 for videos (Ctrl-C stops).").arg(watch.folder()));
    for (;;) {
        for (const QString& path : watch.poll()) {
            // A video in the library already (an earlier run, before a restart) is not processed twice.
            const auto known = std::find_if(store.lectures().begin(), store.lectures().end(),
                                            [&path](const LecturePtr& l) { return l->localFilePath() == path; });
            if (known != store.lectures().end()) {
                log(QStringLiteral("Already in the library, skipped: %1 (%2)").arg(path, describeLecture(**known)));
                continue;
            }
            log(QStringLiteral("New video: %1").arg(path));
            ProcessResult result;
            try {
                co_await processInput(session, path, result);
            } catch (const CommandFailure& e) {
                result.error = e.message();
            } catch (const Error& e) {
                result.error = e.description();
            }
            session.onInterrupt = idle;
            log(result.completed ? QStringLiteral("Done: %1 → %2").arg(path, result.studyPage.value_or(QStringLiteral("-")))
                                 : QStringLiteral("Failed: %1: %2").arg(path, result.error));
        }
        co_await QCoro::sleepFor(std::chrono::milliseconds(500));
        // Another process (the application, a second watcher) may have added lectures meanwhile.
        store.refreshFromDisk();
    }
}

}  // namespace lumenote::cli
