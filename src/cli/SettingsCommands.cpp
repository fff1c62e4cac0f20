// settings get|set|unset

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "consolidation/ConsolidationSettings.h"
#include "consolidation/SecretStore.h"
#include "core/Settings.h"
#include "core/TranscriptionLanguages.h"
#include "transcription/WhisperModelManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <functional>

namespace lumenote::cli {

namespace {

namespace k = settings_keys;
const QString kAPIKey = QStringLiteral("claudeAPIKey");

QString mapText(const StringMap& map) {
    QJsonObject o;
    for (auto it = map.begin(); it != map.end(); ++it) o.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString dateText(const std::optional<QDateTime>& when) { return when ? when->toUTC().toString(Qt::ISODate) : QStringLiteral("(none)"); }
QString optionalText(const std::optional<QString>& v) { return v ? *v : QStringLiteral("(none)"); }
QString boolText(bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); }

struct SettingKey {
    QString name;
    QString type;  // shown in errors
    std::function<QString()> get;
    // Stores the text; throws UsageError (with an empty command) when it does not fit the type.
    std::function<void(const QString&)> set;
};

[[noreturn]] void badValue(const QString& key, const QString& expected, const QString& value) {
    throw UsageError(QStringLiteral("%1 takes %2, not '%3'").arg(key, expected, value));
}

double parseNumber(const QString& key, const QString& value) {
    bool ok = false;
    const double d = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d)) badValue(key, QStringLiteral("a number"), value);
    return d;
}

bool parseBool(const QString& key, const QString& value) {
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("1") || v == QLatin1String("on")) return true;
    if (v == QLatin1String("false") || v == QLatin1String("no") || v == QLatin1String("0") || v == QLatin1String("off")) return false;
    badValue(key, QStringLiteral("true or false"), value);
}

QDateTime parseDate(const QString& key, const QString& value) {
    const QDateTime d = QDateTime::fromString(value.trimmed(), Qt::ISODate);
    if (!d.isValid()) badValue(key, QStringLiteral("an ISO 8601 date (2025-01-31T12:00:00Z)"), value);
    return d;
}

StringMap parseMap(const QString& key, const QString& value) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(value.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) badValue(key, QStringLiteral("a JSON object of strings"), value);
    StringMap map;
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!it.value().isString()) badValue(key, QStringLiteral("a JSON object of strings"), value);
        map.insert(it.key(), it.value().toString());
    }
    return map;
}

// A folder choice: stored as an absolute path; the folder should exist.
QString parseFolder(const QString& key, const QString& value) {
    if (value.trimmed().isEmpty()) badValue(key, QStringLiteral("a folder"), value);
    return QFileInfo(value).absoluteFilePath();
}

QString parseChoice(const QString& key, const QString& value, const QStringList& choices) {
    if (!choices.contains(value.trimmed())) badValue(key, QStringLiteral("one of ") + choices.join(QStringLiteral(", ")), value);
    return value.trimmed();
}

