#include "SyncthingPair.h"

#include "QtTestHelpers.h"

#include <QDeadlineTimer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace lumenote::test {

namespace {

QString syncthingProgram() { return QStringLiteral("syncthing"); }

// Two distinct ports nobody listens on right now. Another program may take
// one before the instance binds it; SyncthingPeer::start retries then.
std::pair<quint16, quint16> freeLoopbackPorts() {
    QTcpServer first;
    QTcpServer second;
    if (!first.listen(QHostAddress::LocalHost, 0) || !second.listen(QHostAddress::LocalHost, 0))
        throw SyncthingError("no free loopback port");
    return {first.serverPort(), second.serverPort()};
}

// Replaces the one match of `pattern` (captures 1 and 2 kept around the new
// value); a configuration of another shape is an error, never a silent no-op.
void setOnce(QString& xml, const QString& pattern, const QString& value) {
    const QRegularExpression re(pattern);
    QRegularExpressionMatchIterator it = re.globalMatch(xml);
    if (!it.hasNext()) throw SyncthingError("syncthing configuration has no match for " + pattern.toStdString());
    const QRegularExpressionMatch m = it.next();
    if (it.hasNext()) throw SyncthingError("syncthing configuration has several matches for " + pattern.toStdString());
    xml.replace(m.capturedStart(), m.capturedLength(), m.captured(1) + value.toHtmlEscaped() + m.captured(2));
}

void setOption(QString& xml, const QString& tag, const QString& value) {
    setOnce(xml, "(<options>[\\s\\S]*<" + tag + ">)[^<]*(</" + tag + ">[\\s\\S]*</options>)", value);
}

// Relative path -> content hash (or "folder") of everything below `root` that
// Syncthing carries: not its folder marker and not its temporary files.
QMap<QString, QByteArray> folderContents(const QString& root) {
    QMap<QString, QByteArray> contents;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = base.relativeFilePath(path);
        const QString name = it.fileName();
        if (relative.startsWith(".stfolder") || relative.startsWith(".stversions") || name.startsWith("~syncthing~") ||
            (name.startsWith(".syncthing.") && name.endsWith(".tmp")))
            continue;
        if (it.fileInfo().isDir()) {
            contents.insert(relative, "folder");
            continue;
        }
        QFile f(path);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        if (f.open(QIODevice::ReadOnly)) hash.addData(&f);
        contents.insert(relative, hash.result());
    }
    return contents;
}

QStringList contentDifferences(const QMap<QString, QByteArray>& a, const QMap<QString, QByteArray>& b) {
    QStringList differing;
    for (auto it = a.begin(); it != a.end(); ++it)
        if (b.value(it.key()) != it.value()) differing << it.key();
    for (auto it = b.begin(); it != b.end(); ++it)
        if (!a.contains(it.key())) differing << it.key();
    return differing;
}

QString tail(const QString& path, int lines) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QStringList all = QString::fromUtf8(f.readAll()).split('\n');
    return all.mid(qMax(0, all.size() - lines - 1)).join('\n');
}

}  // namespace

SyncthingPeer::SyncthingPeer(QString name, QString home)
    : name_(std::move(name)), home_(std::move(home)), network_(std::make_unique<QNetworkAccessManager>()) {
    network_->setProxy(QNetworkProxy::NoProxy);
}

SyncthingPeer::~SyncthingPeer() { stop(); }

QString SyncthingPeer::listenAddress() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(listenPort_); }

