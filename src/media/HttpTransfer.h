#pragma once

// HTTP requests of the tool management: small GETs read whole, and file
// downloads streamed to disk in fixed blocks with progress after each block.
// Internal to the media layer.

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>

#include <QCoroTask>

#include <functional>

class QNetworkAccessManager;

namespace lumenote::media {

inline constexpr qint64 kDownloadBlockSize = 131072;  // 128 KiB

struct HttpResult {
    int status = 0;
    QByteArray body;
};

// GET `request`; throws Error when no HTTP answer arrived (refused, timed out).
// Any status comes back to the caller.
QCoro::Task<HttpResult> httpGet(QNetworkAccessManager& network, QNetworkRequest request);

// Called after each full block is written: bytes written so far, bytes read but
// not yet written, and the response's content length (-1 when absent).
using BlockProgress = std::function<void(qint64 written, qint64 buffered, qint64 contentLength)>;

// Streams the body of a GET into `partialPath` (created or truncated once the
// answer is 200) in blocks of kDownloadBlockSize, writes the remainder at the
// end and returns the byte count. Throws Error on a status other than 200, a
// network failure or a write failure; whatever was written stays on disk.
QCoro::Task<qint64> downloadToFile(QNetworkAccessManager& network, QNetworkRequest request, QString partialPath,
                                   BlockProgress onBlock);

}  // namespace lumenote::media
