#pragma once

// The spoken languages Whisper models know, by the codes of their language tokens, and the
// "transcriptionLanguage" choice: "auto" (detected on the first window) or one of the codes.

#include <QList>
#include <QString>

#include <optional>

namespace lumenote {

struct TranscriptionLanguage {
    QString code;  // "en", "de", "yue", ...
    QString name;  // English name: "English", "German", "Cantonese", ...
};

// Every language of the multilingual checkpoints, in the models' token order.
const QList<TranscriptionLanguage>& transcriptionLanguages();

inline const QString kAutomaticLanguage = QStringLiteral("auto");

// "auto" or a known code, trimmed and in lower case; none for anything else.
std::optional<QString> parseTranscriptionLanguage(const QString& text);

// The English name of a code ("de" -> "German"); the code itself when unknown.
QString transcriptionLanguageName(const QString& code);

}  // namespace lumenote