const QList<SettingKey>& keys() {
    static const QList<SettingKey> all = [] {
        Settings& s = Settings::shared();
        QList<SettingKey> list;
        auto add = [&](const char* name, const QString& type, std::function<QString()> get, std::function<void(const QString&)> set) {
            list.append({QLatin1String(name), type, std::move(get), std::move(set)});
        };
        auto text = [&](const char* name, std::function<QString()> get, std::function<void(const QString&)> set) {
            add(name, QStringLiteral("text"), std::move(get), std::move(set));
        };
        add(k::screenshotMaxInterval, QStringLiteral("seconds"), [&s] { return QString::number(s.screenshotMaxInterval()); },
            [&s](const QString& v) { s.setScreenshotMaxInterval(parseNumber(QLatin1String(k::screenshotMaxInterval), v)); });
        add(k::whisperModelID, QStringLiteral("model id"), [&s] { return s.whisperModelID(); },
            [&s](const QString& v) {
                QStringList ids;
                for (const WhisperModelManager::Model& m : WhisperModelManager::models()) ids << m.id;
                s.setWhisperModelID(parseChoice(QLatin1String(k::whisperModelID), v, ids));
            });
        add(k::transcriptionLanguage, QStringLiteral("language code or auto"), [&s] { return s.transcriptionLanguage(); },
            [&s](const QString& v) {
                const auto code = parseTranscriptionLanguage(v);
                if (!code) badValue(QLatin1String(k::transcriptionLanguage), QStringLiteral("auto or a language code such as en, de, fr"), v);
                s.setTranscriptionLanguage(*code);
            });
        add(k::whisperModelFolderPaths, QStringLiteral("JSON object"), [&s] { return mapText(s.whisperModelFolderPaths()); },
            [&s](const QString& v) { s.setWhisperModelFolderPaths(parseMap(QLatin1String(k::whisperModelFolderPaths), v)); });
        add(k::whisperModelDownloadedSHAs, QStringLiteral("JSON object"), [&s] { return mapText(s.whisperModelDownloadedSHAs()); },
            [&s](const QString& v) { s.setWhisperModelDownloadedSHAs(parseMap(QLatin1String(k::whisperModelDownloadedSHAs), v)); });
        add(k::whisperLastUpdateCheck, QStringLiteral("date"), [&s] { return dateText(s.whisperLastUpdateCheck()); },
            [&s](const QString& v) { s.setWhisperLastUpdateCheck(parseDate(QLatin1String(k::whisperLastUpdateCheck), v)); });
        add(k::whisperExactPrecision, QStringLiteral("boolean"), [&s] { return boolText(s.whisperExactPrecision()); },
            [&s](const QString& v) { s.setWhisperExactPrecision(parseBool(QLatin1String(k::whisperExactPrecision), v)); });
        add(k::consolidationEnabled, QStringLiteral("boolean"), [&s] { return boolText(s.consolidationEnabled()); },
            [&s](const QString& v) { s.setConsolidationEnabled(parseBool(QLatin1String(k::consolidationEnabled), v)); });
        add(k::consolidationProvider, QStringLiteral("claude or ollama"), [&s] { return providerRawValue(s.consolidationProvider()); },
            [&s](const QString& v) {
                s.setConsolidationProvider(parseProvider(parseChoice(QLatin1String(k::consolidationProvider), v, {QStringLiteral("claude"), QStringLiteral("ollama")})));
            });
        text(k::consolidationPrompt, [&s] { return s.consolidationPrompt(); }, [&s](const QString& v) { s.setConsolidationPrompt(v); });
        text(k::consolidationClaudeModel, [&s] { return s.consolidationClaudeModel(); }, [&s](const QString& v) { s.setConsolidationClaudeModel(v.trimmed()); });
        text(k::consolidationOllamaModel, [&s] { return s.consolidationOllamaModel(); }, [&s](const QString& v) { s.setConsolidationOllamaModel(v.trimmed()); });
        text(k::consolidationOllamaEndpoint, [&s] { return s.consolidationOllamaEndpoint(); },
             [&s](const QString& v) { s.setConsolidationOllamaEndpoint(v.trimmed()); });
        add(k::exportRootBookmark, QStringLiteral("folder"), [&s] { return optionalText(s.exportRootBookmark()); },
            [&s](const QString& v) { s.setExportRootBookmark(parseFolder(QLatin1String(k::exportRootBookmark), v)); });
        add(k::markdownExportEnabled, QStringLiteral("boolean"), [&s] { return boolText(s.markdownExportEnabled()); },
            [&s](const QString& v) { s.setMarkdownExportEnabled(parseBool(QLatin1String(k::markdownExportEnabled), v)); });
        add(k::markdownExportObsidianSyntax, QStringLiteral("boolean"), [&s] { return boolText(s.markdownExportObsidianSyntax()); },
            [&s](const QString& v) { s.setMarkdownExportObsidianSyntax(parseBool(QLatin1String(k::markdownExportObsidianSyntax), v)); });
        add(k::markdownExportDirectoryBookmark, QStringLiteral("folder"), [&s] { return optionalText(s.markdownExportDirectoryBookmark()); },
            [&s](const QString& v) { s.setMarkdownExportDirectoryBookmark(parseFolder(QLatin1String(k::markdownExportDirectoryBookmark), v)); });
        add(k::exportSubtitles, QStringLiteral("boolean"), [&s] { return boolText(s.exportSubtitles()); },
            [&s](const QString& v) { s.setExportSubtitles(parseBool(QLatin1String(k::exportSubtitles), v)); });
        add(k::ytDlpLastUpdateCheck, QStringLiteral("date"), [&s] { return dateText(s.ytDlpLastUpdateCheck()); },
            [&s](const QString& v) { s.setYtDlpLastUpdateCheck(parseDate(QLatin1String(k::ytDlpLastUpdateCheck), v)); });
        text(k::ytDlpLastKnownVersion, [&s] { return optionalText(s.ytDlpLastKnownVersion()); }, [&s](const QString& v) { s.setYtDlpLastKnownVersion(v.trimmed()); });
        add(k::ffmpegLastUpdateCheck, QStringLiteral("date"), [&s] { return dateText(s.ffmpegLastUpdateCheck()); },
            [&s](const QString& v) { s.setFFmpegLastUpdateCheck(parseDate(QLatin1String(k::ffmpegLastUpdateCheck), v)); });
        text(k::ffmpegLastKnownVersion, [&s] { return optionalText(s.ffmpegLastKnownVersion()); }, [&s](const QString& v) { s.setFFmpegLastKnownVersion(v.trimmed()); });
        text(k::ffmpegInstalledVersion, [&s] { return optionalText(s.ffmpegInstalledVersion()); }, [&s](const QString& v) { s.setFFmpegInstalledVersion(v.trimmed()); });
        add(k::appLanguage, QStringLiteral("language"), [&s] { return s.appLanguage(); },
            [&s](const QString& v) {
                s.setAppLanguage(parseChoice(QLatin1String(k::appLanguage), v, {QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("fr"), QStringLiteral("it"), QStringLiteral("de")}));
            });
        text(k::debugLogoVariant, [&s] { return s.debugLogoVariant(); }, [&s](const QString& v) { s.setDebugLogoVariant(v.trimmed()); });
        add(k::expandedPanelFontSize, QStringLiteral("points"), [&s] { return QString::number(s.expandedPanelFontSize()); },
            [&s](const QString& v) {
                const double points = parseNumber(QLatin1String(k::expandedPanelFontSize), v);
                if (points < 12 || points > 22) badValue(QLatin1String(k::expandedPanelFontSize), QStringLiteral("12 to 22 points"), v);
                s.setExpandedPanelFontSize(points);
            });
        add(k::cloudSyncFolder, QStringLiteral("folder"), [&s] { return optionalText(s.cloudSyncFolder()); },
            [&s](const QString& v) { s.setCloudSyncFolder(parseFolder(QLatin1String(k::cloudSyncFolder), v)); });
        return list;
    }();
    return all;
}

