#pragma once

// Decoding of one 30 s window: the prompt, the sampling loop with logits filters and progress
// callbacks, and the temperature fallback.

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/LogitsFilters.h"
#include "engine/Models.h"
#include "engine/SpeechModel.h"
#include "engine/Tokenizer.h"

namespace lumenote::engine {

using LogSink = std::function<void(const std::string&)>;

struct DecodingPrompt {
    std::vector<int> tokens;
    int sampleBegin = 0;         // == tokens.size()
    int transcriptBegin = 0;     // index of the start-of-transcript token
    std::string language;
    std::map<std::string, float> languageProbs;
};

// The temperatures tried for a window, in half precision as the fallback rule states.
std::vector<float> fallbackTemperatures(const DecodingOptions& options);
// Uncompressed / zlib-compressed size of the text's UTF-8 bytes; 0 for empty text.
float compressionRatio(std::string_view text);
// Softmax probability of `token` in `logits` (0 when the token is outside them).
float tokenProbability(std::span<const float> logits, int token);

// A phrase repeated back to back: `begin` is the index of its first occurrence in `tokens`,
// `length` its token count, `repeats` how many times it occurs in a row.
struct Repetition {
    size_t begin = 0;
    size_t length = 0;
    size_t repeats = 0;
};
// The longest run of one phrase (1 to 32 tokens) repeated at least `minRepeats` times covering
// at least 12 tokens, as a model stuck in a loop writes it. Looks at text tokens only (ids below
// `firstSpecial`), so timestamps between the repeats do not hide the loop; `begin` indexes the
// whole sequence.
std::optional<Repetition> findRepetition(std::span<const int> tokens, int firstSpecial, size_t minRepeats);

class TextDecoder {
public:
    TextDecoder(LogitsSource& model, const WhisperTokenizer& tokenizer, LogSink log = {});

    // Extra filters run after the built-in ones (a replaceable component of the engine).
    void setExtraFilters(std::vector<std::shared_ptr<LogitsFilter>> filters) { extraFilters_ = std::move(filters); }
    // The model's own suppression lists (generation_config.json), used when the options give none.
    void setModelSuppression(std::vector<int> suppressTokens, std::vector<int> beginSuppressTokens);

    // Runs the decoder on the start-of-transcript token alone and picks the most likely
    // language token. Needs a window already encoded.
    std::pair<std::string, std::map<std::string, float>> detectLanguage(TranscriptionTimings& timings);

    // The window's prompt: previous-text prompt, start of transcript, language and task,
    // no-timestamps when asked, prefix tokens. `language` is a code such as "en".
    DecodingPrompt buildPrompt(const DecodingOptions& options, const std::string& language) const;

    // Decodes the encoded window with temperature fallback. Sets `stopped` when the callback
    // asked to stop; the result then holds what was decoded until then.
    DecodingResult decodeWithFallback(const DecodingPrompt& prompt, const DecodingOptions& options,
                                      int64_t windowId, const TranscriptionCallback& callback,
                                      TranscriptionTimings& timings, bool& stopped);

private:
    DecodingResult decodeAttempt(const DecodingPrompt& prompt, const DecodingOptions& options, float temperature,
                                 uint64_t seed, int64_t windowId, const TranscriptionCallback& callback,
                                 TranscriptionTimings& timings, bool& stopped, float& firstTokenLogProb,
                                 float noSpeechProb);
    void applyFilters(std::span<float> logits, const std::vector<int>& tokens) const;
    void log(const std::string& line) const;

    LogitsSource& model_;
    const WhisperTokenizer& tokenizer_;
    LogSink log_;
    std::vector<std::shared_ptr<LogitsFilter>> extraFilters_;
    std::vector<std::unique_ptr<LogitsFilter>> filters_;  // built per window
    std::vector<int> alwaysSuppressed_;                    // control tokens, never sampled
    std::vector<int> modelSuppress_;
    std::vector<int> modelBeginSuppress_;
    std::vector<float> promptLogits_;
    std::vector<float> logits_;
};

}  // namespace lumenote::engine
