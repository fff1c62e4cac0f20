#include "engine/VoiceActivityDetector.h"

#include <algorithm>
#include <cmath>

namespace lumenote::engine {

std::vector<std::pair<int64_t, int64_t>> VoiceActivityDetector::voiceActivityRanges(std::span<const float> samples) const {
    const std::vector<bool> active = voiceActivity(samples);
    const int64_t frame = frameLengthSamples();
    const int64_t total = int64_t(samples.size());
    std::vector<std::pair<int64_t, int64_t>> ranges;
    size_t i = 0;
    while (i < active.size()) {
        if (!active[i]) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < active.size() && active[j]) ++j;
        ranges.emplace_back(int64_t(i) * frame, std::min(int64_t(j) * frame, total));
        i = j;
    }
    return ranges;
}

EnergyVAD::EnergyVAD(int64_t rate, int64_t length, int64_t overlap, float threshold)
    : sampleRate(rate), frameLength(std::max<int64_t>(1, length)), frameOverlap(overlap), energyThreshold(threshold) {}

std::vector<bool> EnergyVAD::voiceActivity(std::span<const float> samples) const {
    const int64_t total = int64_t(samples.size());
    const int64_t frames = (total + frameLength - 1) / frameLength;
    std::vector<bool> active(size_t(frames), false);
    for (int64_t f = 0; f < frames; ++f) {
        // Frames step by their length; with an overlap each also looks that far ahead.
        const int64_t begin = f * frameLength;
        const int64_t end = std::min(total, begin + frameLength + std::max<int64_t>(0, frameOverlap));
        double sum = 0;
        for (int64_t i = begin; i < end; ++i) sum += double(samples[size_t(i)]) * samples[size_t(i)];
        const double rms = std::sqrt(sum / double(end - begin));
        active[size_t(f)] = rms > energyThreshold;
    }
    return active;
}

VADAudioChunker::VADAudioChunker(int64_t padding, std::shared_ptr<VoiceActivityDetector> detector)
    : windowPadding(padding), vad(detector ? std::move(detector) : std::make_shared<EnergyVAD>()) {}

std::vector<AudioChunk> VADAudioChunker::chunkAll(std::span<const float> audio, int64_t maxChunkLength) const {
    const int64_t total = int64_t(audio.size());
    maxChunkLength = std::max<int64_t>(maxChunkLength, 1);
    std::vector<std::pair<int64_t, int64_t>> ranges = vad->voiceActivityRanges(audio);
    std::vector<AudioChunk> chunks;
    int64_t cursor = 0;
    size_t k = 0;
    while (k < ranges.size()) {
        const int64_t start = std::max(cursor, ranges[k].first - windowPadding);
        const int64_t limit = std::min(total, start + maxChunkLength);
        // Take whole speech ranges (with their padding) while they fit.
        size_t last = k;
        while (last + 1 < ranges.size() && std::min(total, ranges[last + 1].second + windowPadding) <= limit) ++last;
        const int64_t end = std::min(limit, ranges[last].second + windowPadding);
        AudioChunk c;
        c.seekOffsetIndex = start;
        c.audioSamples.assign(audio.begin() + start, audio.begin() + end);
        chunks.push_back(std::move(c));
        cursor = end;
        if (ranges[last].second > end) {
            ranges[last].first = end;  // speech longer than a chunk continues in the next one
            k = last;
        } else {
            k = last + 1;
        }
    }
    return chunks;
}

}  // namespace lumenote::engine
