#pragma once

// Every user preference and piece of remembered state, under fixed keys.
// Getters apply the defaults on read (nothing is written back at start-up);
// setters store at once. Safe to use from any thread.

#include "core/ConsolidationMode.h"

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

namespace lumenote {

namespace settings_keys {
inline constexpr auto screenshotMaxInterval = "screenshotMaxInterval";
inline constexpr auto whisperModelID = "whisperModelID";
inline constexpr auto transcriptionLanguage = "transcriptionLanguage";
inline constexpr auto whisperModelFolderPaths = "whisperModelFolderPaths";
inline constexpr auto whisperModelDownloadedSHAs = "whisperModelDownloadedSHAs";
inline constexpr auto whisperLastUpdateCheck = "whisperLastUpdateCheck";
inline constexpr auto whisperExactPrecision = "whisperExactPrecision";
inline constexpr auto consolidationEnabled = "consolidationEnabled";
inline constexpr auto consolidationProvider = "consolidationProvider";
inline constexpr auto consolidationPrompt = "consolidationPrompt";
inline constexpr auto consolidationClaudeModel = "consolidationClaudeModel";
inline constexpr auto consolidationOllamaModel = "consolidationOllamaModel";
inline constexpr auto consolidationOllamaEndpoint = "consolidationOllamaEndpoint";
inline constexpr auto exportRootBookmark = "exportRootBookmark";
inline constexpr auto markdownExportEnabled = "markdownExportEnabled";
inline constexpr auto markdownExportObsidianSyntax = "markdownExportObsidianSyntax";
inline constexpr auto markdownExportDirectoryBookmark = "markdownExportDirectoryBookmark";
inline constexpr auto exportSubtitles = "exportSubtitles";
inline constexpr auto ytDlpLastUpdateCheck = "ytDlpLastUpdateCheck";
inline constexpr auto ytDlpLastKnownVersion = "ytDlpLastKnownVersion";
inline constexpr auto ffmpegLastUpdateCheck = "ffmpegLastUpdateCheck";
inline constexpr auto ffmpegLastKnownVersion = "ffmpegLastKnownVersion";
inline constexpr auto ffmpegInstalledVersion = "ffmpegInstalledVersion";
inline constexpr auto appLanguage = "appLanguage";
inline constexpr auto debugLogoVariant = "debugLogoVariant";
inline constexpr auto expandedPanelFontSize = "expandedPanelFontSize";
inline constexpr auto cloudSyncFolder = "cloudSyncFolder";
}  // namespace settings_keys

// The study-notes system prompt used when none is stored.
extern const QString kDefaultConsolidationPrompt;
inline const QString kDefaultWhisperModelID = QStringLiteral("openai_whisper-small");
inline const QString kDefaultClaudeModel = QStringLiteral("claude-sonnet-4-5");
inline const QString kDefaultOllamaEndpoint = QStringLiteral("http://localhost:11434");

using StringMap = QMap<QString, QString>;

class Settings : public QObject {
    Q_OBJECT
public:
    // The process-wide instance (created on first use, lives on the main thread).
    static Settings& shared();

    // Processing and screenshots
    double screenshotMaxInterval() const;
    void setScreenshotMaxInterval(double seconds);
    QString whisperModelID() const;
    void setWhisperModelID(const QString& id);
    // "en" by default (also for a value that is no language code), "auto", or a code of
    // transcriptionLanguages().
    QString transcriptionLanguage() const;
    void setTranscriptionLanguage(const QString& code);
    StringMap whisperModelFolderPaths() const;
    void setWhisperModelFolderPaths(const StringMap& paths);
    StringMap whisperModelDownloadedSHAs() const;
    void setWhisperModelDownloadedSHAs(const StringMap& shas);
    std::optional<QDateTime> whisperLastUpdateCheck() const;
    void setWhisperLastUpdateCheck(const QDateTime& when);
    // The speech model in single precision throughout instead of its faster default
    // (slower, for those who want the exact results).
    bool whisperExactPrecision() const;
    void setWhisperExactPrecision(bool exact);

    // Consolidation
    bool consolidationEnabled() const;
    void setConsolidationEnabled(bool enabled);
    ConsolidationProvider consolidationProvider() const;
    void setConsolidationProvider(ConsolidationProvider provider);
    QString consolidationPrompt() const;
    void setConsolidationPrompt(const QString& prompt);
    void removeConsolidationPrompt();
    QString consolidationClaudeModel() const;
    void setConsolidationClaudeModel(const QString& model);
    QString consolidationOllamaModel() const;
    void setConsolidationOllamaModel(const QString& model);
    QString consolidationOllamaEndpoint() const;
    void setConsolidationOllamaEndpoint(const QString& endpoint);
    // The mode a lecture follows when it has no override of its own.
    ConsolidationMode globalConsolidationMode() const;

    // Export (folder choices are absolute paths)
    std::optional<QString> exportRootBookmark() const;
    void setExportRootBookmark(const std::optional<QString>& path);
    bool markdownExportEnabled() const;
    void setMarkdownExportEnabled(bool enabled);
    bool markdownExportObsidianSyntax() const;
    void setMarkdownExportObsidianSyntax(bool enabled);
    std::optional<QString> markdownExportDirectoryBookmark() const;
    void setMarkdownExportDirectoryBookmark(const std::optional<QString>& path);
    // Subtitles (SRT, WebVTT) and a plain-text transcript beside every study page.
    bool exportSubtitles() const;
    void setExportSubtitles(bool enabled);

    // External tools
    std::optional<QDateTime> ytDlpLastUpdateCheck() const;
    void setYtDlpLastUpdateCheck(const QDateTime& when);
    std::optional<QString> ytDlpLastKnownVersion() const;
    void setYtDlpLastKnownVersion(const QString& version);
    std::optional<QDateTime> ffmpegLastUpdateCheck() const;
    void setFFmpegLastUpdateCheck(const QDateTime& when);
    std::optional<QString> ffmpegLastKnownVersion() const;
    void setFFmpegLastKnownVersion(const QString& version);
    std::optional<QString> ffmpegInstalledVersion() const;
    void setFFmpegInstalledVersion(const std::optional<QString>& version);

    // Interface
    QString appLanguage() const;
    void setAppLanguage(const QString& code);
    QString debugLogoVariant() const;
    void setDebugLogoVariant(const QString& variant);
    double expandedPanelFontSize() const;
    void setExpandedPanelFontSize(double points);

    // The folder a sync client keeps in step between machines; none or empty
    // means no cloud identity.
    std::optional<QString> cloudSyncFolder() const;
    void setCloudSyncFolder(const std::optional<QString>& path);

    // Raw access (for `lumenote-cli settings` and tests).
    QVariant rawValue(const QString& key) const;
    void setRawValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    bool contains(const QString& key) const;
    // The file behind the store.
    static QString filePath();

signals:
    // Emitted on the thread that wrote, after the value is stored.
    void changed(const QString& key);

private:
    Settings() = default;
    std::optional<QString> optionalString(const char* key) const;
    std::optional<QDateTime> optionalDate(const char* key) const;
    StringMap stringMap(const char* key) const;
    void setOptionalString(const char* key, const std::optional<QString>& value);
    void setStringMap(const char* key, const StringMap& map);
};

}  // namespace lumenote
