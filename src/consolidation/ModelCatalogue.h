#pragma once

// The models a user can pick for consolidation: the built-in Claude catalogue,
// what the Anthropic models endpoint and an Ollama server report, the automatic
// choice when the stored one is missing, and the display name of a stored
// "provider/model" identifier. Pure functions.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace lumenote {

struct ClaudeModel {
    QString id;
    QString displayName;

    bool operator==(const ClaudeModel&) const = default;
};

// Shown whenever no list could be fetched, in this order.
const QList<ClaudeModel>& builtInClaudeModels();

// The fetched list when there is one, else the built-in catalogue.
QList<ClaudeModel> claudeModelsToShow(const QList<ClaudeModel>& fetched);

// "claude/claude-opus-4-1-20250805" -> "Claude · Opus 4 1"; values that are not
// "provider/model" come back unchanged.
QString modelDisplayName(const QString& modelID);

// A parsed discovery response, or the error text to show.
template <typename T>
using Parsed = std::variant<T, QString>;

// GET /api/tags: the names of the installed models in server order.
Parsed<QStringList> parseOllamaTags(const QByteArray& body);
// GET /v1/models: models with both "id" and "display_name", in server order.
Parsed<QList<ClaudeModel>> parseClaudeModels(const QByteArray& body);

// The id to store when the stored Claude model is not offered any more: the
// first whose id contains "sonnet", else the first. None when the stored one is
// offered or the list is empty.
std::optional<QString> replacementClaudeModel(const QString& stored, const QList<ClaudeModel>& offered);

}  // namespace lumenote
