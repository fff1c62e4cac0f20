#pragma once

// What we say to yt-dlp and what we read back from it: the download command
// line, the rules that turn its output lines into progress, status and the
// file it is writing, and the small text rules around the tools' versions.
// Pure functions, no processes.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace lumenote {

// The merge-capable format choice, used when ffmpeg can be handed to yt-dlp.
inline const QString kYtDlpMergeFormat = QStringLiteral(
    "bestvideo[height<=1080][vcodec^=avc]+bestaudio[ext=m4a]/bestvideo[height<=1080][vcodec^=avc]+bestaudio/"
    "bestvideo[height<=1080]+bestaudio[ext=m4a]/bestvideo[height<=1080]+bestaudio/bestvideo+bestaudio/best");
// Pre-merged files only, for when there is no ffmpeg to merge streams.
inline const QString kYtDlpPremergedFormat = QStringLiteral("best[ext=mp4]/best[ext=webm]/best");
// A comma picks the first field with a value; "|" would print a literal default.
inline const QString kUploaderTemplate = QStringLiteral("%(channel,uploader)s");

// The download arguments in their fixed order; the address comes last.
QStringList ytDlpDownloadArguments(const QString& folder, const QString& urlString, bool forceRefresh,
                                   const std::optional<QString>& ffmpegPath);

// The address check shared by the downloader and the import screen: the text
// parses as a URL whose scheme begins with "http". The text is not trimmed.
bool isDownloadableURL(const QString& text);

// One chunk of pipe output as the non-empty pieces between "\n". Bytes that are
// not valid UTF-8 count as no text. A line split across two chunks therefore
// yields two pieces.
QStringList splitOutputChunk(const QByteArray& chunk);

// The part of the downloader's state that output lines change.
struct DownloadLineState {
    double progress = 0;
    QString statusText;
    std::optional<QString> currentDownloadPath;
};

// Applies the four line rules (progress, destination, merge, already present)
// in that order; more than one may apply. Log lines for path changes are
// appended to *log. Relative paths are taken against the working directory,
// which the yt-dlp child shares with us.
void applyYtDlpLine(const QString& line, DownloadLineState& state, QStringList* log);

// The status line after a chunk of standard error: the last piece that is not
// one of the self-extractor's "[PYI-" lines.
std::optional<QString> statusFromStderrPieces(const QStringList& pieces);

// The failure text of a finished download: standard-error lines without the
// "[PYI-" ones, joined with newlines and trimmed.
QString downloadFailureText(const QStringList& stderrLines);

// A file name without its last extension ("Lecture 3.f137.mp4" -> "Lecture 3.f137").
QString fileNameWithoutExtension(const QString& fileName);

// The version in `ffmpeg -version` output: the text after the first "version "
// up to the next whitespace; none when "version " does not occur.
std::optional<QString> parseFFmpegVersion(const QString& output);

// The uploader query's output: trimmed; empty text or "NA" is none.
std::optional<QString> parseUploaderName(const QByteArray& output);

// The "tag_name" of a GitHub release answer; none when the body is not a JSON
// object carrying it as a string.
std::optional<QString> parseReleaseTag(const QByteArray& body);

// What the ffmpeg build-info service says of its latest build: "version" and
// "download" -> "zip" -> "url"; none when either is missing or not a string.
struct FFmpegBuildInfo {
    QString version;
    QString archiveUrl;
    // The service lists the archive's size, but no checksum of it.
    std::optional<qint64> archiveSize;
};
std::optional<FFmpegBuildInfo> parseFFmpegBuildInfo(const QByteArray& body);

}  // namespace lumenote
