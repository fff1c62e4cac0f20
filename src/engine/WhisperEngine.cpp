#include "engine/WhisperEngine.h"

#include <chrono>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "engine/AudioProcessor.h"

namespace lumenote::engine {

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double epochSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string formatTime(float seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", double(seconds));
    return buf;
}

}  // namespace

std::string TranscriptionTimings::report() const {
    std::ostringstream o;
    const auto line = [&](const char* name, double seconds, double runs) {
        char buf[160];
        if (runs > 0) {
            std::snprintf(buf, sizeof buf, "%-28s %10.2f ms / %6.0f runs (%8.2f ms/run)", name, seconds * 1000, runs,
                          seconds * 1000 / runs);
        } else {
            std::snprintf(buf, sizeof buf, "%-28s %10.2f ms", name, seconds * 1000);
        }
        o << buf << "\n";
    };
    o << "---- Transcription Timings ----\n";
    line("Audio Load:", audioLoading, 0);
    line("Audio Processing:", audioProcessing, totalAudioProcessingRuns);
    line("Mels:", logmels, totalLogmelRuns);
    line("Encoding:", encoding, totalEncodingRuns);
    line("Prefill:", prefill, 0);
    line("Decoding Loop:", decodingLoop, totalDecodingLoops);
    line("- Predictions:", decodingPredictions, totalDecodingLoops);
    line("- Filtering:", decodingFiltering, totalDecodingLoops);
    line("- Sampling:", decodingSampling, totalDecodingLoops);
    line("- Fallbacks:", decodingFallback, totalDecodingFallbacks);
    line("- Windowing:", decodingWindowing, totalDecodingWindows);
    line("- KV Caching:", decodingKvCaching, totalKVUpdateRuns);
    line("- Word Timestamps:", decodingWordTimestamps, totalTimestampAlignmentRuns);
    line("Model Load:", modelLoading, 0);
    line("Full Pipeline:", fullPipeline, 0);
    char buf[96];
    const double rtf = inputAudioSeconds > 0 ? fullPipeline / inputAudioSeconds : 0;
    std::snprintf(buf, sizeof buf, "Real-time factor: %.4f (%.2f s of audio)", rtf, inputAudioSeconds);
    o << buf << "\n";
    return o.str();
}

// ---- Transcriber ----

Transcriber::Transcriber(SpeechModel& model, const WhisperTokenizer& tokenizer, const SegmentSeeker& seeker, LogSink log)
    : model_(model), tokenizer_(tokenizer), seeker_(seeker), log_(std::move(log)) {}

