#include "engine/SegmentSeeker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

namespace lumenote::engine {

namespace {

std::vector<uint32_t> codePoints(std::string_view s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        const uint8_t c = uint8_t(s[i]);
        size_t n = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 1;
        if (i + n > s.size()) n = 1;
        uint32_t cp = n == 1 ? c : (c & (0x7f >> n));
        for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (uint8_t(s[i + k]) & 0x3f);
        out.push_back(cp);
        i += n;
    }
    return out;
}

bool allIn(std::string_view s, std::u32string_view set) {
    const auto cps = codePoints(s);
    if (cps.empty()) return false;
    return std::all_of(cps.begin(), cps.end(), [&](uint32_t c) { return set.find(char32_t(c)) != std::u32string_view::npos; });
}

constexpr std::u32string_view kPrepended = U"\"'\u201c\u00a1\u00bf([{-";
constexpr std::u32string_view kAppended = U"\"'.\u3002,\uff0c!\uff01?\uff1f:\uff1a\u201d)]}\u3001";

// Complete UTF-8 (no sequence cut off at the end).
bool completeUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t c = uint8_t(s[i]);
        const size_t n = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 1;
        if (i + n > s.size()) return false;
        i += n;
    }
    return true;
}

// Marks that belong to the character before them: combining marks (Thai, Lao and Burmese vowel
// signs and tones among them), variation selectors, Japanese voicing marks, Hangul vowel and
// final jamo, skin tones.
bool extendsCluster(uint32_t c) {
    static constexpr std::pair<uint32_t, uint32_t> ranges[] = {
        {0x0300, 0x036F}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x0EB1, 0x0EB1},
        {0x0EB4, 0x0EBC}, {0x0EC8, 0x0ECE}, {0x102B, 0x103E}, {0x1056, 0x1059}, {0x105E, 0x1060},
        {0x1062, 0x1064}, {0x1067, 0x106D}, {0x1071, 0x1074}, {0x1082, 0x108D}, {0x108F, 0x108F},
        {0x109A, 0x109D}, {0x1160, 0x11FF}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200D, 0x200D},
        {0x20D0, 0x20FF}, {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0x1F3FB, 0x1F3FF},
        {0xE0100, 0xE01EF},
    };
    for (const auto& [lo, hi] : ranges)
        if (c >= lo && c <= hi) return true;
    return false;
}

