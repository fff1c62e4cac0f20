#include "consolidation/ConsolidationProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace lumenote::consolidation {

QString transcriptText(const Transcript& segments) {
    QStringList texts;
    texts.reserve(segments.size());
    for (const auto& s : segments) texts.append(s.text);
    return texts.join(QLatin1Char(' '));
}

qsizetype characterCount(QStringView text) {
    qsizetype n = text.size();
    for (QChar c : text) n -= c.isLowSurrogate();
    return n;
}

QString userMessage(const QString& title, const QString& transcript) {
    return QStringLiteral("Here is the transcript from a lecture titled \"") + title + QStringLiteral("\":\n\n") + transcript;
}

double streamingProgress(qsizetype transcriptCharacters, qsizetype receivedCharacters) {
    const double expected = std::max(200.0, 0.3 * double(transcriptCharacters));
    return std::min(0.95, 0.05 + 0.9 * double(receivedCharacters) / expected);
}

namespace {

QJsonObject message(const char* role, const QString& content) {
    return QJsonObject{{QStringLiteral("role"), QLatin1String(role)}, {QStringLiteral("content"), content}};
}

QJsonObject parseObject(QByteArrayView bytes) {
    const QJsonDocument doc = QJsonDocument::fromJson(bytes.toByteArray());
    return doc.isObject() ? doc.object() : QJsonObject();
}

}  // namespace

QByteArray claudeRequestBody(const QString& model, const QString& systemPrompt, const QString& user) {
    const QJsonObject body{
        {QStringLiteral("model"), model},
        {QStringLiteral("max_tokens"), kClaudeMaxTokens},
        {QStringLiteral("stream"), true},
        {QStringLiteral("system"), systemPrompt},
        {QStringLiteral("messages"), QJsonArray{message("user", user)}},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

QByteArray ollamaRequestBody(const QString& model, const QString& systemPrompt, const QString& user) {
    const QJsonObject body{
        {QStringLiteral("model"), model},
        {QStringLiteral("stream"), true},
        {QStringLiteral("messages"), QJsonArray{message("system", systemPrompt), message("user", user)}},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

StreamLine parseClaudeLine(QByteArrayView line) {
    static constexpr QByteArrayView prefix("data: ");
    if (!line.startsWith(prefix)) return {};
    const QByteArrayView payload = line.sliced(prefix.size());
    if (payload == QByteArrayView("[DONE]")) return {std::nullopt, true};
    const QJsonValue delta = parseObject(payload).value(QLatin1String("delta"));
    if (!delta.isObject()) return {};
    const QJsonValue text = delta.toObject().value(QLatin1String("text"));
    if (!text.isString() || text.toString().isEmpty()) return {};
    return {text.toString(), false};
}

StreamLine parseOllamaLine(QByteArrayView line) {
    const QJsonObject object = parseObject(line);
    const QJsonValue messageValue = object.value(QLatin1String("message"));
    if (!messageValue.isObject()) return {};
    const QJsonValue content = messageValue.toObject().value(QLatin1String("content"));
    if (!content.isString()) return {};
    const QJsonValue done = object.value(QLatin1String("done"));
    return {content.toString(), done.isBool() && done.toBool()};
}

QString withoutAPIKey(QString text, const QString& key) {
    if (!key.isEmpty()) text.replace(key, QStringLiteral("[API key]"));
    return text;
}

QString joinedBodyLines(const QByteArray& body) {
    QByteArray joined;
    joined.reserve(body.size());
    for (QByteArray line : body.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        joined += line;
    }
    return QString::fromUtf8(joined);
}

int countNonEmptyLines(const QString& text) {
    return int(text.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

std::optional<QUrl> parseEndpoint(const QString& raw) {
    const QString trimmed = raw.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return std::nullopt;
    return url;
}

QUrl appendingPath(const QUrl& base, const QString& component) {
    QUrl url = base;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    url.setPath(path + component);
    return url;
}

QUrl anthropicBaseURL() {
    const QString configured = qEnvironmentVariable("LUMENOTE_ANTHROPIC_URL").trimmed();
    return QUrl(configured.isEmpty() ? kDefaultAnthropicURL : configured);
}

std::optional<QString> consolidatedModelID(ConsolidationProvider provider, const QString& claudeModel, const QString& ollamaModel) {
    if (provider == ConsolidationProvider::Claude) return QStringLiteral("claude/") + claudeModel;
    if (ollamaModel.isEmpty()) return std::nullopt;
    return QStringLiteral("ollama/") + ollamaModel;
}

}  // namespace lumenote::consolidation