TranscriptionResult Transcriber::run(std::span<const float> audio, const DecodingOptions& options,
                                     const TranscriptionCallback& callback, bool& stopped,
                                     TranscriptionTimings timings) {
    stopped = false;
    const auto pipelineStart = Clock::now();
    if (timings.pipelineStart == 0) timings.pipelineStart = epochSeconds();
    timings.inputAudioSeconds += double(audio.size()) / kSampleRate;
    const auto logLine = [&](const std::string& s) {
        if (log_) log_(s);
    };
    TextDecoder decoder(model_, tokenizer_, log_);
    decoder.setExtraFilters(extraFilters_);
    decoder.setModelSuppression(suppressTokens_, beginSuppressTokens_);

    // Seek clips in samples: [start, end) pairs from clipTimestamps, the whole audio by default.
    const int64_t total = int64_t(audio.size());
    int64_t limit = total;
    if (options.maxWindowSeek) limit = std::clamp<int64_t>(*options.maxWindowSeek, 0, total);
    std::vector<std::pair<int64_t, int64_t>> clips;
    if (options.clipTimestamps.empty()) {
        clips.emplace_back(0, limit);
    } else {
        for (size_t i = 0; i < options.clipTimestamps.size(); i += 2) {
            const int64_t a = std::clamp<int64_t>(int64_t(std::lround(options.clipTimestamps[i] * kSampleRate)), 0, limit);
            const int64_t b = i + 1 < options.clipTimestamps.size()
                                  ? std::clamp<int64_t>(int64_t(std::lround(options.clipTimestamps[i + 1] * kSampleRate)), 0, limit)
                                  : limit;
            if (b > a) clips.emplace_back(a, b);
        }
    }

    TranscriptionResult result;
    std::optional<std::string> language = options.language;
    bool detect = options.effectiveDetectLanguage();
    if (language) {
        for (char& c : *language) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (*language == "auto") {
            language.reset();
            detect = true;
        }
    }
    std::map<std::string, float> languageProbs;
    if (!tokenizer_.isMultilingual()) {
        if (language && *language != "en") {
            throw WhisperError("This model understands English only and cannot transcribe the language \"" +
                               *language + "\"; choose a multilingual model");
        }
        language = "en";
    } else if (language && !tokenizer_.tokenToId("<|" + *language + "|>")) {
        throw WhisperError("Unknown language \"" + *language + "\" for this model");
    }
    int64_t windowId = 0;
    const int64_t clipTail = int64_t(std::max(0.0f, options.windowClipTime) * kSampleRate);
    model_.setRecordAlignment(options.wordTimestamps);
    // The previous-text prompt is dropped for good once a window needed a high temperature, so
    // one hallucination does not seed the next window.
    DecodingOptions windowOptions = options;
    std::optional<EnergyVAD> silenceDetector;
    if (options.silentWindowEnergy) silenceDetector.emplace(kSampleRate, kSampleRate / 10, 0, *options.silentWindowEnergy);

    for (const auto& [clipStart, clipEnd] : clips) {
        int64_t seek = clipStart;
        while (seek < clipEnd && !stopped) {
            const int64_t remaining = clipEnd - seek;
            // A short tail after earlier windows is not worth a window of its own.
            if (seek > clipStart && remaining < clipTail) break;
            auto t0 = Clock::now();
            const int64_t windowSamples = std::min<int64_t>(kWindowSamples, remaining);
            const std::span<const float> window = audio.subspan(size_t(seek), size_t(windowSamples));
            timings.audioProcessing += since(t0);
            timings.totalAudioProcessingRuns += 1;
            if (silenceDetector) {
                const std::vector<bool> active = silenceDetector->voiceActivity(window);
                if (std::none_of(active.begin(), active.end(), [](bool a) { return a; })) {
                    // Nothing audible: no encoder pass and no segment; the caller still
                    // hears that the window went by.
                    if (callback) {
                        TranscriptionProgress progress;
                        progress.timings = timings;
                        progress.windowId = windowId;
                        const std::optional<bool> go = callback(progress);
                        stopped = go.has_value() && !*go;
                    }
                    seek += windowSamples;
                    timings.totalDecodingWindows += 1;
                    ++windowId;
                    continue;
                }
            }

            const EncodeTimings et = model_.encodeWindow(window);
            timings.logmels += et.logmel;
            timings.encoding += et.encoder;
            timings.decodingKvCaching += et.crossKv;
            timings.totalLogmelRuns += 1;
            timings.totalEncodingRuns += 1;

            if (!language) {
                if (detect) {
                    auto [code, probs] = decoder.detectLanguage(timings);
                    language = code;
                    languageProbs = std::move(probs);
                } else {
                    language = "en";
                }
            }
            t0 = Clock::now();
            DecodingPrompt prompt = decoder.buildPrompt(windowOptions, *language);
            prompt.languageProbs = languageProbs;
            timings.decodingInit += since(t0);

            bool windowStopped = false;
            DecodingResult decoded = decoder.decodeWithFallback(prompt, options, windowId, callback, timings, windowStopped);
            stopped = windowStopped;
            if (decoded.temperature > 0.5f) windowOptions.promptTokens.reset();
            if (!stopped && decoded.fallback && decoded.fallback->fallbackReason == "silence") {
                seek += windowSamples;
                timings.totalDecodingWindows += 1;
                ++windowId;
                continue;
            }

            t0 = Clock::now();
            SeekResult sr = seeker_.findSeekPointAndSegments(decoded, tokenizer_, options, seek, windowSamples,
                                                             int64_t(result.segments.size()));
            timings.decodingWindowing += since(t0);
            if (options.wordTimestamps) {
                t0 = Clock::now();
                seeker_.addWordTimestamps(sr.segments, decoded, tokenizer_, seek);
                timings.decodingWordTimestamps += since(t0);
                timings.totalTimestampAlignmentRuns += 1;
            }
            if (log_) {
                for (const auto& s : sr.segments) {
                    logLine("[" + formatTime(s.start) + " --> " + formatTime(s.end) + "] " + s.text);
                }
            }
            for (auto& s : sr.segments) result.segments.push_back(std::move(s));
            timings.totalDecodingWindows += 1;
            seek = std::max(sr.seek, seek + 1);
            ++windowId;
        }
        if (stopped) break;
    }
    for (const auto& s : result.segments) result.text += s.text;
    result.language = language.value_or("en");
    timings.fullPipeline += since(pipelineStart);
    result.timings = timings;
    if (log_) logLine(timings.report());
    return result;
}

