#pragma once

// Secrets (the Claude API key) in the desktop's Secret Service through
// QtKeychain. Where no Secret Service is running (a bare session, a server) they
// live in <config>/io.corvana.Lumenote/secrets, readable by the owner only, and
// the settings screen says so. A secret value never goes into a log line, an
// error text or any other file.

#include "core/Error.h"

#include <QObject>
#include <QString>

#include <QCoroTask>

#include <optional>

namespace lumenote {

inline const QString kSecretServiceName = QStringLiteral("io.corvana.Lumenote");
inline const QString kClaudeAPIKeyAccount = QStringLiteral("claudeAPIKey");

class SecretStoreError : public Error {
public:
    using Error::Error;
};

class SecretStore : public QObject {
    Q_OBJECT
public:
    enum class Backend {
        // The Secret Service when one is running at the time of the call, else the file.
        Automatic,
        // Always the file (tests, and setups that want no keyring).
        FileOnly,
    };

    explicit SecretStore(Backend backend = Backend::Automatic, QObject* parent = nullptr);
    static SecretStore& shared();

    // <XDG_CONFIG_HOME>/io.corvana.Lumenote/secrets
    static QString fallbackFilePath();

    // Whether secrets go to the file because no Secret Service is running.
    QCoro::Task<bool> usesFileFallback();

    // None when nothing is stored under the account. Throws SecretStoreError
    // when the keyring refuses (locked, denied) or the file cannot be read.
    QCoro::Task<std::optional<QString>> read(QString account);
    // Replaces the stored value. Throws SecretStoreError.
    QCoro::Task<> write(QString account, QString value);
    // Deletes the stored value (wherever it is); nothing stored is not an error.
    QCoro::Task<> remove(QString account);

private:
    Backend backend_;
};

}  // namespace lumenote
