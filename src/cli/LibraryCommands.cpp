// library list|stats|folders|move|delete|reconcile

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/LectureLookup.h"
#include "cli/Session.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"

#include <QCoroFuture>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace lumenote::cli {

QString durationText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    const qint64 s = qint64(std::llround(seconds));
    if (s < 3600) return QString::asprintf("%d:%02d", int(s / 60), int(s % 60));
    return QString::asprintf("%lld:%02d:%02d", s / 3600, int(s / 60 % 60), int(s % 60));
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024) return QStringLiteral("%1 B").arg(bytes);
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(QString::number(value, 'f', value < 10 ? 1 : 0), QLatin1String(units[unit]));
}

namespace {

QString sub(const Session& session) { return session.invocation.command->name.section(QLatin1Char(' '), 1); }

int list(Session& session) {
    LibraryModel& library = session.library();
    if (session.invocation.has(QStringLiteral("json"))) {
        QJsonArray rows;
        for (const LecturePtr& l : library.lectures()) {
            QJsonObject o{{QStringLiteral("id"), l->idText()},
                          {QStringLiteral("title"), l->title()},
                          {QStringLiteral("status"), statusRawValue(l->status())},
                          {QStringLiteral("duration"), l->duration()},
                          {QStringLiteral("dateAdded"), l->dateAdded().toUTC().toString(Qt::ISODate)}};
            const auto folder = library.folderNameOf(*l);
            o.insert(QStringLiteral("folder"), folder ? QJsonValue(*folder) : QJsonValue());
            o.insert(QStringLiteral("localFilePath"), l->localFilePath() ? QJsonValue(*l->localFilePath()) : QJsonValue());
            o.insert(QStringLiteral("sourceURL"), l->sourceURL() ? QJsonValue(*l->sourceURL()) : QJsonValue());
            o.insert(QStringLiteral("language"), l->transcriptLanguage() ? QJsonValue(*l->transcriptLanguage()) : QJsonValue());
            rows.append(o);
        }
        session.console.print(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)).trimmed());
        return kExitDone;
    }
    if (library.lectures().empty()) {
        session.console.print(QStringLiteral("The library is empty. Add a lecture with 'lumenote-cli process <video>'."));
        return kExitDone;
    }
    session.console.print(QStringLiteral("%1  %2 %3  %4  %5")
                              .arg(QStringLiteral("ID"), -8)
                              .arg(QStringLiteral("STATUS"), -21)
                              .arg(QStringLiteral("LENGTH"), 8)
                              .arg(QStringLiteral("FOLDER"), -16)
                              .arg(QStringLiteral("TITLE")));
    for (const LecturePtr& l : library.lectures()) {
        session.console.print(QStringLiteral("%1  %2 %3  %4  %5")
                                  .arg(shortID(*l), -8)
                                  .arg(statusRawValue(l->status()), -21)
                                  .arg(durationText(l->duration()), 8)
                                  .arg(library.folderNameOf(*l).value_or(QStringLiteral("-")), -16)
                                  .arg(l->title()));
    }
    return kExitDone;
}

QCoro::Task<int> stats(Session& session) {
    LibraryModel& library = session.library();
    const std::vector<LibraryModel::StatsInput> inputs = LibraryModel::statsInputs(library.lectures());
    const QString path = session.store().path();
    // Named before awaiting: GCC 12 mishandles temporaries inside a co_await expression.
    QFuture<LibraryStats> computing = QtConcurrent::run([inputs, path] { return LibraryModel::statsFor(inputs, path); });
    const LibraryStats s = co_await computing;
    if (session.invocation.has(QStringLiteral("json"))) {
        const QJsonObject o{{QStringLiteral("lectureCount"), s.lectureCount},
                            {QStringLiteral("totalDuration"), s.totalDuration},
                            {QStringLiteral("totalWords"), s.totalWords},
                            {QStringLiteral("screenshotCount"), s.screenshotCount}};
        session.console.print(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)).trimmed());
        co_return kExitDone;
    }
    session.console.print(QStringLiteral("Lectures:        %1").arg(s.lectureCount));
    session.console.print(QStringLiteral("Total duration:  %1").arg(durationText(s.totalDuration)));
    session.console.print(QStringLiteral("Words:           %1 (complete lectures)").arg(s.totalWords));
    session.console.print(QStringLiteral("Screenshots:     %1 (complete lectures)").arg(s.screenshotCount));
    co_return kExitDone;
}

