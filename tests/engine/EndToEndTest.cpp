// transcribe() on a miniature random model written by the test-model tool: the result's
// structure, the callback, reduced precision, and calls from several threads.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <thread>

#include "EngineTestSupport.h"
#include "engine/AudioProcessor.h"
#include "engine/WhisperEngine.h"

namespace lumenote::engine {
namespace {

using testing::freshDir;

std::string miniModel(DType dtype, testmodel::TokenizerFormat format) {
    const std::string dir = freshDir("mini");
    testmodel::TestModelSpec spec;
    spec.dtype = dtype;
    spec.tokenizerFormat = format;
    testmodel::writeModelFolder(dir, spec);
    return dir;
}

// 45 s of tones and noise bursts as a 16 kHz mono 16-bit WAV file.
std::string lectureWav() {
    std::vector<float> x(45 * 16000);
    uint32_t seed = 12345;
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / 16000.0;
        seed = seed * 1664525u + 1013904223u;
        const double noise = (double(seed >> 8) / double(1 << 24) - 0.5) * 0.1;
        const double voiced = std::fmod(t, 3.0) < 2.0 ? 0.3 * std::sin(2 * M_PI * (180 + 40 * std::sin(t)) * t) : 0.0;
        x[i] = float(voiced + noise);
    }
    const std::string path = freshDir("audio") + "/lecture.wav";
    testing::writeBytes(path, encodeWav16(x, 16000));
    return path;
}

struct TranscriptionRun {
    std::vector<TranscriptionResult> results;
    std::vector<int64_t> windowIds;
    std::vector<std::string> texts;
};

TranscriptionRun transcribe(WhisperEngine& engine, const std::string& wav) {
    TranscriptionRun run;
    DecodingOptions options;
    options.wordTimestamps = true;
    options.temperatureFallbackCount = 1;  // random weights fall back on every window; keep it short
    options.sampleLength = 64;
    run.results = engine.transcribe(wav, options, [&](const TranscriptionProgress& p) -> std::optional<bool> {
        run.windowIds.push_back(p.windowId);
        run.texts.push_back(p.text);
        return std::nullopt;
    });
    return run;
}

void checkStructure(const TranscriptionRun& run) {
    ASSERT_EQ(run.results.size(), 1u);
    const TranscriptionResult& r = run.results[0];
    const int windows = int(r.timings.totalDecodingWindows);
    EXPECT_GE(windows, 2);  // 45 s never fits one window
    // Callbacks: every step, window ids from 0 counting up by one.
    ASSERT_FALSE(run.windowIds.empty());
    EXPECT_EQ(run.windowIds.front(), 0);
    EXPECT_EQ(run.windowIds.back(), windows - 1);
    for (size_t i = 1; i < run.windowIds.size(); ++i) {
        EXPECT_TRUE(run.windowIds[i] == run.windowIds[i - 1] || run.windowIds[i] == run.windowIds[i - 1] + 1);
    }
    for (const auto& t : run.texts) EXPECT_EQ(t.rfind("<|startoftranscript|><|en|><|transcribe|>", 0), 0u) << t;
    // Segments in order inside the audio, each within its window; words inside their segment.
    std::string text;
    int64_t lastSeek = 0;
    float lastStart = 0;
    for (size_t i = 0; i < r.segments.size(); ++i) {
        const TranscriptionSegment& s = r.segments[i];
        EXPECT_EQ(s.id, int64_t(i));
        EXPECT_GE(s.seek, lastSeek);
        EXPECT_LT(s.seek, 45 * 16000);
        EXPECT_GE(s.start, float(s.seek) / 16000.0f);
        EXPECT_LE(s.start, s.end);
        EXPECT_LE(s.end, 45.0f);
        EXPECT_LE(s.end, float(s.seek) / 16000.0f + 30.0f);
        EXPECT_GE(s.start, lastStart);
        ASSERT_TRUE(s.words.has_value());
        float wordEnd = s.start;
        for (const WordTiming& w : *s.words) {
            EXPECT_GE(w.start, wordEnd);
            EXPECT_LE(w.start, w.end);
            EXPECT_LE(w.end, s.end);
            EXPECT_FALSE(w.tokens.empty());
            EXPECT_GE(w.probability, 0.0f);
            EXPECT_LE(w.probability, 1.0f);
            wordEnd = w.end;
        }
        lastSeek = s.seek;
        lastStart = s.start;
        text += s.text;
    }
    EXPECT_EQ(r.text, text);
    EXPECT_EQ(r.language, "en");
    EXPECT_NEAR(r.timings.inputAudioSeconds, 45.0, 1e-6);
    EXPECT_GT(r.timings.encoding, 0);
    EXPECT_GT(r.timings.modelLoading, 0);
}

TEST(EndToEnd, TranscribesAWavFileWithWordTimings) {
    WhisperEngineConfig config;
    config.modelFolder = miniModel(DType::F32, testmodel::TokenizerFormat::vocabAndMerges);
    WhisperEngine engine(config);
    const TranscriptionRun run = transcribe(engine, lectureWav());
    checkStructure(run);
}

TEST(EndToEnd, HalfPrecisionFileAndCallsFromSeveralThreads) {
    WhisperEngineConfig config;
    config.modelFolder = miniModel(DType::F16, testmodel::TokenizerFormat::tokenizerJson);
    config.computeOptions = ModelComputeOptions{WeightPrecision::f16, 2};
    WhisperEngine engine(config);
    const std::string wav = lectureWav();
    // Concurrent calls are serialised, and decoding is deterministic.
    TranscriptionRun a, b;
    std::thread t1([&] { a = transcribe(engine, wav); });
    std::thread t2([&] { b = transcribe(engine, wav); });
    t1.join();
    t2.join();
    checkStructure(a);
    ASSERT_EQ(a.results[0].segments.size(), b.results[0].segments.size());
    EXPECT_EQ(a.results[0].text, b.results[0].text);
    EXPECT_EQ(a.windowIds, b.windowIds);
}

// A minor chord held for `seconds`: music, no speech.
std::vector<float> chord(double seconds) {
    std::vector<float> x(size_t(seconds * 16000));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / 16000.0;
        x[i] = float(0.15 * (std::sin(2 * M_PI * 220.0 * t) + std::sin(2 * M_PI * 261.63 * t) + std::sin(2 * M_PI * 329.63 * t)));
    }
    return x;
}

