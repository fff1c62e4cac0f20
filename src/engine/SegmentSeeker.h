#pragma once

// Turns one window's decoding into segments and the next seek position, and attaches word
// timings from the decoder's cross-attention alignment.

#include <cstdint>
#include <vector>

#include "engine/Models.h"
#include "engine/Tokenizer.h"

namespace lumenote::engine {

struct SeekResult {
    int64_t seek = 0;  // where the next window starts, in samples
    std::vector<TranscriptionSegment> segments;
};

class SegmentSeeker {
public:
    virtual ~SegmentSeeker() = default;

    // `seek` is the window's first sample, `windowSamples` how many samples of audio it holds.
    virtual SeekResult findSeekPointAndSegments(const DecodingResult& result, const WhisperTokenizer& tokenizer,
                                                const DecodingOptions& options, int64_t seek,
                                                int64_t windowSamples, int64_t firstSegmentId) const;

    // Sets `words` on the window's segments from result.cache (left empty without one).
    virtual void addWordTimestamps(std::vector<TranscriptionSegment>& segments, const DecodingResult& result,
                                   const WhisperTokenizer& tokenizer, int64_t seek) const;
};

namespace alignment {

// Minimum-cost monotonic path through `cost` (rows x cols). Returns, for each row, the first
// column the path reaches in it.
std::vector<int> dtwRowStarts(const std::vector<double>& cost, int rows, int cols);
// Median over a window of `width` along each row of `x` (rows x cols), edges reflected.
void medianFilterRows(std::vector<float>& x, int rows, int cols, int width);
// Attaches punctuation to its neighbours: opening marks to the following word, closing marks to
// the preceding one.
void mergePunctuation(std::vector<WordTiming>& words);

}  // namespace alignment

}  // namespace lumenote::engine
