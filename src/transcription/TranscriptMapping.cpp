#include "transcription/TranscriptMapping.h"

#include <QRegularExpression>
#include <QUuid>

#include <algorithm>

namespace lumenote {
namespace {

bool isTrimmed(QChar c) { return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space; }

}  // namespace

QString cleanEngineText(const QString& text) {
    static const QRegularExpression controlToken(QStringLiteral("<\\|[^|>]+\\|>"));
    QString s = text;
    s.remove(controlToken);
    qsizetype begin = 0, end = s.size();
    while (begin < end && isTrimmed(s[begin])) ++begin;
    while (end > begin && isTrimmed(s[end - 1])) --end;
    return s.mid(begin, end - begin);
}

QString cleanEngineText(const std::string& utf8) {
    return cleanEngineText(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

Transcript mapEngineResults(const std::vector<engine::TranscriptionResult>& results) {
    Transcript out;
    for (const auto& result : results) {
        for (const auto& segment : result.segments) {
            const QString text = cleanEngineText(segment.text);
            if (text.isEmpty()) continue;
            QList<WordTimestamp> words;
            if (segment.words) {
                for (const auto& w : *segment.words) {
                    const QString word = cleanEngineText(w.word);
                    if (!word.isEmpty()) words.append(WordTimestamp{word, double(w.start), double(w.end)});
                }
            }
            out.append(TranscriptSegment{QUuid::createUuid(), text, double(segment.start), double(segment.end), words});
        }
    }
    return out;
}

std::optional<double> progressFraction(double position, double duration) {
    if (!(duration > 0)) return std::nullopt;
    return std::min(position / duration, 1.0);
}

engine::DecodingOptions transcriptionDecodingOptions() {
    engine::DecodingOptions o;
    o.verbose = false;
    o.task = engine::DecodingTask::transcribe;
    o.language.reset();
    o.temperature = 0.0f;
    o.temperatureIncrementOnFallback = 0.2f;
    o.temperatureFallbackCount = 5;
    o.sampleLength = 224;
    o.topK = 5;
    o.usePrefillPrompt = true;
    o.usePrefillCache = true;
    o.detectLanguage.reset();
    o.skipSpecialTokens = false;
    o.withoutTimestamps = false;
    o.wordTimestamps = true;
    o.maxInitialTimestamp = 1.0f;
    o.maxWindowSeek.reset();
    o.clipTimestamps.clear();
    o.windowClipTime = 1.0f;
    o.promptTokens.reset();
    o.prefixTokens.reset();
    o.suppressBlank = false;
    o.supressTokens.reset();  // the model's own lists
    o.beginSuppressTokens.reset();
    o.compressionRatioThreshold = 2.4f;
    o.logProbThreshold = -1.0f;
    o.firstTokenLogProbThreshold = -1.5f;
    o.noSpeechThreshold = 0.6f;
    o.chunkingStrategy.reset();
    return o;
}

std::function<void(const QString&, double)> makeUpdateHandler(TranscriptionCallbacks callbacks, double duration) {
    return [callbacks = std::move(callbacks), duration](const QString& text, double position) {
        const QString cleaned = cleanEngineText(text);
        if (callbacks.onLiveText) callbacks.onLiveText(cleaned);
        if (callbacks.onPosition) callbacks.onPosition(position);
        if (const auto fraction = progressFraction(position, duration); fraction && callbacks.onProgress)
            callbacks.onProgress(*fraction);
    };
}

}  // namespace lumenote