void SyncthingPeer::writeConfiguration(quint16 guiPort, quint16 listenPort) {
    const QString path = home_ + "/config.xml";
    const bool fresh = !QFile::exists(path);
    if (fresh) {
        QDir().mkpath(home_);
        QProcess gen;
        gen.setProcessChannelMode(QProcess::MergedChannels);
        gen.start(syncthingProgram(), {"generate", "--home=" + home_, "--no-default-folder", "--skip-port-probing"});
        if (!gen.waitForFinished(30000) || gen.exitStatus() != QProcess::NormalExit || gen.exitCode() != 0)
            throw SyncthingError("syncthing generate failed: " + gen.readAll().toStdString() + gen.errorString().toStdString());
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw SyncthingError("cannot read " + path.toStdString());
    QString xml = QString::fromUtf8(f.readAll());
    f.close();

    const QRegularExpressionMatch key = QRegularExpression("<apikey>([^<]+)</apikey>").match(xml);
    if (!key.hasMatch()) throw SyncthingError("syncthing configuration has no API key");
    apiKey_ = key.captured(1);
    setOnce(xml, "(<gui\\b[^>]*>\\s*<address>)[^<]*(</address>)", QStringLiteral("127.0.0.1:%1").arg(guiPort));
    setOnce(xml, "(<gui\\b[^>]* tls=\")[^\"]*(\")", "false");
    // Its own device, the only one in a fresh configuration, is named for the logs.
    if (fresh) setOnce(xml, "(<device id=\"[^\"]+\" name=\")[^\"]*(\")", name_);
    // Loopback only, nothing announced, nothing relayed, nothing reported.
    setOption(xml, "listenAddress", QStringLiteral("tcp://127.0.0.1:%1").arg(listenPort));
    setOption(xml, "globalAnnounceEnabled", "false");
    setOption(xml, "localAnnounceEnabled", "false");
    setOption(xml, "relaysEnabled", "false");
    setOption(xml, "natEnabled", "false");
    setOption(xml, "announceLANAddresses", "false");
    setOption(xml, "urAccepted", "-1");
    setOption(xml, "crashReportingEnabled", "false");
    setOption(xml, "autoUpgradeIntervalH", "0");
    setOption(xml, "startBrowser", "false");
    // Tests wait on it: a lowered priority would let every build on the machine go first.
    setOption(xml, "setLowPriority", "false");
    // A dial that failed (the other side was still starting) is retried soon.
    setOption(xml, "reconnectionIntervalS", "1");

    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(xml.toUtf8()) < 0)
        throw SyncthingError("cannot write " + path.toStdString());
    guiPort_ = guiPort;
    listenPort_ = listenPort;
}

void SyncthingPeer::spawn(bool samePorts) {
    if (samePorts)
        writeConfiguration(guiPort_, listenPort_);
    else {
        const auto [guiPort, listenPort] = freeLoopbackPorts();
        writeConfiguration(guiPort, listenPort);
    }

    process_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home_);
    for (const char* proxy : {"all_proxy", "ALL_PROXY", "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"})
        env.remove(proxy);
    env.insert("STNOUPGRADE", "1");
    // Run as the process we started, without the monitor process that would
    // otherwise fork the real one (and outlive a killed test).
    env.insert("STMONITORED", "1");
    // The hashing implementation named saves a second of benchmarking at start-up.
    env.insert("STHASHING", "minio");
    process_->setProcessEnvironment(env);
    process_->setWorkingDirectory(home_);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardOutputFile(home_ + "/syncthing.log", QIODevice::Append);
    // Killed with the test program, even when that one crashes or is killed.
    const pid_t parent = getpid();
    process_->setChildProcessModifier([parent] {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
    });
    process_->start(syncthingProgram(), {"serve", "--home=" + home_, "--no-browser", "--no-restart", "--no-upgrade",
                                         "--no-default-folder", "--logflags=3"});
    pid_ = process_->waitForStarted(10000) ? process_->processId() : 0;
}

void SyncthingPeer::awaitReady(const QDeadlineTimer& deadline) {
    const auto fail = [this](const QString& why) {
        stop();
        throw SyncthingError("syncthing " + name_.toStdString() + ": " + why.toStdString() + "\n" + logTail().toStdString());
    };
    if (pid_ == 0) fail("did not start: " + (process_ ? process_->errorString() : QString()));
    while (!deadline.hasExpired()) {
        if (process_->state() == QProcess::NotRunning) fail("exited with " + QString::number(process_->exitCode()));
        try {
            const QJsonObject status = get("/rest/system/status", {}, 2000).toObject();
            deviceId_ = status["myID"].toString();
            const QJsonValue listener = status["connectionServiceStatus"][listenAddress()];
            if (listener.isObject() && !listener["error"].isNull()) break;
            if (listener.isObject() && !deviceId_.isEmpty()) return;
        } catch (const SyncthingError&) {
            // Not answering yet.
        }
        spinFor(50);
    }
    fail(deadline.hasExpired() ? "no answer within the time" : "listener failed");
}

void SyncthingPeer::start(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (int attempt = 1;; ++attempt) {
        spawn();
        try {
            awaitReady(deadline);
            return;
        } catch (const SyncthingError&) {
            if (attempt == 3 || deadline.hasExpired()) throw;
        }
    }
}

bool SyncthingPeer::running() const { return process_ && process_->state() != QProcess::NotRunning; }

void SyncthingPeer::stop() {
    if (!process_) return;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(5000);
        }
    }
    process_.reset();
}

QJsonValue SyncthingPeer::get(const QString& path, const QUrlQuery& query, int timeoutMs) const {
    return send("GET", path, query, QJsonValue::Undefined, timeoutMs);
}

