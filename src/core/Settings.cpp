#include "core/Settings.h"

#include "core/TranscriptionLanguages.h"

#include <QCoreApplication>
#include <QSettings>
#include <QThread>

namespace lumenote {

namespace k = settings_keys;

const QString kDefaultConsolidationPrompt = QStringLiteral(
    "You are an expert academic note-taker. You will receive a raw spoken lecture transcript and transform it "
    "into a polished, high-density study document.\n"
    "\n"
    "Your output should:\n"
    "- Be organised with clear Markdown headings (## for major topics, ### for subtopics)\n"
    "- Extract and preserve all key facts, statistics, names, dates, and technical terms exactly as stated\n"
    "- Replace conversational phrasing with clear, direct statements\n"
    "- Group related ideas together even if they appeared at different points in the lecture\n"
    "- Use bullet points for lists of items, numbered lists for steps or sequences\n"
    "- Include a brief \"## Key Takeaways\" section at the end\n"
    "- Omit filler words, repeated content, tangential anecdotes, and meta-commentary about the presentation "
    "itself\n"
    "\n"
    "Do not summarise so aggressively that important details are lost. The goal is density and clarity, not "
    "brevity.\n"
    "\n"
    "Output ONLY the Markdown document, with no preamble or postscript.");

namespace {

// QSettings instances are cheap and share one parsed file per process; a fresh
// one per call keeps every getter safe on any thread.
struct Store : QSettings {
    Store() : QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("io.corvana.Lumenote"), QStringLiteral("Lumenote")) {}
};

QString nonEmptyOr(const QVariant& v, const QString& fallback) {
    const QString s = v.toString();
    return s.isEmpty() ? fallback : s;
}

}  // namespace

Settings& Settings::shared() {
    static Settings* instance = [] {
        auto* s = new Settings();
        if (QCoreApplication::instance()) s->moveToThread(QCoreApplication::instance()->thread());
        return s;
    }();
    return *instance;
}

QString Settings::filePath() { return Store().fileName(); }

QVariant Settings::rawValue(const QString& key) const { return Store().value(key); }

bool Settings::contains(const QString& key) const { return Store().contains(key); }

void Settings::setRawValue(const QString& key, const QVariant& value) {
    {
        Store s;
        s.setValue(key, value);
        s.sync();
    }
    emit changed(key);
}

void Settings::remove(const QString& key) {
    {
        Store s;
        s.remove(key);
        s.sync();
    }
    emit changed(key);
}

std::optional<QString> Settings::optionalString(const char* key) const {
    const QVariant v = rawValue(QLatin1String(key));
    if (!v.isValid()) return std::nullopt;
    return v.toString();
}

std::optional<QDateTime> Settings::optionalDate(const char* key) const {
    const QVariant v = rawValue(QLatin1String(key));
    if (!v.isValid()) return std::nullopt;
    QDateTime d = v.toDateTime();
    if (!d.isValid()) return std::nullopt;
    return d;
}

StringMap Settings::stringMap(const char* key) const {
    StringMap out;
    const QVariantMap m = rawValue(QLatin1String(key)).toMap();
    for (auto it = m.begin(); it != m.end(); ++it) out.insert(it.key(), it.value().toString());
    return out;
}

void Settings::setOptionalString(const char* key, const std::optional<QString>& value) {
    if (value)
        setRawValue(QLatin1String(key), *value);
    else
        remove(QLatin1String(key));
}

void Settings::setStringMap(const char* key, const StringMap& map) {
    QVariantMap m;
    for (auto it = map.begin(); it != map.end(); ++it) m.insert(it.key(), it.value());
    setRawValue(QLatin1String(key), m);
}

double Settings::screenshotMaxInterval() const {
    bool ok = false;
    const double v = rawValue(QLatin1String(k::screenshotMaxInterval)).toDouble(&ok);
    return ok && v > 0 ? v : 30.0;
}
void Settings::setScreenshotMaxInterval(double seconds) { setRawValue(QLatin1String(k::screenshotMaxInterval), seconds); }