// ---- WhisperEngine ----

WhisperEngine::WhisperEngine(WhisperEngineConfig config) : config_(std::move(config)) {
    seeker_ = config_.segmentSeeker ? config_.segmentSeeker : std::make_shared<SegmentSeeker>();
    if (config_.load.value_or(true)) loadModels();
}

WhisperEngine::~WhisperEngine() = default;

void WhisperEngine::log(const std::string& line) const {
    if (config_.logSink) config_.logSink(line);
    else std::cout << "[WhisperEngine] " << line << std::endl;
}

bool WhisperEngine::isLoaded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return model_ != nullptr && tokenizer_ != nullptr;
}

void WhisperEngine::loadModels() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (model_ && tokenizer_) return;
    const auto start = Clock::now();
    if (!config_.modelFolder) throw WhisperError("Model folder is not set.");
    const std::string folder = *config_.modelFolder;
    const bool chatty = config_.verbose;
    if (chatty) log("Loading models from " + folder);
    const std::string tokFolder = config_.tokenizerFolder.value_or(folder);

    if (config_.speechModel) {
        model_ = config_.speechModel;
        ownModel_ = nullptr;
        modelConfig_ = std::filesystem::exists(std::filesystem::path(folder) / "config.json")
                           ? WhisperModelConfig::load(folder)
                           : WhisperModelConfig{};
        modelConfig_.vocabSize = model_->vocabularySize();
    } else {
        if (!std::filesystem::is_directory(folder)) throw WhisperError("Models are unavailable: " + folder + " is not a folder");
        if (chatty) log("Loading audio encoder");
        auto loaded = WhisperModel::load(folder, config_.computeOptions.value_or(ModelComputeOptions{}));
        modelConfig_ = loaded->config();
        ownModel_ = loaded.get();
        model_ = std::shared_ptr<SpeechModel>(std::move(loaded));
        if (chatty) log("Loaded feature extractor");
    }
    loadTimings_.encoderLoadTime = since(start);
    const auto tokStart = Clock::now();
    tokenizer_ = std::make_unique<WhisperTokenizer>(WhisperTokenizer::load(tokFolder, model_->vocabularySize()));
    if (modelConfig_.isMultilingual) tokenizer_->setMultilingual(*modelConfig_.isMultilingual);
    loadTimings_.tokenizerLoadTime = since(tokStart);
    if (chatty) log("Loaded tokenizer");
    if (config_.prewarm.value_or(false)) {
        // One silent window and one decoder step: pages every weight in before real work.
        const auto t0 = Clock::now();
        const std::vector<float> silence(kSampleRate, 0.0f);
        model_->encodeWindow(silence);
        std::vector<float> logits(static_cast<size_t>(model_->vocabularySize()));
        const int sot = tokenizer_->specialTokens().startOfTranscriptToken;
        model_->decode(std::span<const int>(&sot, 1), 0, logits);
        loadTimings_.prewarmLoadTime = since(t0);
    }
    loadTimings_.modelLoading = since(start);
}

