#include "engine/Tokenizer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

#include "engine/ModelConfig.h"
#include "engine/WhisperError.h"

namespace lumenote::engine {

namespace {

constexpr int kTimestampCount = 1501;  // 0.00 .. 30.00 s in 0.02 s steps
constexpr int kMaxTokenId = 1 << 22;

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xc0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xe0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(char(0x80 | (cp & 0x3f)));
    } else {
        out.push_back(char(0xf0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3f)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(char(0x80 | (cp & 0x3f)));
    }
}

// Decodes one code point at s[i]; returns its length, or 0 for an invalid sequence.
size_t nextCodePoint(std::string_view s, size_t i, uint32_t& cp) {
    const auto b = [&](size_t k) { return uint8_t(s[k]); };
    const uint8_t c = b(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t len;
    uint32_t minCp;
    if ((c & 0xe0) == 0xc0) {
        len = 2, cp = c & 0x1f, minCp = 0x80;
    } else if ((c & 0xf0) == 0xe0) {
        len = 3, cp = c & 0x0f, minCp = 0x800;
    } else if ((c & 0xf8) == 0xf0) {
        len = 4, cp = c & 0x07, minCp = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xc0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3f);
    }
    if (cp < minCp || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
    return len;
}

// Replaces invalid UTF-8 (for instance a character cut off at the end) by U+FFFD.
std::string sanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        uint32_t cp;
        const size_t n = nextCodePoint(bytes, i, cp);
        if (n == 0) {
            appendUtf8(out, 0xfffd);
            ++i;
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

// GPT-2's reversible map from bytes to printable characters.
struct ByteMap {
    std::array<std::string, 256> byteToText;
    std::unordered_map<uint32_t, uint8_t> cpToByte;
    ByteMap() {
        int next = 256;
        for (int b = 0; b < 256; ++b) {
            const bool printable = (b >= 33 && b <= 126) || (b >= 161 && b <= 172) || (b >= 174);
            const uint32_t cp = printable ? uint32_t(b) : uint32_t(next++);
            appendUtf8(byteToText[b], cp);
            cpToByte[cp] = uint8_t(b);
        }
    }
};

const ByteMap& byteMap() {
    static const ByteMap m;
    return m;
}

}  // namespace

std::string byteLevelText(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) out += byteMap().byteToText[c];
    return out;
}

namespace {

// ---- pre-tokenisation (GPT-2's pattern) ----
// Character classes without a Unicode database: ASCII exactly; beyond it the common space,
// digit, punctuation and symbol blocks are recognised and everything else counts as a letter.

bool isSpaceCp(uint32_t c) {
    return c == ' ' || (c >= 9 && c <= 13) || c == 0x85 || c == 0xa0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f ||
           c == 0x205f || c == 0x3000;
}

bool isNumberCp(uint32_t c) {
    if (c < 0x80) return c >= '0' && c <= '9';
    return c == 0xb2 || c == 0xb3 || c == 0xb9 || (c >= 0xbc && c <= 0xbe) ||
           (c >= 0x660 && c <= 0x669) || (c >= 0x6f0 && c <= 0x6f9) || (c >= 0x966 && c <= 0x96f) ||
           (c >= 0x2070 && c <= 0x2089) || (c >= 0x2150 && c <= 0x2189) ||
           (c >= 0x2460 && c <= 0x249b) || (c >= 0xff10 && c <= 0xff19) || c == 0x3007;
}

bool isLetterCp(uint32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (isSpaceCp(c) || isNumberCp(c)) return false;
    if (c == 0xaa || c == 0xb5 || c == 0xba) return true;
    if (c >= 0x80 && c <= 0xbf) return false;           // Latin-1 controls, punctuation, symbols
    if (c == 0xd7 || c == 0xf7) return false;           // x and division signs
    if (c >= 0x300 && c <= 0x36f) return false;         // combining marks
    if (c >= 0x2000 && c <= 0x2bff) return false;       // punctuation, symbols, arrows, math
    if (c >= 0x3000 && c <= 0x303f) return false;       // CJK punctuation
    if ((c >= 0xff01 && c <= 0xff0f) || (c >= 0xff1a && c <= 0xff20) ||
        (c >= 0xff3b && c <= 0xff40) || (c >= 0xff5b && c <= 0xff65)) {
        return false;  // full-width punctuation
    }
    if (c >= 0xfe30 && c <= 0xfe4f) return false;
    if (c >= 0x1f000) return false;                     // emoji and other symbols
    return true;
}

std::vector<std::string> preTokenize(std::string_view text) {
    // Decode once into code points with their byte offsets.
    std::vector<uint32_t> cps;
    std::vector<size_t> offs;
    for (size_t i = 0; i < text.size();) {
        uint32_t cp;
        size_t n = nextCodePoint(text, i, cp);
        if (n == 0) {
            cp = 0xfffd;  // an invalid byte still becomes its own byte token below
            n = 1;
        }
        cps.push_back(cp);
        offs.push_back(i);
        i += n;
    }
    offs.push_back(text.size());
    const size_t n = cps.size();
    std::vector<std::string> out;
    const auto emit = [&](size_t a, size_t b) { out.emplace_back(text.substr(offs[a], offs[b] - offs[a])); };
    const auto other = [&](uint32_t c) { return !isSpaceCp(c) && !isLetterCp(c) && !isNumberCp(c); };

    size_t i = 0;
    while (i < n) {
        // Contractions: 's 't 're 've 'm 'll 'd
        if (cps[i] == '\'' && i + 1 < n) {
            const uint32_t a = cps[i + 1];
            const uint32_t b = i + 2 < n ? cps[i + 2] : 0;
            size_t len = 0;
            if (a == 's' || a == 't' || a == 'm' || a == 'd') len = 2;
            else if ((a == 'r' && b == 'e') || (a == 'v' && b == 'e') || (a == 'l' && b == 'l')) len = 3;
            if (len) {
                emit(i, i + len);
                i += len;
                continue;
            }
        }
        const size_t start = i;
        const size_t body = (cps[i] == ' ' && i + 1 < n) ? i + 1 : i;
        const auto run = [&](auto pred) {
            size_t j = body;
            while (j < n && pred(cps[j])) ++j;
            return j;
        };
        if (isLetterCp(cps[body])) {
            const size_t j = run(isLetterCp);
            emit(start, j);
            i = j;
            continue;
        }
        if (isNumberCp(cps[body])) {
            const size_t j = run(isNumberCp);
            emit(start, j);
            i = j;
            continue;
        }
        if (other(cps[body])) {
            const size_t j = run(other);
            emit(start, j);
            i = j;
            continue;
        }
        // Whitespace: a run, leaving its last character to the next token when that token
        // starts with a non-space (\s+(?!\S) then \s+).
        size_t j = i;
        while (j < n && isSpaceCp(cps[j])) ++j;
        if (j < n && j - i > 1) --j;
        emit(i, j);
        i = j;
    }
    return out;
}

std::vector<std::pair<std::string, int>> vocabFromJson(const nlohmann::json& j, const std::string& file) {
    if (!j.is_object()) throw WhisperError(file + ": the vocabulary is not a JSON object");
    std::vector<std::pair<std::string, int>> vocab;
    vocab.reserve(j.size());
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!it.value().is_number_integer()) {
            throw WhisperError(file + ": vocabulary entry \"" + it.key() + "\" has no integer id");
        }
        vocab.emplace_back(it.key(), it.value().get<int>());
    }
    return vocab;
}

