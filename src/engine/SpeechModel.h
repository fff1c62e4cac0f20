#pragma once

// The seam between the decoding logic and the neural network. The transcription loop and the
// window decoder only talk to these interfaces, so tests can drive them with scripted logits.

#include <span>

namespace lumenote::engine {

// The text decoder seen from the decoding loop: token ids in, next-token logits out.
class LogitsSource {
public:
    virtual ~LogitsSource() = default;

    virtual int vocabularySize() const = 0;
    // Most positions one window can hold (the prompt included).
    virtual int maxPositions() const = 0;

    // Keeps the first `keep` cached positions, runs `tokens` at positions keep, keep+1, ... in one
    // pass and writes the logits that follow the last of them (vocabularySize() floats).
    virtual void decode(std::span<const int> tokens, int keep, std::span<float> logits) = 0;

    // Word timings: while recording is on, decode() keeps the alignment heads' cross-attention
    // weights of every position it runs. Weights of `position` are heads x frames floats, the
    // frames being those of the window that hold audio. Empty when nothing was recorded.
    virtual void setRecordAlignment(bool on) { (void)on; }
    virtual int alignmentHeadCount() const { return 0; }
    virtual int alignmentFrameCount() const { return 0; }
    virtual std::span<const float> alignmentWeights(int position) const {
        (void)position;
        return {};
    }
};

// Seconds spent on one window's features and encoder pass.
struct EncodeTimings {
    double logmel = 0;
    double encoder = 0;
    double crossKv = 0;
};

// The whole model seen from the transcription loop.
class SpeechModel : public LogitsSource {
public:
    // Prepares decoding for one window: `samples` is its audio, at most 30 s; a shorter window
    // is zero-padded. Discards the decoder's cache.
    virtual EncodeTimings encodeWindow(std::span<const float> samples) = 0;
};

}  // namespace lumenote::engine
