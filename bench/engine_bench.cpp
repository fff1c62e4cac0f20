// engine_bench --model tiny|base|small|medium|large-v3-turbo [--precision auto|f32|f16|bf16|int8]
//              [--encoder-precision auto|f32|bf16|int8] [--threads N] [--reps N] [--cpu-clock on]
//
// Builds a random-weight model of that shape in memory and prints `name: value` lines:
// the mel features, the encoder against OpenBLAS sgemm on the same matrix shapes, the decoder's
// per-token step against streaming reads (OpenBLAS sgemv over 512 MiB), peak memory and an
// estimate of the real-time factor. Reference measurements alternate with ours in the same run
// so that load from other processes hits both alike; every figure is a median.
//
// encoder_ms_per_window covers the encoder and the decoder's cross-attention keys and values
// (computed once per window); encoder_gflops counts both, and sgemm_gflops runs exactly the same
// products. decoder_efficiency counts every byte one token's step streams, in the precision it
// is stored in: the decoder's weights, the cross-attention cache and the self-attention cache up
// to the token's position (100), against the streaming reference; decoder_weight_efficiency
// counts the weights alone. Context (shape, precisions, kernels) goes to standard error.
//
// --precision sets the decoder's weights and, unless --encoder-precision says otherwise, the
// encoder's products (f16 leaves those exact); auto takes the model size's defaults.
// LUMENOTE_ENGINE_GEMM=avx512bf16 runs the encoder as on AVX-512 processors without AMX.
//
// The reference is OpenBLAS as installed. To compare with the project's AMD machines, where
// OpenBLAS picks its Cooperlake kernels, run with OPENBLAS_CORETYPE=Cooperlake (the kernel in
// use is printed as "OpenBLAS core"); on a shared machine add --threads 1 and
// OPENBLAS_NUM_THREADS=1 so both sides get one core each in turn.
#include <cblas.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/Kernels.h"
#include "engine/Models.h"
#include "engine/WhisperEngine.h"
#include "engine/WhisperModel.h"
#include "engine/testmodel/TestModel.h"

using namespace lumenote::engine;
using Clock = std::chrono::steady_clock;

// --cpu-clock: the calling thread's CPU time instead of the wall clock, so that on a shared
// machine the time other processes hold the core does not count. Only meaningful with
// --threads 1 and OPENBLAS_NUM_THREADS=1 (all the work then runs on the calling thread; the
// streaming probe uses its own process's CPU time).
bool cpuClock = false;

struct Stamp {
    Clock::time_point wall;
    double cpu = 0;
};

Stamp stampNow() {
    Stamp s;
    if (cpuClock) {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        s.cpu = double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    } else {
        s.wall = Clock::now();
    }
    return s;
}

