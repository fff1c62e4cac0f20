#include "engine/AudioProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numeric>

#include "engine/Gemm.h"
#include "engine/Models.h"
#include "engine/ThreadPool.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {

namespace {

uint16_t rd16(const std::byte* p) {
    return uint16_t(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}
uint32_t rd32(const std::byte* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool tagIs(const std::byte* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

}  // namespace

std::vector<float> loadAudioFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw WhisperError(path + ": cannot open the audio file");
    const std::streamoff size = in.tellg();
    if (size < 0) throw WhisperError(path + ": cannot read the audio file");
    std::vector<std::byte> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        throw WhisperError(path + ": cannot read the audio file");
    }
    return decodeWav(bytes, path);
}

std::vector<float> decodeWav(std::span<const std::byte> b, const std::string& name) {
    if (b.size() < 12 || !tagIs(b.data(), "RIFF") || !tagIs(b.data() + 8, "WAVE")) {
        throw WhisperError(name + ": not a WAV file (no RIFF/WAVE header)");
    }
    bool haveFmt = false;
    uint16_t format = 0, channels = 0, bits = 0, blockAlign = 0;
    uint32_t rate = 0;
    const std::byte* data = nullptr;
    size_t dataBytes = 0;
    size_t pos = 12;
    while (pos + 8 <= b.size()) {
        const std::byte* chunk = b.data() + pos;
        const uint32_t len = rd32(chunk + 4);
        const size_t bodyAt = pos + 8;
        const size_t available = b.size() - bodyAt;
        if (tagIs(chunk, "fmt ")) {
            if (len < 16 || len > available) throw WhisperError(name + ": malformed WAV format chunk");
            format = rd16(chunk + 8);
            channels = rd16(chunk + 10);
            rate = rd32(chunk + 12);
            blockAlign = rd16(chunk + 20);
            bits = rd16(chunk + 22);
            if (format == 0xfffe) {  // WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes
                if (len < 40) throw WhisperError(name + ": malformed WAV extensible format chunk");
                format = rd16(chunk + 8 + 24);
            }
            haveFmt = true;
        } else if (tagIs(chunk, "data")) {
            data = chunk + 8;
            if (len <= available) {
                dataBytes = len;
            } else if (len == 0xffffffffu || len == 0) {
                dataBytes = available;  // written by a streaming writer that never set the size
            } else {
                throw WhisperError(name + ": truncated WAV file (data chunk claims " + std::to_string(len) +
                                   " bytes, " + std::to_string(available) + " present)");
            }
            break;
        }
        if (len > available) break;
        pos = bodyAt + len + (len & 1u);
    }
    if (!haveFmt) throw WhisperError(name + ": WAV file without a format chunk");
    if (!data) throw WhisperError(name + ": WAV file without a data chunk");
    const bool isPcm = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool isFloat = format == 3 && (bits == 32 || bits == 64);
    if (!isPcm && !isFloat) {
        throw WhisperError(name + ": unsupported WAV encoding (format " + std::to_string(format) + ", " +
                           std::to_string(bits) + " bits); expected PCM or IEEE float");
    }
    if (channels == 0 || channels > 64) {
        throw WhisperError(name + ": unsupported WAV channel count " + std::to_string(channels));
    }
    if (rate < 1000 || rate > 768000) {
        throw WhisperError(name + ": unsupported WAV sample rate " + std::to_string(rate));
    }
    const size_t sampleBytes = bits / 8;
    if (blockAlign != channels * sampleBytes) {
        throw WhisperError(name + ": inconsistent WAV block alignment " + std::to_string(blockAlign));
    }
    const size_t frames = dataBytes / blockAlign;
    std::vector<float> mono(frames);
    for (size_t f = 0; f < frames; ++f) {
        const std::byte* p = data + f * blockAlign;
        double sum = 0;
        for (int c = 0; c < channels; ++c, p += sampleBytes) {
            double v = 0;
            if (isFloat) {
                if (bits == 32) {
                    float x;
                    std::memcpy(&x, p, 4);
                    v = x;
                } else {
                    double x;
                    std::memcpy(&x, p, 8);
                    v = x;
                }
                if (!std::isfinite(v)) v = 0;
            } else if (bits == 8) {
                v = (double(uint8_t(p[0])) - 128.0) / 128.0;
            } else if (bits == 16) {
                v = double(int16_t(rd16(p))) / 32768.0;
            } else if (bits == 24) {
                int32_t x = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
                v = double(x) / 8388608.0;
            } else {
                v = double(int32_t(rd32(p))) / 2147483648.0;
            }
            sum += v;
        }
        mono[f] = float(sum / channels);
    }
    if (rate != uint32_t(kSampleRate)) return resampleAudio(mono, int(rate), kSampleRate);
    return mono;
}

std::vector<float> resampleAudio(std::span<const float> input, int fromRate, int toRate) {
    if (fromRate == toRate || input.empty()) return {input.begin(), input.end()};
    const int g = std::gcd(fromRate, toRate);
    const int64_t up = toRate / g;    // phases
    const int64_t down = fromRate / g;
    const double cutoff = std::min(1.0, double(toRate) / fromRate) * 0.95;  // of the input Nyquist
    const int zeroCrossings = 16;
    const int half = int(std::ceil(zeroCrossings / cutoff));
    const int taps = 2 * half;
    // table[phase][k]: weight of input sample n + k - half + 1 for fractional offset phase/up.
    std::vector<float> table(size_t(up) * taps);
    for (int64_t ph = 0; ph < up; ++ph) {
        const double frac = double(ph) / up;
        double sum = 0;
        for (int k = 0; k < taps; ++k) {
            const double t = double(k - half + 1) - frac;
            const double x = t * cutoff;
            const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
            const double w = std::abs(t) >= half ? 0.0 : 0.5 + 0.5 * std::cos(M_PI * t / half);
            const double v = cutoff * sinc * w;
            table[size_t(ph) * taps + k] = float(v);
            sum += v;
        }
        // Unity gain at DC.
        for (int k = 0; k < taps; ++k) table[size_t(ph) * taps + k] = float(table[size_t(ph) * taps + k] / sum);
    }
    const int64_t n = int64_t(input.size());
    const int64_t outCount = (n * up + down - 1) / down;
    std::vector<float> out(static_cast<size_t>(outCount));
    for (int64_t i = 0; i < outCount; ++i) {
        const int64_t num = i * down;
        const int64_t base = num / up;
        const int64_t ph = num % up;
        const float* w = &table[size_t(ph) * taps];
        double acc = 0;
        const int64_t first = base - half + 1;
        for (int k = 0; k < taps; ++k) {
            const int64_t idx = first + k;
            if (idx >= 0 && idx < n) acc += double(w[k]) * input[size_t(idx)];
        }
        out[size_t(i)] = float(acc);
    }
    return out;
}

std::vector<std::byte> encodeWav16(std::span<const float> samples, int sampleRate) {
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    std::vector<std::byte> out(44 + dataBytes);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = std::byte((v >> (8 * i)) & 0xff);
    };
    auto put16 = [&](size_t at, uint16_t v) {
        out[at] = std::byte(v & 0xff);
        out[at + 1] = std::byte(v >> 8);
    };
    std::memcpy(out.data(), "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(out.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, uint32_t(sampleRate));
    put32(28, uint32_t(sampleRate) * 2);
    put16(32, 2);
    put16(34, 16);
    std::memcpy(out.data() + 36, "data", 4);
    put32(40, dataBytes);
    for (size_t i = 0; i < samples.size(); ++i) {
        // The inverse of the reader's x / 32768, so 16-bit values survive a round trip.
        const long v = std::clamp(std::lrint(double(samples[i]) * 32768.0), -32768L, 32767L);
        put16(44 + 2 * i, uint16_t(int16_t(v)));
    }
    return out;
}

std::vector<float> melFilterBank(int nMels) {
    const auto hzToMel = [](double f) {
        const double minLogHz = 1000.0, fSp = 200.0 / 3.0, logStep = std::log(6.4) / 27.0;
        return f < minLogHz ? f / fSp : minLogHz / fSp + std::log(f / minLogHz) / logStep;
    };
    const auto melToHz = [](double m) {
        const double minLogHz = 1000.0, fSp = 200.0 / 3.0, logStep = std::log(6.4) / 27.0;
        const double minLogMel = minLogHz / fSp;
        return m < minLogMel ? m * fSp : minLogHz * std::exp(logStep * (m - minLogMel));
    };
    const double melMax = hzToMel(kSampleRate / 2.0);
    std::vector<double> hz(size_t(nMels) + 2);
    for (int i = 0; i < nMels + 2; ++i) hz[size_t(i)] = melToHz(melMax * i / (nMels + 1));
    std::vector<float> filters(size_t(nMels) * kFftBins, 0.0f);
    for (int m = 0; m < nMels; ++m) {
        const double lo = hz[size_t(m)], mid = hz[size_t(m) + 1], hi = hz[size_t(m) + 2];
        const double norm = 2.0 / (hi - lo);
        for (int k = 0; k < kFftBins; ++k) {
            const double f = double(k) * kSampleRate / kFftSize;
            const double w = std::max(0.0, std::min((f - lo) / (mid - lo), (hi - f) / (hi - mid)));
            filters[size_t(m) * kFftBins + k] = float(w * norm);
        }
    }
    return filters;
}

FeatureExtractor::FeatureExtractor(int nMels) : nMels_(nMels) {
    constexpr int rows = 2 * kFftBins;
    basisRows_.resize(size_t(rows) * kFftSize);
    for (int k = 0; k < kFftBins; ++k) {
        for (int n = 0; n < kFftSize; ++n) {
            const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * n / kFftSize);  // periodic Hann
            // Reduce the angle exactly in integers before the trig call.
            const double a = 2.0 * M_PI * double((k * n) % kFftSize) / kFftSize;
            basisRows_[size_t(2 * k) * kFftSize + size_t(n)] = float(w * std::cos(a));
            basisRows_[size_t(2 * k + 1) * kFftSize + size_t(n)] = float(-w * std::sin(a));
        }
    }
    filterRows_ = melFilterBank(nMels);
    basis_ = std::make_unique<gemm::PackedWeights>(gemm::PackedWeights::pack(basisRows_.data(), rows, kFftSize));
    filters_ = std::make_unique<gemm::PackedWeights>(gemm::PackedWeights::pack(filterRows_.data(), nMels, kFftBins));
    frames_.resize(size_t(kMelFrames) * kFftSize);
    spectrum_.resize(size_t(kMelFrames) * rows);
    power_.resize(size_t(kMelFrames) * kFftBins);
}