QString Settings::whisperModelID() const {
    const QString id = rawValue(QLatin1String(k::whisperModelID)).toString();
    if (id.isEmpty()) return kDefaultWhisperModelID;
    // An older catalogue spelled the turbo id with a hyphen.
    if (id == QLatin1String("openai_whisper-large-v3-turbo")) return QStringLiteral("openai_whisper-large-v3_turbo");
    return id;
}
void Settings::setWhisperModelID(const QString& id) { setRawValue(QLatin1String(k::whisperModelID), id); }

QString Settings::transcriptionLanguage() const {
    return parseTranscriptionLanguage(rawValue(QLatin1String(k::transcriptionLanguage)).toString()).value_or(QStringLiteral("en"));
}
void Settings::setTranscriptionLanguage(const QString& code) { setRawValue(QLatin1String(k::transcriptionLanguage), code); }

StringMap Settings::whisperModelFolderPaths() const { return stringMap(k::whisperModelFolderPaths); }
void Settings::setWhisperModelFolderPaths(const StringMap& paths) { setStringMap(k::whisperModelFolderPaths, paths); }
StringMap Settings::whisperModelDownloadedSHAs() const { return stringMap(k::whisperModelDownloadedSHAs); }
void Settings::setWhisperModelDownloadedSHAs(const StringMap& shas) { setStringMap(k::whisperModelDownloadedSHAs, shas); }
std::optional<QDateTime> Settings::whisperLastUpdateCheck() const { return optionalDate(k::whisperLastUpdateCheck); }
void Settings::setWhisperLastUpdateCheck(const QDateTime& when) { setRawValue(QLatin1String(k::whisperLastUpdateCheck), when); }
bool Settings::whisperExactPrecision() const { return rawValue(QLatin1String(k::whisperExactPrecision)).toBool(); }
void Settings::setWhisperExactPrecision(bool exact) { setRawValue(QLatin1String(k::whisperExactPrecision), exact); }

bool Settings::consolidationEnabled() const { return rawValue(QLatin1String(k::consolidationEnabled)).toBool(); }
void Settings::setConsolidationEnabled(bool enabled) { setRawValue(QLatin1String(k::consolidationEnabled), enabled); }
ConsolidationProvider Settings::consolidationProvider() const {
    return parseProvider(rawValue(QLatin1String(k::consolidationProvider)).toString());
}
void Settings::setConsolidationProvider(ConsolidationProvider provider) {
    setRawValue(QLatin1String(k::consolidationProvider), providerRawValue(provider));
}
QString Settings::consolidationPrompt() const {
    return nonEmptyOr(rawValue(QLatin1String(k::consolidationPrompt)), kDefaultConsolidationPrompt);
}
void Settings::setConsolidationPrompt(const QString& prompt) { setRawValue(QLatin1String(k::consolidationPrompt), prompt); }
void Settings::removeConsolidationPrompt() { remove(QLatin1String(k::consolidationPrompt)); }
QString Settings::consolidationClaudeModel() const {
    return nonEmptyOr(rawValue(QLatin1String(k::consolidationClaudeModel)), kDefaultClaudeModel);
}
void Settings::setConsolidationClaudeModel(const QString& model) { setRawValue(QLatin1String(k::consolidationClaudeModel), model); }
QString Settings::consolidationOllamaModel() const { return rawValue(QLatin1String(k::consolidationOllamaModel)).toString(); }
void Settings::setConsolidationOllamaModel(const QString& model) { setRawValue(QLatin1String(k::consolidationOllamaModel), model); }
QString Settings::consolidationOllamaEndpoint() const {
    return nonEmptyOr(rawValue(QLatin1String(k::consolidationOllamaEndpoint)), kDefaultOllamaEndpoint);
}
void Settings::setConsolidationOllamaEndpoint(const QString& endpoint) {
    setRawValue(QLatin1String(k::consolidationOllamaEndpoint), endpoint);
}
ConsolidationMode Settings::globalConsolidationMode() const {
    if (!consolidationEnabled()) return ConsolidationMode::Off;
    return consolidationProvider() == ConsolidationProvider::Ollama ? ConsolidationMode::Ollama : ConsolidationMode::Claude;
}

