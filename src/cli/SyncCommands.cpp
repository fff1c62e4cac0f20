// sync status|now

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "core/LibraryStore.h"
#include "core/RecordMirror.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lumenote::cli {

namespace {

QString whenText(const std::optional<QDateTime>& when, int count, const char* one, const char* many) {
    if (!when) return QStringLiteral("never");
    return QStringLiteral("%1 (%2 %3)").arg(when->toLocalTime().toString(Qt::ISODate)).arg(count).arg(QLatin1String(count == 1 ? one : many));
}

void printStatus(Session& session, const RecordMirror::Status& s) {
    if (session.invocation.has(QStringLiteral("json"))) {
        auto date = [](const std::optional<QDateTime>& d) { return d ? QJsonValue(d->toUTC().toString(Qt::ISODateWithMs)) : QJsonValue(); };
        const QJsonObject o{{QStringLiteral("folder"), s.folder},
                            {QStringLiteral("machineID"), s.machineID},
                            {QStringLiteral("lastExport"), date(s.lastExport)},
                            {QStringLiteral("lastExportCount"), s.lastExportCount},
                            {QStringLiteral("lastImport"), date(s.lastImport)},
                            {QStringLiteral("lastImportCount"), s.lastImportCount},
                            {QStringLiteral("pendingDocuments"), s.pendingDocuments},
                            {QStringLiteral("conflictsResolved"), s.conflictsResolved}};
        session.console.print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    session.console.print(QStringLiteral("Sync folder records:  %1").arg(s.folder));
    session.console.print(QStringLiteral("This machine:         %1").arg(s.machineID));
    session.console.print(QStringLiteral("Last export:          %1").arg(whenText(s.lastExport, s.lastExportCount, "document written", "documents written")));
    session.console.print(QStringLiteral("Last import:          %1").arg(whenText(s.lastImport, s.lastImportCount, "record changed", "records changed")));
    session.console.print(QStringLiteral("Pending documents:    %1").arg(s.pendingDocuments));
    session.console.print(QStringLiteral("Conflicts resolved:   %1").arg(s.conflictsResolved));
}

}  // namespace

QCoro::Task<int> runSync(Session& session) {
    // Opening the store attaches the mirror (and merges what arrived) when the sync folder is set.
    LibraryStore& store = session.store();
    RecordMirror* mirror = store.mirror();
    if (!mirror)
        throw CommandFailure(QStringLiteral("No sync folder is in use. Set one with 'lumenote-cli settings set cloudSyncFolder <folder>' "
                                            "(a folder your sync client keeps in step between machines)."));
    if (session.invocation.command->name == QLatin1String("sync now")) {
        mirror->syncNow();
        session.commit();
    }
    printStatus(session, mirror->status());
    co_return kExitDone;
}

}  // namespace lumenote::cli
