#include "media/HttpTransfer.h"

#include "core/Error.h"
#include "media/ToolProcess.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <memory>

namespace lumenote::media {

using namespace Qt::StringLiterals;

namespace {

// Replies are deleted from the event loop, never inside one of their own signals.
struct DeleteLater {
    void operator()(QObject* o) const { o->deleteLater(); }
};
using ReplyPtr = std::unique_ptr<QNetworkReply, DeleteLater>;

// Waits for the reply to finish; the coroutine resumes from the event loop.
QCoro::Task<> finished(QNetworkReply* reply) {
    if (reply->isFinished()) co_return;
    Completion done;
    QObject::connect(reply, &QNetworkReply::finished, &done, &Completion::finish);
    co_await done.wait();
}

int statusOf(QNetworkReply* reply) { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); }

QString statusError(const QNetworkRequest& request, int status) {
    return u"%1 answered with HTTP status %2."_s.arg(request.url().host()).arg(status);
}

}  // namespace

QCoro::Task<HttpResult> httpGet(QNetworkAccessManager& network, QNetworkRequest request) {
    ReplyPtr reply(network.get(request));
    co_await finished(reply.get());
    HttpResult result;
    result.status = statusOf(reply.get());
    if (result.status == 0) throw Error(reply->errorString());
    result.body = reply->readAll();
    co_return result;
}

QCoro::Task<qint64> downloadToFile(QNetworkAccessManager& network, QNetworkRequest request, QString partialPath,
                                   BlockProgress onBlock) {
    ReplyPtr reply(network.get(request));
    QFile file(partialPath);
    QByteArray buffer;
    qint64 written = 0;
    QString writeFailure;

    auto openFile = [&]() -> bool {
        if (file.isOpen()) return true;
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return true;
        writeFailure = u"Cannot write %1: %2"_s.arg(partialPath, file.errorString());
        return false;
    };
    auto contentLength = [&]() -> qint64 {
        const QVariant v = reply->header(QNetworkRequest::ContentLengthHeader);
        return v.isValid() ? v.toLongLong() : -1;
    };
    // Writes every full block in the buffer, reporting after each one.
    auto drainBlocks = [&] {
        qsizetype offset = 0;
        while (buffer.size() - offset >= kDownloadBlockSize) {
            if (file.write(buffer.constData() + offset, kDownloadBlockSize) != kDownloadBlockSize) {
                writeFailure = u"Cannot write %1: %2"_s.arg(partialPath, file.errorString());
                reply->abort();
                return;
            }
            offset += kDownloadBlockSize;
            written += kDownloadBlockSize;
            if (onBlock) onBlock(written, buffer.size() - offset, contentLength());
        }
        buffer.remove(0, offset);
    };

    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        if (!writeFailure.isEmpty() || statusOf(reply.get()) != 200) return;
        if (!openFile()) {
            reply->abort();
            return;
        }
        buffer += reply->readAll();
        drainBlocks();
    });

    co_await finished(reply.get());
    QObject::disconnect(reply.get(), &QNetworkReply::readyRead, nullptr, nullptr);

    if (!writeFailure.isEmpty()) throw Error(writeFailure);
    const int status = statusOf(reply.get());
    if (status == 0) throw Error(reply->errorString());
    if (status != 200) throw Error(statusError(request, status));
    if (reply->error() != QNetworkReply::NoError) throw Error(reply->errorString());

    if (!openFile()) throw Error(writeFailure);
    buffer += reply->readAll();
    drainBlocks();
    if (!writeFailure.isEmpty()) throw Error(writeFailure);
    if (!buffer.isEmpty()) {
        if (file.write(buffer) != buffer.size()) throw Error(u"Cannot write %1: %2"_s.arg(partialPath, file.errorString()));
        written += buffer.size();
    }
    file.close();
    // A connection that breaks off can end without an error from the network
    // layer; the length the server announced tells.
    const qint64 announced = contentLength();
    if (announced >= 0 && reply->rawHeader("Content-Encoding").isEmpty() && written != announced)
        throw Error(u"The download from %1 ended early (%2 of %3 bytes)."_s.arg(request.url().host()).arg(written).arg(announced));
    co_return written;
}

}  // namespace lumenote::media
