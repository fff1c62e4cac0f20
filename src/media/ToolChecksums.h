#pragma once

// Checking downloaded tools against the checksums their publishers list.
// Internal to the media layer.

#include <QByteArray>
#include <QString>

#include <optional>

namespace lumenote::media {

// The SHA-256 (64 lower-case hex digits) that a checksum list in the format of
// sha256sum ("<hex>  <name>", "<hex> *<name>" for binary mode, one file a line)
// gives `fileName`; none when the list does not name it or its entry is malformed.
std::optional<QByteArray> listedSha256(const QByteArray& checksumList, const QString& fileName);

// SHA-256 of a file's contents as 64 lower-case hex digits; none when it cannot be read.
std::optional<QByteArray> fileSha256(const QString& path);

}  // namespace lumenote::media