std::pair<std::string, std::string> splitMerge(const std::string& line, const std::string& file) {
    const size_t sp = line.find(' ');
    if (sp == std::string::npos || sp == 0 || sp + 1 >= line.size() ||
        line.find(' ', sp + 1) != std::string::npos) {
        throw WhisperError(file + ": malformed merge \"" + line + "\"");
    }
    return {line.substr(0, sp), line.substr(sp + 1)};
}

}  // namespace

WhisperTokenizer WhisperTokenizer::load(const std::string& folder, int modelVocabSize) {
    namespace fs = std::filesystem;
    const fs::path dir(folder);
    std::vector<std::pair<std::string, int>> vocab;
    std::vector<std::pair<std::string, std::string>> merges;
    std::vector<AddedToken> added;
    std::string source;

    if (fs::exists(dir / "tokenizer.json")) {
        source = (dir / "tokenizer.json").string();
        const nlohmann::json j = readJsonFile(source);
        if (!j.is_object() || !j.contains("model") || !j["model"].is_object()) {
            throw WhisperError(source + ": no \"model\" object");
        }
        const auto& model = j["model"];
        if (!model.contains("vocab")) throw WhisperError(source + ": no \"model.vocab\"");
        vocab = vocabFromJson(model["vocab"], source);
        if (model.contains("merges")) {
            if (!model["merges"].is_array()) throw WhisperError(source + ": \"model.merges\" is not a list");
            for (const auto& m : model["merges"]) {
                if (m.is_string()) {
                    merges.push_back(splitMerge(m.get<std::string>(), source));
                } else if (m.is_array() && m.size() == 2 && m[0].is_string() && m[1].is_string()) {
                    merges.emplace_back(m[0].get<std::string>(), m[1].get<std::string>());
                } else {
                    throw WhisperError(source + ": malformed entry in \"model.merges\"");
                }
            }
        }
        if (j.contains("added_tokens")) {
            if (!j["added_tokens"].is_array()) throw WhisperError(source + ": \"added_tokens\" is not a list");
            for (const auto& t : j["added_tokens"]) {
                if (!t.is_object() || !t.contains("id") || !t["id"].is_number_integer() ||
                    !t.contains("content") || !t["content"].is_string()) {
                    throw WhisperError(source + ": malformed entry in \"added_tokens\"");
                }
                added.push_back({t["id"].get<int>(), t["content"].get<std::string>(),
                                 t.value("special", true)});
            }
        }
    } else if (fs::exists(dir / "vocab.json")) {
        source = (dir / "vocab.json").string();
        vocab = vocabFromJson(readJsonFile(source), source);
        const std::string mergesPath = (dir / "merges.txt").string();
        std::ifstream in(mergesPath, std::ios::binary);
        if (!in) throw WhisperError(mergesPath + ": cannot open (vocab.json needs merges.txt)");
        std::string line;
        bool first = true;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (first && line.rfind("#version", 0) == 0) {
                first = false;
                continue;
            }
            first = false;
            if (line.empty()) continue;
            merges.push_back(splitMerge(line, mergesPath));
        }
        const fs::path addedPath = dir / "added_tokens.json";
        if (fs::exists(addedPath)) {
            for (const auto& [content, id] : vocabFromJson(readJsonFile(addedPath.string()), addedPath.string())) {
                added.push_back({id, content, true});
            }
        }
    } else {
        throw WhisperError(folder + ": no tokenizer files (tokenizer.json, or vocab.json and merges.txt)");
    }
    return fromParts(vocab, merges, added, modelVocabSize, source);
}

