#include "app/CacheSettingsPage.h"
#include "app/CachedFileListModel.h"
#include "app/FolderField.h"
#include "app/GeneralSettingsPage.h"
#include "app/LocalizationManager.h"
#include "app/SettingsWindow.h"
#include "app/SpeechModelListModel.h"
#include "app/ToolsSettingsPage.h"
#include "consolidation/ConsolidationService.h"
#include "consolidation/SecretStore.h"
#include "core/LibraryStore.h"
#include "core/RecordMirror.h"
#include "core/Settings.h"
#include "core/TranscriptionLanguages.h"
#include "media/URLDownloadService.h"
#include "transcription/WhisperModelManager.h"

#include "FakeModelHub.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeView>

#include <functional>

using namespace lumenote;
using lumenote::test::FakeModelHub;
using lumenote::test::HttpRequest;
using lumenote::test::HttpResponse;
using lumenote::test::spinUntil;
using lumenote::test::TestHttpServer;
using Page = SettingsWindow::Page;

namespace {

namespace k = settings_keys;

const QString kSha = QStringLiteral("169d4a4341b33bc18d8881c4b69c2e104e1cc0af");

QString home() { return QString::fromStdString(test::homeDir()); }

template <typename T>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (!found) ADD_FAILURE() << "no " << name;
    return found;
}

QLineEdit* folderEdit(QWidget* window, const char* field) { return child<FolderField>(window, field)->lineEdit(); }

void typeFolder(QWidget* window, const char* field, const QString& text) {
    QLineEdit* edit = folderEdit(window, field);
    edit->setText(text);
    emit edit->editingFinished();
}

// Answers the next message box that opens with its destructive (or accept)
// button; returns a handle to the text it showed.
std::shared_ptr<QString> confirmNextMessageBox() {
    auto shown = std::make_shared<QString>();
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        *shown = box->text();
        for (QAbstractButton* b : box->buttons()) {
            const auto role = box->buttonRole(b);
            if (role == QMessageBox::DestructiveRole || role == QMessageBox::AcceptRole) {
                b->click();
                break;
            }
        }
        timer->deleteLater();
    });
    timer->start();
    return shown;
}

QString outputFolder() {
    const QString dir = QString::fromStdString(test::binaryDir()) + "/test-output/settings-window";
    QDir().mkpath(dir);
    return dir;
}

class SettingsWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // No keyring and no outside host: the key goes to the owner-only
        // file, and every service address points at this machine.
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray("unix:path=") + QByteArray::fromStdString(test::homeDir()) + "/no-bus");
        qputenv("LUMENOTE_GITHUB_API_URL", "http://127.0.0.1:9");
        qputenv("LUMENOTE_GITHUB_URL", "http://127.0.0.1:9");
        qputenv("LUMENOTE_ANTHROPIC_URL", "http://127.0.0.1:9");
        Settings::shared().setConsolidationOllamaEndpoint("http://127.0.0.1:9");
        // The service's own discovery at creation is over before any test starts.
        ConsolidationService& service = ConsolidationService::shared();
        test::spinFor(100);
        spinUntil([&] { return !service.isFetchingOllamaModels() && !service.isFetchingClaudeModels(); });
        model = home() + "/mini-model";
        if (!QFile::exists(model + "/config.json")) test::makeTestModel(model);
    }
    void SetUp() override {
        Settings& s = Settings::shared();
        for (const char* key : {k::screenshotMaxInterval, k::exportRootBookmark, k::cloudSyncFolder, k::markdownExportEnabled,
                                k::markdownExportObsidianSyntax, k::markdownExportDirectoryBookmark, k::consolidationEnabled,
                                k::consolidationProvider, k::consolidationPrompt, k::consolidationClaudeModel,
                                k::debugLogoVariant, k::whisperModelID, k::whisperModelFolderPaths, k::whisperModelDownloadedSHAs})
            s.remove(key);
        // The revision and tool checks have just run, unless a test says otherwise.
        s.setWhisperLastUpdateCheck(QDateTime::currentDateTimeUtc());
        s.setYtDlpLastUpdateCheck(QDateTime::currentDateTimeUtc());
        s.setFFmpegLastUpdateCheck(QDateTime::currentDateTimeUtc());
        qputenv("HF_ENDPOINT", hub.endpoint().toString().toUtf8());
        LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::english);
    }
    void TearDown() override { qunsetenv("HF_ENDPOINT"); }

    static QString model;
    FakeModelHub hub;
};
QString SettingsWindowTest::model;

}  // namespace

