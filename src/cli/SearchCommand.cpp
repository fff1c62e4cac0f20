// search <query>...: hits from the library's full-text index.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/LectureLookup.h"
#include "cli/Session.h"
#include "core/LibraryStore.h"
#include "core/SearchIndex.h"
#include "export/ExportManager.h"
#include "export/StudyPage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <cmath>

namespace lumenote::cli {

namespace {

// The snippet with every match between ** marks.
QString markedSnippet(const SearchHit& hit) {
    QString out;
    qsizetype at = 0;
    for (const auto& [start, length] : hit.marks) {
        out += hit.snippet.mid(at, start - at) + QStringLiteral("**") + hit.snippet.mid(start, length) + QStringLiteral("**");
        at = start + length;
    }
    return out + hit.snippet.mid(at);
}

}  // namespace

QString studyPageLink(const QString& exportFolder, std::optional<double> time) {
    QUrl url = QUrl::fromLocalFile(studyPagePath(exportFolder));
    if (time) url.setFragment(QStringLiteral("t=%1").arg(qint64(std::floor(std::max(0.0, *time)))));
    return url.toString(QUrl::FullyEncoded);
}

QCoro::Task<int> runSearch(Session& session) {
    const Invocation& inv = session.invocation;
    const QString query = inv.arguments.join(QLatin1Char(' '));
    if (parseSearchQuery(query).phrases.isEmpty()) throw UsageError(QStringLiteral("the query has no words to look for"), inv.command->name);
    SearchIndex::Options options;
    LibraryStore& store = session.store();
    if (const auto name = inv.value(QStringLiteral("lecture"))) options.lecture = session.lecture(*name)->id();
    const std::unique_ptr<SearchIndex> index = SearchIndex::open(store.path());
    const QList<SearchHit> hits = index->search(query, options);

    // Each lecture's study page, looked up once.
    QHash<QUuid, std::optional<QString>> folders;
    auto folderOf = [&](const Lecture& l) {
        auto it = folders.find(l.id());
        if (it == folders.end()) it = folders.insert(l.id(), ExportManager::shared().existingLectureFolder(l, session.folderName(l)));
        return *it;
    };

    if (inv.has(QStringLiteral("json"))) {
        QJsonArray rows;
        for (const SearchHit& h : hits) {
            const LecturePtr l = store.lecture(h.lectureID);
            if (!l) continue;
            QJsonArray marks;
            for (const auto& [start, length] : h.marks) marks.append(QJsonArray{qint64(start), qint64(length)});
            const auto folder = folderOf(*l);
            rows.append(QJsonObject{{QStringLiteral("lectureID"), l->idText()},
                                    {QStringLiteral("title"), l->title()},
                                    {QStringLiteral("kind"), searchHitKindName(h.kind)},
                                    {QStringLiteral("time"), h.time ? QJsonValue(*h.time) : QJsonValue()},
                                    {QStringLiteral("snippet"), h.snippet},
                                    {QStringLiteral("marks"), marks},
                                    {QStringLiteral("link"), folder ? QJsonValue(studyPageLink(*folder, h.time)) : QJsonValue()}});
        }
        session.console.print(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)).trimmed());
        co_return hits.isEmpty() ? kExitFailed : kExitDone;
    }
    if (hits.isEmpty()) {
        session.console.print(QStringLiteral("Nothing found for %1.").arg(query));
        co_return kExitFailed;
    }
    QUuid shown;
    for (const SearchHit& h : hits) {
        const LecturePtr l = store.lecture(h.lectureID);
        if (!l) continue;
        if (h.lectureID != shown) {
            if (!shown.isNull()) session.console.print(QString());
            session.console.print(QStringLiteral("%1 (%2)").arg(l->title(), shortID(*l)));
            shown = h.lectureID;
        }
        const QString where = h.time ? page::formatTimestamp(*h.time) : QStringLiteral("notes");
        session.console.print(QStringLiteral("  %1  %2").arg(where, 7).arg(markedSnippet(h)));
        if (const auto folder = folderOf(*l)) session.console.print(QStringLiteral("           %1").arg(studyPageLink(*folder, h.time)));
    }
    co_return kExitDone;
}

}  // namespace lumenote::cli
