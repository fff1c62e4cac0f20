#include "export/MarkdownExportManager.h"

#include "core/Text.h"

#include "consolidation/ModelCatalogue.h"
#include "core/Error.h"
#include "core/Lecture.h"
#include "core/LectureFiles.h"
#include "core/Settings.h"
#include "core/PassageGrouping.h"
#include "export/Subtitles.h"
#include "export/StudyPage.h"

#include <QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace lumenote {

namespace {

long long wholeSeconds(double t) { return std::isfinite(t) && t > 0 ? static_cast<long long>(t) : 0; }

QString clockText(double seconds, bool padMinutes) {
    const long long t = wholeSeconds(seconds);
    if (t < 3600) return QString::asprintf(padMinutes ? "%02lld:%02lld" : "%lld:%02lld", t / 60, t % 60);
    return QString::asprintf(padMinutes ? "%02lld:%02lld:%02lld" : "%lld:%02lld:%02lld", t / 3600, (t % 3600) / 60, t % 60);
}

void makeFolder(const QString& path) {
    std::error_code ec;
    const std::filesystem::path p = QFile::encodeName(path).toStdString();
    std::filesystem::create_directories(p, ec);
    if (!ec && std::filesystem::is_directory(p, ec)) return;
    throw Error(QStringLiteral("Could not create the folder “%1”: %2")
                    .arg(path, ec ? QString::fromLocal8Bit(ec.message().c_str()) : QStringLiteral("a file with that name is in the way")));
}

QStringList allFiles(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void copyImages(const QString& from, const QString& to) {
    makeFolder(to);
    for (const QString& name : allFiles(from)) {
        const QString target = to + QLatin1Char('/') + name;
        if (QFileInfo::exists(target) && !QFile::remove(target)) throw Error(QStringLiteral("Could not replace “%1”.").arg(target));
        QFile source(from + QLatin1Char('/') + name);
        if (!source.copy(target)) throw Error(QStringLiteral("Could not copy “%1”: %2").arg(name, source.errorString()));
    }
}

}  // namespace

MarkdownExportManager::LectureInfo MarkdownExportManager::LectureInfo::from(const Lecture& lecture) {
    return {lecture.title(), lecture.dateAdded(), lecture.duration(), lecture.sourceURL(), lecture.consolidatedWithModelID()};
}

QString MarkdownExportManager::sanitize(const QString& text) {
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString out = text;
    for (QChar& c : out)
        if (forbidden.contains(c)) c = QLatin1Char('-');
    return trimSpacesAndTabs(out);
}

QString MarkdownExportManager::fileName(const QString& title) {
    const QString name = sanitize(title);
    return (name.isEmpty() ? QStringLiteral("Lecture") : name) + QStringLiteral(".md");
}

QString MarkdownExportManager::lectureDirName(const LectureInfo& info) {
    return info.dateAdded.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + sanitize(info.title);
}

std::optional<double> MarkdownExportManager::imageTimestamp(const QString& fileName) {
    if (fileName.size() < 4) return std::nullopt;
    const QStringList pieces = fileName.chopped(4).split(QLatin1Char('_'));
    if (pieces.size() != 2) return std::nullopt;
    bool ok = false;
    const double t = pieces[1].toDouble(&ok);
    if (!ok || !std::isfinite(t)) return std::nullopt;
    return t;
}

QList<MarkdownExportManager::Entry> MarkdownExportManager::imageEntries(const QList<double>& screenshotTimes, const QStringList& imageFiles) {
    QList<std::pair<double, QString>> files;
    for (const QString& name : imageFiles)
        if (const auto t = imageTimestamp(name)) files.append({*t, name});

    QList<Entry> entries;
    for (const double t : screenshotTimes) {
        const QString* match = nullptr;
        double best = 0.15;
        for (const auto& [fileTime, name] : files) {
            if (fileTime == t) {
                match = &name;
                break;
            }
            const double distance = std::abs(fileTime - t);
            if (distance < best) {
                best = distance;
                match = &name;
            }
        }
        if (match) entries.append({t, Entry::Kind::Image, *match});
    }
    return entries;
}

QList<MarkdownExportManager::Entry> MarkdownExportManager::transcriptEntries(const QList<TranscriptSegment>& segments) {
    QList<Entry> entries;
    for (const lumenote::Block& b : groupSegmentsIntoBlocks(segments)) entries.append({b.startTime, Entry::Kind::Text, b.text});
    return entries;
}

QString MarkdownExportManager::buildDocument(const LectureInfo& info, QList<Entry> entries, const std::optional<QString>& notes,
                                             const Options& options) {
    QString title = info.title;
    QString md;
    md += QStringLiteral("---\n");
    md += QStringLiteral("title: \"") + QString(title).replace(QLatin1Char('"'), QStringLiteral("\\\"")) + QStringLiteral("\"\n");
    md += QStringLiteral("date: ") + info.dateAdded.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('\n');
    md += QStringLiteral("duration: \"") + clockText(info.duration, true) + QStringLiteral("\"\n");
    if (info.sourceURL && !info.sourceURL->isEmpty()) md += QStringLiteral("source: \"") + *info.sourceURL + QStringLiteral("\"\n");
    md += QStringLiteral("processed: \"") + options.processedAt.toUTC().toString(Qt::ISODate) + QStringLiteral("\"\n");
    md += QStringLiteral("tags:\n  - lumenote\n---\n\n");
    md += QStringLiteral("# ") + title + QStringLiteral("\n\n");
    md += QStringLiteral("*Processed with [Lumenote](") + QLatin1String(page::kProductURL) + QStringLiteral(") · ")
        + page::longDate(info.dateAdded.toLocalTime().date(), options.locale) + QStringLiteral("*\n\n");

    if (notes && !notes->trimmed().isEmpty()) {
        md += QStringLiteral("---\n\n## Notes\n\n");
        if (info.consolidatedWithModelID && !info.consolidatedWithModelID->isEmpty()) {
            md += QStringLiteral("*Consolidated notes generated with ") + options.notesModelName.value_or(*info.consolidatedWithModelID)
                + QStringLiteral(".*\n\n");
        }
        md += notes->trimmed() + QStringLiteral("\n\n");
    }

    md += QStringLiteral("---\n\n## Transcript\n\n");
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.timestamp < b.timestamp; });
    double lastHeading = -1.0;
    qsizetype chapter = 0;  // the next chapter to name
    for (const Entry& e : entries) {
        if (e.kind == Entry::Kind::Text) {
            // A paragraph that opens a chapter gets a heading naming it.
            QString title;
            while (chapter < options.chapters.size() && options.chapters[chapter].start <= e.timestamp + 0.5)
                title = options.chapters[chapter++].title;
            if (e.timestamp - lastHeading >= 1.0 || !title.isEmpty()) {
                md += QStringLiteral("\n### ") + clockText(e.timestamp, false) + (title.isEmpty() ? QString() : QStringLiteral(" · ") + title) +
                      QStringLiteral("\n\n");
                lastHeading = e.timestamp;
            }
            md += e.value + QStringLiteral("\n\n");
        } else if (options.obsidianSyntax) {
            md += QStringLiteral("![[images/") + e.value + QStringLiteral("]]\n\n");
        } else {
            md += QStringLiteral("![](images/") + e.value + QStringLiteral(")\n\n");
        }
    }
    return md;
}