std::optional<QString> Settings::exportRootBookmark() const { return optionalString(k::exportRootBookmark); }
void Settings::setExportRootBookmark(const std::optional<QString>& path) { setOptionalString(k::exportRootBookmark, path); }
bool Settings::markdownExportEnabled() const { return rawValue(QLatin1String(k::markdownExportEnabled)).toBool(); }
void Settings::setMarkdownExportEnabled(bool enabled) { setRawValue(QLatin1String(k::markdownExportEnabled), enabled); }
bool Settings::exportSubtitles() const { return rawValue(QLatin1String(k::exportSubtitles)).toBool(); }
void Settings::setExportSubtitles(bool enabled) { setRawValue(QLatin1String(k::exportSubtitles), enabled); }
bool Settings::markdownExportObsidianSyntax() const { return rawValue(QLatin1String(k::markdownExportObsidianSyntax)).toBool(); }
void Settings::setMarkdownExportObsidianSyntax(bool enabled) { setRawValue(QLatin1String(k::markdownExportObsidianSyntax), enabled); }
std::optional<QString> Settings::markdownExportDirectoryBookmark() const { return optionalString(k::markdownExportDirectoryBookmark); }
void Settings::setMarkdownExportDirectoryBookmark(const std::optional<QString>& path) {
    setOptionalString(k::markdownExportDirectoryBookmark, path);
}

std::optional<QDateTime> Settings::ytDlpLastUpdateCheck() const { return optionalDate(k::ytDlpLastUpdateCheck); }
void Settings::setYtDlpLastUpdateCheck(const QDateTime& when) { setRawValue(QLatin1String(k::ytDlpLastUpdateCheck), when); }
std::optional<QString> Settings::ytDlpLastKnownVersion() const { return optionalString(k::ytDlpLastKnownVersion); }
void Settings::setYtDlpLastKnownVersion(const QString& version) { setRawValue(QLatin1String(k::ytDlpLastKnownVersion), version); }
std::optional<QDateTime> Settings::ffmpegLastUpdateCheck() const { return optionalDate(k::ffmpegLastUpdateCheck); }
void Settings::setFFmpegLastUpdateCheck(const QDateTime& when) { setRawValue(QLatin1String(k::ffmpegLastUpdateCheck), when); }
std::optional<QString> Settings::ffmpegLastKnownVersion() const { return optionalString(k::ffmpegLastKnownVersion); }
void Settings::setFFmpegLastKnownVersion(const QString& version) { setRawValue(QLatin1String(k::ffmpegLastKnownVersion), version); }
std::optional<QString> Settings::ffmpegInstalledVersion() const { return optionalString(k::ffmpegInstalledVersion); }
void Settings::setFFmpegInstalledVersion(const std::optional<QString>& version) { setOptionalString(k::ffmpegInstalledVersion, version); }

QString Settings::appLanguage() const { return nonEmptyOr(rawValue(QLatin1String(k::appLanguage)), QStringLiteral("en")); }
void Settings::setAppLanguage(const QString& code) { setRawValue(QLatin1String(k::appLanguage), code); }
QString Settings::debugLogoVariant() const {
    return nonEmptyOr(rawValue(QLatin1String(k::debugLogoVariant)), QStringLiteral("automatic"));
}
void Settings::setDebugLogoVariant(const QString& variant) { setRawValue(QLatin1String(k::debugLogoVariant), variant); }
double Settings::expandedPanelFontSize() const {
    bool ok = false;
    const double v = rawValue(QLatin1String(k::expandedPanelFontSize)).toDouble(&ok);
    return ok ? v : 14.0;
}
void Settings::setExpandedPanelFontSize(double points) { setRawValue(QLatin1String(k::expandedPanelFontSize), points); }

std::optional<QString> Settings::cloudSyncFolder() const {
    auto v = optionalString(k::cloudSyncFolder);
    if (v && v->isEmpty()) return std::nullopt;
    return v;
}
void Settings::setCloudSyncFolder(const std::optional<QString>& path) { setOptionalString(k::cloudSyncFolder, path); }

}  // namespace lumenote
