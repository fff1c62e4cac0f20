#pragma once

// Two real Syncthing instances on this machine, for tests that carry a folder
// between two simulated machines. Each instance gets its own home, a freshly
// generated key and a configuration that keeps every packet on loopback: it
// listens and dials on 127.0.0.1 only, and global discovery, local discovery,
// relays, NAT traversal, usage reporting, crash reporting and upgrade checks
// are off. The instances learn each other's device id through their REST API.
//
// Every wait is bounded and polls; failures throw SyncthingError with the tail
// of both logs. The processes are stopped by the destructors, also when a test
// fails, and are killed by the kernel should the test program itself die.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUrlQuery>

#include <functional>
#include <memory>
#include <stdexcept>

class QDeadlineTimer;
class QNetworkAccessManager;
class QProcess;

namespace lumenote::test {

class SyncthingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SyncthingPeer {
public:
    // `home` holds the instance's keys, configuration, database and log.
    SyncthingPeer(QString name, QString home);
    ~SyncthingPeer();
    SyncthingPeer(const SyncthingPeer&) = delete;
    SyncthingPeer& operator=(const SyncthingPeer&) = delete;

    // Generates the configuration (first time only), starts the program on
    // free loopback ports and returns once its REST API answers and its
    // listener is up. A port taken in the meantime is retried on new ports.
    void start(int timeoutMs = 15000);
    // Asks the program to exit, then terminates and at last kills it. Safe to call twice.
    void stop();
    bool running() const;
    qint64 processId() const { return pid_; }

    const QString& name() const { return name_; }
    const QString& home() const { return home_; }
    const QString& deviceId() const { return deviceId_; }
    quint16 listenPort() const { return listenPort_; }
    // "tcp://127.0.0.1:<port>", the address the other instance dials.
    QString listenAddress() const;

    // REST calls with the instance's API key; a status other than 2xx, a
    // timeout or an answer that is not JSON (when one is expected) throws.
    QJsonValue get(const QString& path, const QUrlQuery& query = {}, int timeoutMs = 10000) const;
    QJsonValue send(const QByteArray& method, const QString& path, const QUrlQuery& query = {},
                    const QJsonValue& body = QJsonValue::Undefined, int timeoutMs = 10000) const;

    // The last lines the program logged.
    QString logTail(int lines = 30) const;

private:
    friend class SyncthingPair;
    void writeConfiguration(quint16 guiPort, quint16 listenPort);
    // Starts the program without waiting, on new ports or on the last ones.
    void spawn(bool samePorts = false);
    // Returns once the spawned program is up; stops it and throws when it is not by the deadline.
    void awaitReady(const QDeadlineTimer& deadline);

    QString name_;
    QString home_;
    QString apiKey_;
    QString deviceId_;
    quint16 guiPort_ = 0;
    quint16 listenPort_ = 0;
    qint64 pid_ = 0;
    std::unique_ptr<QProcess> process_;
    std::unique_ptr<QNetworkAccessManager> network_;
};

// Two paired instances, "A" and "B", under one root folder.
class SyncthingPair {
public:
    explicit SyncthingPair(const QString& root);
    ~SyncthingPair();

    // Starts both, exchanges their device ids over REST and waits until they are connected.
    void start(int timeoutMs = 30000);
    void stop();

    // Stops or resumes carrying the shared folder on both sides. Edits made
    // while paused meet only afterwards, as on a laptop that was offline.
    void setSharingPaused(bool paused);

    // Shares one folder: `pathA` on A and `pathB` on B (both created), with a
    // short rescan interval and no file watcher, so tests decide when a scan runs.
    void share(const QString& folderId, const QString& pathA, const QString& pathB);

    // Scans the shared folder on both sides and waits until both are at rest
    // with nothing left to pull and hold the same files, byte for byte.
    // Rescans while waiting, so conflict copies and files rewritten in the
    // meantime are carried too.
    void waitUntilInSync(int timeoutMs = 20000);
    // Polls pred() every 50 ms, rescanning both sides every second; throws after timeoutMs.
    void waitFor(const std::function<bool()>& pred, const QString& what, int timeoutMs = 20000);
    // One blocking scan of the shared folder on one side.
    void scan(SyncthingPeer& peer);

    SyncthingPeer& a() { return *a_; }
    SyncthingPeer& b() { return *b_; }
    const QString& folderId() const { return folderId_; }
    // Both logs' last lines, for failure messages.
    QString diagnostics() const;

private:
    // One side's view of the shared folder: at rest with nothing left to pull,
    // or not; and, for failure messages, how complete it sees the other.
    struct SideState {
        bool settled = false;
        QString description;
    };
    SideState sideState(SyncthingPeer& self, const SyncthingPeer& other);
    void waitUntilConnected(int timeoutMs);

    std::unique_ptr<SyncthingPeer> a_;
    std::unique_ptr<SyncthingPeer> b_;
    QString folderId_;
    QString pathA_;
    QString pathB_;
    QString progress_;  // what the last check of a wait saw
};

}  // namespace lumenote::test
