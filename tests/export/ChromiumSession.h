#pragma once

// Drives Debian's headless Chromium through the DevTools protocol: one page,
// scripts evaluated in it, viewport sizes, screenshots. Host names never
// resolve, so a page that asks for the network gets nothing.

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

#include <memory>

namespace lumenote::test {

class ChromiumSession {
public:
    ChromiumSession();
    ~ChromiumSession();

    // Starts the browser and attaches to its first page; false with *error set
    // when that fails.
    bool start(QString* error);

    // Sends a command and waits for its answer; a protocol error fails the test
    // and returns an empty object.
    QJsonObject send(const QString& method, const QJsonObject& params = {}, int timeoutMs = 15000);
    // Evaluates an expression in the page (promises awaited) and returns its value.
    QJsonValue evaluate(const QString& expression, int timeoutMs = 15000);
    // Polls the expression until it is truthy.
    bool waitFor(const QString& expression, int timeoutMs = 10000);

    bool navigate(const QString& url, int timeoutMs = 15000);
    bool reload(int timeoutMs = 15000);
    void setViewport(int width, int height);
    bool saveScreenshot(const QString& path, bool fullPage = false);

    // Script exceptions and console errors seen so far.
    const QStringList& pageErrors() const { return pageErrors_; }
    // Every URL the page asked for.
    const QStringList& requestedUrls() const { return requestedUrls_; }

private:
    void onMessage(const QString& text);
    bool waitForEvent(const QString& method, int timeoutMs);

    QTemporaryDir profile_;
    QProcess browser_;
    QWebSocket socket_;
    int nextId_ = 1;
    QHash<int, QJsonObject> replies_;
    QStringList events_;
    QStringList pageErrors_;
    QStringList requestedUrls_;
};

}  // namespace lumenote::test
