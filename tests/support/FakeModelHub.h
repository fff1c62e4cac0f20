#pragma once

// A stand-in for the Hugging Face hub: the model API on one server and large
// (LFS) files behind a redirect to a second server, as the real hub and its
// content-delivery network answer (see PROTOCOLS.md). Serves repositories
// published from memory or from a model folder on disk, honours Range
// requests, and can break off or fail chosen files.

#include "QtTestHelpers.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QUrl>

#include <memory>

namespace lumenote::test {

class FakeModelHub {
public:
    FakeModelHub();
    ~FakeModelHub();

    // The value for HF_ENDPOINT.
    QUrl endpoint() const { return origin_.url(); }
    TestHttpServer& origin() { return origin_; }
    TestHttpServer& cdn() { return cdn_; }

    // Publishes `files` as the repository's current commit `sha` (replacing an
    // earlier commit). Files named *.safetensors or *.bin are served like LFS
    // files: a 302 to the second server with X-Linked-Etag / X-Linked-Size.
    void publish(const QString& repo, const QString& sha, const QMap<QString, QByteArray>& files,
                 const QStringList& extraSiblings = {".gitattributes", "README.md", "pytorch_model.bin", "tf_model.h5",
                                                     "normalizer.json", "preprocessor_config.json"});
    // The same with every regular file of a folder.
    void publishFolder(const QString& repo, const QString& sha, const QString& folder);

    // The next body transfer of `file` closes the connection after `bytes` bytes.
    void dropOnce(const QString& file, qint64 bytes);
    // Every request for `file` (or, with file "api", the model API) answers `status`.
    void failWith(const QString& file, int status);
    // Body transfers of `file` send `bytes` instead, while the repository keeps
    // announcing the published file's checksum (a tampered mirror or CDN).
    void tamper(const QString& file, const QByteArray& bytes);
    // Answers for `file` carry no checksum (no ETag, no X-Linked-Etag).
    void withholdChecksum(const QString& file);
    void clearFailures();
    // Bodies of `file` are sent in pieces of `pieceSize` bytes, `delayMs` apart.
    void pace(const QString& file, int pieceSize, int delayMs);
    // Ranges are ignored (answered with the whole file, status 200).
    void setHonourRanges(bool honour) { honourRanges_ = honour; }

    // Body transfers started for `file` (GET on the final host) and the Range
    // headers they carried ("" for none).
    QList<QByteArray> rangesRequested(const QString& file) const;
    int apiRequests() const;
    // User-Agent values seen on every request to either server.
    QSet<QByteArray> userAgents() const;

    static QByteArray sha256Hex(const QByteArray& bytes);
    static QByteArray gitBlobSha1(const QByteArray& bytes);

private:
    struct Repo {
        QString sha;
        QMap<QString, QByteArray> files;
        QStringList extra;
    };
    HttpResponse serveApi(const HttpRequest& req);
    HttpResponse serveResolve(const HttpRequest& req);
    HttpResponse serveCdn(const HttpRequest& req);
    HttpResponse body(const HttpRequest& req, const QString& file, const QByteArray& bytes, HttpResponse head);
    static bool isLfs(const QString& file);

    TestHttpServer origin_;
    TestHttpServer cdn_;
    QMap<QString, Repo> repos_;
    QMap<QString, qint64> dropOnce_;
    QMap<QString, int> failures_;
    QMap<QString, QPair<int, int>> pace_;
    QMap<QString, QByteArray> tampered_;
    QSet<QString> withheld_;
    QMap<QString, QList<QByteArray>> ranges_;
    bool honourRanges_ = true;
};

}  // namespace lumenote::test
