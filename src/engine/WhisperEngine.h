#pragma once

// WhisperEngine: on-device speech recognition with Whisper models.
//
// Usage (from one worker thread; calls are serialised, the callback runs on that thread):
//
//   using namespace lumenote::engine;
//   WhisperEngineConfig config;
//   config.modelFolder = "/path/to/openai/whisper-small";  // Hugging Face layout: config.json,
//       // generation_config.json, model.safetensors, tokenizer.json or vocab.json + merges.txt
//   WhisperEngine engine(config);                          // loads; throws WhisperError
//   DecodingOptions options;
//   options.wordTimestamps = true;
//   auto results = engine.transcribe("/tmp/lecture.wav", options,
//       [](const TranscriptionProgress& p) -> std::optional<bool> {
//           // p.text: the current window's text so far; p.windowId * 30.0: position in seconds
//           return true;  // false stops early
//       });
//   for (const TranscriptionResult& r : results)
//       for (const TranscriptionSegment& s : r.segments)
//           for (const WordTiming& w : *s.words) ...  // w.word, w.start, w.end
//
// Every failure is a WhisperError whose message names the problem (and the file, for broken
// model or audio files). Models for tests and benchmarks: tools/make-test-model writes a random
// model folder of any published shape or a miniature one.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/LogitsFilters.h"
#include "engine/Models.h"
#include "engine/ModelConfig.h"
#include "engine/SegmentSeeker.h"
#include "engine/SpeechModel.h"
#include "engine/TextDecoder.h"
#include "engine/Tokenizer.h"
#include "engine/VoiceActivityDetector.h"
#include "engine/WhisperError.h"
#include "engine/WhisperModel.h"

namespace lumenote::engine {

// What the engine loads and how. It reads a model folder that is already on disk; finding and
// downloading models is the hub's and the model manager's work.
struct WhisperEngineConfig {
    std::optional<std::string> modelFolder;      // the model's files
    std::optional<std::string> tokenizerFolder;  // defaults to modelFolder
    std::optional<ModelComputeOptions> computeOptions;
    // Replaceable components. `speechModel` stands for the feature extractor, audio encoder and
    // text decoder together (tests drive the engine with scripted logits through it).
    std::shared_ptr<SpeechModel> speechModel;
    std::vector<std::shared_ptr<LogitsFilter>> logitsFilters;  // run after the built-in filters
    std::shared_ptr<SegmentSeeker> segmentSeeker;
    std::shared_ptr<VoiceActivityDetector> voiceActivityDetector;
    // Log lines for loading and for every transcription (DecodingOptions::verbose asks for one).
    bool verbose = false;
    std::optional<bool> prewarm;  // run one silent window after loading
    std::optional<bool> load;     // load at creation (default true)
    // Where log lines go; standard output with a "[WhisperEngine]" tag when unset.
    std::function<void(const std::string&)> logSink;
};

// The transcription loop over 30 s windows, on any SpeechModel.
class Transcriber {
public:
    Transcriber(SpeechModel& model, const WhisperTokenizer& tokenizer, const SegmentSeeker& seeker, LogSink log = {});
    void setExtraFilters(std::vector<std::shared_ptr<LogitsFilter>> filters) { extraFilters_ = std::move(filters); }
    // The model's suppress_tokens and begin_suppress_tokens, used when the options give none.
    void setModelSuppression(std::vector<int> suppressTokens, std::vector<int> beginSuppressTokens) {
        suppressTokens_ = std::move(suppressTokens);
        beginSuppressTokens_ = std::move(beginSuppressTokens);
    }

    // Transcribes 16 kHz mono samples. `stopped` is set when the callback ended it early.
    TranscriptionResult run(std::span<const float> audio, const DecodingOptions& options,
                            const TranscriptionCallback& callback, bool& stopped,
                            TranscriptionTimings timings = {});

private:
    SpeechModel& model_;
    const WhisperTokenizer& tokenizer_;
    const SegmentSeeker& seeker_;
    LogSink log_;
    std::vector<std::shared_ptr<LogitsFilter>> extraFilters_;
    std::vector<int> suppressTokens_;
    std::vector<int> beginSuppressTokens_;
};

class WhisperEngine {
public:
    // Loads the model unless config.load is false. Throws WhisperError.
    explicit WhisperEngine(WhisperEngineConfig config);
    ~WhisperEngine();
    WhisperEngine(const WhisperEngine&) = delete;
    WhisperEngine& operator=(const WhisperEngine&) = delete;

    void loadModels();
    bool isLoaded() const;

    // Reads the WAV file (16 kHz mono PCM; float and other rates are converted) and transcribes
    // it. One result, or one per chunk with chunkingStrategy vad.
    std::vector<TranscriptionResult> transcribe(const std::string& audioPath, const DecodingOptions& options = {},
                                                const TranscriptionCallback& callback = {});
    std::vector<TranscriptionResult> transcribe(std::span<const float> samples, const DecodingOptions& options = {},
                                                const TranscriptionCallback& callback = {});
    // One result per array, each with its own options.
    std::vector<TranscriptionResult> transcribe(const std::vector<std::vector<float>>& audioArrays,
                                                const std::vector<DecodingOptions>& options,
                                                const TranscriptionCallback& callback = {});

    const WhisperTokenizer& tokenizer() const;
    const WhisperModelConfig& modelConfig() const;
    const WhisperEngineConfig& config() const { return config_; }
    // The loaded network, when it is this engine's own (not a replaced speechModel).
    WhisperModel* whisperModel() const { return ownModel_; }

private:
    std::vector<TranscriptionResult> transcribeLocked(std::span<const float> samples, const DecodingOptions& options,
                                                      const TranscriptionCallback& callback, double audioLoading);
    void log(const std::string& line) const;

    WhisperEngineConfig config_;
    mutable std::mutex mutex_;
    std::unique_ptr<WhisperTokenizer> tokenizer_;
    WhisperModelConfig modelConfig_;
    std::shared_ptr<SpeechModel> model_;
    WhisperModel* ownModel_ = nullptr;
    std::shared_ptr<SegmentSeeker> seeker_;
    TranscriptionTimings loadTimings_;
};

}  // namespace lumenote::engine
