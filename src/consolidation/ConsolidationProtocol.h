#pragma once

// The pure rules of a consolidation run: the texts sent to the model, the
// request bodies, how one streamed line is read for each backend, the progress
// estimate and the summary of the result. No network, no settings, no state.

#include "core/ConsolidationMode.h"
#include "core/TranscriptModel.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <optional>

namespace lumenote::consolidation {

inline constexpr auto kAnthropicVersion = "2023-06-01";
inline constexpr int kClaudeMaxTokens = 8192;
inline const QString kDefaultAnthropicURL = QStringLiteral("https://api.anthropic.com");

// The segments' texts in order, joined with one space.
QString transcriptText(const Transcript& segments);

// Characters as a reader counts them (code points, so an emoji is one).
qsizetype characterCount(QStringView text);

// "Here is the transcript from a lecture titled "<title>":\n\n<transcript>"
QString userMessage(const QString& title, const QString& transcript);

// The streaming estimate: the reply is expected to be about 30 % of the
// transcript (at least 200 characters); it never passes 0.95 before the end.
double streamingProgress(qsizetype transcriptCharacters, qsizetype receivedCharacters);

QByteArray claudeRequestBody(const QString& model, const QString& systemPrompt, const QString& userMessage);
QByteArray ollamaRequestBody(const QString& model, const QString& systemPrompt, const QString& userMessage);

// What one body line contributes.
struct StreamLine {
    std::optional<QString> text;  // a piece of the reply (may be empty for Ollama)
    bool endOfStream = false;     // stop reading after this line
};

// Server-sent events: only "data: " lines count; "[DONE]" ends the stream; any
// payload with a non-empty delta.text contributes, whatever its event type.
StreamLine parseClaudeLine(QByteArrayView line);
// Newline-delimited JSON: message.content contributes (even empty), and a line
// that carries it together with "done": true ends the stream.
StreamLine parseOllamaLine(QByteArrayView line);

// An error body's lines joined without separators.
QString joinedBodyLines(const QByteArray& body);
// `text` with every occurrence of the API key replaced by "[API key]": a
// server or proxy that echoes the key must not put it into an error text.
QString withoutAPIKey(QString text, const QString& key);

// Lines of the result that are not empty (split at "\n").
int countNonEmptyLines(const QString& text);

// The Ollama base address after trimming; none when it is not an http(s)
// address with a host.
std::optional<QUrl> parseEndpoint(const QString& raw);
// base + "/" + component, keeping the base's own path ("http://h/ollama" ->
// "http://h/ollama/api/chat").
QUrl appendingPath(const QUrl& base, const QString& component);

// The Anthropic API's base address: LUMENOTE_ANTHROPIC_URL when set, read at
// call time.
QUrl anthropicBaseURL();

// The value stored in Lecture::consolidatedWithModelID for the given choice:
// "claude/" + Claude model id, "ollama/" + Ollama model name; none when Ollama
// is chosen without a model.
std::optional<QString> consolidatedModelID(ConsolidationProvider provider, const QString& claudeModel, const QString& ollamaModel);

}  // namespace lumenote::consolidation
