#include "hub/HubCache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace lumenote::hub {
namespace {

QString envPath(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString() : QDir::cleanPath(value);
}

QString userCacheRoot() { return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation); }
QString userDataRoot() { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }

}  // namespace

QUrl endpointUrl() {
    QString value = qEnvironmentVariable("HF_ENDPOINT").trimmed();
    if (value.isEmpty()) value = QStringLiteral("https://huggingface.co");
    while (value.endsWith(QLatin1Char('/'))) value.chop(1);
    return QUrl(value);
}

QString hubCacheDirectory() {
    if (const QString hub = envPath("HF_HUB_CACHE"); !hub.isEmpty()) return hub;
    if (const QString home = envPath("HF_HOME"); !home.isEmpty()) return home + QStringLiteral("/hub");
    return userCacheRoot() + QStringLiteral("/huggingface/hub");
}

QStringList environmentHubCacheDirectories() {
    QStringList dirs;
    if (const QString hub = envPath("HF_HUB_CACHE"); !hub.isEmpty()) dirs << hub;
    if (const QString home = envPath("HF_HOME"); !home.isEmpty()) dirs << home + QStringLiteral("/hub");
    dirs.removeDuplicates();
    return dirs;
}

QStringList hubCacheSearchDirectories() {
    QStringList dirs = environmentHubCacheDirectories();
    for (const QString& root : flatLayoutRoots()) dirs << root + QStringLiteral("/huggingface/hub");
    dirs.removeDuplicates();
    return dirs;
}

QStringList flatLayoutRoots() {
    QStringList roots{userCacheRoot(), userDataRoot()};
    roots.removeDuplicates();
    return roots;
}

QString repoFolderName(const QString& repo) {
    return QStringLiteral("models--") + QString(repo).replace(QLatin1Char('/'), QStringLiteral("--"));
}

RepoCachePaths repoCachePaths(const QString& cacheDir, const QString& repo) {
    RepoCachePaths p;
    p.root = cacheDir + QLatin1Char('/') + repoFolderName(repo);
    p.blobs = p.root + QStringLiteral("/blobs");
    p.snapshots = p.root + QStringLiteral("/snapshots");
    p.refMain = p.root + QStringLiteral("/refs/main");
    return p;
}

std::optional<QString> readRefMain(const RepoCachePaths& paths) {
    QFile f(paths.refMain);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QString sha = QString::fromUtf8(f.read(256)).trimmed();
    if (sha.isEmpty() || !isSafePathComponent(sha)) return std::nullopt;
    return sha;
}

QString normalizeEtag(const QByteArray& header) {
    QByteArray v = header.trimmed();
    if (v.startsWith("W/")) v = v.mid(2);
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) v = v.mid(1, v.size() - 2);
    return QString::fromLatin1(v);
}

bool isSha256Hex(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[0-9a-f]{64}$"));
    return re.match(text).hasMatch();
}

bool isGitBlobSha1Hex(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[0-9a-f]{40}$"));
    return re.match(text).hasMatch();
}

QString gitBlobSha1(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData("blob " + QByteArray::number(file.size()) + '\0');
    if (!hash.addData(&file)) return {};
    return QString::fromLatin1(hash.result().toHex());
}

bool isSafePathComponent(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9._-]{1,200}$"));
    return re.match(text).hasMatch() && text != QLatin1String(".") && text != QLatin1String("..");
}

std::optional<qint64> contentRangeStart(const QByteArray& header) {
    static const QRegularExpression re(QStringLiteral("^\\s*bytes\\s+(\\d+)-(\\d+)/(\\d+|\\*)\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(QString::fromLatin1(header));
    if (!m.hasMatch()) return std::nullopt;
    bool ok = false;
    const qint64 first = m.captured(1).toLongLong(&ok);
    if (!ok || m.captured(2).toLongLong() < first) return std::nullopt;
    return first;
}

QString blobLinkTarget(const QString& relativeFile, const QString& blobName) {
    const int depth = relativeFile.count(QLatin1Char('/'));
    QString up = QStringLiteral("../../");
    for (int i = 0; i < depth; ++i) up += QStringLiteral("../");
    return up + QStringLiteral("blobs/") + blobName;
}

}  // namespace lumenote::hub
