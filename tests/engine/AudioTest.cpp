// Audio input, the mel filter bank and voice activity detection.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "EngineTestSupport.h"
#include "engine/AudioProcessor.h"
#include "engine/VoiceActivityDetector.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {
namespace {

using testing::freshDir;

// ---- mel filters ----

// Slaney's scale written out from its definition: 3 mels per 200 Hz up to 1 kHz, then 27 mels
// per factor 6.4.
double slaneyHzToMel(double hz) { return hz <= 1000.0 ? hz * 3.0 / 200.0 : 15.0 + 27.0 * std::log(hz / 1000.0) / std::log(6.4); }
double slaneyMelToHz(double mel) { return mel <= 15.0 ? mel * 200.0 / 3.0 : 1000.0 * std::pow(6.4, (mel - 15.0) / 27.0); }

TEST(MelFilters, TrianglesPeakAtTheirCentresAndHaveUnitArea) {
    for (int nMels : {80, 128}) {
        const std::vector<float> fb = melFilterBank(nMels);
        ASSERT_EQ(fb.size(), size_t(nMels) * 201);
        const double top = slaneyHzToMel(8000.0);
        for (int m = 0; m < nMels; ++m) {
            const double lo = slaneyMelToHz(top * m / (nMels + 1));
            const double mid = slaneyMelToHz(top * (m + 1) / (nMels + 1));
            const double hi = slaneyMelToHz(top * (m + 2) / (nMels + 1));
            const float* row = &fb[size_t(m) * 201];
            int peak = 0;
            double area = 0;
            for (int k = 0; k < 201; ++k) {
                const double f = 40.0 * k;
                const double expect = std::max(0.0, std::min((f - lo) / (mid - lo), (hi - f) / (hi - mid))) * 2.0 / (hi - lo);
                ASSERT_NEAR(row[k], expect, 1e-6 * (1 + expect)) << "filter " << m << " bin " << k;
                if (row[k] > row[peak]) peak = k;
                area += row[k] * 40.0;
            }
            // The peak sits on a bin next to the centre frequency (filters narrower than a bin may
            // miss every bin, as they do in the published filters).
            if (hi - lo > 80.0) {
                EXPECT_LE(std::fabs(40.0 * peak - mid), 40.0) << "filter " << m;
            }
            // Slaney normalisation: each triangle has unit area in Hz; the bin sum approaches it for
            // filters wide against the 40 Hz bins.
            if (hi - lo > 400.0) {
                EXPECT_NEAR(area, 1.0, 0.03) << "filter " << m;
            }
        }
    }
}

TEST(MelFeatures, SilenceGivesTheFloorAndAToneLightsItsBand) {
    FeatureExtractor fe(80);
    std::vector<float> out(size_t(kMelFrames) * 80);
    fe.compute({}, out.data());  // all padding
    for (float v : out) ASSERT_FLOAT_EQ(v, (-10.0f + 4.0f) / 4.0f);

    std::vector<float> tone(16000);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.5f * std::sin(2.0f * float(M_PI) * 1000.0f * float(i) / 16000.0f);
    fe.compute(tone, out.data());
    const double band = slaneyHzToMel(1000.0) / slaneyHzToMel(8000.0) * 81.0 - 1.0;  // filter centred at 1 kHz
    int best = 0;
    const float* frame = &out[size_t(50) * 80];
    for (int m = 0; m < 80; ++m) if (frame[m] > frame[best]) best = m;
    EXPECT_NEAR(best, band, 1.0);
    // 8 decades below the maximum at most.
    float lo = 1e9f, hi = -1e9f;
    for (float v : out) lo = std::min(lo, v), hi = std::max(hi, v);
    EXPECT_NEAR(hi - lo, 2.0f, 1e-5f);
}

// ---- WAV input ----

struct WavSpec {
    uint16_t format = 1;
    uint16_t channels = 1;
    uint32_t rate = 16000;
    uint16_t bits = 16;
    bool extensible = false;
};

std::vector<std::byte> wavBytes(const WavSpec& s, const std::vector<uint8_t>& data, int64_t dataSizeField = -1) {
    std::vector<uint8_t> b;
    auto put = [&](uint64_t v, int n) { for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i))); };
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    const uint32_t fmtLen = s.extensible ? 40 : 16;
    tag("RIFF");
    put(4 + 8 + fmtLen + 8 + data.size(), 4);
    tag("WAVE");
    tag("LIST");  // an unrelated chunk first
    put(4, 4);
    tag("INFO");
    tag("fmt ");
    put(fmtLen, 4);
    put(s.extensible ? 0xfffe : s.format, 2);
    put(s.channels, 2);
    put(s.rate, 4);
    put(uint64_t(s.rate) * s.channels * s.bits / 8, 4);
    put(uint64_t(s.channels) * s.bits / 8, 2);
    put(s.bits, 2);
    if (s.extensible) {
        put(22, 2);
        put(s.bits, 2);
        put(0, 4);
        put(s.format, 2);  // sub-format GUID, first two bytes
        for (int i = 0; i < 14; ++i) b.push_back(0);
    }
    tag("data");
    put(dataSizeField >= 0 ? uint64_t(dataSizeField) : data.size(), 4);
    b.insert(b.end(), data.begin(), data.end());
    std::vector<std::byte> out(b.size());
    std::memcpy(out.data(), b.data(), b.size());
    return out;
}

