#pragma once

// The Hugging Face hub cache as other tools lay it out on disk, and the
// environment that places it:
//
//   <cache>/models--<owner>--<name>/refs/main          commit hash of the snapshot
//   <cache>/models--<owner>--<name>/blobs/<etag>       file contents
//   <cache>/models--<owner>--<name>/snapshots/<sha>/   symbolic links into ../../blobs
//
// Everything here is pure path and header logic; no network.

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace lumenote::hub {

// Sent with every request to the model repository.
inline constexpr const char* kUserAgent = "Lumenote/1.0";

// HF_ENDPOINT, else https://huggingface.co (no trailing slash).
QUrl endpointUrl();

// HF_HUB_CACHE, else $HF_HOME/hub, else $XDG_CACHE_HOME/huggingface/hub
// (~/.cache/huggingface/hub). Downloads go here.
QString hubCacheDirectory();

// Folders that hold hub-layout repositories, in search order: HF_HUB_CACHE and
// $HF_HOME/hub when set, then <root>/huggingface/hub for the user's cache and
// data folders. Duplicates removed.
QStringList hubCacheSearchDirectories();

// HF_HUB_CACHE and $HF_HOME/hub, those that are set.
QStringList environmentHubCacheDirectories();

// Roots of the flat layout <root>/huggingface/models/<owner>/<name>: the
// user's cache folder, then the data folder.
QStringList flatLayoutRoots();

// "openai/whisper-tiny" -> "models--openai--whisper-tiny".
QString repoFolderName(const QString& repo);

struct RepoCachePaths {
    QString root;       // <cache>/models--owner--name
    QString blobs;      // root/blobs
    QString snapshots;  // root/snapshots
    QString refMain;    // root/refs/main
    QString snapshot(const QString& sha) const { return snapshots + QLatin1Char('/') + sha; }
    QString blob(const QString& name) const { return blobs + QLatin1Char('/') + name; }
};
RepoCachePaths repoCachePaths(const QString& cacheDir, const QString& repo);

// The commit hash recorded in refs/main, if any.
std::optional<QString> readRefMain(const RepoCachePaths& paths);

// An ETag header value as a file name: weak prefix and quotes removed.
QString normalizeEtag(const QByteArray& header);

// 64 lower-case hexadecimal digits: the ETag of a large (LFS) file is the
// SHA-256 of its contents.
bool isSha256Hex(const QString& text);

// 40 lower-case hexadecimal digits: the ETag of any other file is its git
// blob hash (gitBlobSha1).
bool isGitBlobSha1Hex(const QString& text);

// The git blob hash of a file: SHA-1 over "blob <size>\0" and the contents, as
// 40 lower-case hex digits; empty when the file cannot be read.
QString gitBlobSha1(const QString& path);

// A commit hash or blob name that may be used as one path component.
bool isSafePathComponent(const QString& text);

// First byte position of a "Content-Range: bytes <first>-<last>/<total>"
// header; none when malformed.
std::optional<qint64> contentRangeStart(const QByteArray& header);

// The link target that a snapshot file at `relativeFile` (possibly in a
// sub-folder) uses to reach blobs/<blobName>.
QString blobLinkTarget(const QString& relativeFile, const QString& blobName);

}  // namespace lumenote::hub