const SettingKey* findKey(const QString& name) {
    for (const SettingKey& key : keys())
        if (key.name == name) return &key;
    return nullptr;
}

QStringList keyNames() {
    QStringList names;
    for (const SettingKey& key : keys()) names << key.name;
    names << kAPIKey;
    return names;
}

// One line of the listing: long or multi-line values are shortened.
QString listingValue(const QString& value) {
    QString v = value;
    const bool cut = v.contains(QLatin1Char('\n')) || v.size() > 72;
    v = v.section(QLatin1Char('\n'), 0, 0).left(72);
    return cut ? v + QStringLiteral("…") : v;
}

// Everything on standard input; without a terminal as it is, on a terminal one
// line typed without echo after a prompt on standard error.
QString readStandardInput(bool secret, const QString& prompt) {
    if (isatty(STDIN_FILENO)) {
        termios saved{};
        const bool hide = secret && tcgetattr(STDIN_FILENO, &saved) == 0;
        if (hide) {
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
        std::fputs(prompt.toUtf8().constData(), stderr);
        std::fflush(stderr);
        QFile in;
        (void)in.open(stdin, QIODevice::ReadOnly);
        const QByteArray line = in.readLine();
        if (hide) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
            std::fputc('\n', stderr);
        }
        QString text = QString::fromUtf8(line);
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
        return text;
    }
    QFile in;
    (void)in.open(stdin, QIODevice::ReadOnly);
    return QString::fromUtf8(in.readAll());
}

