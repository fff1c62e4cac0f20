#include "consolidation/SecretStore.h"

#include "consolidation/SignalAwaiter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <qt6keychain/keychain.h>

#include <memory>

namespace lumenote {

namespace {

// Names under which a keyring that QtKeychain can use answers on the session bus.
const char* const kKeyringBusNames[] = {"org.freedesktop.secrets", "org.kde.kwalletd6", "org.kde.kwalletd5"};

QCoro::Task<bool> nameHasOwner(QDBusConnection bus, QString name) {
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                          QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    message << name;
    std::unique_ptr<QDBusPendingCallWatcher> watcher(new QDBusPendingCallWatcher(bus.asyncCall(message, 2000)));
    if (!watcher->isFinished()) {
        detail::SignalOrDestroyed finished(watcher.get(), &QDBusPendingCallWatcher::finished);
        co_await finished;
    }
    const QDBusPendingReply<bool> reply = *watcher;
    co_return reply.isValid() && reply.value();
}

QCoro::Task<bool> keyringRunning() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) co_return false;
    for (const char* name : kKeyringBusNames)
        if (co_await nameHasOwner(bus, QLatin1String(name))) co_return true;
    co_return false;
}

struct JobOutcome {
    QKeychain::Error error = QKeychain::NoError;
    QString errorString;
};

// Jobs are deleted later: their finished signal is still being emitted when
// the awaiting coroutine resumes.
template <typename Job>
using JobPtr = std::unique_ptr<Job, void (*)(QKeychain::Job*)>;

template <typename Job>
JobPtr<Job> makeJob(const QString& account) {
    JobPtr<Job> job(new Job(kSecretServiceName), [](QKeychain::Job* j) { j->deleteLater(); });
    job->setKey(account);
    return job;
}

QCoro::Task<JobOutcome> runJob(QKeychain::Job* job) {
    job->setAutoDelete(false);
    job->setInsecureFallback(false);  // our own fallback file is the only plain store
    auto done = std::make_shared<bool>(false);
    QObject::connect(job, &QKeychain::Job::finished, job, [done] { *done = true; });
    job->start();
    if (!*done) {
        detail::SignalOrDestroyed finished(job, &QKeychain::Job::finished);
        co_await finished;
    }
    co_return JobOutcome{job->error(), job->errorString()};
}

// The fallback file: one JSON object from account to value.
QJsonObject readSecretsFile(bool* damaged) {
    *damaged = false;
    QFile file(SecretStore::fallbackFilePath());
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly)) {
        *damaged = true;
        return {};
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) *damaged = true;
    return doc.object();
}

void writeSecretsFile(const QJsonObject& secrets) {
    const QString path = SecretStore::fallbackFilePath();
    if (secrets.isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path))
            throw SecretStoreError(QStringLiteral("Could not remove the secrets file %1.").arg(path));
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    // Owner-only before a single byte of the secret is written.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(QJsonDocument(secrets).toJson(QJsonDocument::Compact)) < 0 || !file.commit())
        throw SecretStoreError(QStringLiteral("Could not write the secrets file %1: %2").arg(path, file.errorString()));
}

std::optional<QString> readFromFile(const QString& account) {
    bool damaged = false;
    const QJsonObject secrets = readSecretsFile(&damaged);
    if (damaged)
        throw SecretStoreError(
            QStringLiteral("The secrets file %1 cannot be read. Enter the key again in Settings → Consolidation.").arg(SecretStore::fallbackFilePath()));
    const QJsonValue v = secrets.value(account);
    if (!v.isString()) return std::nullopt;
    return v.toString();
}

void writeToFile(const QString& account, const QString& value) {
    bool damaged = false;
    QJsonObject secrets = readSecretsFile(&damaged);  // a damaged file is replaced
    secrets.insert(account, value);
    writeSecretsFile(secrets);
}

void removeFromFile(const QString& account) {
    bool damaged = false;
    QJsonObject secrets = readSecretsFile(&damaged);
    if (damaged || !secrets.contains(account)) {
        if (damaged) writeSecretsFile({});
        return;
    }
    secrets.remove(account);
    writeSecretsFile(secrets);
}

}  // namespace

SecretStore::SecretStore(Backend backend, QObject* parent) : QObject(parent), backend_(backend) {}

SecretStore& SecretStore::shared() {
    static SecretStore* instance = [] {
        auto* s = new SecretStore(Backend::Automatic);
        if (QCoreApplication::instance()) s->moveToThread(QCoreApplication::instance()->thread());
        return s;
    }();
    return *instance;
}

QString SecretStore::fallbackFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/io.corvana.Lumenote/secrets");
}

QCoro::Task<bool> SecretStore::usesFileFallback() {
    if (backend_ == Backend::FileOnly) co_return true;
    co_return !(co_await keyringRunning());
}

QCoro::Task<std::optional<QString>> SecretStore::read(QString account) {
    if (co_await usesFileFallback()) co_return readFromFile(account);
    auto job = makeJob<QKeychain::ReadPasswordJob>(account);
    const JobOutcome outcome = co_await runJob(job.get());
    if (outcome.error == QKeychain::NoError) co_return job->textData();
    // A key saved while no keyring was running is still in the file.
    if (outcome.error == QKeychain::EntryNotFound) co_return readFromFile(account);
    throw SecretStoreError(QStringLiteral("The system keyring could not be read: ") + outcome.errorString);
}

QCoro::Task<> SecretStore::write(QString account, QString value) {
    if (co_await usesFileFallback()) {
        writeToFile(account, value);
        co_return;
    }
    auto job = makeJob<QKeychain::WritePasswordJob>(account);
    job->setTextData(value);
    const JobOutcome outcome = co_await runJob(job.get());
    if (outcome.error != QKeychain::NoError)
        throw SecretStoreError(QStringLiteral("The key could not be saved in the system keyring: ") + outcome.errorString);
    removeFromFile(account);  // no plain copy stays behind
}

QCoro::Task<> SecretStore::remove(QString account) {
    if (!(co_await usesFileFallback())) {
        auto job = makeJob<QKeychain::DeletePasswordJob>(account);
        const JobOutcome outcome = co_await runJob(job.get());
        if (outcome.error != QKeychain::NoError && outcome.error != QKeychain::EntryNotFound)
            throw SecretStoreError(QStringLiteral("The key could not be removed from the system keyring: ") + outcome.errorString);
    }
    removeFromFile(account);
}

}  // namespace lumenote
