#pragma once

// The engine's data types: decoding options, per-window decoding results, transcription results
// with segments and word timings, progress records and timings.
//
// Times are 32-bit float seconds; `seek` values are sample offsets at 16 kHz.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumenote::engine {

constexpr int kSampleRate = 16000;
constexpr int kWindowSamples = 30 * kSampleRate;  // one 30 s model window
constexpr int kSamplesPerEncoderFrame = 320;       // 20 ms per encoder frame
constexpr float kTimePrecision = 0.02f;            // seconds per timestamp token step

enum class DecodingTask { transcribe, translate };

enum class ChunkingStrategy { none, vad };

// Options for one transcription. Defaults are what a caller gets by passing `DecodingOptions{}`.
struct DecodingOptions {
    bool verbose = false;
    DecodingTask task = DecodingTask::transcribe;
    // Language code such as "en" or "de"; none means detected (with detectLanguage) or English.
    // Detection runs on the first window and the whole transcription keeps its language.
    std::optional<std::string> language;
    float temperature = 0.0f;
    float temperatureIncrementOnFallback = 0.2f;
    int64_t temperatureFallbackCount = 5;
    int64_t sampleLength = 224;  // maximum tokens sampled per window
    int64_t topK = 5;
    bool usePrefillPrompt = true;
    bool usePrefillCache = true;
    // Not given means the opposite of usePrefillPrompt.
    std::optional<bool> detectLanguage;
    bool skipSpecialTokens = false;
    bool withoutTimestamps = false;
    bool wordTimestamps = false;
    // Latest time the first timestamp of a window may name, in seconds; none allows any.
    std::optional<float> maxInitialTimestamp = 1.0f;
    std::optional<int64_t> maxWindowSeek;  // sample index where transcription stops
    std::vector<float> clipTimestamps;     // seconds: start, end, start, end, ...
    float windowClipTime = 1.0f;           // a trailing remainder shorter than this is not decoded
    std::optional<std::vector<int>> promptTokens;
    std::optional<std::vector<int>> prefixTokens;
    bool suppressBlank = false;
    // Tokens never sampled (sic: the established name of this option) and tokens not sampled
    // first. Not given means the model's own lists from generation_config.json; a given list,
    // even an empty one, replaces them.
    std::optional<std::vector<int>> supressTokens;
    std::optional<std::vector<int>> beginSuppressTokens;
    std::optional<float> compressionRatioThreshold = 2.4f;
    std::optional<float> logProbThreshold = -1.0f;
    std::optional<float> firstTokenLogProbThreshold = -1.5f;
    // A window is silence when the no-speech probability exceeds noSpeechThreshold while the
    // average log-probability stays below logProbThreshold: it yields no segment.
    std::optional<float> noSpeechThreshold = 0.6f;
    // A window whose text repeats one phrase at least this many times in a row is a failed
    // attempt, like a high compression ratio; none turns the guard off.
    std::optional<int> repetitionThreshold = 5;
    // A window in which no 0.1 s frame reaches this RMS level (about -50 dBFS by default) is
    // silence: it is skipped before the encoder runs. None sends every window to the model.
    std::optional<float> silentWindowEnergy = 0.003f;
    // Kept for callers that set it; chunks share one model here and run one after another.
    int64_t concurrentWorkerCount = 16;
    std::optional<ChunkingStrategy> chunkingStrategy;

    bool effectiveDetectLanguage() const { return detectLanguage.value_or(!usePrefillPrompt); }
};

