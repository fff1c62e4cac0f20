#include "export/ExportManager.h"

#include "core/Text.h"

#include "consolidation/ModelCatalogue.h"
#include "core/Annotations.h"
#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/LectureFiles.h"
#include "core/LibraryStore.h"
#include "core/SearchIndex.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "core/Uuid.h"
#include "export/AudioExport.h"
#include "export/MarkdownExportManager.h"
#include "core/PassageGrouping.h"
#include "export/StudyPage.h"
#include "export/Subtitles.h"

#include <QCoroFuture>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>

namespace lumenote {

namespace {

constexpr qsizetype kMaxNameLength = 60;

// Drops the forbidden characters and control characters, collapses spaces and
// cuts to 60 characters (whole characters, never half a surrogate pair or an
// accent without its letter). May return an empty string.
QString sanitizeRaw(const QString& name) {
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (forbidden.contains(c)) continue;
        const auto category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format) continue;
        out += c;
    }
    while (out.contains(QLatin1String("  "))) out.replace(QLatin1String("  "), QLatin1String(" "));
    out = trimSpacesAndTabs(out);
    // No more code units than the limit means no more graphemes either.
    if (out.size() <= kMaxNameLength) return out;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, out);
    qsizetype count = 0, cut = -1;
    while (graphemes.toNextBoundary() >= 0) {
        if (++count == kMaxNameLength) {
            cut = graphemes.position();
            break;
        }
    }
    if (cut >= 0 && cut < out.size()) out = trimSpacesAndTabs(out.left(cut));
    return out;
}

// Creates a folder with its parents; throws the file system's reason.
void ensureDirectory(const QString& path) {
    std::error_code ec;
    const std::filesystem::path p = QFile::encodeName(path).toStdString();
    std::filesystem::create_directories(p, ec);
    if (!ec && std::filesystem::is_directory(p, ec)) return;
    const QString reason = ec ? QString::fromLocal8Bit(ec.message().c_str()) : QStringLiteral("a file with that name is in the way");
    throw Error(QStringLiteral("Could not create the folder “%1”: %2").arg(path, reason));
}

