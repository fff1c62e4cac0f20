#pragma once

// Helpers for tests that run on the Qt event loop: waiting for coroutines and
// conditions, and a small scriptable HTTP/1.1 server on loopback that stands in
// for outside services (model hub, LLM servers, release feeds).

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QUrl>

#include <QCoroTask>
#include <QEventLoop>

#include <exception>
#include <optional>

#include <functional>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace lumenote::test {

// Runs the event loop until pred() holds or the timeout passes; returns pred().
bool spinUntil(const std::function<bool()>& pred, int timeoutMs = 10000);
// Runs the event loop for the given time.
void spinFor(int ms);

// Runs a coroutine to completion on a nested event loop and returns its value.
// An exception the coroutine throws is rethrown here (QCoro::waitFor would
// leave its loop running forever).
template <typename T>
T await(QCoro::Task<T>&& task) {
    QEventLoop loop;
    std::optional<T> value;
    std::exception_ptr error;
    bool done = false;
    auto runner = [&]() -> QCoro::Task<> {
        try {
            value.emplace(co_await task);
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    auto running = runner();
    if (!done) loop.exec();
    if (error) std::rethrow_exception(error);
    return std::move(*value);
}
inline void await(QCoro::Task<>&& task) {
    QEventLoop loop;
    std::exception_ptr error;
    bool done = false;
    auto runner = [&]() -> QCoro::Task<> {
        try {
            co_await task;
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        loop.quit();
    };
    auto running = runner();
    if (!done) loop.exec();
    if (error) std::rethrow_exception(error);
}

struct HttpRequest {
    QByteArray method;
    QByteArray target;                     // path with query, as sent
    QByteArray path;                       // path without query
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

// A scripted response. Pieces are written one after another, each after its
// delay, so a client sees them in separate reads.
class HttpResponse {
public:
    HttpResponse() = default;
    explicit HttpResponse(int status) : status_(status) {}

    static HttpResponse json(int status, const QByteArray& body);
    static HttpResponse text(int status, const QByteArray& body, const QByteArray& contentType = "text/plain");

    HttpResponse& setStatus(int status) { status_ = status; return *this; }
    HttpResponse& header(const QByteArray& name, const QByteArray& value);
    // The whole body at once, with a Content-Length.
    HttpResponse& body(const QByteArray& bytes);
    // Streams the body in pieces with chunked transfer encoding (as streaming APIs do).
    HttpResponse& piece(const QByteArray& bytes, int delayMs = 0);
    // Splits bytes into pieces of pieceSize, delayMs apart.
    HttpResponse& pieces(const QByteArray& bytes, int pieceSize, int delayMs);
    // Waits before the next piece (a stalled server).
    HttpResponse& stall(int ms);
    // Sends a Content-Length for the full body but closes the connection after
    // `bytesBeforeDrop` bytes (a download that breaks off mid-file).
    HttpResponse& dropAfter(qint64 bytesBeforeDrop);
    // Body pieces are written raw with no length and the connection closed at the end.
    HttpResponse& closeDelimited();

    struct Piece {
        QByteArray bytes;
        int delayMs = 0;
    };
    int status_ = 200;
    QList<QPair<QByteArray, QByteArray>> headers_;
    std::vector<Piece> pieces_;
    bool wholeBody_ = false;
    bool closeDelimited_ = false;
    qint64 dropAfter_ = -1;
    bool frameChunks_ = false;  // decided when the head is written
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

class TestHttpServer : public QObject {
    Q_OBJECT
public:
    TestHttpServer();
    ~TestHttpServer() override;

    quint16 port() const;
    // "http://127.0.0.1:<port>"
    QUrl url() const;
    QString urlString() const { return url().toString(); }

    // Routes by method and exact path (without query); a path ending in '*'
    // matches every path with that prefix. Later routes win over earlier ones.
    void route(const QByteArray& method, const QByteArray& path, HttpHandler handler);
    // Answer for unmatched requests (default 404).
    void fallback(HttpHandler handler);

    const QList<HttpRequest>& requests() const { return requests_; }
    int requestCount(const QByteArray& path) const;
    // Closes every open connection (a server that goes away).
    void closeAll();
    // Connections still open (a client that gave up closes its own).
    int openConnectionCount() const { return int(buffers_.size()); }

private:
    void onNewConnection();
    void onReadable(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const HttpRequest& request);
    void writePieces(QTcpSocket* socket, std::shared_ptr<HttpResponse> response, size_t index, qint64 written);

    QTcpServer* server_;
    struct Route {
        QByteArray method;
        QByteArray path;
        HttpHandler handler;
    };
    QList<Route> routes_;
    HttpHandler fallback_;
    QList<HttpRequest> requests_;
    QMap<QTcpSocket*, QByteArray> buffers_;
};

}  // namespace lumenote::test
