#include "media/ToolChecksums.h"

#include "hub/HubCache.h"

#include <QCryptographicHash>
#include <QFile>

namespace lumenote::media {

std::optional<QByteArray> listedSha256(const QByteArray& checksumList, const QString& fileName) {
    const QByteArray name = fileName.toUtf8();
    for (QByteArray line : checksumList.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        const qsizetype space = line.indexOf(' ');
        if (space < 0) continue;
        QByteArray listedName = line.mid(space + 1);
        if (listedName.startsWith(' ') || listedName.startsWith('*')) listedName.remove(0, 1);
        if (listedName != name) continue;
        const QByteArray hex = line.left(space).toLower();
        if (!hub::isSha256Hex(QString::fromLatin1(hex))) return std::nullopt;
        return hex;
    }
    return std::nullopt;
}

std::optional<QByteArray> fileSha256(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return std::nullopt;
    return hash.result().toHex();
}

}  // namespace lumenote::media
