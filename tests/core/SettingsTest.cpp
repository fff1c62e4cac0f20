#include "core/Settings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

using namespace lumenote;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(Settings::filePath()); }
    Settings& s = Settings::shared();
};

}  // namespace

TEST_F(SettingsTest, DefaultsApplyOnReadAndAreNeverWrittenBack) {
    EXPECT_EQ(s.screenshotMaxInterval(), 30.0);
    EXPECT_EQ(s.whisperModelID(), "openai_whisper-small");
    EXPECT_TRUE(s.whisperModelFolderPaths().isEmpty());
    EXPECT_TRUE(s.whisperModelDownloadedSHAs().isEmpty());
    EXPECT_FALSE(s.whisperLastUpdateCheck());
    EXPECT_FALSE(s.whisperExactPrecision());
    EXPECT_FALSE(s.consolidationEnabled());
    EXPECT_EQ(s.consolidationProvider(), ConsolidationProvider::Claude);
    EXPECT_EQ(s.consolidationPrompt(), kDefaultConsolidationPrompt);
    EXPECT_EQ(kDefaultConsolidationPrompt.size(), 936);
    EXPECT_TRUE(kDefaultConsolidationPrompt.startsWith("You are an expert academic note-taker."));
    EXPECT_TRUE(kDefaultConsolidationPrompt.endsWith("no preamble or postscript."));
    EXPECT_EQ(s.consolidationClaudeModel(), "claude-sonnet-4-5");
    EXPECT_EQ(s.consolidationOllamaModel(), "");
    EXPECT_EQ(s.consolidationOllamaEndpoint(), "http://localhost:11434");
    EXPECT_FALSE(s.exportRootBookmark());
    EXPECT_FALSE(s.markdownExportEnabled());
    EXPECT_FALSE(s.markdownExportObsidianSyntax());
    EXPECT_FALSE(s.markdownExportDirectoryBookmark());
    EXPECT_FALSE(s.ytDlpLastUpdateCheck());
    EXPECT_FALSE(s.ytDlpLastKnownVersion());
    EXPECT_FALSE(s.ffmpegLastUpdateCheck());
    EXPECT_FALSE(s.ffmpegLastKnownVersion());
    EXPECT_FALSE(s.ffmpegInstalledVersion());
    EXPECT_EQ(s.appLanguage(), "en");
    EXPECT_EQ(s.debugLogoVariant(), "automatic");
    EXPECT_EQ(s.expandedPanelFontSize(), 14.0);
    EXPECT_FALSE(s.cloudSyncFolder());
    EXPECT_EQ(s.globalConsolidationMode(), ConsolidationMode::Off);
    // Reading wrote nothing.
    EXPECT_TRUE(QSettings(Settings::filePath(), QSettings::IniFormat).allKeys().isEmpty());
}

TEST_F(SettingsTest, StoredValuesThatMeanTheDefault) {
    s.setScreenshotMaxInterval(-5);
    EXPECT_EQ(s.screenshotMaxInterval(), 30.0);
    s.setScreenshotMaxInterval(0);
    EXPECT_EQ(s.screenshotMaxInterval(), 30.0);
    s.setRawValue("screenshotMaxInterval", "not a number");
    EXPECT_EQ(s.screenshotMaxInterval(), 30.0);
    s.setScreenshotMaxInterval(45);
    EXPECT_EQ(s.screenshotMaxInterval(), 45.0);

    s.setRawValue("consolidationProvider", "Ollama");
    EXPECT_EQ(s.consolidationProvider(), ConsolidationProvider::Claude);
    s.setConsolidationProvider(ConsolidationProvider::Ollama);
    EXPECT_EQ(s.rawValue("consolidationProvider").toString(), "ollama");
    s.setConsolidationEnabled(true);
    EXPECT_EQ(s.globalConsolidationMode(), ConsolidationMode::Ollama);

    s.setConsolidationPrompt("Be brief.");
    EXPECT_EQ(s.consolidationPrompt(), "Be brief.");
    s.setConsolidationPrompt("");
    EXPECT_EQ(s.consolidationPrompt(), kDefaultConsolidationPrompt);
    s.setConsolidationPrompt("Be brief.");
    s.removeConsolidationPrompt();
    EXPECT_EQ(s.consolidationPrompt(), kDefaultConsolidationPrompt);

    s.setConsolidationClaudeModel("");
    EXPECT_EQ(s.consolidationClaudeModel(), "claude-sonnet-4-5");
    s.setConsolidationOllamaEndpoint("");
    EXPECT_EQ(s.consolidationOllamaEndpoint(), "http://localhost:11434");

    s.setWhisperModelID("openai_whisper-large-v3-turbo");
    EXPECT_EQ(s.whisperModelID(), "openai_whisper-large-v3_turbo");
    s.setWhisperModelID("openai_whisper-base");
    EXPECT_EQ(s.whisperModelID(), "openai_whisper-base");

    EXPECT_EQ(s.transcriptionLanguage(), "en");
    for (const auto& [stored, read] : {std::pair{"auto", "auto"}, {" DE ", "de"}, {"yue", "yue"}, {"klingon", "en"}, {"", "en"}}) {
        s.setTranscriptionLanguage(stored);
        EXPECT_EQ(s.transcriptionLanguage(), read) << stored;
    }
}

TEST_F(SettingsTest, SettersStoreAtOnceAndSignal) {
    QSignalSpy changed(&s, &Settings::changed);
    const QDateTime when = QDateTime::fromString("2026-11-30T10:15:00Z", Qt::ISODate);
    s.setWhisperModelFolderPaths({{"openai_whisper-tiny", "/models/tiny"}, {"openai_whisper-small", "/m/s"}});
    s.setWhisperModelDownloadedSHAs({{"openai_whisper-tiny", "169d4a43"}});
    s.setYtDlpLastUpdateCheck(when);
    s.setFFmpegInstalledVersion("7.1");
    s.setExportRootBookmark("/home/u/Study");
    s.setMarkdownExportDirectoryBookmark("/home/u/Vault");
    s.setCloudSyncFolder("/home/u/Nextcloud");
    EXPECT_EQ(changed.count(), 7);
    EXPECT_EQ(changed.last().at(0).toString(), "cloudSyncFolder");

    // Another reader of the file sees the values without any explicit save.
    QSettings file(Settings::filePath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("ffmpegInstalledVersion").toString(), "7.1");
    EXPECT_EQ(file.value("exportRootBookmark").toString(), "/home/u/Study");

    EXPECT_EQ(s.whisperModelFolderPaths().value("openai_whisper-small"), "/m/s");
    EXPECT_EQ(s.whisperModelDownloadedSHAs().value("openai_whisper-tiny"), "169d4a43");
    EXPECT_EQ(s.ytDlpLastUpdateCheck(), when);
    EXPECT_EQ(s.markdownExportDirectoryBookmark(), "/home/u/Vault");
    s.setMarkdownExportDirectoryBookmark(std::nullopt);
    EXPECT_FALSE(s.markdownExportDirectoryBookmark());
    EXPECT_FALSE(s.contains("markdownExportDirectoryBookmark"));
    s.setCloudSyncFolder(QString());
    EXPECT_FALSE(s.cloudSyncFolder());  // empty means no cloud identity
}