WhisperTokenizer WhisperTokenizer::fromParts(const std::vector<std::pair<std::string, int>>& vocab,
                                             const std::vector<std::pair<std::string, std::string>>& merges,
                                             const std::vector<AddedToken>& added, int modelVocabSize,
                                             const std::string& source) {
    WhisperTokenizer t;
    t.modelVocabSize_ = modelVocabSize;
    int maxId = -1;
    const auto check = [&](const std::string& text, int id) {
        if (id < 0 || id >= kMaxTokenId) {
            throw WhisperError(source + ": token \"" + text + "\" has invalid id " + std::to_string(id));
        }
        maxId = std::max(maxId, id);
    };
    for (const auto& [text, id] : vocab) check(text, id);
    for (const auto& a : added) check(a.content, a.id);
    t.idToToken_.assign(size_t(maxId + 1), std::string());
    t.isAdded_.assign(size_t(maxId + 1), 0);
    // One text per id: a file that gives an id two texts would decode it as either.
    const auto place = [&](const std::string& text, int id) {
        std::string& slot = t.idToToken_[size_t(id)];
        if (!slot.empty() && slot != text) {
            throw WhisperError(source + ": tokens \"" + slot + "\" and \"" + text + "\" share the id " + std::to_string(id));
        }
        slot = text;
    };
    for (const auto& [text, id] : vocab) {
        place(text, id);
        t.tokenToId_[text] = id;
    }
    for (const auto& a : added) {
        place(a.content, a.id);
        t.isAdded_[size_t(a.id)] = 1;
        t.tokenToId_[a.content] = a.id;
    }
    int rank = 0;
    for (const auto& [a, b] : merges) t.mergeRanks_.emplace(a + " " + b, rank++);
    t.finish(source);
    return t;
}

