#pragma once

// The Markdown twin of a lecture's study page, for notes vaults such as
// Obsidian: front matter, the notes, and the transcript as timestamped
// paragraphs with the screenshots linked from an images/ folder beside it.

#include "core/TranscriptModel.h"
#include "export/Chapters.h"

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace lumenote {

class Lecture;

class MarkdownExportManager {
public:
    struct LectureInfo {
        QString title;
        QDateTime dateAdded;
        double duration = 0;
        std::optional<QString> sourceURL;
        std::optional<QString> consolidatedWithModelID;

        static LectureInfo from(const Lecture& lecture);
    };

    // One transcript paragraph.
    struct Block {
        double startTime = 0;
        QString text;
    };

    struct Entry {
        enum class Kind { Text, Image };
        double timestamp = 0;
        Kind kind = Kind::Text;
        QString value;  // paragraph text or image file name
        bool operator==(const Entry&) const = default;
    };

    // The document's options beside the lecture itself.
    struct Options {
        bool obsidianSyntax = false;
        QDateTime processedAt = QDateTime::currentDateTimeUtc();
        QLocale locale;
        std::optional<QString> notesModelName;  // display name of consolidatedWithModelID
        QList<Chapter> chapters;                // named in the time heading of the paragraph opening each
    };

    // Splits at each of / \ : * ? " < > | and joins with "-", then trims.
    static QString sanitize(const QString& text);
    // The sanitised title, or "Lecture", plus ".md".
    static QString fileName(const QString& title);
    // "yyyy-MM-dd <sanitised title>": the folder made inside a chosen target.
    static QString lectureDirName(const LectureInfo& info);

    // The timestamp in an image name "0003_012.50.jpg" (two pieces around "_").
    static std::optional<double> imageTimestamp(const QString& fileName);
    // For each screenshot time, the image with the same time, else the nearest
    // one closer than 0.15 s; screenshots without one are left out.
    static QList<Entry> imageEntries(const QList<double>& screenshotTimes, const QStringList& imageFiles);
    static QList<Entry> transcriptEntries(const QList<TranscriptSegment>& segments);

    // The whole file.
    static QString buildDocument(const LectureInfo& info, QList<Entry> entries, const std::optional<QString>& notes, const Options& options);

    // Writes the file: into the chosen Markdown folder (setting
    // markdownExportDirectoryBookmark) with a copy of the images, else into the
    // HTML export folder itself. Returns the file's path; throws Error.
    // Blocking file work, safe off the main thread.
    static QString exportMarkdown(const LectureInfo& info, const QList<TranscriptSegment>& segments, const QList<double>& screenshotTimes,
                                  const std::optional<QString>& notes, const QString& htmlExportFolder, const QList<Chapter>& chapters = {});
    // The same, run off the main thread.
    static QCoro::Task<QString> exportMarkdownAsync(LectureInfo info, QList<TranscriptSegment> segments, QList<double> screenshotTimes,
                                                    std::optional<QString> notes, QString htmlExportFolder);
};

}  // namespace lumenote
