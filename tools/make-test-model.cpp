// make-test-model: writes a random-weight Whisper model folder in the Hugging Face layout.
//
//   make-test-model --out DIR [--shape mini|tiny|base|small|medium|large-v3-turbo]
//                   [--dtype f32|f16|bf16] [--seed N] [--tokenizer json|vocab]
//                   [--unlisted-timestamps] [--mute]
//
// The weights are random, so transcripts are gibberish; the folder exercises loading, the
// tokenizer (special tokens at unusual ids), decoding and timing end to end.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/WhisperError.h"
#include "engine/testmodel/TestModel.h"

using namespace lumenote::engine;

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: make-test-model --out DIR [--shape mini|tiny|base|small|medium|large-v3-turbo]\n"
                 "                       [--dtype f32|f16|bf16] [--seed N] [--tokenizer json|vocab]\n"
                 "                       [--unlisted-timestamps] [--mute]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    testmodel::TestModelSpec spec;
    std::string out;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            const auto value = [&]() -> std::string {
                if (i + 1 >= argc) throw WhisperError("missing value after " + a);
                return argv[++i];
            };
            if (a == "--out") {
                out = value();
            } else if (a == "--shape") {
                const std::string s = value();
                spec.config = s == "mini" ? testmodel::miniatureConfig() : WhisperModelConfig::forVariant(s);
                if (s != "mini") spec.config.alignmentHeads = testmodel::defaultAlignmentHeads(spec.config);
            } else if (a == "--dtype") {
                const std::string s = value();
                if (s == "f32") spec.dtype = DType::F32;
                else if (s == "f16") spec.dtype = DType::F16;
                else if (s == "bf16") spec.dtype = DType::BF16;
                else throw WhisperError("unknown dtype " + s);
            } else if (a == "--seed") {
                spec.seed = std::stoull(value());
            } else if (a == "--tokenizer") {
                const std::string s = value();
                if (s == "json") spec.tokenizerFormat = testmodel::TokenizerFormat::tokenizerJson;
                else if (s == "vocab") spec.tokenizerFormat = testmodel::TokenizerFormat::vocabAndMerges;
                else throw WhisperError("unknown tokenizer format " + s);
            } else if (a == "--mute") {
                spec.mute = true;
            } else if (a == "--unlisted-timestamps") {
                spec.listTimestampTokens = false;
            } else {
                return usage();
            }
        }
        if (out.empty()) return usage();
        testmodel::writeModelFolder(out, spec);
        std::printf("wrote %s (d_model %d, %d+%d layers, vocabulary %d)\n", out.c_str(), spec.config.dModel,
                    spec.config.encoderLayers, spec.config.decoderLayers, spec.config.vocabSize);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-test-model: %s\n", e.what());
        return 1;
    }
}
