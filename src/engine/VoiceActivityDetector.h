#pragma once

// Energy-based voice activity detection and the chunker that cuts long audio at silences
// (used by the `vad` chunking strategy).

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace lumenote::engine {

class VoiceActivityDetector {
public:
    virtual ~VoiceActivityDetector() = default;
    // One flag per frame.
    virtual std::vector<bool> voiceActivity(std::span<const float> samples) const = 0;
    virtual int64_t frameLengthSamples() const = 0;
    // Speech ranges [begin, end) in samples: runs of active frames, the last clipped to the audio.
    std::vector<std::pair<int64_t, int64_t>> voiceActivityRanges(std::span<const float> samples) const;
};

class EnergyVAD : public VoiceActivityDetector {
public:
    EnergyVAD(int64_t sampleRate = 16000, int64_t frameLengthSamples = 1600, int64_t frameOverlapSamples = 0,
              float energyThreshold = 0.02f);
    // ceil(samples / frameLength) frames; a frame is active when its RMS exceeds the threshold.
    std::vector<bool> voiceActivity(std::span<const float> samples) const override;
    int64_t frameLengthSamples() const override { return frameLength; }

    int64_t sampleRate;
    int64_t frameLength;
    int64_t frameOverlap;
    float energyThreshold;
};

struct AudioChunk {
    int64_t seekOffsetIndex = 0;  // where the chunk starts in the whole audio, in samples
    std::vector<float> audioSamples;
};

class VADAudioChunker {
public:
    explicit VADAudioChunker(int64_t windowPadding = 16000, std::shared_ptr<VoiceActivityDetector> vad = nullptr);
    // Chunks of at most `maxChunkLength` samples. A chunk ends `windowPadding` samples after
    // the last speech range that fits (or at the longest silence), so no word is cut; audio
    // with no speech at all yields no chunk.
    std::vector<AudioChunk> chunkAll(std::span<const float> audio, int64_t maxChunkLength = 480000) const;

    int64_t windowPadding;
    std::shared_ptr<VoiceActivityDetector> vad;
};

}  // namespace lumenote::engine