void WhisperTokenizer::finish(const std::string& source) {
    const auto need = [&](const char* text) {
        const auto id = tokenToId(text);
        if (!id) throw WhisperError(source + ": the tokenizer has no \"" + std::string(text) + "\" token");
        if (*id >= modelVocabSize_) {
            throw WhisperError(source + ": token \"" + std::string(text) + "\" has id " +
                               std::to_string(*id) + ", outside the model's vocabulary of " +
                               std::to_string(modelVocabSize_));
        }
        return *id;
    };
    const auto optional = [&](const char* text) {
        const auto id = tokenToId(text);
        return (id && *id < modelVocabSize_) ? *id : -1;
    };
    SpecialTokens& s = special_;
    s.endToken = need("<|endoftext|>");
    s.specialTokenBegin = s.endToken;
    s.startOfTranscriptToken = need("<|startoftranscript|>");
    s.noTimestampsToken = need("<|notimestamps|>");
    s.startOfPreviousToken = need("<|startofprev|>");
    s.transcribeToken = need("<|transcribe|>");
    s.translateToken = need("<|translate|>");
    s.englishToken = optional("<|en|>");
    s.noSpeechToken = optional("<|nospeech|>");
    if (s.noSpeechToken < 0) s.noSpeechToken = optional("<|nocaptions|>");
    const int firstTimestamp = optional("<|0.00|>");
    s.timeTokenBegin = firstTimestamp >= 0 ? firstTimestamp : s.noTimestampsToken + 1;
    if (s.timeTokenBegin + kTimestampCount > modelVocabSize_) {
        throw WhisperError(source + ": the " + std::to_string(kTimestampCount) +
                           " timestamp tokens from id " + std::to_string(s.timeTokenBegin) +
                           " do not fit in the model's vocabulary of " + std::to_string(modelVocabSize_));
    }
    const std::string space = byteMap().byteToText[uint8_t(' ')];
    const auto ws = tokenToId(space);
    if (!ws) throw WhisperError(source + ": the tokenizer has no token for a single space");
    s.whitespaceToken = *ws;
    // Control tokens must follow the ordinary ones: "text token" means id < endToken throughout.
    for (int id : {s.startOfTranscriptToken, s.noTimestampsToken, s.startOfPreviousToken,
                   s.transcribeToken, s.translateToken}) {
        if (id < s.endToken) {
            throw WhisperError(source + ": control token \"" + idToToken(id) +
                               "\" comes before \"<|endoftext|>\"");
        }
    }

    // Language tokens: "<|xx|>" or "<|xxx|>" with lower-case letters.
    for (size_t id = 0; id < idToToken_.size(); ++id) {
        if (!isAdded_[id]) continue;
        const std::string& text = idToToken_[id];
        if (text.size() < 6 || text.size() > 7 || text.rfind("<|", 0) != 0 ||
            text.compare(text.size() - 2, 2, "|>") != 0) {
            continue;
        }
        const std::string code = text.substr(2, text.size() - 4);
        if (std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; }) &&
            int(id) < modelVocabSize_) {
            languages_.emplace_back(code, int(id));
        }
    }
    constexpr int kEnglishOnlyVocabulary = 51864;
    multilingual_ = !languages_.empty() && modelVocabSize_ != kEnglishOnlyVocabulary;
}

std::optional<int> WhisperTokenizer::tokenToId(std::string_view token) const {
    const auto it = tokenToId_.find(std::string(token));
    if (it == tokenToId_.end()) return std::nullopt;
    return it->second;
}