const WhisperTokenizer& WhisperEngine::tokenizer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tokenizer_) throw WhisperError("Models are unavailable");
    return *tokenizer_;
}

const WhisperModelConfig& WhisperEngine::modelConfig() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!model_) throw WhisperError("Models are unavailable");
    return modelConfig_;
}

std::vector<TranscriptionResult> WhisperEngine::transcribe(const std::string& audioPath, const DecodingOptions& options,
                                                           const TranscriptionCallback& callback) {
    if (!isLoaded()) loadModels();
    const auto t0 = Clock::now();
    const std::vector<float> samples = loadAudioFile(audioPath);
    const double loading = since(t0);
    std::lock_guard<std::mutex> lock(mutex_);
    return transcribeLocked(samples, options, callback, loading);
}

std::vector<TranscriptionResult> WhisperEngine::transcribe(std::span<const float> samples, const DecodingOptions& options,
                                                           const TranscriptionCallback& callback) {
    if (!isLoaded()) loadModels();
    std::lock_guard<std::mutex> lock(mutex_);
    return transcribeLocked(samples, options, callback, 0);
}

std::vector<TranscriptionResult> WhisperEngine::transcribe(const std::vector<std::vector<float>>& audioArrays,
                                                           const std::vector<DecodingOptions>& options,
                                                           const TranscriptionCallback& callback) {
    if (audioArrays.size() != options.size()) {
        throw WhisperError("The number of audio arrays and decoding options must be balanced.");
    }
    if (!isLoaded()) loadModels();
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TranscriptionResult> out;
    for (size_t i = 0; i < audioArrays.size(); ++i) {
        auto r = transcribeLocked(audioArrays[i], options[i], callback, 0);
        for (auto& x : r) out.push_back(std::move(x));
    }
    return out;
}

std::vector<TranscriptionResult> WhisperEngine::transcribeLocked(std::span<const float> samples,
                                                                 const DecodingOptions& options,
                                                                 const TranscriptionCallback& callback,
                                                                 double audioLoading) {
    if (!model_ || !tokenizer_) throw WhisperError("Models are unavailable");
    const LogSink sink = [this](const std::string& line) { log(line); };
    const bool chatty = options.verbose || config_.verbose;
    Transcriber transcriber(*model_, *tokenizer_, *seeker_, chatty ? sink : LogSink{});
    transcriber.setExtraFilters(config_.logitsFilters);
    transcriber.setModelSuppression(modelConfig_.suppressTokens, modelConfig_.beginSuppressTokens);
    TranscriptionTimings base = loadTimings_;
    base.audioLoading = audioLoading;
    base.pipelineStart = epochSeconds();

    std::vector<TranscriptionResult> results;
    bool stopped = false;
    if (options.chunkingStrategy == ChunkingStrategy::vad) {
        VADAudioChunker chunker(kSampleRate, config_.voiceActivityDetector);
        for (const AudioChunk& chunk : chunker.chunkAll(samples)) {
            TranscriptionResult r = transcriber.run(chunk.audioSamples, options, callback, stopped, base);
            const float offset = float(chunk.seekOffsetIndex) / kSampleRate;
            for (auto& s : r.segments) {
                s.seek += chunk.seekOffsetIndex;
                s.start += offset;
                s.end += offset;
                if (s.words) {
                    for (auto& w : *s.words) {
                        w.start += offset;
                        w.end += offset;
                    }
                }
            }
            r.seekTime = offset;
            results.push_back(std::move(r));
            if (stopped) break;
        }
    } else {
        results.push_back(transcriber.run(samples, options, callback, stopped, base));
    }
    return results;
}

}  // namespace lumenote::engine