namespace {

double seconds(const Stamp& t0) {
    if (cpuClock) return stampNow().cpu - t0.cpu;
    return std::chrono::duration<double>(Clock::now() - t0.wall).count();
}

// OpenBLAS's worker threads keep spinning for a while after each call (about 2^28 cycles);
// waiting that out keeps them from competing with the next measurement of ours.
void letOpenBlasIdle() { usleep(300000); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// Streaming-read reference in a child process, so its 512 MiB matrix does not count in our
// peak memory. Forked first, before the model exists.
class StreamProbe {
public:
    StreamProbe() {
        int toChild[2], toParent[2];
        if (pipe(toChild) != 0 || pipe(toParent) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            close(toChild[1]);
            close(toParent[0]);
            serve(toChild[0], toParent[1]);
            _exit(0);
        }
        close(toChild[0]);
        close(toParent[1]);
        cmd_ = toChild[1];
        reply_ = toParent[0];
    }
    ~StreamProbe() {
        close(cmd_);
        close(reply_);
        waitpid(pid_, nullptr, 0);
    }
    // GB/s of y = A x over the matrix, a few passes.
    double measure() {
        const char c = 'm';
        double gbps = 0;
        if (write(cmd_, &c, 1) != 1 || read(reply_, &gbps, sizeof gbps) != sizeof gbps) std::abort();
        return gbps;
    }

private:
    static void serve(int in, int out) {
        const int rows = 16384, cols = 8192;  // 512 MiB of floats
        std::vector<float> a(size_t(rows) * cols), x(size_t(cols), 1.0f), y(static_cast<size_t>(rows));
        for (size_t i = 0; i < a.size(); ++i) a[i] = float(i % 7) * 0.01f;
        char c;
        while (read(in, &c, 1) == 1) {
            std::vector<double> t;
            for (int rep = 0; rep < 3; ++rep) {
                const Stamp t0 = stampNow();
                cblas_sgemv(CblasRowMajor, CblasNoTrans, rows, cols, 1.0f, a.data(), cols, x.data(), 1, 0.0f, y.data(), 1);
                t.push_back(seconds(t0));
            }
            const double gbps = double(a.size()) * 4.0 / median(t) / 1e9;
            if (write(out, &gbps, sizeof gbps) != sizeof gbps) break;
        }
    }
    pid_t pid_ = -1;
    int cmd_ = -1, reply_ = -1;
};

// The encoder's products (and the cross-attention projections) on OpenBLAS, same shapes and
// layouts as the engine uses.
class SgemmReference {
public:
    explicit SgemmReference(const WhisperModelConfig& c) : c_(c) {
        const size_t d = size_t(c.dModel), ff = size_t(c.encoderFfnDim), T = 1500;
        // Left operands (m x k), right operands (n x k) and results (m x n) of every product.
        a_.assign(std::max({3000 * 3 * size_t(c.numMelBins), T * 3 * d, T * ff, 2 * T * d}), 0.5f);
        b_.assign(std::max({3 * d * d, ff * d, T * d}), 0.25f);
        out_.assign(std::max({3000 * d, T * T, T * ff}), 0.0f);
    }
    void run() {
        const int d = c_.dModel, T = 1500, nm = c_.numMelBins, ff = c_.encoderFfnDim, dh = d / c_.encoderHeads;
        gemm(CblasNoTrans, CblasTrans, 3000, d, 3 * nm);  // conv1
        gemm(CblasNoTrans, CblasTrans, T, d, 3 * d);      // conv2
        for (int l = 0; l < c_.encoderLayers; ++l) {
            for (int k = 0; k < 3; ++k) gemm(CblasNoTrans, CblasTrans, T, d, d);
            for (int h = 0; h < c_.encoderHeads; ++h) {
                cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasTrans, T, T, dh, 1.0f, a_.data(), d, b_.data(), d, 0.0f,
                            out_.data(), T);
                cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, T, dh, T, 1.0f, out_.data(), T, a_.data(), d,
                            0.0f, a_.data() + size_t(T) * d, d);
            }
            gemm(CblasNoTrans, CblasTrans, T, d, d);
            gemm(CblasNoTrans, CblasTrans, T, ff, d);
            gemm(CblasNoTrans, CblasTrans, T, d, ff);
        }
        for (int l = 0; l < c_.decoderLayers; ++l) {
            cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasTrans, d, T, d, 1.0f, b_.data(), d, a_.data(), d, 0.0f,
                        out_.data(), T);
            gemm(CblasNoTrans, CblasTrans, T, d, d);
        }
    }

private:
    void gemm(CBLAS_TRANSPOSE ta, CBLAS_TRANSPOSE tb, int m, int n, int k) {
        cblas_sgemm(CblasRowMajor, ta, tb, m, n, k, 1.0f, a_.data(), k, b_.data(), k, 0.0f, out_.data(), n);
    }
    WhisperModelConfig c_;
    std::vector<float> a_, b_, out_;
};