TEST_F(SettingsWindowTest, ControlsWriteTheirKeys) {
    const QString folderA = home() + "/Exports A";
    const QString folderB = home() + "/Sync B";
    QDir().mkpath(folderA);
    QDir().mkpath(folderB);
    struct Case {
        const char* name;
        std::function<void(SettingsWindow&)> edit;
        std::function<bool()> stored;
    };
    Settings& s = Settings::shared();
    const Case cases[] = {
        {"interval slider on a tick", [](SettingsWindow& w) { child<QSlider>(&w, "screenshotIntervalSlider")->setValue(9); },
         [&] { return s.screenshotMaxInterval() == 45.0; }},
        {"logo variant", [](SettingsWindow& w) { child<QComboBox>(&w, "logoVariantPicker")->setCurrentIndex(2); },
         [&] { return s.debugLogoVariant() == "autumn"; }},
        {"export folder typed", [&](SettingsWindow& w) { typeFolder(&w, "exportFolderField", folderA); },
         [&] { return s.exportRootBookmark() == folderA; }},
        {"export folder back to default",
         [&](SettingsWindow& w) { child<QPushButton>(child<FolderField>(&w, "exportFolderField"), "resetFolder")->click(); },
         [&] { return !s.contains(k::exportRootBookmark); }},
        {"sync folder typed", [&](SettingsWindow& w) { typeFolder(&w, "syncFolderField", folderB); },
         [&] { return s.cloudSyncFolder() == folderB; }},
        {"markdown enabled", [](SettingsWindow& w) { child<QCheckBox>(&w, "markdownEnabled")->setChecked(true); },
         [&] { return s.markdownExportEnabled(); }},
        {"obsidian syntax", [](SettingsWindow& w) { child<QCheckBox>(&w, "markdownObsidianSyntax")->setChecked(true); },
         [&] { return s.markdownExportObsidianSyntax(); }},
        {"markdown folder", [&](SettingsWindow& w) { typeFolder(&w, "markdownFolderField", folderA); },
         [&] { return s.markdownExportDirectoryBookmark() == folderA; }},
        {"consolidation enabled", [](SettingsWindow& w) { child<QCheckBox>(&w, "consolidationEnabled")->setChecked(true); },
         [&] { return s.consolidationEnabled(); }},
        {"provider", [](SettingsWindow& w) { child<QComboBox>(&w, "providerPicker")->setCurrentIndex(1); },
         [&] { return s.rawValue(k::consolidationProvider).toString() == "ollama"; }},
        {"claude model", [](SettingsWindow& w) { child<QComboBox>(&w, "claudeModelPicker")->setCurrentIndex(2); },
         [&] { return s.consolidationClaudeModel() == "claude-haiku-4-5"; }},
        {"ollama endpoint",
         [](SettingsWindow& w) {
             auto* e = child<QLineEdit>(&w, "ollamaEndpoint");
             e->setText("  http://127.0.0.1:10/ ");
             emit e->editingFinished();
         },
         [&] { return s.rawValue(k::consolidationOllamaEndpoint).toString() == "http://127.0.0.1:10/"; }},
        {"ollama model typed", [](SettingsWindow& w) { child<QComboBox>(&w, "ollamaModelPicker")->setEditText("llama3.1:8b"); },
         [&] { return s.consolidationOllamaModel() == "llama3.1:8b"; }},
        {"prompt, once typing pauses", [](SettingsWindow& w) { child<QPlainTextEdit>(&w, "promptEdit")->setPlainText("Bullet points only."); },
         [&] { return spinUntil([&] { return s.consolidationPrompt() == "Bullet points only."; }, 2000); }},
        {"prompt reset", [](SettingsWindow& w) { child<QPushButton>(&w, "promptReset")->click(); },
         [&] { return s.rawValue(k::consolidationPrompt).toString() == kDefaultConsolidationPrompt; }},
    };
    SettingsWindow window;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.edit(window);
        EXPECT_TRUE(c.stored());
        // A second window shows what the first one stored.
        SettingsWindow again;
        EXPECT_EQ(child<QSlider>(&again, "screenshotIntervalSlider")->value(), child<QSlider>(&window, "screenshotIntervalSlider")->value());
        EXPECT_EQ(child<QComboBox>(&again, "providerPicker")->currentIndex(), child<QComboBox>(&window, "providerPicker")->currentIndex());
        EXPECT_EQ(folderEdit(&again, "exportFolderField")->text(), folderEdit(&window, "exportFolderField")->text());
        EXPECT_EQ(child<QPlainTextEdit>(&again, "promptEdit")->toPlainText(), child<QPlainTextEdit>(&window, "promptEdit")->toPlainText());
    }
}

