#pragma once

// Writes a lecture's study page and everything it refers to into a folder of
// its own under the export root, and finds, moves, deletes and reveals those
// folders:
//
//   <root>/[<library folder>/]<yyyy-MM-dd title>/
//       index.html  styles.css  images/0001_000.25.jpg ...  audio.m4a
//
// The run is a coroutine on the main thread; images, audio, text-slide
// classification and page building run on worker threads.

#include "core/CapturedScreenshot.h"
#include "core/Lecture.h"
#include "core/LibraryModel.h"
#include "core/TranscriptModel.h"
#include "export/TextSlides.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <optional>

namespace lumenote {

// DiskExportEntry (one lecture export found on disk) is the library's own type.

// Progress of an export run: fraction 0..1 and the line to show. Called on the
// main thread.
using ExportProgress = std::function<void(double fraction, const QString& line)>;

class ExportManager : public QObject {
    Q_OBJECT
public:
    static ExportManager& shared();

    // The export run. `videoPath` is the source of the page's audio; `notes`
    // none means no notes view even when the lecture holds notes; `folderName`
    // is the name of the lecture's library folder. Annotations are read from
    // the lecture; the settings (export root, Markdown) from Settings::shared().
    // Returns the lecture folder's path; throws Error when the folder, the
    // stylesheet or the page cannot be written. Audio and Markdown problems are
    // logged and never fail the run. Call on the main thread; the lecture must
    // stay unchanged while the run awaits.
    QCoro::Task<QString> exportLecture(QString videoPath, LecturePtr lecture, QList<TranscriptSegment> segments,
                                       QList<CapturedScreenshot> screenshots, std::optional<QString> notes,
                                       std::optional<QString> folderName, ExportProgress progress = {});

    // Names and places.
    // Drops / \ : * ? " < > | and control characters, collapses double spaces,
    // trims, cuts at 60 characters; empty becomes "Untitled".
    static QString sanitizeName(const QString& name);
    // "yyyy-MM-dd <sanitised title>" with the date in local time.
    static QString lectureDirName(const QDateTime& dateAdded, const QString& title);
    static QString lectureDirName(const Lecture& lecture);
    // The directory of a library folder; none when it has no usable name.
    static std::optional<QString> folderDirName(const std::optional<QString>& folderName);
    // "%04d_%06.2f.jpg" from the 1-based position and the time.
    static QString screenshotFileName(int position, double timestamp);
    // The path with the home folder shown as "~".
    static QString displayPath(const QString& path);

    // The chosen export folder when it exists, else the default one.
    QString exportRoot() const;
    // The lecture's own export folder under the library folder's directory:
    // its dir name, or that name with " (2)", " (3)"... when a lecture of the
    // same date and title holds it. Every export stamps its folder with the
    // lecture id; an unstamped folder (written before stamping) is taken by
    // the first lecture that asks for it.
    QString lectureFolderPath(const Lecture& lecture, const std::optional<QString>& folderName) const;
    // The stamp file inside an export folder and its content.
    static constexpr const char* kLectureStampFileName = ".lumenote-lecture";
    static std::optional<QUuid> lectureStamp(const QString& folder);
    static bool stampLectureFolder(const QString& folder, const QUuid& lectureID);
    // The lecture's export folder when it exists on disk.
    std::optional<QString> existingLectureFolder(const Lecture& lecture, const std::optional<QString>& folderName) const;

    // Lecture exports under the root (hidden entries skipped); empty when the
    // root is missing or unreadable. Blocking; safe off the main thread.
    QList<DiskExportEntry> scanExportRoot() const;
    // Moves the export between library folders, creating the new parent and
    // removing a library folder that the move left empty (never the root).
    // Returns whether a folder was moved.
    bool moveExport(const Lecture& lecture, const std::optional<QString>& fromFolder, const std::optional<QString>& toFolder) const;
    bool deleteExport(const Lecture& lecture, const std::optional<QString>& folderName) const;
    // Shows the export folder in the file manager when it exists.
    void revealExport(const Lecture& lecture, const std::optional<QString>& folderName) const;
    // Reads every image of the export that is not yet present locally, which
    // makes on-demand sync clients fetch it. Returns the number requested.
    int triggerExportDownload(const Lecture& lecture, const std::optional<QString>& folderName) const;
    // The freedesktop file manager's ShowItems, else the folder opened.
    static void revealInFileManager(const QString& path);

    // The text detector behind the slide classification.
    void setTextRegionDetector(TextRegionDetector detector) { detector_ = std::move(detector); }
    // Writes the Markdown file on every export whatever the setting says (the
    // command line's --markdown, for one run); false follows the setting.
    void setMarkdownForced(bool forced) { markdownForced_ = forced; }
    bool isMarkdownForced() const { return markdownForced_; }

    static constexpr const char* kAudioFileName = "audio.m4a";

private:
    ExportManager();

    TextRegionDetector detector_;
    bool markdownForced_ = false;
    QThreadPool audioPool_;  // one audio extraction at a time, beside the image work
};

}  // namespace lumenote
