#include "core/ConsolidationMode.h"

namespace lumenote {

QString providerRawValue(ConsolidationProvider provider) {
    return provider == ConsolidationProvider::Ollama ? QStringLiteral("ollama") : QStringLiteral("claude");
}

ConsolidationProvider parseProvider(const QString& raw) {
    return raw == QLatin1String("ollama") ? ConsolidationProvider::Ollama : ConsolidationProvider::Claude;
}

QString modeRawValue(ConsolidationMode mode) {
    switch (mode) {
    case ConsolidationMode::Off: return QStringLiteral("off");
    case ConsolidationMode::Claude: return QStringLiteral("claude");
    case ConsolidationMode::Ollama: return QStringLiteral("ollama");
    }
    return QStringLiteral("off");
}

std::optional<ConsolidationMode> parseMode(const QString& raw) {
    for (ConsolidationMode m : {ConsolidationMode::Off, ConsolidationMode::Claude, ConsolidationMode::Ollama})
        if (modeRawValue(m) == raw) return m;
    return std::nullopt;
}

}  // namespace lumenote
