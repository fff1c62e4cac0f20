#pragma once

// Whisper's byte-level BPE tokenizer, read from the model folder's tokenizer files:
// tokenizer.json, or vocab.json + merges.txt (+ added_tokens.json). Special tokens are looked up
// by their text, never assumed at fixed ids.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace lumenote::engine {

struct SpecialTokens {
    int endToken = -1;              // "<|endoftext|>", also the first special id
    int englishToken = -1;          // "<|en|>", -1 for a model without language tokens
    int noSpeechToken = -1;         // "<|nospeech|>" (older files: "<|nocaptions|>"), or -1
    int noTimestampsToken = -1;     // "<|notimestamps|>"
    int specialTokenBegin = -1;     // == endToken
    int startOfPreviousToken = -1;  // "<|startofprev|>"
    int startOfTranscriptToken = -1;// "<|startoftranscript|>"
    int timeTokenBegin = -1;        // "<|0.00|>"; 1501 timestamp tokens follow in 0.02 s steps
    int transcribeToken = -1;       // "<|transcribe|>"
    int translateToken = -1;        // "<|translate|>"
    int whitespaceToken = -1;       // the token of a single space

    bool isTimestamp(int token) const { return token >= timeTokenBegin; }
    float timestampSeconds(int token) const { return float(token - timeTokenBegin) * 0.02f; }
};

// Raw bytes written in GPT-2's byte-level alphabet (how ordinary tokens are stored).
std::string byteLevelText(std::string_view bytes);

struct AddedToken {
    int id = 0;
    std::string content;
    bool special = true;
};

class WhisperTokenizer {
public:
    // Reads the tokenizer files of `folder`. `modelVocabSize` is the model's vocabulary size:
    // every special token must lie inside it, and timestamp tokens missing from the files are
    // taken to fill it after "<|notimestamps|>". Throws WhisperError naming the file.
    static WhisperTokenizer load(const std::string& folder, int modelVocabSize);
    // The same from parts already in memory; `source` names them in error messages.
    static WhisperTokenizer fromParts(const std::vector<std::pair<std::string, int>>& vocab,
                                      const std::vector<std::pair<std::string, std::string>>& merges,
                                      const std::vector<AddedToken>& added, int modelVocabSize,
                                      const std::string& source);

    const SpecialTokens& specialTokens() const { return special_; }
    // Language code -> token id ("en" -> id of "<|en|>"), in id order.
    const std::vector<std::pair<std::string, int>>& languageTokens() const { return languages_; }
    // English-only checkpoints (".en", a 51,864-token vocabulary) carry language tokens too, but
    // untrained: they get the English-only prompt. A vocabulary of 51,865 or more is
    // multilingual; for other sizes the presence of language tokens decides, unless the model's
    // generation_config.json says (setMultilingual).
    bool isMultilingual() const { return multilingual_; }
    void setMultilingual(bool multilingual) { multilingual_ = multilingual && !languages_.empty(); }

    // Text of a token sequence. Bytes are joined before UTF-8 decoding, so characters split
    // across tokens come out whole; invalid bytes become U+FFFD. With skipSpecialTokens, ids
    // from the end token on (control and timestamp tokens) are left out.
    std::string decode(std::span<const int> tokens, bool skipSpecialTokens = false) const;
    // The raw bytes the tokens stand for (special tokens as their text).
    std::string decodeBytes(std::span<const int> tokens) const;
    // BPE encoding of plain text (special-token text is not recognised).
    std::vector<int> encode(std::string_view text) const;

    std::optional<int> tokenToId(std::string_view token) const;
    // The token's string as stored (byte-level characters for ordinary tokens).
    std::string idToToken(int id) const;
    int modelVocabSize() const { return modelVocabSize_; }

private:
    void finish(const std::string& source);
    std::vector<std::string> bpe(const std::string& symbols) const;

    std::unordered_map<std::string, int> tokenToId_;
    std::vector<std::string> idToToken_;
    std::vector<char> isAdded_;  // by id: decode as plain text
    std::unordered_map<std::string, int> mergeRanks_;  // "a b" -> rank
    std::vector<std::pair<std::string, int>> languages_;
    bool multilingual_ = false;
    SpecialTokens special_;
    int modelVocabSize_ = 0;
};

}  // namespace lumenote::engine
