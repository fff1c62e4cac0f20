#include "QtTestHelpers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace lumenote::test {

bool spinUntil(const std::function<bool()>& pred, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::usleep(500);
    }
    return true;
}

void spinFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(500);
    }
}

HttpResponse HttpResponse::json(int status, const QByteArray& body) {
    HttpResponse r(status);
    r.header("Content-Type", "application/json");
    r.body(body);
    return r;
}

HttpResponse HttpResponse::text(int status, const QByteArray& body, const QByteArray& contentType) {
    HttpResponse r(status);
    r.header("Content-Type", contentType);
    r.body(body);
    return r;
}

HttpResponse& HttpResponse::header(const QByteArray& name, const QByteArray& value) {
    headers_.append({name, value});
    return *this;
}

HttpResponse& HttpResponse::body(const QByteArray& bytes) {
    wholeBody_ = true;
    pieces_ = {{bytes, 0}};
    return *this;
}

HttpResponse& HttpResponse::piece(const QByteArray& bytes, int delayMs) {
    wholeBody_ = false;
    pieces_.push_back({bytes, delayMs});
    return *this;
}

HttpResponse& HttpResponse::pieces(const QByteArray& bytes, int pieceSize, int delayMs) {
    for (qsizetype i = 0; i < bytes.size(); i += pieceSize) piece(bytes.mid(i, pieceSize), delayMs);
    return *this;
}

HttpResponse& HttpResponse::stall(int ms) {
    pieces_.push_back({QByteArray(), ms});
    return *this;
}

HttpResponse& HttpResponse::dropAfter(qint64 bytesBeforeDrop) {
    dropAfter_ = bytesBeforeDrop;
    return *this;
}

HttpResponse& HttpResponse::closeDelimited() {
    closeDelimited_ = true;
    return *this;
}

TestHttpServer::TestHttpServer() : server_(new QTcpServer(this)) {
    if (!server_->listen(QHostAddress::LocalHost, 0)) qFatal("test HTTP server cannot listen");
    connect(server_, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
    fallback_ = [](const HttpRequest&) { return HttpResponse::text(404, "Not Found"); };
}

TestHttpServer::~TestHttpServer() { closeAll(); }

quint16 TestHttpServer::port() const { return server_->serverPort(); }

QUrl TestHttpServer::url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port())); }

void TestHttpServer::route(const QByteArray& method, const QByteArray& path, HttpHandler handler) {
    routes_.prepend({method, path, std::move(handler)});
}

void TestHttpServer::fallback(HttpHandler handler) { fallback_ = std::move(handler); }

int TestHttpServer::requestCount(const QByteArray& path) const {
    int n = 0;
    for (const auto& r : requests_) n += (r.path == path);
    return n;
}

void TestHttpServer::closeAll() {
    for (QTcpSocket* s : buffers_.keys()) s->abort();
    buffers_.clear();
}

void TestHttpServer::onNewConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        buffers_.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

void TestHttpServer::onReadable(QTcpSocket* socket) {
    if (!buffers_.contains(socket)) return;
    QByteArray& buf = buffers_[socket];
    buf += socket->readAll();
    const qsizetype headEnd = buf.indexOf("\r\n\r\n");
    if (headEnd < 0) return;
    HttpRequest req;
    const QList<QByteArray> lines = buf.left(headEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    req.method = first.value(0);
    req.target = first.value(1);
    req.path = req.target.split('?').value(0);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) req.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qint64 length = req.headers.value("content-length", "0").toLongLong();
    if (buf.size() - (headEnd + 4) < length) return;  // wait for the rest of the body
    req.body = buf.mid(headEnd + 4, length);
    buf.remove(0, headEnd + 4 + length);
    requests_.append(req);
    respond(socket, req);
}

void TestHttpServer::respond(QTcpSocket* socket, const HttpRequest& request) {
    HttpHandler handler = fallback_;
    for (const Route& r : routes_) {
        const bool prefix = r.path.endsWith('*');
        const bool match = prefix ? request.path.startsWith(r.path.chopped(1)) : request.path == r.path;
        if (r.method == request.method && match) {
            handler = r.handler;
            break;
        }
    }
    auto response = std::make_shared<HttpResponse>(handler(request));

    QByteArray head = "HTTP/1.1 " + QByteArray::number(response->status_) + " Status\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : response->headers_) {
        head += name + ": " + value + "\r\n";
        hasLength |= name.compare("content-length", Qt::CaseInsensitive) == 0;
    }
    if (response->wholeBody_ && !hasLength) {
        const QByteArray& b = response->pieces_.empty() ? QByteArray() : response->pieces_.front().bytes;
        head += "Content-Length: " + QByteArray::number(b.size()) + "\r\n";
        hasLength = true;
    }
    response->frameChunks_ = !hasLength && !response->closeDelimited_;
    if (response->frameChunks_) head += "Transfer-Encoding: chunked\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (request.method == "HEAD") {
        socket->disconnectFromHost();
        return;
    }
    writePieces(socket, response, 0, 0);
}

void TestHttpServer::writePieces(QTcpSocket* socket, std::shared_ptr<HttpResponse> response, size_t index,
                                 qint64 written) {
    QPointer<QTcpSocket> guard(socket);
    const bool chunked = response->frameChunks_;
    if (index >= response->pieces_.size()) {
        if (chunked) socket->write("0\r\n\r\n");
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    const auto& p = response->pieces_[index];
    auto send = [this, guard, response, index, written]() {
        if (!guard || !buffers_.contains(guard.data())) return;
        QByteArray bytes = response->pieces_[index].bytes;
        qint64 total = written;
        if (response->dropAfter_ >= 0 && total + bytes.size() >= response->dropAfter_) {
            guard->write(bytes.left(response->dropAfter_ - total));
            guard->flush();
            guard->abort();
            return;
        }
        if (!bytes.isEmpty()) {
            if (response->frameChunks_)
                guard->write(QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n");
            else
                guard->write(bytes);
            guard->flush();
        }
        total += bytes.size();
        writePieces(guard.data(), response, index + 1, total);
    };
    if (p.delayMs > 0)
        QTimer::singleShot(p.delayMs, this, send);
    else if (index == 0)
        send();
    else
        QTimer::singleShot(0, this, send);
}

}  // namespace lumenote::test
