#include "consolidation/HttpStream.h"

#include "consolidation/SignalAwaiter.h"
#include "core/Error.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include <memory>
#include <vector>

namespace lumenote {

QList<QByteArray> LineBuffer::append(const QByteArray& bytes) {
    QList<QByteArray> lines;
    pending_ += bytes;
    qsizetype start = 0;
    qsizetype from = scanned_;
    for (;;) {
        const qsizetype newline = pending_.indexOf('\n', from);
        if (newline < 0) break;
        QByteArray line = pending_.mid(start, newline - start);
        if (line.endsWith('\r')) line.chop(1);
        lines.append(std::move(line));
        start = from = newline + 1;
    }
    pending_.remove(0, start);
    scanned_ = pending_.size();  // everything kept has been searched already
    return lines;
}

QByteArray LineBuffer::takeRest() {
    QByteArray rest = std::exchange(pending_, {});
    scanned_ = 0;
    if (rest.endsWith('\r')) rest.chop(1);
    return rest;
}

namespace {

// Error codes that come with an HTTP status (4xx, 5xx); everything else happened
// below HTTP.
bool isHttpStatusError(QNetworkReply::NetworkError error) {
    const int code = int(error);
    return (code >= 201 && code <= 299) || (code >= 401 && code <= 499);
}

struct Exchange {
    bool cancelled = false;
    bool stopped = false;
    std::optional<int> status;
    bool statusRead = false;
    LineBuffer lines;
    QByteArray body;
};

void readStatus(Exchange& x, QNetworkReply* reply) {
    if (x.statusRead) return;
    const QVariant v = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!v.isValid()) return;
    x.status = v.toInt();
    x.statusRead = true;
}

// Hands new bytes to the line handler or keeps them; false when the handler
// asked to stop.
bool consume(Exchange& x, const QByteArray& bytes, const std::function<bool(const QByteArray&)>& onLine) {
    if (x.status == 200 && onLine) {
        for (const QByteArray& line : x.lines.append(bytes))
            if (!onLine(line)) return false;
    } else {
        x.body += bytes;
    }
    return true;
}

}  // namespace

QCoro::Task<HttpResult> sendHttpRequest(QNetworkAccessManager& network, HttpCall call) {
    HttpResult result;
    for (const auto& token : call.cancelledBy) {
        if (token.isCancelled()) {
            result.cancelled = true;
            co_return result;
        }
    }

    QNetworkRequest request = call.request;
    if (call.timeout.count() > 0) request.setTransferTimeout(int(call.timeout.count()));
    QPointer<QNetworkReply> reply = call.body.isEmpty() && call.method == "GET"
                                        ? network.get(request)
                                        : network.sendCustomRequest(request, call.method, call.body);

    auto x = std::make_shared<Exchange>();
    std::vector<CancellationToken::Registration> registrations;
    for (const auto& token : call.cancelledBy) {
        registrations.push_back(token.onCancel([x, reply] {
            x->cancelled = true;
            if (reply) reply->abort();
        }));
    }

    const auto onLine = call.onLine;
    const QMetaObject::Connection readConnection =
        QObject::connect(reply.data(), &QNetworkReply::readyRead, reply.data(), [x, reply, onLine] {
            if (x->stopped || x->cancelled || !reply) return;
            readStatus(*x, reply);
            if (!consume(*x, reply->readAll(), onLine)) {
                x->stopped = true;
                reply->abort();  // resumes the awaiting coroutine right here
            }
        });

    if (!reply->isFinished()) {
        detail::SignalOrDestroyed finished(reply.data(), &QNetworkReply::finished);
        co_await finished;
    }
    registrations.clear();
    if (!reply) {  // torn down together with the access manager
        result.cancelled = true;
        co_return result;
    }
    QObject::disconnect(readConnection);
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> owner(reply.data(), [](QNetworkReply* r) { r->deleteLater(); });

    readStatus(*x, reply);
    result.status = x->status;
    if (x->cancelled) {
        result.cancelled = true;
        co_return result;
    }
    if (x->stopped) {
        result.stoppedEarly = true;
        co_return result;
    }

    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError && !(isHttpStatusError(error) && x->status)) {
        // Our own inactivity time-out surfaces as a cancelled operation.
        const bool timedOut = error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError;
        throw DomainError(kNetworkErrorDomain, timedOut ? int(QNetworkReply::TimeoutError) : int(error),
                          timedOut ? QStringLiteral("The request timed out.") : reply->errorString());
    }

    if (!consume(*x, reply->readAll(), call.onLine)) {
        result.stoppedEarly = true;
        co_return result;
    }
    if (x->status == 200 && call.onLine) {
        const QByteArray last = x->lines.takeRest();
        if (!last.isEmpty() && !call.onLine(last)) result.stoppedEarly = true;
    }
    result.body = std::move(x->body);
    co_return result;
}

}  // namespace lumenote