int folders(Session& session) {
    const Invocation& inv = session.invocation;
    const QString command = inv.command->name;
    LibraryModel& library = session.library();
    const QStringList& args = inv.arguments;
    const QString action = args.value(0);
    auto needs = [&](int count, const QString& what) {
        if (args.size() != count) throw UsageError(QStringLiteral("'library folders %1' needs %2").arg(action, what), command);
    };
    auto existing = [&](const QString& name) {
        LectureFolderPtr f = session.folder(name, false);
        if (!f) throw CommandFailure(QStringLiteral("no folder named '%1'").arg(name));
        return f;
    };
    if (inv.has(QStringLiteral("with-lectures")) && action != QLatin1String("delete"))
        throw UsageError(QStringLiteral("--with-lectures goes with 'delete'"), command);

    if (action.isEmpty()) {
        if (library.folders().empty()) {
            session.console.print(QStringLiteral("No folders. Create one with 'lumenote-cli library folders create NAME'."));
            return kExitDone;
        }
        for (const LectureFolderPtr& f : library.folders()) {
            int count = 0;
            for (const LecturePtr& l : library.lectures()) count += l->folderID() == f->id() ? 1 : 0;
            session.console.print(QStringLiteral("%1  %2 lecture%3").arg(f->name(), -24).arg(count).arg(count == 1 ? "" : "s"));
        }
        return kExitDone;
    }
    if (action == QLatin1String("create")) {
        needs(2, QStringLiteral("a NAME"));
        if (args[1].trimmed().isEmpty()) throw UsageError(QStringLiteral("the folder name is empty"), command);
        if (session.folder(args[1].trimmed(), false)) throw CommandFailure(QStringLiteral("a folder named '%1' exists already").arg(args[1].trimmed()));
        session.folder(args[1].trimmed(), true);
        return kExitDone;
    }
    if (action == QLatin1String("rename")) {
        needs(3, QStringLiteral("the folder's NAME and the NEW name"));
        const LectureFolderPtr f = existing(args[1]);
        if (args[2].trimmed().isEmpty()) throw UsageError(QStringLiteral("the new name is empty"), command);
        if (session.folder(args[2].trimmed(), false)) throw CommandFailure(QStringLiteral("a folder named '%1' exists already").arg(args[2].trimmed()));
        library.renameFolder(f, args[2]);
        session.console.print(QStringLiteral("Renamed folder '%1' to '%2'.").arg(args[1], f->name()));
        return kExitDone;
    }
    if (action == QLatin1String("delete")) {
        needs(2, QStringLiteral("a NAME"));
        const LectureFolderPtr f = existing(args[1]);
        if (inv.has(QStringLiteral("with-lectures"))) {
            library.deleteFolderAndContents(f);
            session.console.print(QStringLiteral("Deleted folder '%1' and its lectures.").arg(args[1]));
        } else {
            library.deleteFolder(f);
            session.console.print(QStringLiteral("Deleted folder '%1'; its lectures are unfiled now.").arg(args[1]));
        }
        return kExitDone;
    }
    throw UsageError(QStringLiteral("'library folders' takes create, rename or delete, not '%1'").arg(action), command);
}

int move(Session& session) {
    const Invocation& inv = session.invocation;
    const bool unfiled = inv.has(QStringLiteral("unfiled"));
    if (unfiled == (inv.arguments.size() == 2))
        throw UsageError(QStringLiteral("give either a folder or --unfiled"), inv.command->name);
    const LecturePtr lecture = session.lecture(inv.arguments[0]);
    LectureFolderPtr target;
    if (!unfiled) {
        if (inv.arguments[1].trimmed().isEmpty()) throw UsageError(QStringLiteral("the folder name is empty"), inv.command->name);
        target = session.folder(inv.arguments[1].trimmed(), true);
    }
    session.library().moveLecture(lecture, target);
    session.console.print(target ? QStringLiteral("Moved %1 to folder '%2'.").arg(describeLecture(*lecture), target->name())
                                 : QStringLiteral("%1 is unfiled now.").arg(describeLecture(*lecture)));
    return kExitDone;
}

int remove(Session& session) {
    const Invocation& inv = session.invocation;
    const QString command = inv.command->name;
    const bool all = inv.has(QStringLiteral("all"));
    const bool unprocessed = inv.has(QStringLiteral("unprocessed"));
    if (all && unprocessed) throw UsageError(QStringLiteral("--all and --unprocessed do not go together"), command);
    if ((all || unprocessed) && !inv.arguments.isEmpty()) throw UsageError(QStringLiteral("give lectures or --all/--unprocessed, not both"), command);
    if (!all && !unprocessed && inv.arguments.isEmpty()) throw UsageError(QStringLiteral("name the lectures to delete, or --all or --unprocessed"), command);
    if ((all || unprocessed) && !inv.has(QStringLiteral("yes")))
        throw UsageError(QStringLiteral("--%1 deletes lectures with their exports; add --yes to confirm").arg(all ? "all" : "unprocessed"), command);

    LibraryModel& library = session.library();
    if (all || unprocessed) {
        const auto before = library.lectures().size();
        if (all)
            library.deleteAll();
        else
            library.deleteUnprocessed();
        const auto count = before - library.lectures().size();
        session.console.print(QStringLiteral("Deleted %1 lecture%2.").arg(count).arg(count == 1 ? "" : "s"));
        return kExitDone;
    }
    // Every name is resolved before anything is deleted.
    QList<LecturePtr> lectures;
    for (const QString& name : inv.arguments) {
        const LecturePtr l = session.lecture(name);
        if (!lectures.contains(l)) lectures << l;
    }
    for (const LecturePtr& l : lectures) {
        const QString text = describeLecture(*l);
        library.deleteLecture(l);
        session.console.print(QStringLiteral("Deleted %1.").arg(text));
    }
    return kExitDone;
}

QCoro::Task<int> reconcile(Session& session) {
    LibraryModel& library = session.library();
    int changes = 0;
    // The pass reports through its diagnostic lines; here they are the result.
    session.console.showDiagnostics(QStringLiteral("[Reconcile]"), &changes);
    co_await library.reconcileExports();
    session.console.showDiagnostics({}, nullptr);
    if (changes == 0) session.console.print(QStringLiteral("Nothing to reconcile."));
    co_return kExitDone;
}

}  // namespace

QCoro::Task<int> runLibrary(Session& session) {
    const QString s = sub(session);
    if (s == QLatin1String("list")) co_return list(session);
    if (s == QLatin1String("stats")) co_return co_await stats(session);
    if (s == QLatin1String("folders")) co_return folders(session);
    if (s == QLatin1String("move")) co_return move(session);
    if (s == QLatin1String("delete")) co_return remove(session);
    co_return co_await reconcile(session);
}

}  // namespace lumenote::cli