// Wall-clock seconds and counters of a transcription (the counters are whole numbers stored as
// doubles). Accumulated over all windows of a call.
struct TranscriptionTimings {
    double pipelineStart = 0;       // seconds since the epoch when transcribe() began
    double firstTokenTime = 0;      // seconds from pipelineStart to the first sampled token
    double inputAudioSeconds = 0;   // duration of the input audio
    double modelLoading = 0;        // engine creation: all of loading
    double prewarmLoadTime = 0;
    double encoderLoadTime = 0;
    double decoderLoadTime = 0;
    double encoderSpecializationTime = 0;
    double decoderSpecializationTime = 0;
    double tokenizerLoadTime = 0;
    double audioLoading = 0;        // reading and resampling the file
    double audioProcessing = 0;     // cutting windows and padding
    double logmels = 0;
    double encoding = 0;
    double prefill = 0;             // prompt cache, one batched pass per window
    double decodingInit = 0;
    double decodingLoop = 0;        // everything inside the per-window decoding loops
    double decodingPredictions = 0; // decoder forward passes
    double decodingFiltering = 0;   // logits filters
    double decodingSampling = 0;
    double decodingFallback = 0;    // fallback decisions, compression ratio
    double decodingWindowing = 0;   // segment seeking
    double decodingKvCaching = 0;   // cross-attention keys and values per window
    double decodingWordTimestamps = 0;
    double decodingNonPrediction = 0;
    double totalAudioProcessingRuns = 0;
    double totalLogmelRuns = 0;
    double totalEncodingRuns = 0;
    double totalDecodingLoops = 0;  // decoding steps
    double totalKVUpdateRuns = 0;
    double totalTimestampAlignmentRuns = 0;
    double totalDecodingFallbacks = 0;
    double totalDecodingWindows = 0;
    double fullPipeline = 0;

    // The "---- Transcription Timings ----" block printed at the end of a verbose run.
    std::string report() const;
};

struct WordTiming {
    std::string word;  // with its leading space
    std::vector<int> tokens;
    float start = 0;
    float end = 0;
    float probability = 0;
};

struct TranscriptionSegment {
    int64_t id = 0;
    int64_t seek = 0;  // sample offset of the window the segment came from
    float start = 0;
    float end = 0;
    std::string text;
    std::vector<int> tokens;
    std::vector<std::map<int, float>> tokenLogProbs;
    float temperature = 0;
    float avgLogprob = 0;
    float compressionRatio = 0;
    float noSpeechProb = 0;
    std::optional<std::vector<WordTiming>> words;
};

struct TranscriptionResult {
    std::string text;
    std::vector<TranscriptionSegment> segments;
    std::string language;
    TranscriptionTimings timings;
    std::optional<float> seekTime;  // where this result's audio starts, in seconds (chunking)
};

struct DecodingFallback {
    bool needsFallback = false;
    std::string fallbackReason;  // "silence", "repetition", "compressionRatioThreshold", ...
};

// What the decoder recorded for word timings: for each sampled token (in order, the end token
// included), the alignment heads' cross-attention weights when that token was predicted,
// `heads` x `frames` floats per row.
struct DecodingCache {
    std::vector<float> alignmentWeights;
    int rows = 0;
    int heads = 0;
    int frames = 0;
};

// One window's decoding.
struct DecodingResult {
    std::string language;
    std::map<std::string, float> languageProbs;
    std::vector<int> tokens;                          // sampled tokens, the end token excluded
    std::vector<std::map<int, float>> tokenLogProbs;  // one entry {token: logprob} per token
    std::string text;
    float avgLogProb = 0;
    float noSpeechProb = 0;
    float temperature = 0;
    float compressionRatio = 0;
    std::optional<DecodingCache> cache;
    TranscriptionTimings timings;
    std::optional<DecodingFallback> fallback;
};

// Passed to the progress callback after every decoding step.
struct TranscriptionProgress {
    TranscriptionTimings timings;
    std::string text;          // the current window's text so far
    std::vector<int> tokens;   // the current window's tokens so far, prompt included
    std::optional<float> temperature;
    std::optional<float> avgLogprob;
    std::optional<float> compressionRatio;
    int64_t windowId = 0;      // index of the 30 s window being decoded
};

// Called on the transcribing thread. Returning false stops the transcription early (what was
// decoded so far is kept); true or nothing continues.
using TranscriptionCallback = std::function<std::optional<bool>(const TranscriptionProgress&)>;

}  // namespace lumenote::engine