template <typename T>
std::vector<uint8_t> raw(const std::vector<T>& v) {
    std::vector<uint8_t> out(v.size() * sizeof(T));
    std::memcpy(out.data(), v.data(), out.size());
    return out;
}

TEST(WavInput, ReadsPcmAndFloatVariantsAndMixesChannels) {
    {
        const auto s = decodeWav(wavBytes({}, raw(std::vector<int16_t>{0, 16384, -32768, 32767})), "a.wav");
        EXPECT_EQ(s, (std::vector<float>{0.0f, 0.5f, -1.0f, 32767.0f / 32768.0f}));
    }
    {  // stereo float: the average of the channels
        WavSpec spec{3, 2, 16000, 32};
        const auto s = decodeWav(wavBytes(spec, raw(std::vector<float>{0.5f, -0.5f, 1.0f, 0.0f})), "b.wav");
        EXPECT_EQ(s, (std::vector<float>{0.0f, 0.5f}));
    }
    {  // 24-bit, little-endian, sign-extended
        WavSpec spec{1, 1, 16000, 24};
        const auto s = decodeWav(wavBytes(spec, {0x00, 0x00, 0x40, 0x00, 0x00, 0xc0}), "c.wav");
        EXPECT_EQ(s, (std::vector<float>{0.5f, -0.5f}));
    }
    {  // 8-bit unsigned, in an extensible header
        WavSpec spec{1, 1, 16000, 8, true};
        const auto s = decodeWav(wavBytes(spec, {128, 192, 0}), "d.wav");
        EXPECT_EQ(s, (std::vector<float>{0.0f, 0.5f, -1.0f}));
    }
}

