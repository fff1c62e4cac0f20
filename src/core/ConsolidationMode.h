#pragma once

#include <QString>

#include <optional>

namespace lumenote {

enum class ConsolidationProvider { Claude, Ollama };
enum class ConsolidationMode { Off, Claude, Ollama };

// Raw values equal the case names.
QString providerRawValue(ConsolidationProvider provider);
// "ollama" selects Ollama; any other value (also "Ollama") means Claude.
ConsolidationProvider parseProvider(const QString& raw);

QString modeRawValue(ConsolidationMode mode);
std::optional<ConsolidationMode> parseMode(const QString& raw);

}  // namespace lumenote