QCoro::Task<int> apiKey(Session& session, const QString& action) {
    Console& console = session.console;
    ConsolidationSettingsController controller;
    try {
        if (action == QLatin1String("get")) {
            co_await controller.load();
            const QString where = controller.usesFileFallback() ? SecretStore::fallbackFilePath() : QStringLiteral("the Secret Service");
            console.print(controller.hasSavedAPIKey() ? QStringLiteral("%1 = %2 (stored in %3)").arg(kAPIKey, controller.apiKeyFieldText(), where)
                                                      : QStringLiteral("%1 = (none)").arg(kAPIKey));
            co_return kExitDone;
        }
        if (action == QLatin1String("unset")) {
            co_await controller.removeAPIKey();
            console.print(QStringLiteral("Claude API key removed."));
            co_return kExitDone;
        }
        const QString entered = readStandardInput(true, QStringLiteral("Claude API key: "));
        const bool saved = co_await controller.saveAPIKey(entered);
        if (!saved) throw CommandFailure(QStringLiteral("no API key was given on standard input; nothing was stored"));
        if (controller.usesFileFallback())
            console.print(QStringLiteral("Claude API key saved in %1 (readable by you only; no Secret Service is running).").arg(SecretStore::fallbackFilePath()));
        else
            console.print(QStringLiteral("Claude API key saved in the Secret Service."));
    } catch (const SecretStoreError& e) {
        throw CommandFailure(e.description());
    }
    co_return kExitDone;
}

}  // namespace

QCoro::Task<int> runSettings(Session& session) {
    const Invocation& inv = session.invocation;
    Console& console = session.console;
    const QString action = inv.command->name.section(QLatin1Char(' '), 1);
    Settings& settings = Settings::shared();

    if (action == QLatin1String("get") && inv.arguments.isEmpty()) {
        for (const SettingKey& key : keys()) {
            const bool stored = settings.contains(key.name);
            console.print(QStringLiteral("%1 = %2%3").arg(key.name, listingValue(key.get()), stored ? QString() : QStringLiteral("  (default)")));
        }
        co_return co_await apiKey(session, QStringLiteral("get"));
    }

    const QString name = inv.arguments.value(0);
    if (name == kAPIKey) {
        if (action == QLatin1String("set") && inv.arguments.size() > 1 && inv.arguments[1] != QLatin1String("-"))
            throw UsageError(QStringLiteral("the API key is read from standard input only, never from the command line"), inv.command->name);
        co_return co_await apiKey(session, action);
    }
    const SettingKey* key = findKey(name);
    if (!key) throw UsageError(QStringLiteral("no setting '%1' (one of %2)").arg(name, keyNames().join(QStringLiteral(", "))), inv.command->name);

    if (action == QLatin1String("get")) {
        console.print(key->get());
        co_return kExitDone;
    }
    if (action == QLatin1String("unset")) {
        settings.remove(key->name);
        console.print(QStringLiteral("%1 = %2  (default)").arg(key->name, listingValue(key->get())));
        co_return kExitDone;
    }
    if (inv.arguments.size() < 2) throw UsageError(QStringLiteral("'settings set %1' needs a value, or '-' to read it from standard input").arg(name), inv.command->name);
    QString value = inv.arguments[1];
    if (value == QLatin1String("-")) {
        value = readStandardInput(false, QStringLiteral("%1: ").arg(name));
        // A file's last line break is not part of a one-line value.
        if (value.endsWith(QLatin1Char('\n')) && value.count(QLatin1Char('\n')) == 1) value.chop(1);
    }
    try {
        key->set(value);
    } catch (const UsageError& e) {
        throw UsageError(e.message(), inv.command->name);
    }
    if (key->name == QLatin1String(k::exportRootBookmark) || key->name == QLatin1String(k::markdownExportDirectoryBookmark) ||
        key->name == QLatin1String(k::cloudSyncFolder)) {
        if (!QFileInfo(key->get()).isDir()) console.print(QStringLiteral("Note: the folder %1 does not exist (yet); the default is used until it does.").arg(key->get()));
    }
    console.print(QStringLiteral("%1 = %2").arg(key->name, listingValue(key->get())));
    co_return kExitDone;
}

}  // namespace lumenote::cli
