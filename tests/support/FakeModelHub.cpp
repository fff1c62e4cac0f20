#include "FakeModelHub.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace lumenote::test {

FakeModelHub::FakeModelHub() {
    // Later routes win: the API prefix is registered after the catch-all.
    origin_.route("GET", "/*", [this](const HttpRequest& r) { return serveResolve(r); });
    origin_.route("HEAD", "/*", [this](const HttpRequest& r) { return serveResolve(r); });
    origin_.route("GET", "/api/models/*", [this](const HttpRequest& r) { return serveApi(r); });
    cdn_.route("GET", "/*", [this](const HttpRequest& r) { return serveCdn(r); });
    cdn_.route("HEAD", "/*", [this](const HttpRequest& r) { return serveCdn(r); });
}

FakeModelHub::~FakeModelHub() = default;

QByteArray FakeModelHub::sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray FakeModelHub::gitBlobSha1(const QByteArray& bytes) {
    return QCryptographicHash::hash("blob " + QByteArray::number(bytes.size()) + '\0' + bytes, QCryptographicHash::Sha1)
        .toHex();
}

bool FakeModelHub::isLfs(const QString& file) {
    return file.endsWith(QLatin1String(".safetensors")) || file.endsWith(QLatin1String(".bin"));
}

void FakeModelHub::publish(const QString& repo, const QString& sha, const QMap<QString, QByteArray>& files,
                           const QStringList& extraSiblings) {
    repos_[repo] = Repo{sha, files, extraSiblings};
}

void FakeModelHub::publishFolder(const QString& repo, const QString& sha, const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) files.insert(QDir(folder).relativeFilePath(path), f.readAll());
    }
    publish(repo, sha, files);
}

void FakeModelHub::dropOnce(const QString& file, qint64 bytes) { dropOnce_[file] = bytes; }
void FakeModelHub::failWith(const QString& file, int status) { failures_[file] = status; }
void FakeModelHub::tamper(const QString& file, const QByteArray& bytes) { tampered_[file] = bytes; }
void FakeModelHub::withholdChecksum(const QString& file) { withheld_.insert(file); }
void FakeModelHub::clearFailures() {
    failures_.clear();
    dropOnce_.clear();
    tampered_.clear();
    withheld_.clear();
}
void FakeModelHub::pace(const QString& file, int pieceSize, int delayMs) { pace_[file] = {pieceSize, delayMs}; }

QList<QByteArray> FakeModelHub::rangesRequested(const QString& file) const { return ranges_.value(file); }

int FakeModelHub::apiRequests() const {
    int n = 0;
    for (const auto& r : origin_.requests()) n += r.path.startsWith("/api/models/");
    return n;
}

QSet<QByteArray> FakeModelHub::userAgents() const {
    QSet<QByteArray> agents;
    for (const auto& r : origin_.requests()) agents.insert(r.header("user-agent"));
    for (const auto& r : cdn_.requests()) agents.insert(r.header("user-agent"));
    return agents;
}

