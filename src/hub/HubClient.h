#pragma once

// Client of a Hugging Face-compatible model repository: reads a repository's
// current commit and file list from the model API, and downloads chosen files
// of that commit into the standard hub cache (HubCache.h), streamed to disk
// with progress in bytes.
//
// A client and its coroutines belong to the thread that created the client
// (it owns a QNetworkAccessManager); run large downloads on a worker thread
// with QCoro::waitFor and pass progress on from there.

#include "hub/HubCache.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace lumenote::hub {

class HubError : public std::runtime_error {
public:
    enum class Kind {
        network,          // no connection, connection lost, timeout
        http,             // the server answered with an error status
        notFound,         // repository or file does not exist (401/404)
        invalidResponse,  // an answer that cannot be used
        storage,          // writing the cache failed (disk full, permissions)
        integrity,        // downloaded bytes do not match the announced checksum or size
        cancelled,
        busy,             // another process is downloading the same repository
    };
    HubError(Kind kind, const QString& message, int httpStatus = 0)
        : std::runtime_error(message.toStdString()), kind_(kind), message_(message), httpStatus_(httpStatus) {}
    Kind kind() const noexcept { return kind_; }
    const QString& message() const noexcept { return message_; }
    int httpStatus() const noexcept { return httpStatus_; }

private:
    Kind kind_;
    QString message_;
    int httpStatus_;
};

struct RepoInfo {
    QString sha;        // the repository's current commit
    QStringList files;  // "rfilename" of every sibling
};

// A /api/models/<repo> answer read; throws HubError(invalidResponse) when it
// carries no commit hash. Siblings without a file name are skipped.
RepoInfo parseRepoInfo(const QByteArray& body, const QString& repo);

struct Snapshot {
    QString sha;
    QString folder;     // <cache>/models--owner--name/snapshots/<sha>
    QStringList files;  // the files that were placed in it
};

// Bytes completed and total over all files of one download; called on the
// client's thread, at most about once per whole percent.
using ProgressCallback = std::function<void(qint64 completed, qint64 total)>;
// Set from any thread to stop a download; the partial file is kept for a resume.
using CancelFlag = std::shared_ptr<std::atomic<bool>>;

class HubClient {
public:
    explicit HubClient(QUrl endpoint = endpointUrl(), QString cacheDirectory = hubCacheDirectory());
    ~HubClient();
    HubClient(const HubClient&) = delete;
    HubClient& operator=(const HubClient&) = delete;

    const QUrl& endpoint() const { return endpoint_; }
    const QString& cacheDirectory() const { return cacheDirectory_; }

    // Time allowed for an API answer (default 15 s) and for a download to go
    // without receiving anything (default 60 s).
    void setApiTimeout(std::chrono::milliseconds timeout) { apiTimeout_ = timeout; }
    void setStallTimeout(std::chrono::milliseconds timeout) { stallTimeout_ = timeout; }

    // GET /api/models/<repo>.
    QCoro::Task<RepoInfo> repoInfo(QString repo);

    // Downloads those of `wanted` that the repository's current commit has into
    // the cache and links them into snapshots/<sha>/ in the order given; then
    // records the commit in refs/main. A wanted safetensors index
    // (*.safetensors.index.json) brings the shards it names, placed after it;
    // it is skipped when the unsharded file is wanted and present. Files
    // already in blobs/ are not fetched again; a partial file left by an
    // interrupted run is resumed with a Range request. Nothing is linked until
    // every file is complete.
    QCoro::Task<Snapshot> downloadSnapshot(QString repo, QStringList wanted, ProgressCallback progress = {},
                                           CancelFlag cancel = {});
    // The same, blocking the calling thread (which runs a nested event loop
    // meanwhile): for a worker thread that owns this client.
    Snapshot downloadSnapshotNow(QString repo, QStringList wanted, ProgressCallback progress = {}, CancelFlag cancel = {});

private:
    struct FileJob;
    class Progress;

    QNetworkAccessManager& nam();
    QUrl resolveUrl(const QString& repo, const QString& sha, const QString& file) const;
    QNetworkRequest request(const QUrl& url, std::chrono::milliseconds timeout, bool identity) const;
    QCoro::Task<QByteArray> smallFile(QString repo, QString sha, QString file, CancelFlag cancel);
    QCoro::Task<void> addShards(const QString& repo, const RepoInfo& info, QStringList& files, CancelFlag cancel);
    QCoro::Task<void> describe(FileJob& job, CancelFlag cancel);
    QCoro::Task<void> fetch(FileJob& job, Progress& progress, CancelFlag cancel);
    QCoro::Task<bool> fetchAttempt(FileJob& job, Progress& progress, CancelFlag cancel);
    QCoro::Task<void> waitFinished(QNetworkReply* reply, CancelFlag cancel);

    QUrl endpoint_;
    QString cacheDirectory_;
    std::chrono::milliseconds apiTimeout_{15000};
    std::chrono::milliseconds stallTimeout_{60000};
    std::unique_ptr<QNetworkAccessManager> nam_;
};

}  // namespace lumenote::hub