TEST(WavInput, ResamplesOtherRatesKeepingPitchAndLength) {
    for (uint32_t rate : {44100u, 8000u, 48000u}) {
        std::vector<float> x(rate);  // one second of 1 kHz
        for (size_t i = 0; i < x.size(); ++i) x[i] = 0.5f * std::sin(2.0f * float(M_PI) * 1000.0f * float(i) / float(rate));
        const auto s = decodeWav(wavBytes({3, 1, rate, 32}, raw(x)), "r.wav");
        ASSERT_NEAR(double(s.size()), 16000.0, 1.0) << rate;
        int crossings = 0;
        for (size_t i = 1001; i + 1000 < s.size(); ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
        EXPECT_NEAR(crossings, 2 * 1000 * (s.size() - 2001) / 16000.0, 3) << rate;
        float peak = 0;
        for (size_t i = 1000; i + 1000 < s.size(); ++i) peak = std::max(peak, std::fabs(s[i]));
        EXPECT_NEAR(peak, 0.5f, 0.01f) << rate;
    }
}

TEST(WavInput, BrokenFilesGiveClearErrors) {
    const std::vector<uint8_t> pcm = raw(std::vector<int16_t>(100, 7));
    const auto expectError = [](const std::vector<std::byte>& bytes, const std::string& fragment) {
        try {
            decodeWav(bytes, "broken.wav");
            ADD_FAILURE() << "no error for " << fragment;
        } catch (const WhisperError& e) {
            EXPECT_NE(std::string(e.what()).find("broken.wav"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
        }
    };
    auto good = wavBytes({}, pcm);
    expectError({good.begin(), good.begin() + 20}, "WAV");                  // cut inside the header
    expectError(std::vector<std::byte>(64, std::byte{0}), "not a WAV file");
    expectError(wavBytes({}, pcm, 100000), "truncated");                    // data chunk cut short
    expectError(wavBytes({6, 1, 16000, 8}, pcm), "unsupported WAV encoding"); // A-law
    expectError(wavBytes({1, 0, 16000, 16}, pcm), "channel count");
    expectError(wavBytes({1, 1, 16000, 12}, pcm), "unsupported WAV encoding");
    expectError(wavBytes({1, 1, 0, 16}, pcm), "sample rate");
    auto noData = wavBytes({}, pcm);
    std::memcpy(noData.data() + 12 + 12 + 24, "junk", 4);  // rename the data chunk
    expectError(noData, "without a data chunk");

    EXPECT_THROW(loadAudioFile(freshDir("wav") + "/missing.wav"), WhisperError);
    // A streaming writer's placeholder size reads what is there.
    EXPECT_EQ(decodeWav(wavBytes({}, pcm, 0xffffffff), "s.wav").size(), 100u);
}

// ---- voice activity ----

TEST(EnergyVad, CountsFramesAndFindsSpeechRanges) {
    EnergyVAD vad;
    std::vector<float> audio(16000 * 3 + 100, 0.0f);  // 3 s and a bit: 31 frames
    for (size_t i = 4000; i < 9000; ++i) audio[i] = (i % 2 ? 0.1f : -0.1f);        // RMS 0.1
    for (size_t i = 30000; i < audio.size(); ++i) audio[i] = (i % 2 ? 0.05f : -0.05f);
    const auto active = vad.voiceActivity(audio);
    ASSERT_EQ(active.size(), 31u);
    const auto ranges = vad.voiceActivityRanges(audio);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], (std::pair<int64_t, int64_t>{3200, 9600}));  // frames 2..5
    EXPECT_EQ(ranges[1].first, 28800);                               // frame 18 holds a little
    EXPECT_EQ(ranges[1].second, int64_t(audio.size()));              // clipped to the audio
    // Just below the threshold is silence.
    std::vector<float> quiet(3200, 0.0199f);
    EXPECT_TRUE(vad.voiceActivityRanges(quiet).empty());
}

TEST(VadChunker, CutsAtSilencesAndSkipsSilentAudio) {
    VADAudioChunker chunker(1600);
    std::vector<float> audio(16000 * 70, 0.0f);
    const auto speak = [&](double a, double b) {
        for (size_t i = size_t(a * 16000); i < size_t(b * 16000); ++i) audio[i] = (i % 2 ? 0.2f : -0.2f);
    };
    speak(1, 10);
    speak(20, 28);   // fits with the first in one 30 s chunk
    speak(35, 69);   // longer than a chunk: cut at the limit
    const auto chunks = chunker.chunkAll(audio);
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].seekOffsetIndex, 16000 - 1600);
    EXPECT_EQ(chunks[0].seekOffsetIndex + int64_t(chunks[0].audioSamples.size()), 28 * 16000 + 1600);
    int64_t covered = 0;
    for (const auto& c : chunks) {
        EXPECT_LE(c.audioSamples.size(), 480000u);
        EXPECT_GE(c.seekOffsetIndex, covered);  // in order, not overlapping
        covered = c.seekOffsetIndex + int64_t(c.audioSamples.size());
    }
    EXPECT_EQ(covered, 69 * 16000 + 1600);
    EXPECT_TRUE(chunker.chunkAll(std::vector<float>(48000, 0.0f)).empty());
}

}  // namespace
}  // namespace lumenote::engine