// The spoken-language picker and the command line read and write one setting.
TEST_F(SettingsWindowTest, SpokenLanguagePickerSharesTheSettingWithTheCommandLine) {
    Settings::shared().remove(k::transcriptionLanguage);
    SettingsWindow window;
    window.show();
    auto* picker = child<QComboBox>(&window, "transcriptionLanguagePicker");
    ASSERT_EQ(picker->count(), transcriptionLanguages().size() + 1);
    EXPECT_EQ(picker->itemData(0).toString(), kAutomaticLanguage);
    EXPECT_EQ(picker->itemText(0), "Detect automatically");
    EXPECT_EQ(picker->currentData().toString(), "en");  // the default
    for (const TranscriptionLanguage& l : transcriptionLanguages()) EXPECT_GE(picker->findData(l.code), 1) << l.code.toStdString();
    // Named in their own language where Qt knows it, else in English.
    for (auto [code, name] : {std::pair{"de", "Deutsch"}, {"en", "English"}, {"es", "Español"}, {"ja", "日本語"}, {"jw", "Javanese"}})
        EXPECT_EQ(picker->itemText(picker->findData(code)), QString::fromUtf8(name)) << code;

    const QString cli = QString::fromStdString(test::binaryDir()) + "/src/cli/lumenote-cli";
    auto cliGet = [&] {
        QProcess p;
        p.start(cli, {"settings", "get", "transcriptionLanguage"});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    picker->setCurrentIndex(picker->findData("fr"));
    EXPECT_EQ(cliGet(), "fr");
    picker->setCurrentIndex(0);
    EXPECT_EQ(cliGet(), "auto");

    // Set from the command line, shown when the page is shown again.
    ASSERT_EQ(test::runProgram(cli, {"settings", "set", "transcriptionLanguage", "IT"}), 0);
    window.showPage(SettingsWindow::Page::Tools);
    window.showPage(SettingsWindow::Page::General);
    EXPECT_EQ(picker->currentData().toString(), "it");
    Settings::shared().remove(k::transcriptionLanguage);
}

TEST_F(SettingsWindowTest, StoredValuesOutsideTheControlsRangeShowTheirMeaning) {
    const QString missing = home() + "/not-there";
    Settings& s = Settings::shared();
    s.setRawValue(k::screenshotMaxInterval, -5);
    s.setRawValue(k::consolidationProvider, "Ollama");
    s.setRawValue(k::consolidationClaudeModel, "claude-opus-4-1-20250805");
    SettingsWindow window;
    EXPECT_EQ(child<QSlider>(&window, "screenshotIntervalSlider")->value() * 5, 30);
    EXPECT_EQ(child<QComboBox>(&window, "providerPicker")->currentData().toString(), "claude");
    // A model the list does not offer stays selected, under its readable name.
    EXPECT_EQ(child<QComboBox>(&window, "claudeModelPicker")->currentText(), "Claude · Opus 4 1");
    EXPECT_EQ(s.rawValue(k::screenshotMaxInterval).toInt(), -5);  // nothing written back

    // A typed path that is no folder is refused and the stored choice stays.
    typeFolder(&window, "exportFolderField", home());
    typeFolder(&window, "exportFolderField", missing);
    EXPECT_EQ(s.exportRootBookmark(), QDir::cleanPath(home()));
    auto* error = child<FolderField>(&window, "exportFolderField")->errorLabel();
    EXPECT_FALSE(error->isHidden());
    EXPECT_TRUE(error->text().contains(missing));
}

TEST_F(SettingsWindowTest, ChangingTheLanguageRetranslatesTheOpenWindow) {
    SettingsWindow window;
    window.show();
    auto* pages = child<QListWidget>(&window, "settingsPageList");
    auto* language = child<QComboBox>(&window, "languagePicker");
    auto* logo = child<QComboBox>(&window, "logoVariantPicker");
    auto* cacheEmpty = child<QLabel>(&window, "cacheEmptyTitle");
    auto* modelList = child<QTreeView>(&window, "speechModelList");
    const struct {
        const char* code;
        const char* title;
        const char* toolsTab;
        const char* christmas;
        const char* cacheEmpty;
        const char* modelColumn;
    } cases[] = {
        {"de", "Einstellungen", "Werkzeuge", "Weihnachten", "Keine heruntergeladenen Videos", "Modell"},
        {"fr", "Réglages", "Outils", "Noël", "Aucune vidéo téléchargée", "Modèle"},
        {"it", "Impostazioni", "Strumenti", "Natale", "Nessun video scaricato", "Modello"},
        {"es", "Ajustes", "Herramientas", "Navidad", "No hay vídeos descargados", "Modelo"},
        {"en", "Settings", "Tools", "Christmas", "No downloaded videos", "Model"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        language->setCurrentIndex(language->findData(QLatin1String(c.code)));
        QCoreApplication::processEvents();  // the language change reaches the widgets as posted events
        EXPECT_EQ(Settings::shared().appLanguage(), QLatin1String(c.code));
        EXPECT_EQ(window.windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(pages->item(static_cast<int>(Page::Tools))->text(), QString::fromUtf8(c.toolsTab));
        EXPECT_EQ(logo->itemText(3), QString::fromUtf8(c.christmas));
        EXPECT_EQ(cacheEmpty->text(), QString::fromUtf8(c.cacheEmpty));
        EXPECT_EQ(modelList->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8(c.modelColumn));
        EXPECT_EQ(language->currentData().toString(), QLatin1String(c.code));  // the picker keeps its choice
    }
}

TEST_F(SettingsWindowTest, SpeechModelsDownloadSelectAndDelete) {
    hub.publishFolder("openai/whisper-tiny", kSha, model);
    SettingsWindow window;
    window.show();
    window.showPage(Page::Tools);
    auto* page = static_cast<ToolsSettingsPage*>(window.pageWidget(Page::Tools));
    QAbstractItemModel* list = page->modelList();
    ASSERT_EQ(list->rowCount(), 5);
    EXPECT_EQ(list->index(0, SpeechModelListModel::NameColumn).data().toString(), "Tiny");
    EXPECT_EQ(list->index(0, SpeechModelListModel::SizeColumn).data().toString(), "~150 MB");
    EXPECT_EQ(list->index(4, SpeechModelListModel::SizeColumn).data().toString(), "~1.6 GB");
    EXPECT_EQ(list->index(0, SpeechModelListModel::StateColumn).data().toString(), "Not downloaded");
    EXPECT_EQ(hub.apiRequests(), 0);  // checked a moment ago: not due

    auto* download = child<QPushButton>(&window, "modelDownload");
    auto* use = child<QPushButton>(&window, "modelUse");
    auto* remove = child<QPushButton>(&window, "modelDelete");
    page->modelView()->setCurrentIndex(list->index(0, 0));
    EXPECT_FALSE(use->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    ASSERT_TRUE(download->isEnabled());
    download->click();
    ASSERT_TRUE(spinUntil([&] { return !WhisperModelManager::shared().isDownloading() &&
                                       list->index(0, 0).data(SpeechModelListModel::IsDownloadedRole).toBool(); }, 60000));
    EXPECT_EQ(list->index(0, SpeechModelListModel::StateColumn).data().toString(), "Up to date");
    EXPECT_TRUE(Settings::shared().whisperModelFolderPaths().contains("openai_whisper-tiny"));

    ASSERT_TRUE(use->isEnabled());
    use->click();
    EXPECT_EQ(Settings::shared().whisperModelID(), "openai_whisper-tiny");
    EXPECT_EQ(list->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(list->index(2, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    // Checking a model that is not on disk does not select it.
    EXPECT_FALSE(list->setData(list->index(1, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(Settings::shared().whisperModelID(), "openai_whisper-tiny");

    const QString folder = Settings::shared().whisperModelFolderPaths().value("openai_whisper-tiny");
    ASSERT_TRUE(remove->isEnabled());
    auto confirmation = confirmNextMessageBox();
    remove->click();
    EXPECT_TRUE(confirmation->contains("Tiny"));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(list->index(0, SpeechModelListModel::StateColumn).data().toString(), "Not downloaded");
    EXPECT_FALSE(remove->isEnabled());
}

TEST_F(SettingsWindowTest, ToolsPageStartsTheDueRevisionCheck) {
    hub.publishFolder("openai/whisper-base", kSha, model);
    const QString snapshot = QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME")) +
                             "/huggingface/hub/models--openai--whisper-base/snapshots/0000000000000000000000000000000000000001";
    QDir().mkpath(snapshot);
    for (const QString& name : QDir(model).entryList(QDir::Files)) QFile::copy(model + "/" + name, snapshot + "/" + name);
    Settings::shared().setWhisperLastUpdateCheck(QDateTime::currentDateTimeUtc().addSecs(-86401));

    SettingsWindow window;
    window.show();
    EXPECT_EQ(hub.apiRequests(), 0);  // only the Tools page checks
    window.showPage(Page::Tools);
    auto* page = static_cast<ToolsSettingsPage*>(window.pageWidget(Page::Tools));
    ASSERT_TRUE(spinUntil([&] { return page->modelList()->index(1, SpeechModelListModel::StateColumn).data().toString() == "Update available"; }));
    EXPECT_GE(hub.apiRequests(), 1);
    EXPECT_GT(Settings::shared().whisperLastUpdateCheck().value_or(QDateTime()), QDateTime::currentDateTimeUtc().addSecs(-60));
    EXPECT_EQ(child<QPushButton>(&window, "modelDownload")->isEnabled(), false);  // nothing current yet
    page->modelView()->setCurrentIndex(page->modelList()->index(1, 0));
    EXPECT_EQ(child<QPushButton>(&window, "modelDownload")->text(), "Download Update");
    QDir(snapshot).removeRecursively();
}

TEST_F(SettingsWindowTest, ToolsCheckAndUpdate) {
    const QString bin = home() + "/tools-bin";
    QDir().mkpath(bin);
    ASSERT_TRUE(test::writeExecutableScript(bin + "/yt-dlp", "#!/bin/sh\necho 2024.01.01\n"));
    TestHttpServer github;
    github.route("GET", "/repos/yt-dlp/yt-dlp/releases/latest",
                 [](const HttpRequest&) { return HttpResponse::json(200, R"({"tag_name":"2025.02.02"})"); });
    github.route("GET", "/yt-dlp/yt-dlp/releases/latest/download/*",
                 [](const HttpRequest&) { return HttpResponse(200).body("#!/bin/sh\necho 2025.02.02\n"); });
    github.route("GET", "/yt-dlp/yt-dlp/releases/latest/download/SHA2-256SUMS", [](const HttpRequest&) {
        return HttpResponse::text(200, QCryptographicHash::hash("#!/bin/sh\necho 2025.02.02\n", QCryptographicHash::Sha256).toHex() + "  " +
                                           URLDownloadService::ytDlpAssetName().toUtf8() + "\n");
    });
    qputenv("LUMENOTE_GITHUB_API_URL", github.urlString().toUtf8());
    qputenv("LUMENOTE_GITHUB_URL", github.urlString().toUtf8());
    qunsetenv("LUMENOTE_FFMPEG_INFO_URL");
    URLDownloadService& tools = URLDownloadService::shared();
    tools.setToolSearchDirectories({bin});

    SettingsWindow window;
    window.show();
    window.showPage(Page::Tools);
    auto* status = child<QLabel>(&window, "ytDlpStatus");
    auto* update = child<QPushButton>(&window, "ytDlpUpdate");
    EXPECT_EQ(child<QLabel>(&window, "ytDlpPath")->text(), bin + "/yt-dlp");
    EXPECT_FALSE(update->isEnabled());
    child<QPushButton>(&window, "ytDlpCheck")->click();
    ASSERT_TRUE(spinUntil([&] { return status->text() == "Version 2025.02.02 is available (installed: 2024.01.01)"; }))
        << status->text().toStdString();
    ASSERT_TRUE(update->isEnabled());
    update->click();
    ASSERT_TRUE(spinUntil([&] { return status->text() == "Up to date (version 2025.02.02)"; })) << status->text().toStdString();
    EXPECT_EQ(child<QLabel>(&window, "ytDlpPath")->text(), URLDownloadService::privateYtDlpPath());
    EXPECT_FALSE(update->isEnabled());

    // No ffmpeg anywhere: the page offers the install, which names the package manager when no build service is set.
    auto* install = child<QPushButton>(&window, "ffmpegInstall");
    EXPECT_FALSE(child<QPushButton>(&window, "ffmpegCheck")->isEnabled());
    EXPECT_EQ(install->text(), "Install");
    ASSERT_TRUE(install->isEnabled());
    install->click();
    auto* ffmpegStatus = child<QLabel>(&window, "ffmpegStatus");
    ASSERT_TRUE(spinUntil([&] { return !tools.isInstallingFFmpeg() && ffmpegStatus->text().startsWith("The check failed"); }));
    EXPECT_TRUE(ffmpegStatus->text().contains(tools.ffmpegInstallError()));
    EXPECT_FALSE(tools.ffmpegInstallError().isEmpty());

    QFile::remove(URLDownloadService::privateYtDlpPath());
    tools.setToolSearchDirectories(URLDownloadService::defaultToolSearchDirectories());
    qputenv("LUMENOTE_GITHUB_API_URL", "http://127.0.0.1:9");
    qputenv("LUMENOTE_GITHUB_URL", "http://127.0.0.1:9");
}

TEST_F(SettingsWindowTest, ClaudeKeyAndModelDiscovery) {
    TestHttpServer anthropic;
    anthropic.route("GET", "/v1/models", [](const HttpRequest& r) {
        if (r.header("x-api-key") != "sk-test-123") return HttpResponse::json(401, R"({"error":"bad key"})");
        return HttpResponse::json(200, R"({"data":[{"id":"claude-opus-4-1-20250805","display_name":"Claude Opus 4.1"},)"
                                       R"({"id":"claude-sonnet-4-6","display_name":"Claude Sonnet 4.6"}]})");
    });
    qputenv("LUMENOTE_ANTHROPIC_URL", anthropic.urlString().toUtf8());
    Settings::shared().setConsolidationClaudeModel("claude-3-opus-20240229");

    SettingsWindow window;
    window.show();
    window.showPage(Page::Consolidation);
    auto* storage = child<QLabel>(&window, "apiKeyStorage");
    ASSERT_TRUE(spinUntil([&] { return storage->text().contains(SecretStore::fallbackFilePath()); }));
    auto* field = child<QLineEdit>(&window, "apiKeyField");
    auto* models = child<QComboBox>(&window, "claudeModelPicker");
    EXPECT_EQ(models->count(), 6);  // the built-in list without a key

    field->setText("  sk-test-123\n");
    child<QPushButton>(&window, "saveAPIKey")->click();
    ASSERT_TRUE(spinUntil([&] { return models->count() == 2; })) << child<QLabel>(&window, "claudeStatus")->text().toStdString()
                                                                  << " / " << storage->text().toStdString();
    EXPECT_EQ(field->text(), QString(11, QChar(0x2022)));
    EXPECT_EQ(models->itemText(0), "Claude Opus 4.1");
    // The stored model is not offered any more: the first Sonnet takes its place.
    EXPECT_EQ(Settings::shared().consolidationClaudeModel(), "claude-sonnet-4-6");
    EXPECT_EQ(models->currentData().toString(), "claude-sonnet-4-6");
    EXPECT_EQ(child<QLabel>(&window, "claudeStatus")->text(), "2 models available to your account.");
    QFile secrets(SecretStore::fallbackFilePath());
    ASSERT_TRUE(secrets.open(QIODevice::ReadOnly));
    EXPECT_TRUE(secrets.readAll().contains("sk-test-123"));
    EXPECT_EQ(secrets.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    secrets.close();

    child<QPushButton>(&window, "removeAPIKey")->click();
    ASSERT_TRUE(spinUntil([&] { return field->text().isEmpty(); }));
    EXPECT_FALSE(child<QPushButton>(&window, "removeAPIKey")->isEnabled());
    qputenv("LUMENOTE_ANTHROPIC_URL", "http://127.0.0.1:9");
}

TEST_F(SettingsWindowTest, OllamaModelsFromTheConfiguredServer) {
    TestHttpServer ollama;
    ollama.route("GET", "/api/tags", [](const HttpRequest&) {
        return HttpResponse::json(200, R"({"models":[{"name":"llama3.1:8b"},{"name":"qwen2.5:14b"}]})");
    });
    Settings::shared().setConsolidationProvider(ConsolidationProvider::Ollama);
    Settings::shared().remove(k::consolidationOllamaModel);
    SettingsWindow window;
    window.show();
    window.showPage(Page::Consolidation);
    auto* endpoint = child<QLineEdit>(&window, "ollamaEndpoint");
    endpoint->setText(ollama.urlString() + " ");
    emit endpoint->editingFinished();
    auto* models = child<QComboBox>(&window, "ollamaModelPicker");
    ASSERT_TRUE(spinUntil([&] { return models->count() == 2; }));
    EXPECT_EQ(Settings::shared().consolidationOllamaModel(), "llama3.1:8b");
    EXPECT_EQ(models->currentText(), "llama3.1:8b");
    EXPECT_EQ(child<QLabel>(&window, "ollamaStatus")->text(), "2 models installed on this server.");
    EXPECT_FALSE(child<QWidget>(&window, "claudeGroup")->isVisibleTo(&window));

    // A server that is gone: the discovery's message, in the interface language.
    endpoint->setText("http://127.0.0.1:9");
    emit endpoint->editingFinished();
    auto* status = child<QLabel>(&window, "ollamaStatus");
    ASSERT_TRUE(spinUntil([&] { return status->text() == "Could not reach Ollama at http://127.0.0.1:9. Is it running?"; }))
        << status->text().toStdString();
    LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::german);
    QCoreApplication::processEvents();
    EXPECT_EQ(status->text(), "Ollama unter http://127.0.0.1:9 ist nicht erreichbar. Läuft es?");
}

TEST_F(SettingsWindowTest, GeneralPageReportsTheExchangeWithTheSyncFolder) {
    QString error;
    auto store = LibraryStore::open(home() + "/sync-status-library.sqlite", &error);
    ASSERT_TRUE(store) << error.toStdString();
    SettingsWindow window;
    window.setLibraryStore(store.get());
    window.show();
    window.showPage(Page::General);
    auto* status = window.pageWidget(Page::General)->findChild<QLabel*>("syncStatus");
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->isVisible()) << "no sync folder, nothing to report";

    const QString records = home() + "/sync-status/Lumenote/Records";
    ASSERT_TRUE(QDir().mkpath(records));
    ASSERT_TRUE(store->attachMirror(records, &error)) << error.toStdString();
    store->insert(Lecture::create("Sent", home() + "/sent.mp4", std::nullopt));
    store->insert(Lecture::create("Sent too", home() + "/sent-too.mp4", std::nullopt));
    ASSERT_TRUE(spinUntil([&] { return store->mirror()->status().lastExport.has_value(); }));
    window.showPage(Page::Consolidation);
    window.showPage(Page::General);
    EXPECT_TRUE(status->isVisible());
    const RecordMirror::Status facts = store->mirror()->status();
    EXPECT_TRUE(status->text().contains(QStringLiteral("(%1 records)").arg(facts.lastExportCount))) << status->text().toStdString();
    EXPECT_TRUE(status->text().contains("last received: never")) << status->text().toStdString();
    EXPECT_TRUE(status->text().contains("waiting: 0")) << status->text().toStdString();
}

TEST_F(SettingsWindowTest, CacheListsProtectsAndRemovesDownloads) {
    const QString folder = home() + "/cache-downloads";
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    auto write = [&](const QString& name, int bytes) {
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(bytes, 'x'));
    };
    write("Talk.f137.mp4.part", 3000);
    write("Old lecture.mp4", 2000);
    write("Used.webm", 5000);
    QString error;
    auto store = LibraryStore::open(home() + "/cache-library.sqlite", &error);
    ASSERT_TRUE(store) << error.toStdString();
    store->insert(Lecture::create("Used", folder + "/Used.webm", std::nullopt));

    SettingsWindow window;
    window.setLibraryStore(store.get());
    auto* page = static_cast<CacheSettingsPage*>(window.pageWidget(Page::Cache));
    page->setFolder(folder);
    window.show();
    window.showPage(Page::Cache);
    ASSERT_TRUE(spinUntil([&] { return !page->isLoading() && page->fileList()->rowCount() == 3; }));
    const QAbstractItemModel* rows = page->fileList();
    EXPECT_EQ(rows->index(0, 0).data().toString(), "Talk");
    EXPECT_EQ(rows->index(0, CachedFileListModel::LabelColumn).data().toString(), "Incomplete download");
    EXPECT_EQ(rows->index(2, 0).data().toString(), "Used");
    EXPECT_EQ(rows->index(2, CachedFileListModel::LabelColumn).data().toString(), "In use");

    auto* remove = child<QPushButton>(&window, "cacheDelete");
    page->fileView()->setCurrentIndex(rows->index(2, 0));
    EXPECT_FALSE(remove->isEnabled());
    page->fileView()->setCurrentIndex(rows->index(1, 0));
    ASSERT_TRUE(remove->isEnabled());
    remove->click();
    EXPECT_EQ(rows->rowCount(), 2);
    EXPECT_FALSE(QFile::exists(folder + "/Old lecture.mp4"));

    auto confirmation = confirmNextMessageBox();
    child<QPushButton>(&window, "cacheRemoveAll")->click();
    EXPECT_TRUE(confirmation->endsWith("1 file is still used by library items and will not be removed.")) << confirmation->toStdString();
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(rows->index(0, 0).data().toString(), "Used");
    EXPECT_TRUE(QFile::exists(folder + "/Used.webm"));
    EXPECT_FALSE(QFile::exists(folder + "/Talk.f137.mp4.part"));
    EXPECT_FALSE(child<QPushButton>(&window, "cacheRemoveAll")->isEnabled());
}

// Pictures of every page in two languages, for a person to look at.
TEST_F(SettingsWindowTest, PagesRenderInEveryLanguage) {
    SettingsWindow window;
    window.resize(860, 640);
    window.show();
    for (const char* code : {"en", "de"}) {
        LocalizationManager::shared().setCurrentLanguage(LocalizationManager::languageForCode(QLatin1String(code)));
        QCoreApplication::processEvents();
        for (const auto& [page, name] : {std::pair{Page::General, "general"}, std::pair{Page::Consolidation, "consolidation"},
                                         std::pair{Page::Markdown, "markdown"}, std::pair{Page::Tools, "tools"},
                                         std::pair{Page::Cache, "cache"}}) {
            window.showPage(page);
            test::spinFor(50);
            const QImage picture = window.grab().toImage();
            EXPECT_FALSE(picture.isNull());
            EXPECT_TRUE(picture.save(outputFolder() + QStringLiteral("/%1-%2.png").arg(QLatin1String(code), QLatin1String(name))));
        }
    }
}