std::string WhisperTokenizer::idToToken(int id) const {
    if (id >= 0 && size_t(id) < idToToken_.size() && !idToToken_[size_t(id)].empty()) {
        return idToToken_[size_t(id)];
    }
    if (id >= special_.timeTokenBegin && id < special_.timeTokenBegin + kTimestampCount) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "<|%.2f|>", double(id - special_.timeTokenBegin) * 0.02);
        return buf;
    }
    return {};
}

std::string WhisperTokenizer::decodeBytes(std::span<const int> tokens) const {
    const ByteMap& bm = byteMap();
    std::string out;
    for (int id : tokens) {
        const bool known = id >= 0 && size_t(id) < idToToken_.size() && !idToToken_[size_t(id)].empty();
        if (!known || isAdded_[size_t(id)]) {
            out += idToToken(id);  // control and timestamp tokens as their text
            continue;
        }
        const std::string& text = idToToken_[size_t(id)];
        for (size_t i = 0; i < text.size();) {
            uint32_t cp;
            size_t n = nextCodePoint(text, i, cp);
            if (n == 0) {
                n = 1;
                cp = 0xfffd;
            }
            const auto it = bm.cpToByte.find(cp);
            if (it != bm.cpToByte.end()) out.push_back(char(it->second));
            else out.append(text, i, n);  // not a byte character: keep it as written
            i += n;
        }
    }
    return out;
}

std::string WhisperTokenizer::decode(std::span<const int> tokens, bool skipSpecialTokens) const {
    if (!skipSpecialTokens) return sanitizeUtf8(decodeBytes(tokens));
    std::vector<int> kept;
    kept.reserve(tokens.size());
    for (int id : tokens) {
        if (id < special_.specialTokenBegin) kept.push_back(id);
    }
    return sanitizeUtf8(decodeBytes(kept));
}

std::vector<std::string> WhisperTokenizer::bpe(const std::string& symbolsText) const {
    // Split into single characters (each one byte-level symbol).
    std::vector<std::string> parts;
    for (size_t i = 0; i < symbolsText.size();) {
        uint32_t cp;
        size_t n = nextCodePoint(symbolsText, i, cp);
        if (n == 0) n = 1;
        parts.emplace_back(symbolsText.substr(i, n));
        i += n;
    }
    while (parts.size() > 1) {
        int best = std::numeric_limits<int>::max();
        size_t at = 0;
        for (size_t k = 0; k + 1 < parts.size(); ++k) {
            const auto it = mergeRanks_.find(parts[k] + " " + parts[k + 1]);
            if (it != mergeRanks_.end() && it->second < best) {
                best = it->second;
                at = k;
            }
        }
        if (best == std::numeric_limits<int>::max()) break;
        const std::string left = parts[at], right = parts[at + 1];
        // Merge every occurrence of this pair, left to right.
        std::vector<std::string> merged;
        merged.reserve(parts.size());
        for (size_t k = 0; k < parts.size(); ++k) {
            if (k + 1 < parts.size() && parts[k] == left && parts[k + 1] == right) {
                merged.push_back(left + right);
                ++k;
            } else {
                merged.push_back(parts[k]);
            }
        }
        parts.swap(merged);
    }
    return parts;
}

std::vector<int> WhisperTokenizer::encode(std::string_view text) const {
    const ByteMap& bm = byteMap();
    std::vector<int> ids;
    for (const std::string& piece : preTokenize(text)) {
        std::string symbols;
        for (unsigned char c : piece) symbols += bm.byteToText[c];
        for (const std::string& part : bpe(symbols)) {
            if (const auto id = tokenToId(part)) {
                ids.push_back(*id);
                continue;
            }
            // A merge result missing from the vocabulary: fall back to its single bytes.
            for (size_t i = 0; i < part.size();) {
                uint32_t cp;
                size_t n = nextCodePoint(part, i, cp);
                if (n == 0) n = 1;
                const auto id = tokenToId(part.substr(i, n));
                if (!id) throw WhisperError("The tokenizer cannot encode the byte symbol \"" + part.substr(i, n) + "\"");
                ids.push_back(*id);
                i += n;
            }
        }
    }
    return ids;
}

}  // namespace lumenote::engine