TEST(EndToEnd, SilenceAndMusicGiveNoSegments) {
    enum Model { random, hearsNoSpeech };
    struct Case {
        const char* name;
        Model model;
        bool music;  // else digital silence
        bool skipSilentWindows;
        bool noSpeechRule;
        bool segments;
        bool encoded;
    };
    const Case cases[] = {
        {"silence is skipped before the encoder", random, false, true, true, false, false},
        {"silence reaches the model with the skip off", random, false, false, true, true, true},
        {"music the model hears as no speech", hearsNoSpeech, true, true, true, false, true},
        {"the same music without the no-speech rule", hearsNoSpeech, true, true, false, true, true},
    };
    std::map<Model, std::string> folders;
    for (Model m : {random, hearsNoSpeech}) {
        testmodel::TestModelSpec spec;
        spec.hearsNoSpeech = m == hearsNoSpeech;
        folders[m] = freshDir("silence-model");
        testmodel::writeModelFolder(folders[m], spec);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WhisperEngineConfig config;
        config.modelFolder = folders[c.model];
        WhisperEngine engine(config);
        DecodingOptions options;
        options.sampleLength = 16;
        options.temperatureFallbackCount = 2;
        if (!c.skipSilentWindows) options.silentWindowEnergy.reset();
        if (!c.noSpeechRule) options.noSpeechThreshold.reset();
        const auto r = engine.transcribe(c.music ? chord(30.0) : std::vector<float>(30 * 16000, 0.0f), options).at(0);
        EXPECT_EQ(!r.segments.empty(), c.segments) << r.text;
        EXPECT_EQ(r.timings.totalEncodingRuns > 0, c.encoded);
        EXPECT_EQ(r.timings.totalDecodingWindows, 1);
        if (c.model == hearsNoSpeech && c.noSpeechRule) {
            EXPECT_EQ(r.timings.totalDecodingFallbacks, 0);
        }
    }
}

TEST(EndToEnd, ALoopingModelIsRetriedAndItsLoopCut) {
    testmodel::TestModelSpec spec;
    spec.loops = true;
    const std::string dir = freshDir("looping-model");
    testmodel::writeModelFolder(dir, spec);
    WhisperEngineConfig config;
    config.modelFolder = dir;
    WhisperEngine engine(config);
    DecodingOptions options;
    options.sampleLength = 60;
    options.firstTokenLogProbThreshold.reset();  // the first timestamp is a guess among many
    const auto r = engine.transcribe(chord(20.0), options).at(0);
    EXPECT_EQ(r.timings.totalDecodingFallbacks, 5);  // every temperature loops
    ASSERT_EQ(r.segments.size(), 1u);
    EXPECT_EQ(engine.tokenizer().decode(r.segments[0].tokens, true), " the");
    options.repetitionThreshold.reset();
    options.compressionRatioThreshold.reset();
    const auto unguarded = engine.transcribe(chord(20.0), options).at(0);
    EXPECT_EQ(unguarded.timings.totalDecodingFallbacks, 0);
    EXPECT_GT(unguarded.text.size(), 100u);
}

TEST(EndToEnd, VadChunkingGivesOneResultPerChunk) {
    WhisperEngineConfig config;
    config.modelFolder = miniModel(DType::F32, testmodel::TokenizerFormat::tokenizerJson);
    WhisperEngine engine(config);
    std::vector<float> audio(40 * 16000, 0.0f);
    for (size_t i = 2 * 16000; i < 6 * 16000; ++i) audio[i] = 0.3f * std::sin(float(i) * 0.07f);
    for (size_t i = 33 * 16000; i < 36 * 16000; ++i) audio[i] = 0.3f * std::sin(float(i) * 0.05f);
    DecodingOptions options;
    options.chunkingStrategy = ChunkingStrategy::vad;
    options.temperatureFallbackCount = 0;
    options.sampleLength = 16;
    const auto results = engine.transcribe(audio, options);
    ASSERT_EQ(results.size(), 2u);
    // Each chunk starts a second (the chunker's padding) before its speech.
    EXPECT_NEAR(*results[0].seekTime, 1.0f, 0.11f);
    EXPECT_NEAR(*results[1].seekTime, 32.0f, 0.11f);
    for (const auto& s : results[1].segments) {
        EXPECT_GE(s.start, *results[1].seekTime);
        EXPECT_GE(s.seek, 32 * 16000);
    }
    EXPECT_THROW(engine.transcribe({audio}, std::vector<DecodingOptions>{}), WhisperError);
}

}  // namespace
}  // namespace lumenote::engine
