// A model folder's tokenizer files. Input: one option byte, then NUL-separated
// parts. Option bit 0 clear: the first part is tokenizer.json; set: the parts
// are vocab.json, merges.txt and added_tokens.json (each optional from the
// second on). Bits 1-2 pick the model's vocabulary size. The last part is also
// encoded: ordinary tokens decode back to exactly the bytes encoded.

#include "FuzzSupport.h"

#include "engine/Tokenizer.h"
#include "engine/WhisperError.h"

using namespace lumenote::engine;
using namespace lumenote::fuzz;

namespace {

// The seeds' small vocabulary (256 bytes, six merges, eight control tokens and
// the timestamps); then the English-only, multilingual and large-v3 sizes.
constexpr int kVocabularySizes[] = {1771, 51864, 51865, 51866};

const char* const kFiles[] = {"tokenizer.json", "vocab.json", "merges.txt", "added_tokens.json"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t options = data[0];
    const auto parts = splitParts(bytes(data + 1, size - 1));
    const std::string folder = scratchFolder();
    for (const char* name : kFiles) removeFile(folder + "/" + name);
    if (options & 1) {
        for (size_t i = 0; i < parts.size() && i < 3; ++i) writeFile(folder + "/" + kFiles[i + 1], parts[i]);
    } else {
        writeFile(folder + "/tokenizer.json", parts[0]);
    }
    const int vocabularySize = kVocabularySizes[(options >> 1) & 3];

    std::optional<WhisperTokenizer> tokenizer;
    try {
        tokenizer.emplace(WhisperTokenizer::load(folder, vocabularySize));
    } catch (const WhisperError&) {
        return 0;
    }
    const SpecialTokens& s = tokenizer->specialTokens();
    for (int id : {s.endToken, s.startOfTranscriptToken, s.noTimestampsToken, s.startOfPreviousToken,
                   s.transcribeToken, s.translateToken, s.whitespaceToken})
        FUZZ_CHECK(id >= 0 && id < vocabularySize);
    FUZZ_CHECK(s.timeTokenBegin > 0 && s.timeTokenBegin + 1501 <= vocabularySize);
    for (const auto& [code, id] : tokenizer->languageTokens()) FUZZ_CHECK(id >= 0 && id < vocabularySize);

    const std::string_view text = parts.back();
    std::vector<int> ids;
    try {
        ids = tokenizer->encode(text);
    } catch (const WhisperError&) {
        return 0;  // a byte the vocabulary has no token for
    }
    bool ordinary = true;
    for (int id : ids) {
        FUZZ_CHECK(id >= 0);
        FUZZ_CHECK(tokenizer->tokenToId(tokenizer->idToToken(id)) == id);
        ordinary = ordinary && id < s.endToken;
    }
    if (ordinary) FUZZ_CHECK(tokenizer->decodeBytes(ids) == text);
    (void)tokenizer->decode(ids, true);
    return 0;
}
