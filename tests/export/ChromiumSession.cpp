#include "ChromiumSession.h"

#include "QtTestHelpers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrl>

namespace lumenote::test {

ChromiumSession::ChromiumSession() {
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& text) { onMessage(text); });
}

ChromiumSession::~ChromiumSession() {
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        // Ask politely; the browser takes its helper processes with it.
        socket_.sendTextMessage(QJsonDocument(QJsonObject{{"id", nextId_++}, {"method", "Browser.close"}}).toJson(QJsonDocument::Compact));
        socket_.flush();
        spinFor(100);
        socket_.close();
    }
    if (browser_.state() != QProcess::NotRunning && !browser_.waitForFinished(5000)) {
        browser_.terminate();
        if (!browser_.waitForFinished(3000)) {
            browser_.kill();
            browser_.waitForFinished(3000);
        }
    }
}

bool ChromiumSession::start(QString* error) {
    const QString binary = QStringLiteral("/usr/bin/chromium");
    if (!QFile::exists(binary)) {
        *error = QStringLiteral("Chromium is not installed at ") + binary;
        return false;
    }
    browser_.setProcessChannelMode(QProcess::MergedChannels);
    browser_.start(binary, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
                            "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile_.path(), "--remote-debugging-port=0",
                            "--autoplay-policy=no-user-gesture-required", "--mute-audio", "--hide-scrollbars",
                            // Pages on disk may read the files beside them (a subtitle track of the exported audio).
                            "--allow-file-access-from-files",
                            // No host name resolves: the page must work offline and no test reaches the internet.
                            "--host-resolver-rules=MAP * ~NOTFOUND", "about:blank"});
    if (!browser_.waitForStarted(10000)) {
        *error = QStringLiteral("Chromium did not start: ") + browser_.errorString();
        return false;
    }
    // The browser writes its port and path once it listens.
    const QString portFile = profile_.path() + "/DevToolsActivePort";
    if (!spinUntil([&] { return QFile(portFile).size() > 0 || browser_.state() == QProcess::NotRunning; }, 20000) || !QFile::exists(portFile)) {
        *error = QStringLiteral("Chromium did not open its debugging port: ") + QString::fromUtf8(browser_.readAll().right(2000));
        return false;
    }
    QFile f(portFile);
    f.open(QIODevice::ReadOnly);
    const int port = QString::fromUtf8(f.readLine()).trimmed().toInt();

    // The page target of the initial tab.
    QNetworkAccessManager http;
    QString pageSocket;
    for (int attempt = 0; attempt < 50 && pageSocket.isEmpty(); ++attempt) {
        QNetworkReply* reply = http.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json/list").arg(port))));
        spinUntil([&] { return reply->isFinished(); }, 5000);
        for (const QJsonValue& t : QJsonDocument::fromJson(reply->readAll()).array())
            if (t[QStringLiteral("type")].toString() == QLatin1String("page")) pageSocket = t[QStringLiteral("webSocketDebuggerUrl")].toString();
        reply->deleteLater();
        if (pageSocket.isEmpty()) spinFor(100);
    }
    if (pageSocket.isEmpty()) {
        *error = QStringLiteral("Chromium shows no page target");
        return false;
    }
    socket_.open(QUrl(pageSocket));
    if (!spinUntil([&] { return socket_.state() == QAbstractSocket::ConnectedState; }, 10000)) {
        *error = QStringLiteral("could not connect to ") + pageSocket + ": " + socket_.errorString();
        return false;
    }
    send("Page.enable");
    send("Runtime.enable");
    send("Log.enable");
    send("Network.enable");
    return true;
}

void ChromiumSession::onMessage(const QString& text) {
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
    if (message.contains(QStringLiteral("id"))) {
        replies_.insert(message[QStringLiteral("id")].toInt(), message);
        return;
    }
    const QString method = message[QStringLiteral("method")].toString();
    const QJsonObject params = message[QStringLiteral("params")].toObject();
    events_.append(method);
    if (method == QLatin1String("Runtime.exceptionThrown")) {
        const QJsonObject details = params[QStringLiteral("exceptionDetails")].toObject();
        pageErrors_.append(details[QStringLiteral("exception")].toObject()[QStringLiteral("description")].toString() + " " +
                           details[QStringLiteral("text")].toString());
    } else if (method == QLatin1String("Runtime.consoleAPICalled") && params[QStringLiteral("type")].toString() == QLatin1String("error")) {
        pageErrors_.append(QString::fromUtf8(QJsonDocument(params[QStringLiteral("args")].toArray()).toJson(QJsonDocument::Compact)));
    } else if (method == QLatin1String("Network.requestWillBeSent")) {
        requestedUrls_.append(params[QStringLiteral("request")].toObject()[QStringLiteral("url")].toString());
    }
}

QJsonObject ChromiumSession::send(const QString& method, const QJsonObject& params, int timeoutMs) {
    const int id = nextId_++;
    socket_.sendTextMessage(QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}}).toJson(QJsonDocument::Compact));
    if (!spinUntil([&] { return replies_.contains(id); }, timeoutMs)) {
        ADD_FAILURE() << method.toStdString() << ": no answer within " << timeoutMs << " ms";
        return {};
    }
    const QJsonObject reply = replies_.take(id);
    if (reply.contains(QStringLiteral("error"))) {
        ADD_FAILURE() << method.toStdString() << ": " << QJsonDocument(reply[QStringLiteral("error")].toObject()).toJson().toStdString();
        return {};
    }
    return reply[QStringLiteral("result")].toObject();
}

QJsonValue ChromiumSession::evaluate(const QString& expression, int timeoutMs) {
    const QJsonObject result =
        send("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}, {"userGesture", true}}, timeoutMs);
    if (result.contains(QStringLiteral("exceptionDetails"))) {
        ADD_FAILURE() << "script failed: " << expression.toStdString() << "\n"
                      << QJsonDocument(result[QStringLiteral("exceptionDetails")].toObject()).toJson().toStdString();
        return {};
    }
    return result[QStringLiteral("result")].toObject()[QStringLiteral("value")];
}

bool ChromiumSession::waitFor(const QString& expression, int timeoutMs) {
    return spinUntil(
        [&] {
            const QJsonValue v = evaluate("!!(" + expression + ")");
            return v.toBool();
        },
        timeoutMs);
}

bool ChromiumSession::waitForEvent(const QString& method, int timeoutMs) {
    return spinUntil([&] { return events_.removeOne(method); }, timeoutMs);
}

bool ChromiumSession::navigate(const QString& url, int timeoutMs) {
    events_.clear();
    send("Page.navigate", {{"url", url}});
    return waitForEvent(QStringLiteral("Page.loadEventFired"), timeoutMs);
}

bool ChromiumSession::reload(int timeoutMs) {
    events_.clear();
    send("Page.reload");
    return waitForEvent(QStringLiteral("Page.loadEventFired"), timeoutMs);
}

void ChromiumSession::setViewport(int width, int height) {
    send("Emulation.setDeviceMetricsOverride", {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
}

bool ChromiumSession::saveScreenshot(const QString& path, bool fullPage) {
    QJsonObject params{{"format", "png"}};
    if (fullPage) params.insert("captureBeyondViewport", true);
    const QJsonObject result = send("Page.captureScreenshot", params, 30000);
    const QByteArray png = QByteArray::fromBase64(result[QStringLiteral("data")].toString().toLatin1());
    QFile f(path);
    return !png.isEmpty() && f.open(QIODevice::WriteOnly) && f.write(png) == png.size();
}

}  // namespace lumenote::test