bool writeJpeg(const QImage& image, const QString& path) {
    if (image.isNull()) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(95);
    if (!writer.write(image)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QStringList visibleEntries(const QString& dir, QDir::Filters filters) {
    return QDir(dir).entryList(filters | QDir::NoDotAndDotDot, QDir::Name);
}

bool hasVisibleEntries(const QString& dir) { return !visibleEntries(dir, QDir::AllEntries).isEmpty(); }

// rename(), or copy and delete when the two places are on different devices.
bool moveTree(const QString& from, const QString& to) {
    if (QDir().rename(from, to)) return true;
    std::error_code ec;
    const std::filesystem::path src = QFile::encodeName(from).toStdString(), dst = QFile::encodeName(to).toStdString();
    std::filesystem::copy(src, dst, std::filesystem::copy_options::recursive, ec);
    if (ec) {
        std::filesystem::remove_all(dst, ec);
        return false;
    }
    std::filesystem::remove_all(src, ec);
    return true;
}

// What the page needs from the record, read on the main thread before the run
// leaves it.
struct LectureSnapshot {
    page::PageLecture page;
    MarkdownExportManager::LectureInfo markdown;
    std::optional<QByteArray> notes, margins, highlights, notesInline, notesMargins, notesHighlights;
};

LectureSnapshot snapshot(const Lecture& lecture) {
    LectureSnapshot s;
    s.page.title = lecture.title();
    s.page.dateAdded = lecture.dateAdded();
    s.page.duration = lecture.duration();
    s.page.channelName = lecture.channelName();
    s.page.sourceURL = lecture.sourceURL();
    s.page.localFilePath = lecture.localFilePath();
    s.page.language = lecture.transcriptLanguage();
    if (const auto model = lecture.consolidatedWithModelID(); model && !model->isEmpty()) s.page.notesModelName = modelDisplayName(*model);
    s.markdown = MarkdownExportManager::LectureInfo::from(lecture);
    s.notes = lecture.notesData();
    s.margins = lecture.marginNotesData();
    s.highlights = lecture.highlightsData();
    s.notesInline = lecture.notesInlineNotesData();
    s.notesMargins = lecture.notesMarginNotesData();
    s.notesHighlights = lecture.notesHighlightsData();
    return s;
}

}  // namespace

ExportManager::ExportManager() {
    audioPool_.setMaxThreadCount(1);
    detector_ = defaultTextRegionDetector();
}

ExportManager& ExportManager::shared() {
    static ExportManager* instance = new ExportManager;
    return *instance;
}

QString ExportManager::sanitizeName(const QString& name) {
    const QString s = sanitizeRaw(name);
    return s.isEmpty() ? QStringLiteral("Untitled") : s;
}

QString ExportManager::lectureDirName(const QDateTime& dateAdded, const QString& title) {
    const QDate day = dateAdded.toLocalTime().date();
    return QString::asprintf("%04d-%02d-%02d ", day.year(), day.month(), day.day()) + sanitizeName(title);
}

QString ExportManager::lectureDirName(const Lecture& lecture) { return lectureDirName(lecture.dateAdded(), lecture.title()); }

std::optional<QString> ExportManager::folderDirName(const std::optional<QString>& folderName) {
    if (!folderName) return std::nullopt;
    const QString s = sanitizeRaw(*folderName);
    if (s.isEmpty()) return std::nullopt;
    return s;
}

QString ExportManager::screenshotFileName(int position, double timestamp) { return QString::asprintf("%04d_%06.2f.jpg", position, timestamp); }

QString ExportManager::displayPath(const QString& path) {
    const QString home = QDir::homePath();
    if (path == home) return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/'))) return QStringLiteral("~") + path.mid(home.size());
    return path;
}

QString ExportManager::exportRoot() const {
    if (const auto chosen = Settings::shared().exportRootBookmark(); chosen && !chosen->isEmpty() && QFileInfo(*chosen).isDir())
        return QDir::cleanPath(*chosen);
    return AppPaths::exportRoot();
}

std::optional<QUuid> ExportManager::lectureStamp(const QString& folder) {
    const std::optional<QByteArray> bytes = readFileBytes(folder + QLatin1Char('/') + QLatin1String(kLectureStampFileName));
    if (!bytes) return std::nullopt;
    const QUuid id = QUuid::fromString(QString::fromUtf8(bytes->trimmed()));
    if (id.isNull()) return std::nullopt;
    return id;
}

bool ExportManager::stampLectureFolder(const QString& folder, const QUuid& lectureID) {
    if (lectureStamp(folder) == lectureID) return true;
    return writeFileAtomically(folder + QLatin1Char('/') + QLatin1String(kLectureStampFileName), uuidText(lectureID).toUtf8());
}

QString ExportManager::lectureFolderPath(const Lecture& lecture, const std::optional<QString>& folderName) const {
    QString parent = exportRoot();
    if (const auto dir = folderDirName(folderName)) parent += QLatin1Char('/') + *dir;
    const QString base = lectureDirName(lecture);
    auto candidate = [&](int n) { return parent + QLatin1Char('/') + (n == 1 ? base : base + QStringLiteral(" (%1)").arg(n)); };
    // The numbered names in use, then the first that is this lecture's, or
    // unclaimed, or free.
    QList<int> used;
    const QRegularExpression numbered(QStringLiteral("^ \\((\\d+)\\)$"));
    for (const QString& name : visibleEntries(parent, QDir::Dirs)) {
        if (name == base) {
            used.append(1);
        } else if (name.startsWith(base)) {
            const QRegularExpressionMatch m = numbered.match(name.mid(base.size()));
            if (m.hasMatch() && m.captured(1).toInt() >= 2) used.append(m.captured(1).toInt());
        }
    }
    std::sort(used.begin(), used.end());
    std::optional<int> unclaimed;
    for (int n : used) {
        const std::optional<QUuid> owner = lectureStamp(candidate(n));
        if (owner == lecture.id()) return candidate(n);
        if (!owner && !unclaimed) unclaimed = n;
    }
    if (unclaimed) return candidate(*unclaimed);
    int n = 1;
    while (used.contains(n)) ++n;
    return candidate(n);
}

std::optional<QString> ExportManager::existingLectureFolder(const Lecture& lecture, const std::optional<QString>& folderName) const {
    const QString path = lectureFolderPath(lecture, folderName);
    if (QFileInfo(path).isDir()) return path;
    return std::nullopt;
}

QCoro::Task<QString> ExportManager::exportLecture(QString videoPath, LecturePtr lecture, QList<TranscriptSegment> segments,
                                                  QList<CapturedScreenshot> screenshots, std::optional<QString> notes,
                                                  std::optional<QString> folderName, ExportProgress progress) {
    auto report = [progress](double fraction, const QString& line) {
        if (progress) progress(fraction, line);
    };
    if (!lecture) throw Error(QStringLiteral("There is no lecture to export."));
    if (notes && notes->trimmed().isEmpty()) notes.reset();

    // 1. Folders.
    report(0.0, QStringLiteral("Exporting audio & images…"));
    const LectureSnapshot record = snapshot(*lecture);
    const bool writeMarkdown = markdownForced_ || Settings::shared().markdownExportEnabled();
    const QString root = exportRoot();
    ensureDirectory(root);
    const QString folder = lectureFolderPath(*lecture, folderName);
    const QString imagesDir = folder + QStringLiteral("/images");
    ensureDirectory(imagesDir);
    stampLectureFolder(folder, lecture->id());

    // 2. Audio, text-slide classification and images side by side.
    const QString audioPath = folder + QLatin1Char('/') + QLatin1String(kAudioFileName);
    QFile::remove(audioPath);
    QFuture<QString> audio = QtConcurrent::run(&audioPool_, [videoPath, audioPath]() -> QString {
        try {
            exportAudioM4A(videoPath, audioPath);
            return {};
        } catch (const Error& e) {
            return e.description();
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
    });
    QFuture<QSet<double>> textSlides = QtConcurrent::run([screenshots, detector = detector_] { return detectTextSlides(screenshots, detector); });

    const int total = int(screenshots.size());
    auto done = std::make_shared<int>(0);
    QList<QFuture<bool>> images;
    QStringList fileNames;
    images.reserve(total);
    for (int i = 0; i < total; ++i) {
        const QString name = screenshotFileName(i + 1, screenshots[i].timestamp);
        fileNames.append(name);
        images.append(QtConcurrent::run([image = screenshots[i].image, path = imagesDir + QLatin1Char('/') + name] { return writeJpeg(image, path); })
                          .then(this, [report, done, total](bool written) {
                              ++*done;
                              report(0.45 * *done / total, QStringLiteral("Exporting images… %1/%2").arg(*done).arg(total));
                              return written;
                          }));
    }

    QTimer dots;
    int dotCount = 0;
    auto showDots = [&] {
        dotCount = dotCount % 3 + 1;
        report(0.47, QStringLiteral("Extracting audio") + QString(dotCount, QLatin1Char('.')));
    };
    connect(&dots, &QTimer::timeout, this, [&] {
        if (audio.isFinished())
            dots.stop();
        else
            showDots();
    });
    showDots();
    dots.start(500);

    QList<page::PageScreenshot> written;
    for (int i = 0; i < total; ++i) {
        if (co_await images[i]) written.append({screenshots[i].timestamp, fileNames[i]});
    }
    const QString audioError = co_await audio;
    dots.stop();
    std::optional<QString> audioFile;
    if (audioError.isEmpty()) {
        logLine(QStringLiteral("[Export] Audio exported to ") + audioPath);
        audioFile = QString::fromLatin1(kAudioFileName);
    } else {
        logLine(QStringLiteral("[Export] Audio extraction skipped: ") + audioError);
    }

    // 3. Stylesheet.
    report(0.5, QStringLiteral("Writing stylesheet…"));
    QString writeError;
    if (!writeFileAtomically(folder + QStringLiteral("/styles.css"), page::stylesheet().toUtf8(), &writeError))
        throw Error(QStringLiteral("Could not write styles.css: ") + writeError);

    // 4. Page inputs.
    report(0.55, QStringLiteral("Building page…"));
    // Futures are named before they are awaited: GCC 12 mishandles temporaries
    // with captures inside a co_await expression.
    QFuture<page::PageInput> building = QtConcurrent::run([record, segments, written, notes, audioFile] {
        page::PageInput in;
        in.lecture = record.page;
        in.audioFileName = audioFile;
        const QList<UserNote> userNotes = decodeOrEmpty<UserNote>(record.notes, decodeUserNotes);
        in.entries = page::buildEntries(groupSegmentsIntoBlocks(segments), written, userNotes);
        in.marginNotes = decodeOrEmpty<MarginNote>(record.margins, decodeMarginNotes);
        in.highlights = decodeOrEmpty<TextHighlight>(record.highlights, decodeHighlights);
        if (notes) {
            in.notesHTML = page::notesHTML(*notes, decodeOrEmpty<UserNote>(record.notesInline, decodeUserNotes),
                                           decodeOrEmpty<MarginNote>(record.notesMargins, decodeMarginNotes),
                                           decodeOrEmpty<TextHighlight>(record.notesHighlights, decodeHighlights));
        }
        return in;
    });
    page::PageInput input = co_await building;

    // 5. The page.
    report(0.75, QStringLiteral("Writing HTML…"));
    input.textSlides = co_await textSlides;
    // Chapters from the text slides' words, else from the pauses.
    // The slides' words also go to the library's search index.
    const QString libraryPath = lecture->store() ? lecture->store()->path() : QString();
    QFuture<std::pair<QList<Chapter>, QString>> chaptering =
        QtConcurrent::run([screenshots, slides = input.textSlides, segments, libraryPath, id = lecture->id()] {
            const QList<SlideText> text = recognizeSlideText(screenshots, slides, slideTextSideFilePath(id));
            QString indexError;
            if (!libraryPath.isEmpty()) {
                QList<std::pair<double, QString>> words;
                for (const SlideText& s : text) words.append({s.timestamp, s.lines.join(QLatin1Char('\n'))});
                try {
                    SearchIndex::recordSlideText(libraryPath, id, words);
                } catch (const Error& e) {
                    indexError = e.description();
                }
            }
            return std::pair{lectureChapters(text, segments), indexError};
        });
    const auto [found, indexError] = co_await chaptering;
    if (!indexError.isEmpty()) logLine(QStringLiteral("[ExportManager] Slide words not indexed: ") + indexError);
    input.chapters = found;
    const QList<Chapter> chapters = input.chapters;
    double length = record.page.duration;
    for (const TranscriptSegment& s : segments) length = std::max(length, s.endTime);
    input.exportTime = QDateTime::currentDateTimeUtc();
    QFuture<QString> writing = QtConcurrent::run([input = std::move(input), path = folder + QStringLiteral("/index.html")] {
        QString error;
        if (!writeFileAtomically(path, page::buildHTML(input).toUtf8(), &error)) return error.isEmpty() ? QStringLiteral("write failed") : error;
        return QString();
    });
    const QString pageError = co_await writing;
    if (!pageError.isEmpty()) throw Error(QStringLiteral("Could not write index.html: ") + pageError);
    // The chapters as a WebVTT track beside the audio.
    if (audioFile && !chapters.isEmpty()) {
        QString error;
        if (!writeFileAtomically(folder + QLatin1Char('/') + QLatin1String(kChaptersFileName), chaptersVttText(chapters, length).toUtf8(), &error))
            logLine(QStringLiteral("[ExportManager] Chapters file not written: ") + error);
    }

    // Subtitles and the plain-text transcript, when asked for.
    if (Settings::shared().exportSubtitles()) {
        report(0.9, QStringLiteral("Writing subtitles…"));
        QFuture<QString> subtitles = QtConcurrent::run([segments, folder]() -> QString {
            for (const SubtitleFormat format : {SubtitleFormat::Srt, SubtitleFormat::Vtt, SubtitleFormat::Text}) {
                QString error;
                const QString name = subtitleFileName(format);
                if (!writeFileAtomically(folder + QLatin1Char('/') + name, subtitleText(format, segments).toUtf8(), &error))
                    return name + QStringLiteral(": ") + error;
            }
            return {};
        });
        const QString subtitlesError = co_await subtitles;
        if (!subtitlesError.isEmpty()) logLine(QStringLiteral("[ExportManager] Subtitles export failed: ") + subtitlesError);
    }

    // 6. Markdown.
    if (writeMarkdown) {
        report(0.95, QStringLiteral("Writing Markdown…"));
        QList<double> times;
        for (const CapturedScreenshot& s : screenshots) times.append(s.timestamp);
        QFuture<QString> markdown = QtConcurrent::run([info = record.markdown, segments, times, notes, folder, chapters]() -> QString {
            try {
                MarkdownExportManager::exportMarkdown(info, segments, times, notes, folder, chapters);
                return {};
            } catch (const Error& e) {
                return e.description();
            }
        });
        const QString markdownError = co_await markdown;
        if (!markdownError.isEmpty()) logLine(QStringLiteral("[ExportManager] Markdown export failed: ") + markdownError);
    }

    // 7. Done.
    report(1.0, QStringLiteral("Export saved to ") + displayPath(folder));
    co_return folder;
}

QList<DiskExportEntry> ExportManager::scanExportRoot() const {
    QList<DiskExportEntry> entries;
    const QString root = exportRoot();
    for (const QString& name : visibleEntries(root, QDir::Dirs)) {
        const QString dir = root + QLatin1Char('/') + name;
        if (QFileInfo::exists(dir + QStringLiteral("/index.html"))) {
            entries.append({name, std::nullopt, lectureStamp(dir)});
            continue;
        }
        for (const QString& inner : visibleEntries(dir, QDir::Dirs)) {
            const QString lectureDir = dir + QLatin1Char('/') + inner;
            if (QFileInfo::exists(lectureDir + QStringLiteral("/index.html"))) entries.append({inner, name, lectureStamp(lectureDir)});
        }
    }
    logLine(QStringLiteral("[ExportManager] scanExportRoot: found %1 export(s)").arg(entries.size()));
    return entries;
}

bool ExportManager::moveExport(const Lecture& lecture, const std::optional<QString>& fromFolder, const std::optional<QString>& toFolder) const {
    const auto fromDir = folderDirName(fromFolder), toDir = folderDirName(toFolder);
    if (fromDir == toDir) return false;
    const QString root = exportRoot();
    const QString from = lectureFolderPath(lecture, fromFolder);
    const QString to = lectureFolderPath(lecture, toFolder);
    if (!QFileInfo(from).isDir()) return false;
    QDir().mkpath(QFileInfo(to).absolutePath());
    // An older copy at the destination is this lecture's too: the moved one replaces it.
    if (QFileInfo::exists(to)) QDir(to).removeRecursively();
    if (!moveTree(from, to)) return false;
    if (fromDir) {
        const QString oldParent = root + QLatin1Char('/') + *fromDir;
        if (QDir::cleanPath(oldParent) != QDir::cleanPath(root) && !hasVisibleEntries(oldParent)) QDir(oldParent).removeRecursively();
    }
    return true;
}

bool ExportManager::deleteExport(const Lecture& lecture, const std::optional<QString>& folderName) const {
    const QString path = lectureFolderPath(lecture, folderName);
    if (!QFileInfo(path).isDir()) return false;
    return QDir(path).removeRecursively();
}

void ExportManager::revealExport(const Lecture& lecture, const std::optional<QString>& folderName) const {
    if (const auto folder = existingLectureFolder(lecture, folderName)) revealInFileManager(*folder);
}

int ExportManager::triggerExportDownload(const Lecture& lecture, const std::optional<QString>& folderName) const {
    int requested = 0;
    const QString imagesDir = lectureFolderPath(lecture, folderName) + QStringLiteral("/images");
    for (const QString& name : visibleEntries(imagesDir, QDir::Files)) {
        const QString path = imagesDir + QLatin1Char('/') + name;
        // A file the sync client has not fetched yet is an empty placeholder;
        // opening it asks an on-demand client to bring it in.
        if (QFileInfo(path).size() > 0) continue;
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) f.read(1);
        ++requested;
    }
    logLine(QStringLiteral("[ExportManager] triggerExportDownload: requested %1 image(s) from the sync folder").arg(requested));
    return requested;
}

void ExportManager::revealInFileManager(const QString& path) {
    const QUrl url = QUrl::fromLocalFile(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{url.toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, path] {
        if (watcher->isError()) QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
        watcher->deleteLater();
    });
}

}  // namespace lumenote
