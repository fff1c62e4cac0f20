#pragma once

// One HTTP exchange on the main thread's QNetworkAccessManager, awaited from a
// coroutine. A 200 response body can be handed over line by line as the bytes
// arrive (server-sent events, newline-delimited JSON); any other body is kept
// whole. Time-outs are inactivity time-outs: a stream that keeps sending never
// times out, a stalled one does.

#include "core/CancellationToken.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace lumenote {

// Splits a byte stream into lines at "\n" (a "\r" before it is dropped),
// however the bytes are cut into pieces.
class LineBuffer {
public:
    // Adds bytes and returns the lines they complete.
    QList<QByteArray> append(const QByteArray& bytes);
    // What is left after the last line break (the last line of a body that does
    // not end with one).
    QByteArray takeRest();

private:
    QByteArray pending_;
    qsizetype scanned_ = 0;
};

struct HttpCall {
    QByteArray method = "GET";
    QNetworkRequest request;
    QByteArray body;
    std::chrono::milliseconds timeout{0};  // 0: none
    // Any of these stops the exchange (the connection is closed).
    QList<CancellationToken> cancelledBy;
    // For a 200 response: every body line as soon as it is complete, on the main
    // thread; returning false stops reading and closes the connection.
    std::function<bool(const QByteArray& line)> onLine;
};

struct HttpResult {
    std::optional<int> status;  // none when the reply was not an HTTP response
    QByteArray body;            // the whole body, unless onLine took it
    bool cancelled = false;     // a token fired; nothing else is meaningful
    bool stoppedEarly = false;  // onLine asked to stop
};

inline const QString kNetworkErrorDomain = QStringLiteral("QtNetwork");

// Throws DomainError(kNetworkErrorDomain, QNetworkReply::NetworkError, text) when
// the exchange fails below HTTP: no connection, a time-out ("The request timed
// out."), a connection lost mid-body. An HTTP error status is a result, not a throw.
QCoro::Task<HttpResult> sendHttpRequest(QNetworkAccessManager& network, HttpCall call);

}  // namespace lumenote
