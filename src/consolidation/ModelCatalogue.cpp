#include "consolidation/ModelCatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace lumenote {

const QList<ClaudeModel>& builtInClaudeModels() {
    static const QList<ClaudeModel> models{
        {QStringLiteral("claude-sonnet-4-5"), QStringLiteral("Claude Sonnet 4.5 (Recommended)")},
        {QStringLiteral("claude-sonnet-4-6"), QStringLiteral("Claude Sonnet 4.6")},
        {QStringLiteral("claude-haiku-4-5"), QStringLiteral("Claude Haiku 4.5 (Fast)")},
        {QStringLiteral("claude-3-5-sonnet-20241022"), QStringLiteral("Claude 3.5 Sonnet")},
        {QStringLiteral("claude-3-5-haiku-20241022"), QStringLiteral("Claude 3.5 Haiku")},
        {QStringLiteral("claude-3-opus-20240229"), QStringLiteral("Claude 3 Opus")},
    };
    return models;
}

QList<ClaudeModel> claudeModelsToShow(const QList<ClaudeModel>& fetched) {
    return fetched.isEmpty() ? builtInClaudeModels() : fetched;
}

namespace {

QString claudeDisplayName(const QString& id) {
    for (const auto& m : builtInClaudeModels())
        if (m.id == id) return m.displayName;
    static const QRegularExpression dateSuffix(QStringLiteral("-\\d{8}$"));
    static const QRegularExpression claudePrefix(QStringLiteral("^claude-"));
    QString rest = id;
    rest.remove(dateSuffix);
    rest.remove(claudePrefix);
    QStringList words;
    for (const QString& piece : rest.split(QLatin1Char('-'), Qt::SkipEmptyParts)) {
        bool isInteger = false;
        piece.toLongLong(&isInteger);
        words.append(isInteger ? piece : piece.left(1).toUpper() + piece.mid(1));
    }
    return words.join(QLatin1Char(' '));
}

}  // namespace

QString modelDisplayName(const QString& modelID) {
    const qsizetype slash = modelID.indexOf(QLatin1Char('/'));
    if (slash <= 0 || slash == modelID.size() - 1) return modelID;
    const QString provider = modelID.left(slash);
    const QString model = modelID.mid(slash + 1);
    if (provider == QLatin1String("claude")) return QStringLiteral("Claude · ") + claudeDisplayName(model);
    if (provider == QLatin1String("ollama")) return QStringLiteral("Ollama · ") + model;
    return provider + QStringLiteral(" · ") + model;
}

Parsed<QStringList> parseOllamaTags(const QByteArray& body) {
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QJsonValue models = doc.object().value(QLatin1String("models"));
    if (!doc.isObject() || !models.isArray()) return QStringLiteral("Unexpected response from Ollama.");
    QStringList names;
    for (const QJsonValue& m : models.toArray()) {
        const QJsonValue name = m.toObject().value(QLatin1String("name"));
        if (name.isString()) names.append(name.toString());
    }
    return names;
}

Parsed<QList<ClaudeModel>> parseClaudeModels(const QByteArray& body) {
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QJsonValue data = doc.object().value(QLatin1String("data"));
    if (!doc.isObject() || !data.isArray()) return QStringLiteral("Unexpected response format from Anthropic.");
    QList<ClaudeModel> models;
    for (const QJsonValue& m : data.toArray()) {
        const QJsonObject o = m.toObject();
        const QJsonValue id = o.value(QLatin1String("id"));
        const QJsonValue name = o.value(QLatin1String("display_name"));
        if (id.isString() && name.isString()) models.append({id.toString(), name.toString()});
    }
    return models;
}

std::optional<QString> replacementClaudeModel(const QString& stored, const QList<ClaudeModel>& offered) {
    if (offered.isEmpty()) return std::nullopt;
    for (const auto& m : offered)
        if (m.id == stored) return std::nullopt;
    for (const auto& m : offered)
        if (m.id.toLower().contains(QLatin1String("sonnet"))) return m.id;
    return offered.front().id;
}

}  // namespace lumenote