QString MarkdownExportManager::exportMarkdown(const LectureInfo& info, const QList<TranscriptSegment>& segments, const QList<double>& screenshotTimes,
                                              const std::optional<QString>& notes, const QString& htmlExportFolder, const QList<Chapter>& chapters) {
    const Settings& settings = Settings::shared();
    const QString htmlFolder = QDir::cleanPath(htmlExportFolder);
    QString base = htmlFolder;
    // A chosen folder that is gone (an unplugged disk) falls back to the export folder.
    if (const auto chosen = settings.markdownExportDirectoryBookmark(); chosen && !chosen->isEmpty() && QFileInfo(*chosen).isDir())
        base = QDir::cleanPath(*chosen);
    const QString folder = base == htmlFolder ? base : base + QLatin1Char('/') + lectureDirName(info);
    makeFolder(folder);

    const QString sourceImages = htmlFolder + QStringLiteral("/images");
    if (folder != htmlFolder && QFileInfo(sourceImages).isDir()) copyImages(sourceImages, folder + QStringLiteral("/images"));

    Options options;
    // Without chapters of its own, the export's chapter file names them.
    options.chapters = chapters;
    if (QFile file(htmlFolder + QLatin1Char('/') + QLatin1String(kChaptersFileName)); options.chapters.isEmpty() && file.open(QIODevice::ReadOnly))
        options.chapters = parseChaptersVtt(QString::fromUtf8(file.readAll()));
    options.obsidianSyntax = settings.markdownExportObsidianSyntax();
    if (info.consolidatedWithModelID && !info.consolidatedWithModelID->isEmpty())
        options.notesModelName = modelDisplayName(*info.consolidatedWithModelID);

    QList<Entry> entries = transcriptEntries(segments);
    entries += imageEntries(screenshotTimes, allFiles(sourceImages));
    const QString document = buildDocument(info, entries, notes, options);

    const QString path = folder + QLatin1Char('/') + fileName(info.title);
    QString error;
    if (!writeFileAtomically(path, document.toUtf8(), &error)) throw Error(QStringLiteral("Could not write “%1”: %2").arg(path, error));
    return path;
}

QCoro::Task<QString> MarkdownExportManager::exportMarkdownAsync(LectureInfo info, QList<TranscriptSegment> segments, QList<double> screenshotTimes,
                                                                std::optional<QString> notes, QString htmlExportFolder) {
    struct Outcome {
        QString path;
        std::optional<QString> error;
    };
    QFuture<Outcome> work = QtConcurrent::run([=]() -> Outcome {
        try {
            return {exportMarkdown(info, segments, screenshotTimes, notes, htmlExportFolder), std::nullopt};
        } catch (const Error& e) {
            return {{}, e.description()};
        }
    });
    const Outcome outcome = co_await work;
    if (outcome.error) throw Error(*outcome.error);
    co_return outcome.path;
}

}  // namespace lumenote
