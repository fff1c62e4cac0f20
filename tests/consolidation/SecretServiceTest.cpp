// The key store against a real Secret Service: a private session bus with
// gnome-keyring-daemon, started by this test program (never the developer's
// own keyring).

#include "ConsolidationTestSupport.h"
#include "FixtureTools.h"

#include "consolidation/ConsolidationSettings.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

namespace lumenote::test {
namespace {

// One bus and keyring for the whole program: both the Qt and the libsecret side
// keep their session-bus connection for the life of the process.
class KeyringSession : public ::testing::Environment {
public:
    static inline QString skipReason;

    void SetUp() override {
        // Whatever happens below, nothing reaches the developer's session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray("unix:path=") + QByteArray::fromStdString(homeDir()) + "/no-bus");
        for (const char* tool : {"dbus-run-session", "gnome-keyring-daemon", "secret-tool"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
                skipReason = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
                return;
            }
        }
        const QString script = QString::fromStdString(homeDir()) + "/keyring-session.sh";
        if (!writeExecutableScript(script, QStringLiteral(
                                               "read -r password\n"
                                               "printf '%s' \"$password\" | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &\n"
                                               "keyring=$!\n"
                                               "echo \"$DBUS_SESSION_BUS_ADDRESS\"\n"
                                               "read -r stop\n"
                                               "kill $keyring 2>/dev/null\n"
                                               "wait $keyring 2>/dev/null\n"))) {
            skipReason = "cannot write the session script";
            return;
        }
        session_.setProgram("dbus-run-session");
        session_.setArguments({"--", script});
        session_.setProcessChannelMode(QProcess::SeparateChannels);
        session_.start();
        if (!session_.waitForStarted(5000)) {
            skipReason = "dbus-run-session did not start: " + session_.errorString();
            return;
        }
        session_.write(QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "\n");
        QByteArray address;
        while (!address.contains('\n') && session_.waitForReadyRead(5000)) address += session_.readAllStandardOutput();
        address = address.trimmed();
        if (address.isEmpty()) {
            skipReason = "no session bus came up: " + QString::fromLocal8Bit(session_.readAllStandardError()).trimmed();
            return;
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        const bool registered = spinUntil(
            [] {
                auto* bus = QDBusConnection::sessionBus().interface();
                return bus && bus->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
            },
            10000);
        if (!registered) skipReason = "gnome-keyring-daemon did not offer the Secret Service on the private bus";
    }

    void TearDown() override {
        if (session_.state() == QProcess::NotRunning) return;
        session_.write("stop\n");
        session_.closeWriteChannel();
        if (!session_.waitForFinished(5000)) {
            session_.kill();
            session_.waitForFinished(2000);
        }
    }

private:
    QProcess session_;
};
const auto* const kKeyringSession = ::testing::AddGlobalTestEnvironment(new KeyringSession);

// What the Secret Service holds for the account, read with libsecret's own tool.
std::optional<QByteArray> lookUp(const QString& account) {
    QProcess tool;
    tool.start("secret-tool", {"lookup", "server", kSecretServiceName, "user", account});
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0) return std::nullopt;
    return tool.readAllStandardOutput();
}

class SecretServiceTest : public ConsolidationFixture {
protected:
    void SetUp() override {
        if (!KeyringSession::skipReason.isEmpty()) GTEST_SKIP() << "No Secret Service in this sandbox: " << KeyringSession::skipReason.toStdString();
        ConsolidationFixture::SetUp();
        await(keyring.remove(kClaudeAPIKeyAccount));
    }

    SecretStore keyring;  // automatic: the Secret Service is running
};

TEST_F(SecretServiceTest, KeyIsStoredReplacedAndRemovedInTheSecretService) {
    EXPECT_FALSE(await(keyring.usesFileFallback()));

    ConsolidationSettingsController controller(keyring, Settings::shared());
    await(controller.load());
    EXPECT_FALSE(controller.usesFileFallback());
    EXPECT_FALSE(controller.hasSavedAPIKey());

    ASSERT_TRUE(await(controller.saveAPIKey(" " + kTestAPIKey + "\n")));
    EXPECT_TRUE(lookUp(kClaudeAPIKeyAccount) == kTestAPIKey.toUtf8()) << "the Secret Service does not hold the trimmed key";
    EXPECT_TRUE(await(keyring.read(kClaudeAPIKeyAccount)) == kTestAPIKey) << "the key does not read back";
    EXPECT_FALSE(QFile::exists(SecretStore::fallbackFilePath()));
    EXPECT_EQ(controller.apiKeyFieldText(), QString(32, QChar(0x2022)));

    ASSERT_TRUE(await(controller.saveAPIKey("sk-replacement")));
    EXPECT_EQ(lookUp(kClaudeAPIKeyAccount), QByteArray("sk-replacement"));

    await(controller.removeAPIKey());
    EXPECT_EQ(lookUp(kClaudeAPIKeyAccount), std::nullopt);
    EXPECT_EQ(await(keyring.read(kClaudeAPIKeyAccount)), std::nullopt);
    await(keyring.remove(kClaudeAPIKeyAccount));  // nothing stored is not an error
}

TEST_F(SecretServiceTest, AKeyKeptInTheFileIsFoundAndMovesIntoTheKeyringOnSave) {
    SecretStore fileOnly(SecretStore::Backend::FileOnly);
    await(fileOnly.write(kClaudeAPIKeyAccount, kTestAPIKey));
    EXPECT_TRUE(await(keyring.read(kClaudeAPIKeyAccount)) == kTestAPIKey) << "the key kept in the file is not found";

    await(keyring.write(kClaudeAPIKeyAccount, kTestAPIKey));
    EXPECT_FALSE(QFile::exists(SecretStore::fallbackFilePath())) << "a plain copy stayed behind";
    EXPECT_TRUE(lookUp(kClaudeAPIKeyAccount) == kTestAPIKey.toUtf8());
}

TEST_F(SecretServiceTest, ConsolidationSendsTheKeyFromTheKeyring) {
    await(keyring.write(kClaudeAPIKeyAccount, kTestAPIKey));
    server.route("POST", "/v1/messages", [](const HttpRequest&) { return eventStream().body(claudeEventStream({"Notes."})); });
    ConsolidationService::Options options;
    options.discoverOnCreation = false;
    options.secrets = &keyring;
    ConsolidationService service(options);
    EXPECT_EQ(await(service.consolidate(transcriptOf({"x"}), "T", {})), "Notes.");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests().front().header("x-api-key") == kTestAPIKey.toUtf8()) << "the keyring's key is not sent";
}

}  // namespace
}  // namespace lumenote::test
