// The key store without a Secret Service (the owner-only file), and the
// settings-screen decisions on top of it. This test program has no session bus
// at all, so the automatic choice must fall back to the file.

#include "ConsolidationTestSupport.h"

#include "consolidation/ConsolidationSettings.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace lumenote::test {
namespace {

class NoSessionBus : public ::testing::Environment {
public:
    void SetUp() override {
        // Never the developer's own keyring: the session bus points at nothing.
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray("unix:path=") + QByteArray::fromStdString(homeDir()) + "/no-bus");
    }
};
const auto* const kNoSessionBus = ::testing::AddGlobalTestEnvironment(new NoSessionBus);

mode_t fileMode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SecretFileTest : public ConsolidationFixture {};

TEST_F(SecretFileTest, WithoutASecretServiceKeysLiveInAnOwnerOnlyFile) {
    SecretStore automatic;  // decides at call time
    EXPECT_TRUE(await(automatic.usesFileFallback()));
    EXPECT_EQ(SecretStore::fallbackFilePath(), QString::fromStdString(homeDir()) + "/.config/io.corvana.Lumenote/secrets");

    // Even with a permissive umask and an existing world-readable file.
    const mode_t oldMask = ::umask(022);
    QDir().mkpath(QFileInfo(SecretStore::fallbackFilePath()).absolutePath());
    {
        QFile f(SecretStore::fallbackFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"otherAccount\":\"other value\"}");
    }
    ::chmod(QFile::encodeName(SecretStore::fallbackFilePath()).constData(), 0644);

    await(automatic.write(kClaudeAPIKeyAccount, kTestAPIKey));
    ::umask(oldMask);
    EXPECT_EQ(fileMode(SecretStore::fallbackFilePath()), mode_t(0600));
    EXPECT_TRUE(await(automatic.read(kClaudeAPIKeyAccount)) == kTestAPIKey) << "the key does not read back";
    EXPECT_EQ(await(automatic.read("otherAccount")), QString("other value"));
    EXPECT_EQ(await(automatic.read("missing")), std::nullopt);
    // Nowhere else: not in the settings file.
    EXPECT_FALSE(fileBytes(Settings::filePath()).contains(kTestAPIKey.toUtf8()));

    await(automatic.write(kClaudeAPIKeyAccount, "sk-second"));
    EXPECT_EQ(await(automatic.read(kClaudeAPIKeyAccount)), QString("sk-second"));
    EXPECT_FALSE(fileBytes(SecretStore::fallbackFilePath()).contains(kTestAPIKey.toUtf8()));

    await(automatic.remove(kClaudeAPIKeyAccount));
    EXPECT_EQ(await(automatic.read(kClaudeAPIKeyAccount)), std::nullopt);
    EXPECT_EQ(await(automatic.read("otherAccount")), QString("other value"));
    await(automatic.remove("otherAccount"));
    EXPECT_FALSE(QFile::exists(SecretStore::fallbackFilePath())) << "an empty secrets file is removed";
    await(automatic.remove("otherAccount"));  // nothing stored is not an error
}

TEST_F(SecretFileTest, ADamagedFileIsReportedAndReplacedOnTheNextSave) {
    QDir().mkpath(QFileInfo(SecretStore::fallbackFilePath()).absolutePath());
    {
        QFile f(SecretStore::fallbackFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"claudeAPIKey\": \"sk-tru");
    }
    auto error = awaitError<SecretStoreError>(secrets.read(kClaudeAPIKeyAccount));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->description().contains(SecretStore::fallbackFilePath()));
    EXPECT_FALSE(error->description().contains("sk-tru"));

    // A consolidation run reports the same problem instead of a missing key.
    auto service = makeService();
    auto runError = awaitError<SecretStoreError>(service->consolidate(transcriptOf({"x"}), "T", {}));
    ASSERT_TRUE(runError);
    EXPECT_EQ(runError->description(), error->description());

    storeKey();
    EXPECT_TRUE(await(secrets.read(kClaudeAPIKeyAccount)) == kTestAPIKey);
}

class SettingsControllerTest : public ConsolidationFixture {
protected:
    ConsolidationSettingsController controller{secrets, Settings::shared()};
};

TEST_F(SettingsControllerTest, KeyFieldShowsAMaskSavesTrimmedAndRemoves) {
    await(controller.load());
    EXPECT_FALSE(controller.hasSavedAPIKey());
    EXPECT_TRUE(controller.apiKeyFieldText().isEmpty());
    EXPECT_TRUE(controller.usesFileFallback());

    int changes = 0;
    QObject::connect(&controller, &ConsolidationSettingsController::apiKeyChanged, [&] { ++changes; });
    EXPECT_TRUE(await(controller.saveAPIKey("  \t" + kTestAPIKey + "\n ")));
    EXPECT_TRUE(await(secrets.read(kClaudeAPIKeyAccount)) == kTestAPIKey) << "the key is not stored trimmed";
    EXPECT_TRUE(controller.hasSavedAPIKey());
    EXPECT_EQ(controller.apiKeyFieldText(), QString(32, QChar(0x2022)));  // the key is longer than 32
    EXPECT_FALSE(controller.apiKeyFieldText().contains(kTestAPIKey));
    EXPECT_GE(changes, 1);

    // An empty entry stores nothing and keeps the saved key.
    EXPECT_FALSE(await(controller.saveAPIKey(" \n\t ")));
    EXPECT_TRUE(await(secrets.read(kClaudeAPIKeyAccount)) == kTestAPIKey);

    EXPECT_TRUE(await(controller.saveAPIKey("sk-short")));
    EXPECT_EQ(await(secrets.read(kClaudeAPIKeyAccount)), QString("sk-short"));
    EXPECT_EQ(controller.apiKeyFieldText(), QString(8, QChar(0x2022)));

    // A second controller (the dialog opened again) shows the stored key's mask.
    ConsolidationSettingsController reopened(secrets, Settings::shared());
    await(reopened.load());
    EXPECT_EQ(reopened.apiKeyFieldText(), QString(8, QChar(0x2022)));

    await(controller.removeAPIKey());
    EXPECT_FALSE(controller.hasSavedAPIKey());
    EXPECT_EQ(await(secrets.read(kClaudeAPIKeyAccount)), std::nullopt);
}

TEST_F(SettingsControllerTest, PromptResetAndPickersWriteTheirSettings) {
    Settings::shared().setConsolidationPrompt("Only bullet points.");
    controller.resetPromptToDefault();
    EXPECT_EQ(Settings::shared().rawValue(settings_keys::consolidationPrompt).toString(), kDefaultConsolidationPrompt);

    controller.setProvider(ConsolidationProvider::Ollama);
    EXPECT_EQ(Settings::shared().rawValue(settings_keys::consolidationProvider).toString(), "ollama");
    controller.setProvider(ConsolidationProvider::Claude);
    EXPECT_EQ(Settings::shared().rawValue(settings_keys::consolidationProvider).toString(), "claude");
    controller.setOllamaEndpoint("http://gpu-box:11434");
    EXPECT_EQ(Settings::shared().consolidationOllamaEndpoint(), "http://gpu-box:11434");
    controller.setOllamaModel("qwen2.5:7b");
    EXPECT_EQ(Settings::shared().consolidationOllamaModel(), "qwen2.5:7b");
}

}  // namespace
}  // namespace lumenote::test
