#include "hub/HubClient.h"

#include "hub/WhisperRepository.h"

#include <QCoroNetworkReply>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

namespace lumenote::hub {
namespace {

using Kind = HubError::Kind;

// Replies are deleted later (never inside their own finished signal) and lose
// the connections that point at the coroutine's locals first.
class ReplyGuard {
public:
    explicit ReplyGuard(QNetworkReply* reply) : reply_(reply) {}
    ~ReplyGuard() {
        for (const auto& c : connections_) QObject::disconnect(c);
        if (!reply_->isFinished()) reply_->abort();
        reply_->deleteLater();
    }
    void keep(QMetaObject::Connection c) { connections_.push_back(std::move(c)); }

private:
    QNetworkReply* reply_;
    std::vector<QMetaObject::Connection> connections_;
};

int statusOf(const QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isRedirect(int status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

QString hostOf(const QUrl& url) {
    return url.port() > 0 ? url.host() + QLatin1Char(':') + QString::number(url.port()) : url.host();
}

bool cancelled(const CancelFlag& flag) { return flag && flag->load(); }

// The "error" text of a Hugging Face error body, if there is one.
QString serverMessage(const QByteArray& body) {
    const QJsonDocument doc = QJsonDocument::fromJson(body.left(64 * 1024));
    if (doc.isObject()) return doc.object().value(QLatin1String("error")).toString().trimmed();
    return {};
}

HubError transportError(const QNetworkReply* reply, const QUrl& url, const QString& what) {
    const auto e = reply->error();
    if (e == QNetworkReply::OperationCanceledError || e == QNetworkReply::TimeoutError)
        return HubError(Kind::network, QStringLiteral("The model server %1 did not answer in time (%2).").arg(hostOf(url), what));
    return HubError(Kind::network,
                    QStringLiteral("Could not reach the model server %1 (%2): %3").arg(hostOf(url), what, reply->errorString()));
}

HubError statusError(int status, const QByteArray& body, const QUrl& url, const QString& what, bool repository) {
    const QString detail = serverMessage(body);
    const QString suffix = detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail);
    if (status == 401 || status == 404) {
        const QString text = repository
                                 ? QStringLiteral("The model repository %1 was not found on %2%3.").arg(what, hostOf(url), suffix)
                                 : QStringLiteral("%1 was not found on the model server %2 (HTTP %3)%4.")
                                       .arg(what, hostOf(url), QString::number(status), suffix);
        return HubError(Kind::notFound, text, status);
    }
    return HubError(Kind::http,
                    QStringLiteral("The model server %1 answered HTTP %2 for %3%4.").arg(hostOf(url)).arg(status).arg(what, suffix),
                    status);
}

QString megabytes(qint64 bytes) { return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB"); }

}  // namespace

struct HubClient::FileJob {
    QString repo;
    QString sha;
    QString file;
    QUrl url;          // .../resolve/<sha>/<file>
    QString etag;      // as announced, may be empty
    qint64 size = -1;  // -1 while unknown
    QString blobName;  // empty until known (named by content hash when there is no ETag)
    QString blobsDir;
    QString partPath;
    bool present = false;
    QString blobPath() const { return blobsDir + QLatin1Char('/') + blobName; }
};

// Turns byte counts into at most one callback per whole percent.
class HubClient::Progress {
public:
    Progress(ProgressCallback callback, qint64 total) : callback_(std::move(callback)), total_(total) {}
    void update(qint64 inCurrentFile) { report(base_ + inCurrentFile, false); }
    void fileDone(qint64 size) {
        base_ += std::max<qint64>(size, 0);
        report(base_, false);
    }
    void start() { report(base_, true); }
    void finish() { report(base_, true); }

private:
    void report(qint64 completed, bool force) {
        if (!callback_) return;
        const qint64 total = std::max(total_, completed);
        if (total > 0) {
            const int percent = int(completed * 100 / total);
            if (!force && percent == lastPercent_) return;
            lastPercent_ = percent;
        }
        callback_(completed, total);
    }
    ProgressCallback callback_;
    qint64 total_;
    qint64 base_ = 0;
    int lastPercent_ = -1;

    friend class HubClient;
};

HubClient::HubClient(QUrl endpoint, QString cacheDirectory)
    : endpoint_(std::move(endpoint)), cacheDirectory_(QDir::cleanPath(std::move(cacheDirectory))) {}

HubClient::~HubClient() = default;

QNetworkAccessManager& HubClient::nam() {
    if (!nam_) nam_ = std::make_unique<QNetworkAccessManager>();
    return *nam_;
}

QUrl HubClient::resolveUrl(const QString& repo, const QString& sha, const QString& file) const {
    QString base = endpoint_.toString(QUrl::FullyEncoded);
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    const QString path = QString::fromLatin1(QUrl::toPercentEncoding(file, "/"));
    return QUrl(base + QLatin1Char('/') + repo + QStringLiteral("/resolve/") + sha + QLatin1Char('/') + path,
                QUrl::StrictMode);
}

QNetworkRequest HubClient::request(const QUrl& url, std::chrono::milliseconds timeout, bool identity) const {
    QNetworkRequest req(url);
    req.setRawHeader("User-Agent", kUserAgent);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setTransferTimeout(int(timeout.count()));
    if (identity) {
        // Sizes and ranges refer to the stored bytes, so no transfer compression.
        req.setRawHeader("Accept-Encoding", "identity");
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    } else {
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    return req;
}

QCoro::Task<void> HubClient::waitFinished(QNetworkReply* reply, CancelFlag cancel) {
    if (reply->isFinished()) co_return;
    QTimer poll;
    if (cancel) {
        QObject::connect(&poll, &QTimer::timeout, reply, [reply, cancel] {
            if (cancel->load() && !reply->isFinished()) reply->abort();
        });
        poll.start(100);
    }
    co_await qCoro(reply).waitForFinished();
}

RepoInfo parseRepoInfo(const QByteArray& body, const QString& repo) {
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QString sha = doc.object().value(QLatin1String("sha")).toString();
    if (!doc.isObject() || sha.isEmpty())
        throw HubError(Kind::invalidResponse,
                       QStringLiteral("The model server's answer for %1 carries no commit hash.").arg(repo));
    RepoInfo info;
    info.sha = sha;
    for (const QJsonValue& sibling : doc.object().value(QLatin1String("siblings")).toArray()) {
        const QString name = sibling.toObject().value(QLatin1String("rfilename")).toString();
        if (!name.isEmpty()) info.files << name;
    }
    return info;
}

QCoro::Task<RepoInfo> HubClient::repoInfo(QString repo) {
    QString base = endpoint_.toString(QUrl::FullyEncoded);
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    const QUrl url(base + QStringLiteral("/api/models/") + repo);
    QNetworkReply* reply = nam().get(request(url, apiTimeout_, false));
    ReplyGuard guard(reply);
    const CancelFlag never;
    co_await waitFinished(reply, never);

    const int status = statusOf(reply);
    if (status == 0) throw transportError(reply, url, repo);
    const QByteArray body = reply->readAll();
    if (status != 200) throw statusError(status, body, url, repo, true);

    co_return parseRepoInfo(body, repo);
}

// A small file's bytes in memory (a safetensors index, to learn its shards).
QCoro::Task<QByteArray> HubClient::smallFile(QString repo, QString sha, QString file, CancelFlag cancel) {
    constexpr qint64 kLimit = 16 * 1024 * 1024;
    const QUrl url = resolveUrl(repo, sha, file);
    QNetworkReply* reply = nam().get(request(url, apiTimeout_, false));
    ReplyGuard guard(reply);
    co_await waitFinished(reply, cancel);
    if (cancelled(cancel)) throw HubError(Kind::cancelled, QStringLiteral("The download was cancelled."));
    const int status = statusOf(reply);
    if (status == 0) throw transportError(reply, url, file);
    const QByteArray body = reply->read(kLimit + 1);
    if (status != 200) throw statusError(status, body, url, repo + QLatin1Char('/') + file, false);
    if (body.size() > kLimit)
        throw HubError(Kind::invalidResponse, QStringLiteral("%1 of %2 is too large for an index.").arg(file, repo));
    co_return body;
}

// Replaces a wanted index by itself and its shards, or drops it when the
// unsharded file is wanted too.
QCoro::Task<void> HubClient::addShards(const QString& repo, const RepoInfo& info, QStringList& files,
                                       CancelFlag cancel) {
    static const QString kIndexSuffix = QStringLiteral(".index.json");
    for (const QString& index : QStringList(files)) {
        if (!index.endsWith(QStringLiteral(".safetensors") + kIndexSuffix)) continue;
        if (files.contains(index.chopped(kIndexSuffix.size()))) {
            files.removeOne(index);
            continue;
        }
        const QStringList shards = shardsNamedBy(co_await smallFile(repo, info.sha, index, cancel));
        if (shards.isEmpty())
            throw HubError(Kind::invalidResponse, QStringLiteral("%1 of %2 names no weight files.").arg(index, repo));
        qsizetype at = files.indexOf(index) + 1;
        for (const QString& shard : shards) {
            if (!isSafePathComponent(shard) || !info.files.contains(shard))
                throw HubError(Kind::invalidResponse,
                               QStringLiteral("%1 of %2 names the weight file \"%3\", which the repository does not hold.")
                                   .arg(index, repo, shard));
            if (!files.contains(shard)) files.insert(at++, shard);
        }
    }
}

// Learns a file's ETag and size without downloading it. Large files answer with
// a redirect that already carries both (X-Linked-Etag, X-Linked-Size).
QCoro::Task<void> HubClient::describe(FileJob& job, CancelFlag cancel) {
    QUrl url = job.url;
    // Only the repository's own answers say what a file must hash to; the
    // ETag of the host a redirect leads to describes whatever that host holds.
    QString published;
    for (int hop = 0; hop < 6; ++hop) {
        const bool repositoryHost = hostOf(url) == hostOf(job.url) && url.scheme() == job.url.scheme();
        QNetworkReply* reply = nam().head(request(url, apiTimeout_, true));
        ReplyGuard guard(reply);
        co_await waitFinished(reply, cancel);
        if (cancelled(cancel)) throw HubError(Kind::cancelled, QStringLiteral("The download was cancelled."));
        const int status = statusOf(reply);
        if (status == 0) throw transportError(reply, url, job.file);

        const QByteArray linkedEtag = reply->rawHeader("X-Linked-Etag");
        const QByteArray linkedSize = reply->rawHeader("X-Linked-Size");
        if (isRedirect(status)) {
            if (repositoryHost && !linkedEtag.isEmpty() && published.isEmpty()) published = normalizeEtag(linkedEtag);
            if (!linkedEtag.isEmpty() && !linkedSize.isEmpty() && repositoryHost) {
                job.etag = published;
                job.size = linkedSize.toLongLong();
                co_return;
            }
            const QUrl next = url.resolved(QUrl(QString::fromUtf8(reply->rawHeader("Location"))));
            if (!next.isValid() || next.isEmpty())
                throw HubError(Kind::invalidResponse, QStringLiteral("The model server redirected %1 nowhere.").arg(job.file));
            url = next;
            continue;
        }
        if (status != 200) throw statusError(status, reply->readAll(), url, job.repo + QLatin1Char('/') + job.file, false);
        if (published.isEmpty() && repositoryHost)
            published = normalizeEtag(!linkedEtag.isEmpty() ? linkedEtag : reply->rawHeader("ETag"));
        job.etag = published;
        bool ok = false;
        const qint64 size = (!linkedSize.isEmpty() ? linkedSize : reply->rawHeader("Content-Length")).toLongLong(&ok);
        job.size = ok ? size : -1;
        co_return;
    }
    throw HubError(Kind::invalidResponse, QStringLiteral("The model server redirected %1 too often.").arg(job.file));
}

// One pass over a file: resumes from what is already on disk. Returns false
// when the server's answer to the resume does not fit the partial file, so
// the caller starts the file over.
QCoro::Task<bool> HubClient::fetchAttempt(FileJob& job, Progress& progress, CancelFlag cancel) {
    QFile part(job.partPath);
    if (!part.open(QIODevice::ReadWrite))
        throw HubError(Kind::storage, QStringLiteral("Could not write %1: %2").arg(job.partPath, part.errorString()));
    qint64 offset = part.size();
    if (job.size >= 0 && offset > job.size) {
        part.resize(0);
        offset = 0;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (offset > 0) {
        part.seek(0);
        qint64 hashed = 0;
        while (hashed < offset) {
            const QByteArray chunk = part.read(std::min<qint64>(offset - hashed, 4 << 20));
            if (chunk.isEmpty()) break;
            hash.addData(chunk);
            hashed += chunk.size();
        }
        if (hashed != offset) {
            part.resize(0);
            hash.reset();
            offset = 0;
        }
    }
    if (part.pos() != offset) part.seek(offset);
    progress.update(offset);

    qint64 written = 0;
    if (!(job.size >= 0 && offset == job.size && offset > 0)) {
        QUrl url = job.url;
        bool done = false;
        for (int hop = 0; hop < 6 && !done; ++hop) {
            QNetworkRequest req = request(url, stallTimeout_, true);
            if (offset > 0) req.setRawHeader("Range", "bytes=" + QByteArray::number(offset) + "-");

            bool decided = false, accepted = false, restart = false, writeFailed = false;
            QString writeError;
            QNetworkReply* reply = nam().get(req);
            ReplyGuard guard(reply);
            auto consume = [&] {
                if (!decided) {
                    const int status = statusOf(reply);
                    if (status == 0) return;
                    decided = true;
                    if (status == 206) {
                        if (contentRangeStart(reply->rawHeader("Content-Range")) != offset) {
                            restart = true;
                            reply->abort();
                            return;
                        }
                        accepted = true;
                    } else if (status == 200) {
                        if (offset > 0) {  // the server ignored the range: start over
                            part.resize(0);
                            part.seek(0);
                            hash.reset();
                            offset = 0;
                            progress.update(0);
                        }
                        accepted = true;
                    }
                }
                if (!accepted || writeFailed || restart) return;
                if (cancelled(cancel)) {
                    reply->abort();
                    return;
                }
                const QByteArray chunk = reply->readAll();
                if (chunk.isEmpty()) return;
                if (part.write(chunk) != chunk.size()) {
                    writeFailed = true;
                    writeError = part.errorString();
                    reply->abort();
                    return;
                }
                hash.addData(chunk);
                written += chunk.size();
                progress.update(offset + written);
            };
            guard.keep(QObject::connect(reply, &QNetworkReply::readyRead, reply, consume));
            co_await waitFinished(reply, cancel);
            if (reply->error() == QNetworkReply::NoError) consume();

            if (writeFailed || !part.flush()) {
                const QString reason = writeFailed ? writeError : part.errorString();
                // Resuming on a disk that cannot take it gains nothing: the space goes back.
                part.remove();
                throw HubError(Kind::storage, QStringLiteral("Could not write %1: %2").arg(job.partPath, reason));
            }
            if (cancelled(cancel)) throw HubError(Kind::cancelled, QStringLiteral("The download was cancelled."));
            if (restart) co_return false;
            const int status = statusOf(reply);
            if (status == 0 || (accepted && reply->error() != QNetworkReply::NoError)) {
                if (status == 0 && written == 0) throw transportError(reply, url, job.file);
                throw HubError(Kind::network, QStringLiteral("The download of %1 broke off after %2 of %3: %4")
                                                  .arg(job.file, megabytes(offset + written),
                                                       job.size >= 0 ? megabytes(job.size) : QStringLiteral("?"),
                                                       reply->errorString()));
            }
            if (isRedirect(status)) {
                const QUrl next = url.resolved(QUrl(QString::fromUtf8(reply->rawHeader("Location"))));
                if (!next.isValid() || next.isEmpty())
                    throw HubError(Kind::invalidResponse, QStringLiteral("The model server redirected %1 nowhere.").arg(job.file));
                url = next;
                continue;
            }
            if (status == 416) co_return false;
            if (status != 200 && status != 206)
                throw statusError(status, reply->readAll(), url, job.repo + QLatin1Char('/') + job.file, false);
            done = true;
        }
        if (!done) throw HubError(Kind::invalidResponse, QStringLiteral("The model server redirected %1 too often.").arg(job.file));
    }

    const qint64 finalSize = offset + written;
    if (job.size >= 0 && finalSize < job.size)
        throw HubError(Kind::network, QStringLiteral("The download of %1 ended early after %2 of %3.")
                                          .arg(job.file, megabytes(finalSize), megabytes(job.size)));
    if (job.size >= 0 && finalSize > job.size) {
        part.remove();
        throw HubError(Kind::integrity, QStringLiteral("The model server sent more of %1 than it announced; the file was removed.")
                                            .arg(job.file));
    }
    job.size = finalSize;
    const QString digest = QString::fromLatin1(hash.result().toHex());
    // Large (LFS) files are published with their SHA-256, all others with
    // their git blob hash; a file with neither cannot be trusted.
    bool matches = false;
    if (isSha256Hex(job.etag)) {
        matches = digest == job.etag;
    } else if (isGitBlobSha1Hex(job.etag)) {
        part.flush();
        matches = gitBlobSha1(job.partPath) == job.etag;
    } else {
        part.remove();
        throw HubError(Kind::integrity,
                       QStringLiteral("The model server publishes no checksum for %1, so the download cannot be verified; it was removed.")
                           .arg(job.file));
    }
    if (!matches) {
        part.remove();
        throw HubError(Kind::integrity,
                       QStringLiteral("The downloaded %1 does not match its checksum and was removed; please try again.").arg(job.file));
    }
    part.close();
    if (job.blobName.isEmpty()) job.blobName = digest;
    const QString blob = job.blobPath();
    QFile::remove(blob);
    if (!QFile::rename(job.partPath, blob))
        throw HubError(Kind::storage, QStringLiteral("Could not move %1 into place at %2.").arg(job.partPath, blob));
    co_return true;
}

QCoro::Task<void> HubClient::fetch(FileJob& job, Progress& progress, CancelFlag cancel) {
    // (co_await results are kept in locals: GCC 12 mishandles them inside conditions.)
    const bool first = co_await fetchAttempt(job, progress, cancel);
    if (first) co_return;
    QFile::resize(job.partPath, 0);
    const bool second = co_await fetchAttempt(job, progress, cancel);
    if (!second)
        throw HubError(Kind::invalidResponse, QStringLiteral("The model server did not deliver %1 from the start.").arg(job.file));
}

QCoro::Task<Snapshot> HubClient::downloadSnapshot(QString repo, QStringList wanted, ProgressCallback callback,
                                                  CancelFlag cancel) {
    const RepoInfo info = co_await repoInfo(repo);
    if (!isSafePathComponent(info.sha))
        throw HubError(Kind::invalidResponse, QStringLiteral("The model server gave %1 an unusable commit hash.").arg(repo));
    QStringList files;
    for (const QString& w : wanted)
        if (info.files.contains(w)) files << w;
    if (files.isEmpty())
        throw HubError(Kind::notFound, QStringLiteral("The model repository %1 holds none of the model files.").arg(repo));
    co_await addShards(repo, info, files, cancel);

    const RepoCachePaths paths = repoCachePaths(cacheDirectory_, repo);
    for (const QString& dir : {paths.blobs, paths.snapshots, QFileInfo(paths.refMain).path()})
        if (!QDir().mkpath(dir)) throw HubError(Kind::storage, QStringLiteral("Could not create the folder %1.").arg(dir));

    // Two processes writing the same partial blob would corrupt it.
    QLockFile lock(paths.root + QStringLiteral("/.lumenote-download.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(200))
        throw HubError(Kind::busy, QStringLiteral("Another download of %1 is already running.").arg(repo));

    std::vector<FileJob> jobs;
    for (const QString& file : files) {
        FileJob job;
        job.repo = repo;
        job.sha = info.sha;
        job.file = file;
        job.url = resolveUrl(repo, info.sha, file);
        job.blobsDir = paths.blobs;
        co_await describe(job, cancel);
        if (isSafePathComponent(job.etag)) job.blobName = job.etag;
        const QString partName = !job.blobName.isEmpty()
                                     ? job.blobName
                                     : QString::fromLatin1(QCryptographicHash::hash((repo + info.sha + file).toUtf8(),
                                                                                    QCryptographicHash::Sha1)
                                                               .toHex());
        job.partPath = paths.blobs + QLatin1Char('/') + partName + QStringLiteral(".incomplete");
        if (!job.blobName.isEmpty()) {
            const QFileInfo blob(job.blobPath());
            job.present = blob.isFile() && (job.size < 0 || blob.size() == job.size);
            if (job.present) job.size = blob.size();
        }
        jobs.push_back(std::move(job));
    }

    qint64 total = 0, needed = 0;
    for (const FileJob& job : jobs) {
        total += std::max<qint64>(job.size, 0);
        if (!job.present && job.size > 0) needed += job.size - std::min(QFileInfo(job.partPath).size(), job.size);
    }
    const QStorageInfo storage(paths.blobs);
    if (storage.isValid() && storage.bytesAvailable() >= 0 && needed > storage.bytesAvailable())
        throw HubError(Kind::storage, QStringLiteral("Not enough disk space for %1: %2 needed, %3 free in %4.")
                                          .arg(repo, megabytes(needed), megabytes(storage.bytesAvailable()), paths.blobs));

    Progress progress(std::move(callback), total);
    for (const FileJob& job : jobs)
        if (job.present) progress.base_ += job.size;
    progress.start();
    for (FileJob& job : jobs) {
        if (job.present) continue;
        co_await fetch(job, progress, cancel);
        progress.fileDone(job.size);
    }
    if (cancelled(cancel)) throw HubError(Kind::cancelled, QStringLiteral("The download was cancelled."));

    // Only now does the snapshot appear, file by file in the given order.
    const QString folder = paths.snapshot(info.sha);
    for (const FileJob& job : jobs) {
        const QString link = folder + QLatin1Char('/') + job.file;
        if (!QDir().mkpath(QFileInfo(link).path()))
            throw HubError(Kind::storage, QStringLiteral("Could not create the folder %1.").arg(QFileInfo(link).path()));
        QFile::remove(link);
        if (!QFile::link(blobLinkTarget(job.file, job.blobName), link) && !QFile::copy(job.blobPath(), link))
            throw HubError(Kind::storage, QStringLiteral("Could not place %1 in %2.").arg(job.file, folder));
    }
    QSaveFile ref(paths.refMain);
    if (!ref.open(QIODevice::WriteOnly) || ref.write(info.sha.toUtf8()) < 0 || !ref.commit())
        throw HubError(Kind::storage, QStringLiteral("Could not write %1: %2").arg(paths.refMain, ref.errorString()));
    progress.finish();

    Snapshot snapshot;
    snapshot.sha = info.sha;
    snapshot.folder = folder;
    snapshot.files = files;
    co_return snapshot;
}

Snapshot HubClient::downloadSnapshotNow(QString repo, QStringList wanted, ProgressCallback progress, CancelFlag cancel) {
    // A nested loop on this thread; unlike QCoro::waitFor it returns when the
    // coroutine throws.
    QEventLoop loop;
    std::optional<Snapshot> result;
    std::exception_ptr error;
    bool done = false;
    auto runner = [&]() -> QCoro::Task<> {
        try {
            result = co_await downloadSnapshot(repo, wanted, std::move(progress), std::move(cancel));
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    auto running = runner();
    if (!done) loop.exec();
    if (error) std::rethrow_exception(error);
    return std::move(*result);
}

}  // namespace lumenote::hub
