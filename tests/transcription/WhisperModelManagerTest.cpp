#include "transcription/WhisperModelManager.h"

#include "core/Log.h"
#include "core/Settings.h"
#include "engine/WhisperEngine.h"
#include "hub/HubCache.h"

#include "FakeModelHub.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>

#include <mutex>

using namespace lumenote;
using lumenote::test::await;
using lumenote::test::FakeModelHub;
using Status = WhisperModelManager::UpdateStatus;

namespace {

const QString kSha = QStringLiteral("169d4a4341b33bc18d8881c4b69c2e104e1cc0af");
const QString kOldSha = QStringLiteral("0000000000000000000000000000000000000001");

QString cacheRoot() { return QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME")); }
QString dataRoot() { return QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")); }

// Copies the model's files into `folder` (as another tool would leave them).
void placeModel(const QString& model, const QString& folder) {
    QDir().mkpath(folder);
    for (const QString& name : QDir(model).entryList(QDir::Files)) {
        QFile::remove(folder + "/" + name);
        ASSERT_TRUE(QFile::copy(model + "/" + name, folder + "/" + name));
    }
}

QString hubSnapshot(const QString& root, const QString& repoName, const QString& commit) {
    return root + "/huggingface/hub/models--openai--" + repoName + "/snapshots/" + commit;
}

class LogCapture {
public:
    LogCapture() {
        setLogSink([this](const QString& line) {
            std::lock_guard lock(mutex_);
            lines_.append(line);
        });
    }
    ~LogCapture() { setLogSink({}); }
    QStringList lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool has(const QString& line) const { return lines().contains(line); }
    QStringList starting(const QString& prefix) const { return lines().filter(QRegularExpression("^" + QRegularExpression::escape(prefix))); }

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

class WhisperModelManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        model = QString::fromStdString(test::homeDir()) + "/mini-model";
        if (!QFile::exists(model + "/config.json")) test::makeTestModel(model);
    }
    void SetUp() override {
        for (const char* key : {settings_keys::whisperModelID, settings_keys::whisperModelFolderPaths,
                                settings_keys::whisperModelDownloadedSHAs, settings_keys::whisperLastUpdateCheck,
                                settings_keys::whisperExactPrecision})
            Settings::shared().remove(key);
        QDir(cacheRoot() + "/huggingface").removeRecursively();
        QDir(dataRoot() + "/huggingface").removeRecursively();
        qunsetenv("HF_HUB_CACHE");
        qunsetenv("HF_HOME");
        qputenv("HF_ENDPOINT", hub.endpoint().toString().toUtf8());
    }
    void TearDown() override {
        qunsetenv("HF_ENDPOINT");
        qunsetenv("HF_HUB_CACHE");
    }

    static QString model;
    FakeModelHub hub;
};
QString WhisperModelManagerTest::model;

}  // namespace

TEST_F(WhisperModelManagerTest, CatalogueAndSelection) {
    QStringList ids, names, sizes;
    for (const auto& m : WhisperModelManager::models()) {
        ids << m.id;
        names << m.displayName;
        sizes << m.size;
    }
    EXPECT_EQ(ids, (QStringList{"openai_whisper-tiny", "openai_whisper-base", "openai_whisper-small", "openai_whisper-medium",
                                "openai_whisper-large-v3_turbo"}));
    EXPECT_EQ(names, (QStringList{"Tiny", "Base", "Small", "Medium", "Large Turbo"}));
    EXPECT_EQ(sizes, (QStringList{"~150 MB", "~290 MB", "~970 MB", "~3.1 GB", "~1.6 GB"}));
    EXPECT_EQ(WhisperModelManager::models()[2].note, "Recommended");
    EXPECT_EQ(WhisperModelManager::displayName("openai_whisper-medium"), "Medium");
    EXPECT_EQ(WhisperModelManager::displayName("someone_else-model"), "someone_else-model");

    {
        WhisperModelManager m;
        EXPECT_EQ(m.selectedModelID(), "openai_whisper-small");
        EXPECT_FALSE(Settings::shared().contains(settings_keys::whisperModelID));
        QSignalSpy spy(&m, &WhisperModelManager::selectedModelIDChanged);
        m.setSelectedModelID("openai_whisper-base");
        m.setSelectedModelID("openai_whisper-base");
        EXPECT_EQ(spy.count(), 1);
        EXPECT_EQ(Settings::shared().rawValue(settings_keys::whisperModelID).toString(), "openai_whisper-base");
        EXPECT_EQ(m.property("selectedModelID").toString(), "openai_whisper-base");
    }
    Settings::shared().setRawValue(settings_keys::whisperModelID, "openai_whisper-large-v3-turbo");
    WhisperModelManager m;
    EXPECT_EQ(m.selectedModelID(), "openai_whisper-large-v3_turbo");
    EXPECT_EQ(Settings::shared().rawValue(settings_keys::whisperModelID).toString(), "openai_whisper-large-v3_turbo");
}

TEST_F(WhisperModelManagerTest, FindsModelsOtherToolsLeftInEitherLayout) {
    WhisperModelManager m;
    EXPECT_EQ(m.modelFolder("openai_whisper-base"), std::nullopt);

    // Hub layout under the cache folder; the snapshot itself holds the files.
    const QString base = hubSnapshot(cacheRoot(), "whisper-base", kSha);
    placeModel(model, base);
    EXPECT_EQ(m.modelFolder("openai_whisper-base"), base);
    EXPECT_EQ(Settings::shared().whisperModelFolderPaths().value("openai_whisper-base"), base);
    EXPECT_EQ(WhisperModelManager::localHash(base), kSha);

    // Hub layout with the model in a sub-folder named after its id.
    const QString nested = hubSnapshot(cacheRoot(), "whisper-small", kOldSha) + "/openai_whisper-small";
    placeModel(model, nested);
    EXPECT_EQ(m.modelFolder("openai_whisper-small"), nested);
    EXPECT_EQ(WhisperModelManager::localHash(nested), kOldSha);

    // Flat layout under the data folder, and one that lacks its weights.
    const QString flat = dataRoot() + "/huggingface/models/openai/whisper-tiny";
    placeModel(model, flat);
    EXPECT_EQ(m.modelFolder("openai_whisper-tiny"), flat);
    EXPECT_EQ(WhisperModelManager::localHash(flat), std::nullopt);
    const QString cacheFlat = cacheRoot() + "/huggingface/models/openai/whisper-tiny";
    placeModel(model, cacheFlat);
    EXPECT_EQ(m.modelFolder("openai_whisper-tiny"), cacheFlat);  // the cache folder comes first
    QFile::remove(cacheFlat + "/model.safetensors");
    EXPECT_EQ(m.modelFolder("openai_whisper-tiny"), flat);

    // HF_HUB_CACHE is searched before the user's folders.
    const QString custom = QString::fromStdString(test::homeDir()) + "/custom-hub";
    qputenv("HF_HUB_CACHE", custom.toLocal8Bit());
    const QString customBase = custom + "/models--openai--whisper-base/snapshots/" + kOldSha;
    placeModel(model, customBase);
    EXPECT_EQ(m.modelFolder("openai_whisper-base"), customBase);
    QDir(custom).removeRecursively();

    // The turbo model's repository.
    placeModel(model, hubSnapshot(cacheRoot(), "whisper-large-v3-turbo", kSha));
    EXPECT_TRUE(m.isDownloaded("openai_whisper-large-v3_turbo"));
    EXPECT_FALSE(m.isDownloaded("openai_whisper-medium"));
}

TEST_F(WhisperModelManagerTest, DeletedRememberedFolderIsSearchedAgain) {
    WhisperModelManager m;
    const QString first = hubSnapshot(cacheRoot(), "whisper-base", kOldSha);
    placeModel(model, first);
    EXPECT_EQ(m.downloadedFolder("openai_whisper-base"), first);
    QDir(first).removeRecursively();

    const QString second = dataRoot() + "/huggingface/models/openai/whisper-base";
    placeModel(model, second);
    EXPECT_EQ(m.downloadedFolder("openai_whisper-base"), second);
    EXPECT_EQ(Settings::shared().whisperModelFolderPaths().value("openai_whisper-base"), second);

    QDir(second).removeRecursively();
    EXPECT_FALSE(m.isDownloaded("openai_whisper-base"));
    try {
        await(m.loadKit("openai_whisper-base"));
        ADD_FAILURE() << "loaded a model that is not on disk";
    } catch (const WhisperModelError& e) {
        EXPECT_EQ(e.kind(), WhisperModelError::Kind::notDownloaded);
        EXPECT_EQ(e.description(), "No Whisper model found on disk. Open Settings (⚙) and download a model first.");
    }
    EXPECT_FALSE(m.isLoading());
}

TEST_F(WhisperModelManagerTest, DeleteRemovesEveryCopyAndOnlyThatModel) {
    WhisperModelManager m;
    const QString hubCopy = hubSnapshot(cacheRoot(), "whisper-base", kSha);
    const QString repoRoot = cacheRoot() + "/huggingface/hub/models--openai--whisper-base";
    placeModel(model, hubCopy);
    QDir().mkpath(repoRoot + "/blobs");
    const QString flatCopy = dataRoot() + "/huggingface/models/openai/whisper-base";
    placeModel(model, flatCopy);
    const QString other = hubSnapshot(cacheRoot(), "whisper-tiny", kSha);
    placeModel(model, other);
    ASSERT_TRUE(m.isDownloaded("openai_whisper-base"));
    ASSERT_TRUE(m.isDownloaded("openai_whisper-tiny"));
    Settings::shared().setWhisperModelDownloadedSHAs({{"openai_whisper-base", kSha}, {"openai_whisper-tiny", kSha}});

    m.deleteModel("openai_whisper-base");
    EXPECT_FALSE(QFileInfo::exists(repoRoot));  // blobs and refs go with the snapshot
    EXPECT_FALSE(QFileInfo::exists(flatCopy));
    EXPECT_FALSE(m.isDownloaded("openai_whisper-base"));
    EXPECT_FALSE(Settings::shared().whisperModelFolderPaths().contains("openai_whisper-base"));
    EXPECT_EQ(Settings::shared().whisperModelDownloadedSHAs(), (StringMap{{"openai_whisper-tiny", kSha}}));
    EXPECT_EQ(m.downloadedFolder("openai_whisper-tiny"), other);
    m.deleteModel("openai_whisper-base");  // nothing left: not an error
}

TEST_F(WhisperModelManagerTest, DownloadsIntoTheHubCacheAndIsFoundAfterARestart) {
    hub.publishFolder("openai/whisper-tiny", kSha, model);
    LogCapture logs;
    QString folder;
    {
        WhisperModelManager m;
        QSignalSpy downloading(&m, &WhisperModelManager::isDownloadingChanged);
        QList<double> fractions;
        bool offMainThread = false;
        QObject::connect(&m, &WhisperModelManager::downloadProgressChanged, &m, [&] {
            fractions.append(m.downloadProgress());
            offMainThread |= QThread::currentThread() != qApp->thread();
        });
        EXPECT_TRUE(await(m.download("openai_whisper-tiny")));
        EXPECT_EQ(downloading.count(), 2);
        EXPECT_FALSE(m.isDownloading());
        EXPECT_TRUE(m.lastError().isEmpty());
        EXPECT_FALSE(offMainThread);
        ASSERT_FALSE(fractions.isEmpty());
        EXPECT_EQ(fractions.last(), 1.0);
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
        EXPECT_EQ(m.updateStatus("openai_whisper-tiny"), Status::upToDate);

        folder = Settings::shared().whisperModelFolderPaths().value("openai_whisper-tiny");
        EXPECT_EQ(folder, hub::hubCacheDirectory() + "/models--openai--whisper-tiny/snapshots/" + kSha);
        EXPECT_EQ(Settings::shared().whisperModelDownloadedSHAs().value("openai_whisper-tiny"), kSha);
    }
    EXPECT_TRUE(logs.has("[WhisperModelManager] ▶︎ download() called for openai_whisper-tiny"));
    const QStringList progress = logs.starting("[WhisperModelManager]   progress ");
    ASSERT_GE(progress.size(), 2);
    EXPECT_TRUE(QRegularExpression(R"(^\[WhisperModelManager\]   progress \d+%  completed=\d+  total=\d+$)").match(progress.first()).hasMatch())
        << progress.first().toStdString();
    EXPECT_TRUE(progress.last().startsWith("[WhisperModelManager]   progress 100%  completed="));
    const QStringList finished = logs.starting("[WhisperModelManager] ✅ download() finished in ");
    ASSERT_EQ(finished.size(), 1);
    EXPECT_TRUE(QRegularExpression(R"(finished in \d+\.\ds → )").match(finished.first()).hasMatch());
    EXPECT_TRUE(finished.first().endsWith("s → " + folder));
    EXPECT_TRUE(logs.has("[WhisperModelManager]   stored downloaded SHA " + kSha + " for openai_whisper-tiny"));

    // A restart forgets the remembered path; discovery finds the download again.
    Settings::shared().remove(settings_keys::whisperModelFolderPaths);
    WhisperModelManager restarted;
    EXPECT_EQ(restarted.modelFolder("openai_whisper-tiny"), folder);
    const int before = hub.origin().requests().size();
    EXPECT_NE(await(restarted.loadKit("openai_whisper-tiny")), nullptr);
    EXPECT_EQ(hub.origin().requests().size(), before);
}

TEST_F(WhisperModelManagerTest, FailedDownloadReportsAndRetryResumes) {
    hub.publishFolder("openai/whisper-tiny", kSha, model);
    LogCapture logs;
    WhisperModelManager m;

    hub.failWith("api", 500);
    EXPECT_FALSE(await(m.download("openai_whisper-tiny")));
    EXPECT_TRUE(m.lastError().contains("HTTP 500")) << m.lastError().toStdString();
    EXPECT_TRUE(logs.has("[WhisperModelManager] ❌ download() error: " + m.lastError()));
    EXPECT_FALSE(m.isDownloading());
    hub.clearFailures();

    hub.dropOnce("model.safetensors", 300000);
    EXPECT_FALSE(await(m.download("openai_whisper-tiny")));
    EXPECT_TRUE(m.lastError().contains("model.safetensors")) << m.lastError().toStdString();
    EXPECT_FALSE(m.isDownloaded("openai_whisper-tiny"));
    EXPECT_TRUE(Settings::shared().whisperModelFolderPaths().isEmpty());

    EXPECT_TRUE(await(m.download("openai_whisper-tiny")));
    EXPECT_TRUE(m.lastError().isEmpty());
    EXPECT_TRUE(m.isDownloaded("openai_whisper-tiny"));
    ASSERT_EQ(hub.rangesRequested("model.safetensors").size(), 2);
    EXPECT_TRUE(hub.rangesRequested("model.safetensors").last().startsWith("bytes="));
}

TEST_F(WhisperModelManagerTest, CancelledDownloadLeavesNothingDiscoverable) {
    hub.publishFolder("openai/whisper-tiny", kSha, model);
    hub.pace("model.safetensors", 32 * 1024, 30);
    WhisperModelManager m;
    QObject::connect(&m, &WhisperModelManager::downloadProgressChanged, &m, [&] {
        if (m.downloadProgress() > 0.2) m.cancelDownload();
    });
    EXPECT_FALSE(await(m.download("openai_whisper-tiny")));
    EXPECT_EQ(m.lastError(), "The download was cancelled.");
    EXPECT_FALSE(m.isDownloaded("openai_whisper-tiny"));
}

TEST_F(WhisperModelManagerTest, RevisionCheckComparesEachModelWithItsRepository) {
    hub.publishFolder("openai/whisper-tiny", kSha, model);
    hub.publishFolder("openai/whisper-base", kSha, model);
    hub.publishFolder("openai/whisper-small", kSha, model);
    hub.publishFolder("openai/whisper-medium", kSha, model);
    placeModel(model, hubSnapshot(cacheRoot(), "whisper-tiny", kSha));     // current
    placeModel(model, hubSnapshot(cacheRoot(), "whisper-base", kOldSha));  // behind
    placeModel(model, dataRoot() + "/huggingface/models/openai/whisper-small");   // flat, hash stored
    placeModel(model, dataRoot() + "/huggingface/models/openai/whisper-medium");  // flat, no hash
    Settings::shared().setWhisperModelDownloadedSHAs({{"openai_whisper-small", kOldSha}});

    LogCapture logs;
    WhisperModelManager m;
    EXPECT_TRUE(m.isUpdateCheckDue());
    QSignalSpy checking(&m, &WhisperModelManager::isCheckingForUpdatesChanged);
    await(m.checkForUpdates());
    EXPECT_EQ(checking.count(), 2);
    EXPECT_FALSE(m.isCheckingForUpdates());
    EXPECT_EQ(m.updateStatus("openai_whisper-tiny"), Status::upToDate);
    EXPECT_EQ(m.updateStatus("openai_whisper-base"), Status::available);
    EXPECT_EQ(m.updateStatus("openai_whisper-small"), Status::available);
    EXPECT_EQ(m.updateStatus("openai_whisper-medium"), Status::upToDate);
    EXPECT_EQ(m.updateStatus("openai_whisper-large-v3_turbo"), Status::unknown);
    EXPECT_FALSE(m.updateStatuses().contains("openai_whisper-large-v3_turbo"));
    EXPECT_FALSE(m.isUpdateCheckDue());
    EXPECT_LE(m.lastUpdateCheck().secsTo(QDateTime::currentDateTimeUtc()), 5);

    EXPECT_TRUE(logs.has("[WhisperModelManager] ▶︎ checkForUpdates()"));
    EXPECT_TRUE(logs.has("[WhisperModelManager]   HF Hub latest SHA: " + kSha));
    EXPECT_TRUE(logs.has("[WhisperModelManager]   openai_whisper-tiny: local=" + kSha + " → up to date"));
    EXPECT_TRUE(logs.has("[WhisperModelManager]   openai_whisper-base: local=" + kOldSha + " → UPDATE AVAILABLE"));
    EXPECT_TRUE(logs.has("[WhisperModelManager]   openai_whisper-small: downloaded SHA=" + kOldSha + " → UPDATE AVAILABLE"));
    EXPECT_TRUE(logs.has("[WhisperModelManager]   openai_whisper-medium: no SHA available for comparison → assuming up to date"));
    for (const auto& r : hub.origin().requests()) EXPECT_EQ(r.header("user-agent"), "Lumenote/1.0");

    // A hub that fails marks the models on disk and changes nothing else.
    const QDateTime before = m.lastUpdateCheck();
    hub.failWith("api", 503);
    await(m.checkForUpdates());
    for (const QString id : {"openai_whisper-tiny", "openai_whisper-base", "openai_whisper-small", "openai_whisper-medium"})
        EXPECT_EQ(m.updateStatus(id), Status::checkFailed) << id.toStdString();
    EXPECT_EQ(m.updateStatus("openai_whisper-large-v3_turbo"), Status::unknown);
    EXPECT_EQ(m.lastUpdateCheck(), before);
    EXPECT_FALSE(logs.starting("[WhisperModelManager] ❌ checkForUpdates() error: ").isEmpty());
    EXPECT_TRUE(QFile::exists(hubSnapshot(cacheRoot(), "whisper-base", kOldSha) + "/model.safetensors"));
}

TEST_F(WhisperModelManagerTest, LoadKitKeepsOneEngine) {
    placeModel(model, hubSnapshot(cacheRoot(), "whisper-tiny", kSha));
    placeModel(model, hubSnapshot(cacheRoot(), "whisper-base", kSha));
    WhisperModelManager m;
    std::atomic<int> created{0};
    std::optional<engine::ModelComputeOptions> compute;
    m.setEngineFactory([&](const engine::WhisperEngineConfig& config) {
        ++created;
        compute = config.computeOptions;
        EXPECT_FALSE(config.verbose);
        EXPECT_TRUE(config.modelFolder.has_value());
        return std::make_shared<engine::WhisperEngine>(config);
    });
    QSignalSpy loading(&m, &WhisperModelManager::isLoadingChanged);

    // Two requests while the first is still loading share it; a later one reuses it.
    auto a = m.loadKit("openai_whisper-tiny");
    auto b = m.loadKit("openai_whisper-tiny");
    EXPECT_TRUE(m.isLoading());
    const auto first = await(std::move(a));
    const auto second = await(std::move(b));
    const auto third = await(m.loadKit("openai_whisper-tiny"));
    EXPECT_EQ(created.load(), 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third);
    EXPECT_EQ(m.loadedKit(), first);
    EXPECT_EQ(m.loadedModelID(), "openai_whisper-tiny");
    EXPECT_FALSE(m.isLoading());
    EXPECT_EQ(loading.count(), 2);
    EXPECT_EQ(first->config().modelFolder, hubSnapshot(cacheRoot(), "whisper-tiny", kSha).toStdString());

    const auto other = await(m.loadKit("openai_whisper-base"));
    EXPECT_EQ(created.load(), 2);
    EXPECT_NE(other, first);
    EXPECT_EQ(m.loadedKit(), other);
    EXPECT_EQ(m.loadedModelID(), "openai_whisper-base");
    EXPECT_FALSE(compute.has_value());  // the engine's own defaults

    // Asking for the exact path reloads the same model in single precision.
    Settings::shared().setWhisperExactPrecision(true);
    const auto exact = await(m.loadKit("openai_whisper-base"));
    EXPECT_EQ(created.load(), 3);
    EXPECT_NE(exact, other);
    ASSERT_TRUE(compute.has_value());
    EXPECT_EQ(compute->encoderPrecision, engine::WeightPrecision::f32);
    EXPECT_EQ(compute->decoderPrecision, engine::WeightPrecision::f32);
    EXPECT_EQ(await(m.loadKit("openai_whisper-base")), exact);
}

TEST_F(WhisperModelManagerTest, EngineLoadFailureIsReported) {
    const QString folder = hubSnapshot(cacheRoot(), "whisper-tiny", kSha);
    placeModel(model, folder);
    QFile weights(folder + "/model.safetensors");
    ASSERT_TRUE(weights.open(QIODevice::ReadWrite));
    weights.resize(weights.size() / 2);
    weights.close();

    WhisperModelManager m;
    try {
        await(m.loadKit("openai_whisper-tiny"));
        ADD_FAILURE() << "a broken model loaded";
    } catch (const SpeechEngineError& e) {
        EXPECT_TRUE(e.description().contains("model.safetensors")) << e.what();
        EXPECT_EQ(m.lastError(), e.description());
    }
    EXPECT_FALSE(m.isLoading());
    EXPECT_EQ(m.loadedKit(), nullptr);
    EXPECT_TRUE(m.loadedModelID().isEmpty());
}