QJsonValue SyncthingPeer::send(const QByteArray& method, const QString& path, const QUrlQuery& query, const QJsonValue& body,
                               int timeoutMs) const {
    QUrl url(QStringLiteral("http://127.0.0.1:%1%2").arg(guiPort_).arg(path));
    url.setQuery(query);
    QNetworkRequest request(url);
    request.setRawHeader("X-API-Key", apiKey_.toUtf8());
    request.setTransferTimeout(timeoutMs);
    QByteArray data;
    if (body.isObject() || body.isArray()) {
        data = body.isObject() ? QJsonDocument(body.toObject()).toJson(QJsonDocument::Compact)
                               : QJsonDocument(body.toArray()).toJson(QJsonDocument::Compact);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    }
    std::unique_ptr<QNetworkReply> reply(network_->sendCustomRequest(request, method, data));
    spinUntil([&] { return reply->isFinished(); }, timeoutMs + 1000);
    const std::string what = name_.toStdString() + " " + method.toStdString() + " " + path.toStdString();
    if (!reply->isFinished()) {
        reply->abort();
        throw SyncthingError(what + ": no answer");
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray answer = reply->readAll();
    if (reply->error() != QNetworkReply::NoError || status / 100 != 2)
        throw SyncthingError(what + ": " + std::to_string(status) + " " + reply->errorString().toStdString() + " " +
                             answer.left(300).toStdString());
    if (answer.trimmed().isEmpty()) return QJsonValue::Null;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(answer, &error);
    if (error.error != QJsonParseError::NoError) return QString::fromUtf8(answer);
    return doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
}

QString SyncthingPeer::logTail(int lines) const { return tail(home_ + "/syncthing.log", lines); }

SyncthingPair::SyncthingPair(const QString& root)
    : a_(std::make_unique<SyncthingPeer>("A", root + "/syncthing-a")), b_(std::make_unique<SyncthingPeer>("B", root + "/syncthing-b")) {}

SyncthingPair::~SyncthingPair() { stop(); }

void SyncthingPair::stop() {
    a_->stop();
    b_->stop();
}

QString SyncthingPair::diagnostics() const {
    return "--- syncthing A log\n" + a_->logTail() + "\n--- syncthing B log\n" + b_->logTail();
}

void SyncthingPair::start(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    // Side by side (each spends half a second measuring the CPU); one that
    // failed, say on a port taken meanwhile, starts again on its own.
    a_->spawn();
    b_->spawn();
    for (SyncthingPeer* peer : {a_.get(), b_.get()}) {
        try {
            peer->awaitReady(deadline);
        } catch (const SyncthingError&) {
            peer->start(int(deadline.remainingTime()));
        }
    }
    // Each learns the other's id from its REST API and dials its loopback listener.
    for (auto [self, other] : {std::pair{a_.get(), b_.get()}, std::pair{b_.get(), a_.get()}}) {
        const QJsonObject device{{"deviceID", other->deviceId()},
                                 {"name", other->name()},
                                 {"addresses", QJsonArray{other->listenAddress()}},
                                 {"autoAcceptFolders", false}};
        self->send("PUT", "/rest/config/devices/" + other->deviceId(), {}, device);
    }
    // Adding a device makes each side dial at once; should both dials have
    // missed (one came before the other side knew it), the next come only
    // after a growing back-off (1, 2, 4, 8 s...). A side started again dials
    // its peer, which knows it by now, right away: B first, then A, in turns.
    for (int attempt = 0;; ++attempt) {
        try {
            waitUntilConnected(int(qMin<qint64>(attempt == 0 ? 1500 : 5000, deadline.remainingTime())));
            return;
        } catch (const SyncthingError&) {
            if (deadline.hasExpired()) throw;
        }
        SyncthingPeer& again = attempt % 2 == 0 ? *b_ : *a_;
        again.stop();
        again.spawn(true);
        again.awaitReady(deadline);
    }
}

void SyncthingPair::waitUntilConnected(int timeoutMs) {
    waitFor(
        [&] {
            for (auto [self, other] : {std::pair{a_.get(), b_.get()}, std::pair{b_.get(), a_.get()}}) {
                const QJsonObject connections = self->get("/rest/system/connections").toObject()["connections"].toObject();
                if (!connections[other->deviceId()]["connected"].toBool()) return false;
            }
            return true;
        },
        "the two instances connected", timeoutMs);
}

void SyncthingPair::setSharingPaused(bool paused) {
    // The connection stays up (a paused device would be dialled again only
    // after a long back-off); only the folder stands still on both sides.
    for (SyncthingPeer* peer : {a_.get(), b_.get()})
        peer->send("PATCH", "/rest/config/folders/" + folderId_, {}, QJsonObject{{"paused", paused}});
    waitFor(
        [&] {
            for (SyncthingPeer* peer : {a_.get(), b_.get()}) {
                const QString state = peer->get("/rest/db/status", QUrlQuery{{"folder", folderId_}}).toObject()["state"].toString();
                // A paused folder has no state at all.
                if (state.isEmpty() != paused) return false;
            }
            return true;
        },
        paused ? "the folder paused on both sides" : "the folder resumed on both sides");
}

void SyncthingPair::share(const QString& folderId, const QString& pathA, const QString& pathB) {
    folderId_ = folderId;
    pathA_ = pathA;
    pathB_ = pathB;
    for (auto [self, other, path] : {std::tuple{a_.get(), b_.get(), pathA}, std::tuple{b_.get(), a_.get(), pathB}}) {
        QDir().mkpath(path);
        const QJsonObject folder{{"id", folderId},
                                 {"label", folderId},
                                 {"path", path},
                                 {"type", "sendreceive"},
                                 {"rescanIntervalS", 2},
                                 {"fsWatcherEnabled", false},
                                 {"devices", QJsonArray{QJsonObject{{"deviceID", self->deviceId()}},
                                                        QJsonObject{{"deviceID", other->deviceId()}}}}};
        self->send("PUT", "/rest/config/folders/" + folderId, {}, folder);
    }
    // Shared once each side knows the other has the folder too.
    waitFor(
        [&] {
            for (auto [self, other] : {std::pair{a_.get(), b_.get()}, std::pair{b_.get(), a_.get()}}) {
                const QJsonArray shared = self->get("/rest/config/folders/" + folderId).toObject()["devices"].toArray();
                const QJsonObject status = self->get("/rest/db/status", QUrlQuery{{"folder", folderId}}).toObject();
                if (shared.size() != 2 || status["state"].toString() != "idle") return false;
                const QJsonObject completion =
                    self->get("/rest/db/completion", QUrlQuery{{"folder", folderId}, {"device", other->deviceId()}}).toObject();
                if (completion["remoteState"].toString("valid") != "valid") return false;
            }
            return true;
        },
        "folder " + folderId + " shared on both sides");
}

void SyncthingPair::scan(SyncthingPeer& peer) {
    // Answers once the scan is done.
    peer.send("POST", "/rest/db/scan", QUrlQuery{{"folder", folderId_}}, QJsonValue::Undefined, 20000);
}

SyncthingPair::SideState SyncthingPair::sideState(SyncthingPeer& self, const SyncthingPeer& other) {
    const QJsonObject status = self.get("/rest/db/status", QUrlQuery{{"folder", folderId_}}).toObject();
    const QJsonObject completion =
        self.get("/rest/db/completion", QUrlQuery{{"folder", folderId_}, {"device", other.deviceId()}}).toObject();
    SideState side;
    side.description = QStringLiteral("%1: %2, needs %3 items, %4 pull errors, sees %5 at %6% (%7 items to go); ")
                  .arg(self.name(), status["state"].toString())
                  .arg(status["needTotalItems"].toInt())
                  .arg(status["pullErrors"].toInt())
                  .arg(other.name())
                  .arg(completion["completion"].toDouble())
                  .arg(completion["needItems"].toInt() + completion["needDeletes"].toInt());
    side.settled = status["state"].toString() == "idle" && status["needTotalItems"].toInt() == 0;
    return side;
}

void SyncthingPair::waitUntilInSync(int timeoutMs) {
    scan(*a_);
    scan(*b_);
    waitFor(
        [&] {
            const SideState sa = sideState(*a_, *b_);
            const SideState sb = sideState(*b_, *a_);
            progress_ = sa.description + sb.description;
            if (!sa.settled || !sb.settled) return false;
            // The folders themselves decide: a side's view of how complete the
            // other is can stay one conflict copy behind after the copy is gone.
            const QStringList differences = contentDifferences(folderContents(pathA_), folderContents(pathB_));
            if (differences.isEmpty()) return true;
            progress_ += "differing: " + differences.mid(0, 5).join(", ");
            return false;
        },
        "both sides in sync", timeoutMs);
}

void SyncthingPair::waitFor(const std::function<bool()>& pred, const QString& what, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QDeadlineTimer nextScan(1000);
    std::string lastError;
    progress_.clear();
    for (;;) {
        try {
            if (pred()) return;
            lastError.clear();
        } catch (const SyncthingError& e) {
            lastError = e.what();
        }
        if (deadline.hasExpired()) break;
        if (nextScan.hasExpired() && !folderId_.isEmpty()) {
            try {
                scan(*a_);
                scan(*b_);
            } catch (const SyncthingError& e) {
                lastError = e.what();
            }
            nextScan.setRemainingTime(1000);
        }
        spinFor(50);
    }
    throw SyncthingError("timed out after " + std::to_string(timeoutMs) + " ms waiting for " + what.toStdString() +
                         (lastError.empty() ? "" : " (last error: " + lastError + ")") +
                         (progress_.isEmpty() ? "" : "\n" + progress_.toStdString()) + "\n" + diagnostics().toStdString());
}

}  // namespace lumenote::test