// The text cut into user-perceived characters; leading spaces stay with the first.
std::vector<std::string> graphemeClusters(std::string_view s) {
    std::vector<std::string> out;
    bool joinNext = false;  // after a zero-width joiner or a Burmese stacking virama
    size_t i = 0;
    while (i < s.size()) {
        const uint8_t c = uint8_t(s[i]);
        size_t n = c < 0x80 ? 1 : (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 1;
        if (i + n > s.size()) n = s.size() - i;
        const uint32_t cp = codePoints(s.substr(i, n)).front();
        const bool leadingSpace = !out.empty() && out.back().find_first_not_of(' ') == std::string::npos;
        if (out.empty() || extendsCluster(cp) || joinNext || leadingSpace) {
            if (out.empty()) out.emplace_back();
            out.back().append(s.substr(i, n));
        } else {
            out.emplace_back(s.substr(i, n));
        }
        joinNext = cp == 0x200D || cp == 0x1039;
        i += n;
    }
    return out;
}

// Languages written without spaces between words: every character is timed as a word.
bool writtenWithoutSpaces(const std::string& language) {
    for (const char* code : {"zh", "ja", "th", "lo", "my", "yue"})
        if (language == code) return true;
    return false;
}

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

SeekResult SegmentSeeker::findSeekPointAndSegments(const DecodingResult& result, const WhisperTokenizer& tokenizer,
                                                   const DecodingOptions& options, int64_t seek,
                                                   int64_t windowSamples, int64_t firstSegmentId) const {
    const SpecialTokens& st = tokenizer.specialTokens();
    const std::vector<int>& tokens = result.tokens;
    const size_t n = tokens.size();
    const float windowStart = float(seek) / kSampleRate;
    const auto isTs = [&](size_t i) { return tokens[i] >= st.timeTokenBegin; };
    const auto tsTime = [&](int token) { return st.timestampSeconds(token); };

    SeekResult out;
    out.seek = seek + windowSamples;

    // A model can name times past the audio in a short last window; no segment goes beyond it.
    const float windowEnd = windowStart + float(windowSamples) / kSampleRate;
    const auto makeSegment = [&](size_t a, size_t b, float start, float end) {
        TranscriptionSegment s;
        s.id = firstSegmentId + int64_t(out.segments.size());
        s.seek = seek;
        s.start = std::min(start, windowEnd);
        s.end = std::clamp(end, s.start, windowEnd);
        s.tokens.assign(tokens.begin() + ptrdiff_t(a), tokens.begin() + ptrdiff_t(b));
        for (size_t i = a; i < b && i < result.tokenLogProbs.size(); ++i) s.tokenLogProbs.push_back(result.tokenLogProbs[i]);
        s.text = tokenizer.decode(s.tokens, options.skipSpecialTokens);
        s.temperature = result.temperature;
        s.avgLogprob = result.avgLogProb;
        s.compressionRatio = result.compressionRatio;
        s.noSpeechProb = result.noSpeechProb;
        out.segments.push_back(std::move(s));
    };

    if (n == 0) return out;

    const bool singleTimestampEnding = n >= 2 ? (isTs(n - 1) && !isTs(n - 2)) : isTs(0);
    std::vector<size_t> cuts;  // a segment ends before each index where two timestamps meet
    for (size_t i = 1; i < n; ++i) {
        if (isTs(i) && isTs(i - 1)) cuts.push_back(i);
    }
    if (!cuts.empty()) {
        if (singleTimestampEnding) cuts.push_back(n);
        size_t last = 0;
        float previousEnd = windowStart;
        for (size_t cut : cuts) {
            const float start = isTs(last) ? windowStart + tsTime(tokens[last]) : previousEnd;
            const float end = isTs(cut - 1) ? windowStart + tsTime(tokens[cut - 1]) : start;
            makeSegment(last, cut, start, end);
            previousEnd = end;
            last = cut;
        }
        if (!singleTimestampEnding) {
            // Text after the last closed segment is decoded again from the next window.
            const int64_t advance = int64_t(std::lround(tsTime(tokens[last - 1]) / kTimePrecision)) * kSamplesPerEncoderFrame;
            if (advance > 0) out.seek = seek + std::min(advance, windowSamples);
        }
    } else {
        float duration = float(windowSamples) / kSampleRate;
        for (size_t i = n; i-- > 0;) {
            if (isTs(i)) {
                if (tokens[i] != st.timeTokenBegin) duration = tsTime(tokens[i]);
                break;
            }
        }
        makeSegment(0, n, windowStart, windowStart + duration);
    }
    return out;
}

namespace alignment {

std::vector<int> dtwRowStarts(const std::vector<double>& x, int rows, int cols) {
    const double inf = std::numeric_limits<double>::infinity();
    const size_t w = size_t(cols) + 1;
    std::vector<double> cost((size_t(rows) + 1) * w, inf);
    std::vector<uint8_t> trace((size_t(rows) + 1) * w, 0);
    cost[0] = 0;
    for (int i = 1; i <= rows; ++i) {
        for (int j = 1; j <= cols; ++j) {
            const double c0 = cost[size_t(i - 1) * w + size_t(j - 1)];
            const double c1 = cost[size_t(i - 1) * w + size_t(j)];
            const double c2 = cost[size_t(i) * w + size_t(j - 1)];
            double c;
            uint8_t t;
            if (c0 < c1 && c0 < c2) {
                c = c0, t = 0;
            } else if (c1 < c0 && c1 < c2) {
                c = c1, t = 1;
            } else {
                c = c2, t = 2;
            }
            cost[size_t(i) * w + size_t(j)] = x[size_t(i - 1) * size_t(cols) + size_t(j - 1)] + c;
            trace[size_t(i) * w + size_t(j)] = t;
        }
    }
    std::vector<int> starts(size_t(rows), cols);
    int i = rows, j = cols;
    while (i > 0 || j > 0) {
        if (i > 0 && j > 0) starts[size_t(i - 1)] = std::min(starts[size_t(i - 1)], j - 1);
        if (i == 0) {
            --j;
        } else if (j == 0) {
            --i;
        } else {
            const uint8_t t = trace[size_t(i) * w + size_t(j)];
            if (t == 0) --i, --j;
            else if (t == 1) --i;
            else --j;
        }
    }
    return starts;
}

void medianFilterRows(std::vector<float>& x, int rows, int cols, int width) {
    const int half = width / 2;
    if (cols <= half) return;
    std::vector<float> row(static_cast<size_t>(cols)), window(static_cast<size_t>(width));
    for (int r = 0; r < rows; ++r) {
        float* data = x.data() + size_t(r) * size_t(cols);
        std::copy(data, data + cols, row.begin());
        for (int c = 0; c < cols; ++c) {
            for (int k = -half; k <= half; ++k) {
                int idx = c + k;
                if (idx < 0) idx = -idx;
                if (idx >= cols) idx = 2 * (cols - 1) - idx;
                window[size_t(k + half)] = row[size_t(idx)];
            }
            std::nth_element(window.begin(), window.begin() + half, window.end());
            data[c] = window[size_t(half)];
        }
    }
}

void mergePunctuation(std::vector<WordTiming>& words) {
    if (words.size() < 2) return;
    const auto mergeProb = [](const WordTiming& a, const WordTiming& b) {
        const double na = double(a.tokens.size()), nb = double(b.tokens.size());
        return (na + nb) > 0 ? float((a.probability * na + b.probability * nb) / (na + nb)) : 0.0f;
    };
    // Opening marks join the following word (right to left, so runs of them collect).
    for (size_t j = words.size() - 1; j-- > 0;) {
        WordTiming& prev = words[j];
        WordTiming& next = words[j + 1];
        if (!next.tokens.empty() && !prev.word.empty() && prev.word.front() == ' ' && allIn(trimSpaces(prev.word), kPrepended)) {
            next.probability = mergeProb(prev, next);
            next.word = prev.word + next.word;
            next.tokens.insert(next.tokens.begin(), prev.tokens.begin(), prev.tokens.end());
            next.start = prev.start;
            prev.word.clear();
            prev.tokens.clear();
        }
    }
    // Closing marks join the preceding word.
    size_t i = 0;
    while (i < words.size() && words[i].tokens.empty()) ++i;
    for (size_t j = i + 1; j < words.size(); ++j) {
        WordTiming& prev = words[i];
        WordTiming& next = words[j];
        if (next.tokens.empty()) continue;
        if (!prev.word.empty() && prev.word.back() != ' ' && next.word.front() != ' ' && allIn(next.word, kAppended)) {
            prev.probability = mergeProb(prev, next);
            prev.word += next.word;
            prev.tokens.insert(prev.tokens.end(), next.tokens.begin(), next.tokens.end());
            prev.end = std::max(prev.end, next.end);
            next.word.clear();
            next.tokens.clear();
        } else {
            i = j;
        }
    }
    words.erase(std::remove_if(words.begin(), words.end(), [](const WordTiming& w) { return w.tokens.empty(); }),
                words.end());
}

}  // namespace alignment

void SegmentSeeker::addWordTimestamps(std::vector<TranscriptionSegment>& segments, const DecodingResult& result,
                                      const WhisperTokenizer& tokenizer, int64_t seek) const {
    const SpecialTokens& st = tokenizer.specialTokens();
    for (auto& s : segments) s.words = std::vector<WordTiming>{};
    if (!result.cache || result.cache->rows == 0 || segments.empty()) return;
    const DecodingCache& cache = *result.cache;
    const int heads = cache.heads, frames = cache.frames;
    const float windowStart = float(seek) / kSampleRate;

    // One row per sampled token, timestamps included (they absorb the time between words), and
    // the row of whatever followed the last one, which marks its end.
    const int tokenRows = std::min(int(result.tokens.size()), cache.rows);
    if (tokenRows == 0) return;
    const int R = std::min(tokenRows + 1, cache.rows);

    // Per head: renormalise over the audio frames, standardise over tokens, median filter in time.
    std::vector<float> mean(size_t(R) * size_t(frames), 0.0f);
    std::vector<float> m(size_t(R) * size_t(frames));
    for (int h = 0; h < heads; ++h) {
        for (int r = 0; r < R; ++r) {
            const float* src = cache.alignmentWeights.data() + (size_t(r) * heads + size_t(h)) * frames;
            double sum = 0;
            for (int f = 0; f < frames; ++f) sum += src[f];
            const float inv = sum > 0 ? float(1.0 / sum) : 0.0f;
            for (int f = 0; f < frames; ++f) m[size_t(r) * frames + size_t(f)] = src[f] * inv;
        }
        for (int f = 0; f < frames; ++f) {
            double mu = 0, var = 0;
            for (int r = 0; r < R; ++r) mu += m[size_t(r) * frames + size_t(f)];
            mu /= R;
            for (int r = 0; r < R; ++r) {
                const double dv = m[size_t(r) * frames + size_t(f)] - mu;
                var += dv * dv;
            }
            const double sd = std::sqrt(var / R);
            for (int r = 0; r < R; ++r) {
                float& v = m[size_t(r) * frames + size_t(f)];
                v = sd > 1e-12 ? float((v - mu) / sd) : 0.0f;
            }
        }
        alignment::medianFilterRows(m, R, frames, 7);
        for (size_t k = 0; k < m.size(); ++k) mean[k] += m[k] / float(heads);
    }
    std::vector<double> cost(mean.size());
    for (size_t k = 0; k < mean.size(); ++k) cost[k] = -double(mean[k]);
    const std::vector<int> starts = alignment::dtwRowStarts(cost, R, frames);

    // Token times: start where its row begins, end where the next row begins.
    std::vector<float> tokStart(result.tokens.size(), 0.0f), tokEnd(result.tokens.size(), -1.0f);
    for (int i = 0; i < tokenRows; ++i) {
        tokStart[size_t(i)] = windowStart + float(starts[size_t(i)]) * kTimePrecision;
        if (i + 1 < R) tokEnd[size_t(i)] = windowStart + float(starts[size_t(i + 1)]) * kTimePrecision;
    }

    size_t offset = 0;  // index of the segment's first token among the sampled tokens
    for (TranscriptionSegment& seg : segments) {
        std::vector<WordTiming> words;
        std::string pending;
        std::vector<int> pendingTokens;
        std::vector<float> pendingProbs;
        float pendingStart = 0, pendingEnd = 0;
        std::vector<std::vector<float>> wordProbs;
        const bool perCharacter = writtenWithoutSpaces(result.language);
        std::string space;
        const auto addWord = [&](const std::string& text, float start, float end) {
            WordTiming w;
            w.word = text;
            w.tokens = pendingTokens;
            w.start = start;
            w.end = end;
            words.push_back(std::move(w));
            wordProbs.push_back(pendingProbs);
        };
        // A unit is one or more tokens that spell whole characters. A word begins at a unit
        // that begins with a space, so punctuation inside or around it stays with it
        // ("well-known", "$5", "(today)."); without spaces, every character is a word, and a
        // unit of several shares its time and its tokens among them.
        const auto flushUnit = [&](const std::string& text) {
            if (perCharacter) {
                const std::vector<std::string> chars = graphemeClusters(text);
                const float step = (pendingEnd - pendingStart) / float(std::max<size_t>(1, chars.size()));
                for (size_t k = 0; k < chars.size(); ++k) {
                    const float start = pendingStart + step * float(k), end = pendingStart + step * float(k + 1);
                    if (chars[k].find_first_not_of(' ') == std::string::npos) {
                        space += chars[k];  // a space leads the next character
                    } else if (k == 0 && !words.empty() && space.empty() && extendsCluster(codePoints(chars[k]).front())) {
                        WordTiming& w = words.back();  // a mark that came in a token of its own
                        w.word += chars[k];
                        w.tokens.insert(w.tokens.end(), pendingTokens.begin(), pendingTokens.end());
                        w.end = end;
                    } else {
                        addWord(space + chars[k], start, end);
                        space.clear();
                    }
                }
                return;
            }
            if (words.empty() || text.front() == ' ') {
                addWord(text, pendingStart, pendingEnd);
                return;
            }
            WordTiming& w = words.back();
            w.word += text;
            w.tokens.insert(w.tokens.end(), pendingTokens.begin(), pendingTokens.end());
            w.end = pendingEnd;
            wordProbs.back().insert(wordProbs.back().end(), pendingProbs.begin(), pendingProbs.end());
        };
        for (size_t t = 0; t < seg.tokens.size(); ++t) {
            const size_t i = offset + t;
            const int token = seg.tokens[t];
            if (token >= st.specialTokenBegin || i >= result.tokens.size()) continue;
            if (pendingTokens.empty()) pendingStart = tokStart[i];
            pendingTokens.push_back(token);
            const auto& lp = i < result.tokenLogProbs.size() ? result.tokenLogProbs[i] : std::map<int, float>{};
            pendingProbs.push_back(lp.empty() ? 0.0f : std::exp(lp.begin()->second));
            pendingEnd = tokEnd[i] >= 0 ? tokEnd[i] : seg.end;
            pending = tokenizer.decodeBytes(pendingTokens);
            // A character split across tokens stays in one unit until its bytes are complete.
            if (!completeUtf8(pending)) continue;
            flushUnit(tokenizer.decode(pendingTokens));
            pendingTokens.clear();
            pendingProbs.clear();
        }
        if (!pendingTokens.empty()) flushUnit(tokenizer.decode(pendingTokens));
        for (size_t k = 0; k < words.size(); ++k) {
            double sum = 0;
            for (float p : wordProbs[k]) sum += p;
            words[k].probability = wordProbs[k].empty() ? 0.0f : float(sum / double(wordProbs[k].size()));
        }
        alignment::mergePunctuation(words);
        // Inside the segment, in order.
        float previousEnd = seg.start;
        for (WordTiming& w : words) {
            w.start = std::clamp(w.start, previousEnd, seg.end);
            w.end = std::clamp(w.end, w.start, seg.end);
            previousEnd = w.end;
        }
        seg.words = std::move(words);
        offset += seg.tokens.size();
    }
}

}  // namespace lumenote::engine