double encoderFlops(const WhisperModelConfig& c) {
    const double T = 1500, d = c.dModel, nm = c.numMelBins;
    double f = double(c.encoderLayers) * (24 * T * d * d + 4 * T * T * d);
    f += 2 * 3000 * nm * 3 * d + 2 * 1500 * 3 * d * d;  // convolutions
    f += double(c.decoderLayers) * 4 * T * d * d;        // cross-attention keys and values
    return f;
}

int usage() {
    std::fprintf(stderr, "usage: engine_bench --model tiny|base|small|medium|large-v3-turbo "
                         "[--precision auto|f32|f16|bf16|int8] [--encoder-precision auto|f32|bf16|int8] "
                         "[--threads N] [--reps N] [--cpu-clock on]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string modelName;
    WeightPrecision precision = WeightPrecision::automatic;
    std::optional<WeightPrecision> encoderPrecision;
    int threads = 0, reps = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return usage();
        if (a == "--model") modelName = argv[++i];
        else if (a == "--precision") precision = parsePrecision(argv[++i]);
        else if (a == "--encoder-precision") encoderPrecision = parsePrecision(argv[++i]);
        else if (a == "--cpu-clock") cpuClock = std::string(argv[++i]) == "on";
        else if (a == "--threads") threads = std::atoi(argv[++i]);
        else if (a == "--reps") reps = std::max(1, std::atoi(argv[++i]));
        else return usage();
    }
    if (modelName.empty()) return usage();

    StreamProbe stream;
    const WhisperModelConfig config = WhisperModelConfig::forVariant(modelName);
    const DType decoderDtype = precision == WeightPrecision::f32 ? DType::F32
                               : precision == WeightPrecision::bf16 ? DType::BF16
                                                                    : DType::F16;
    ModelComputeOptions options{precision, threads, precision == WeightPrecision::f16 ? WeightPrecision::f32 : precision};
    if (encoderPrecision) options.encoderPrecision = *encoderPrecision;
    Stamp t0 = stampNow();
    auto file = std::make_shared<SafetensorsFile>(
        MappedFile::fromBuffer(testmodel::makeWeights(config, decoderDtype, DType::F32, 1), "random " + modelName,
                               /*releasable=*/true));
    auto model = WhisperModel::fromFile(config, file, options);
    std::fprintf(stderr, "model %s: d_model %d, %d+%d layers; decoder weights %s (%.0f MB per token, "
                         "cross-attention cache %.0f MB); encoder "
                         "products %s on %s; kernels %s; OpenBLAS core %s; built in %.1f s\n",
                 modelName.c_str(), config.dModel, config.encoderLayers, config.decoderLayers,
                 kernels::weightTypeName(model->decoderWeightType()), double(model->decoderWeightBytesPerToken()) / 1e6,
                 double(model->crossCacheBytes()) / 1e6, gemm::precisionName(model->encoderPrecision()),
                 gemm::kernelName(gemm::kernelFor(model->encoderPrecision())), kernels::isaName(kernels::activeIsa()),
                 openblas_get_corename(), seconds(t0));

    std::vector<float> audio(kWindowSamples);
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    for (size_t i = 0; i < audio.size(); ++i) audio[i] = 0.2f * std::sin(float(i) * 0.03f) + noise(rng);

    // Mel features.
    std::vector<float> mel(size_t(kMelFrames) * config.numMelBins);
    model->computeMel(audio, mel.data());
    std::vector<double> melT;
    for (int r = 0; r < 5; ++r) {
        t0 = stampNow();
        model->computeMel(audio, mel.data());
        melT.push_back(seconds(t0));
    }

    // Encoder and the sgemm reference, alternating.
    std::vector<float> enc(size_t(1500) * config.dModel);
    SgemmReference reference(config);
    model->encode(mel.data(), enc.data());  // warm-up: page in the weights
    reference.run();
    letOpenBlasIdle();
    std::vector<double> encT, refT;
    for (int r = 0; r < reps; ++r) {
        t0 = stampNow();
        model->encode(mel.data(), enc.data());
        model->setEncoderOutput(enc.data(), 1500);
        encT.push_back(seconds(t0));
        t0 = stampNow();
        reference.run();
        refT.push_back(seconds(t0));
        letOpenBlasIdle();
    }

    // Decoder: a 100-token context, then the step at position 100 again and again, alternating
    // with the streaming reference.
    constexpr int kContext = 100;
    std::vector<int> context(kContext);
    for (int i = 0; i < kContext; ++i) context[size_t(i)] = int(rng() % 50000u) % config.vocabSize;
    std::vector<float> logits(static_cast<size_t>(config.vocabSize));
    model->decode(context, 0, logits);
    const int token = 1234;
    for (int i = 0; i < 3; ++i) model->decode(std::span<const int>(&token, 1), kContext, logits);
    std::vector<double> decT, streamT;
    for (int r = 0; r < std::max(3, reps); ++r) {
        for (int i = 0; i < 8; ++i) {
            t0 = stampNow();
            model->decode(std::span<const int>(&token, 1), kContext, logits);
            decT.push_back(seconds(t0));
        }
        streamT.push_back(stream.measure());
        letOpenBlasIdle();
    }

    // One 30 s window of room noise far below speech (about -66 dBFS), transcribed end to end.
    const auto synthetic = testmodel::makeTokenizer(config.vocabSize);
    const WhisperTokenizer tokenizer =
        WhisperTokenizer::fromParts(synthetic.vocab, synthetic.merges, synthetic.added, config.vocabSize, "synthetic");
    SegmentSeeker seeker;
    Transcriber transcriber(*model, tokenizer, seeker);
    std::vector<float> quiet(kWindowSamples);
    for (float& x : quiet) x = noise(rng) * 0.01f;
    DecodingOptions quietOptions;
    quietOptions.wordTimestamps = true;
    std::vector<double> silentT;
    for (int r = 0; r < reps; ++r) {
        bool stopped = false;
        t0 = stampNow();
        transcriber.run(quiet, quietOptions, {}, stopped);
        silentT.push_back(seconds(t0));
    }

    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    const double melMs = median(melT) * 1e3;
    const double encMs = median(encT) * 1e3;
    const double encGflops = encoderFlops(config) / median(encT) / 1e9;
    const double sgemmGflops = encoderFlops(config) / median(refT) / 1e9;
    const double decMs = median(decT) * 1e3;
    const double decWeightGbps = double(model->decoderWeightBytesPerToken()) / median(decT) / 1e9;
    const size_t decBytes = model->decoderWeightBytesPerToken() + model->crossCacheBytes() +
                            model->selfCacheBytes(kContext + 1);
    const double decGbps = double(decBytes) / median(decT) / 1e9;
    const double streamGbps = median(streamT);
    std::printf("mel_ms_per_window: %.2f\n", melMs);
    std::printf("encoder_ms_per_window: %.1f\n", encMs);
    std::printf("encoder_gflops: %.1f\n", encGflops);
    std::printf("sgemm_gflops: %.1f\n", sgemmGflops);
    std::printf("encoder_efficiency: %.3f\n", encGflops / sgemmGflops);
    std::printf("decoder_ms_per_token: %.3f\n", decMs);
    std::printf("decoder_gbps: %.2f\n", decGbps);
    std::printf("decoder_weight_gbps: %.2f\n", decWeightGbps);
    std::printf("stream_gbps: %.2f\n", streamGbps);
    std::printf("decoder_efficiency: %.3f\n", decGbps / streamGbps);
    std::printf("decoder_weight_efficiency: %.3f\n", decWeightGbps / streamGbps);
    std::printf("peak_rss_mb: %.0f\n", double(ru.ru_maxrss) / 1024.0);
    std::printf("rtf_estimate: %.4f\n", (melMs + encMs + 100.0 * decMs) / 30000.0);
    std::printf("silent_window_ms: %.2f\n", median(silentT) * 1e3);
    return 0;
}