FeatureExtractor::~FeatureExtractor() = default;

void FeatureExtractor::compute(std::span<const float> samples, float* out, ThreadPool* pool) {
    const int64_t total = kWindowSamples;
    const int64_t valid = std::min<int64_t>(int64_t(samples.size()), total);
    const auto sampleAt = [&](int64_t i) -> float {
        // Reflect padding by 200 at both ends of the (zero-padded) window.
        if (i < 0) i = -i;
        if (i >= total) i = 2 * (total - 1) - i;
        return i < valid ? samples[size_t(i)] : 0.0f;
    };
    for (int t = 0; t < kMelFrames; ++t) {
        float* f = &frames_[size_t(t) * kFftSize];
        const int64_t start = int64_t(t) * kHopLength - kFftSize / 2;
        if (start >= 0 && start + kFftSize <= valid) {
            std::memcpy(f, samples.data() + start, kFftSize * sizeof(float));
        } else {
            for (int n = 0; n < kFftSize; ++n) f[n] = sampleAt(start + n);
        }
    }
    constexpr int cols = 2 * kFftBins;
    ThreadPool single(1);
    ThreadPool& p = pool ? *pool : single;
    gemm::multiplyByWeights(kMelFrames, frames_.data(), kFftSize, *basis_, spectrum_.data(), cols, 1.0f, 0.0f, p);
    for (size_t t = 0; t < size_t(kMelFrames); ++t) {
        const float* s = &spectrum_[t * cols];
        float* pw = &power_[t * kFftBins];
        for (int k = 0; k < kFftBins; ++k) pw[k] = s[2 * k] * s[2 * k] + s[2 * k + 1] * s[2 * k + 1];
    }
    gemm::multiplyByWeights(kMelFrames, power_.data(), kFftBins, *filters_, out, nMels_, 1.0f, 0.0f, p);
    const size_t count = size_t(kMelFrames) * nMels_;
    float maxLog = -std::numeric_limits<float>::infinity();
    for (size_t i = 0; i < count; ++i) {
        out[i] = std::log10(std::max(out[i], 1e-10f));
        maxLog = std::max(maxLog, out[i]);
    }
    const float floorValue = maxLog - 8.0f;
    for (size_t i = 0; i < count; ++i) out[i] = (std::max(out[i], floorValue) + 4.0f) / 4.0f;
}

}  // namespace lumenote::engine
