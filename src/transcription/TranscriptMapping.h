#pragma once

// The pure part of transcription: cleaning the engine's text, turning its
// results into transcript segments, the progress fraction, and the decoding
// options the application always uses.

#include "core/TranscriptModel.h"
#include "engine/Models.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace lumenote {

// Removes engine control tokens ("<|startoftranscript|>", "<|0.00|>" ...),
// then trims spaces and tabs (not line breaks) from both ends.
QString cleanEngineText(const QString& text);
QString cleanEngineText(const std::string& utf8);

// Segments of every result in order; segments whose cleaned text is empty are
// dropped with their words, and so are words whose cleaned text is empty.
// Every segment gets a new random id.
Transcript mapEngineResults(const std::vector<engine::TranscriptionResult>& results);

// min(position / duration, 1) when the duration is known (> 0).
std::optional<double> progressFraction(double position, double duration);

// Word timestamps on, everything else at the engine's defaults.
engine::DecodingOptions transcriptionDecodingOptions();

struct TranscriptionCallbacks {
    std::function<void(const QString&)> onLiveText;
    std::function<void(double)> onPosition;
    std::function<void(double)> onProgress;
};

// The handler that receives the engine's (text, position) updates on the main
// thread. It owns copies of everything it uses, so updates that arrive after
// the transcription call has returned touch nothing of that call.
std::function<void(const QString& text, double position)> makeUpdateHandler(TranscriptionCallbacks callbacks,
                                                                            double duration);

}  // namespace lumenote