HttpResponse FakeModelHub::serveApi(const HttpRequest& req) {
    if (failures_.contains("api")) return HttpResponse::json(failures_["api"], R"({"error":"Internal Error"})");
    QString repo = QString::fromUtf8(QByteArray::fromPercentEncoding(req.path.mid(int(strlen("/api/models/")))));
    repo.remove(QRegularExpression(QStringLiteral("/revision/main$")));
    if (!repos_.contains(repo)) return HttpResponse::json(401, R"({"error":"Repository not found"})");
    const Repo& r = repos_[repo];
    QJsonArray siblings;
    QStringList names = r.files.keys() + r.extra;
    names.sort();
    for (const QString& n : names) siblings.append(QJsonObject{{"rfilename", n}});
    const QJsonObject body{{"_id", "63314bb6acb6472115aa55a9"},
                           {"id", repo},
                           {"modelId", repo},
                           {"sha", r.sha},
                           {"lastModified", "2024-02-29T10:57:33.000Z"},
                           {"private", false},
                           {"gated", false},
                           {"pipeline_tag", "automatic-speech-recognition"},
                           {"siblings", siblings}};
    return HttpResponse::json(200, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

// /<owner>/<name>/resolve/<revision>/<file>
HttpResponse FakeModelHub::serveResolve(const HttpRequest& req) {
    static const QRegularExpression re(QStringLiteral("^/([^/]+/[^/]+)/resolve/([^/]+)/(.+)$"));
    const auto m = re.match(QString::fromUtf8(QByteArray::fromPercentEncoding(req.path)));
    const HttpResponse notFound = HttpResponse::json(404, R"({"error":"Entry not found"})");
    if (!m.hasMatch()) return notFound;
    const QString repo = m.captured(1), revision = m.captured(2), file = m.captured(3);
    if (!repos_.contains(repo)) return HttpResponse::json(401, R"({"error":"Repository not found"})");
    const Repo& r = repos_[repo];
    if (revision != r.sha && revision != QLatin1String("main")) return HttpResponse::json(404, R"({"error":"Revision not found"})");
    if (failures_.contains(file)) return HttpResponse::json(failures_[file], R"({"error":"Internal Error"})");
    if (!r.files.contains(file)) return notFound;
    const QByteArray& bytes = r.files[file];
    if (isLfs(file)) {
        const QByteArray hash = sha256Hex(bytes);
        HttpResponse redirect(302);
        redirect.header("Location", cdn_.url().toEncoded() + "/repos/" + repo.toUtf8().replace('/', '-') + "/" + hash +
                                        "?response-content-disposition=attachment");
        redirect.header("X-Repo-Commit", r.sha.toUtf8());
        if (!withheld_.contains(file)) redirect.header("X-Linked-Etag", "\"" + hash + "\"");
        redirect.header("X-Linked-Size", QByteArray::number(bytes.size()));
        if (!withheld_.contains(file)) redirect.header("ETag", "\"" + gitBlobSha1(hash) + "\"");
        redirect.body("Found. Redirecting to " + cdn_.url().toEncoded());
        return redirect;
    }
    HttpResponse head(200);
    head.header("X-Repo-Commit", r.sha.toUtf8());
    if (!withheld_.contains(file)) head.header("ETag", "\"" + gitBlobSha1(bytes) + "\"");
    return body(req, file, bytes, head);
}

HttpResponse FakeModelHub::serveCdn(const HttpRequest& req) {
    const QByteArray hash = req.path.split('/').last();
    for (const Repo& r : repos_)
        for (auto it = r.files.begin(); it != r.files.end(); ++it)
            if (sha256Hex(it.value()) == hash) {
                HttpResponse head(200);
                head.header("ETag", "\"" + hash + "\"");
                return body(req, it.key(), it.value(), head);
            }
    return HttpResponse::text(404, "NoSuchKey");
}

HttpResponse FakeModelHub::body(const HttpRequest& req, const QString& file, const QByteArray& published, HttpResponse head) {
    const QByteArray& bytes = tampered_.contains(file) ? tampered_[file] : published;
    head.header("Content-Type", "application/octet-stream");
    head.header("Accept-Ranges", "bytes");
    QByteArray part = bytes;
    const QByteArray range = req.header("range");
    if (req.method == "GET") ranges_[file].append(range);
    if (!range.isEmpty() && honourRanges_) {
        static const QRegularExpression re(QStringLiteral("^bytes=(\\d+)-$"));
        const auto m = re.match(QString::fromLatin1(range));
        const qint64 first = m.hasMatch() ? m.captured(1).toLongLong() : -1;
        if (first < 0 || first >= bytes.size()) {
            HttpResponse r(416);
            r.header("Content-Range", "bytes */" + QByteArray::number(bytes.size()));
            r.body({});
            return r;
        }
        part = bytes.mid(first);
        head.setStatus(206);
        head.header("Content-Range", "bytes " + QByteArray::number(first) + "-" + QByteArray::number(bytes.size() - 1) + "/" +
                                         QByteArray::number(bytes.size()));
    }
    if (req.method == "GET" && pace_.contains(file)) {
        head.header("Content-Length", QByteArray::number(part.size()));
        head.pieces(part, pace_[file].first, pace_[file].second);
    } else {
        head.body(part);
    }
    if (req.method == "GET" && dropOnce_.contains(file)) head.dropAfter(dropOnce_.take(file));
    return head;
}

}  // namespace lumenote::test
