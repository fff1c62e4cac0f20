#include "consolidation/ConsolidationError.h"

namespace lumenote {

QString ConsolidationError::describe(Kind kind, const QString& message) {
    switch (kind) {
    case Kind::NetworkError:
        return QStringLiteral("Network error: ") + message;
    case Kind::ApiError:
        return message;
    case Kind::EmptyTranscript:
        return QStringLiteral("The transcript is empty — nothing to consolidate.");
    case Kind::MissingAPIKey:
        return QStringLiteral("No Claude API key found. Add your key in Settings → Consolidation.");
    case Kind::MissingOllamaModel:
        return QStringLiteral("No Ollama model selected. Choose a model in Settings → Consolidation.");
    case Kind::InvalidOllamaEndpoint:
        return QStringLiteral("The Ollama endpoint URL is invalid.");
    case Kind::UnexpectedResponse:
        return QStringLiteral("The LLM returned an unrecognisable response format.");
    case Kind::Cancelled:
        return QStringLiteral("Consolidation was cancelled.");
    }
    return message;
}

}  // namespace lumenote
