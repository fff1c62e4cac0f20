#pragma once

// Audio extraction with the FFmpeg libraries: every audio stream of a media
// file decoded, mixed down to mono, resampled to 16 kHz and written as a
// 16-bit little-endian PCM WAV file, which is what the speech engine reads.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

namespace lumenote {

inline constexpr int kExtractSampleRate = 16000;

struct ExtractedAudio {
    QString wavPath;
    double duration = 0;        // the source's duration in seconds; 0 when unknown
    qint64 sampleCount = 0;     // samples written
};

// Writes `wavPath` from `sourcePath`, blocking the calling thread. Throws
// DomainError: "TranscriptionService" code 1 when the file has no audio stream
// (nothing is written then), codes 2 to 4 where FFmpeg or the file system
// give no reason of their own, and domain "FFmpeg" or "QFileDevice" with their
// own code and reason otherwise (a file that is not media, a damaged or
// truncated file, a full disk). `cancel`, when set during the run, stops it
// with ExtractionCancelled.
ExtractedAudio extractAudioToWav(const QString& sourcePath, const QString& wavPath,
                                 const std::atomic<bool>* cancel = nullptr);

struct ExtractionCancelled {};

// Reads the samples of a WAV file that extractAudioToWav wrote, one stretch at
// a time, so that a long recording never sits in memory whole. Samples are
// scaled as the speech engine's own reader does (x / 32768).
class WavSampleReader {
public:
    // Throws DomainError "QFileDevice" when the file cannot be opened or is no such WAV file.
    explicit WavSampleReader(const QString& path);
    qint64 sampleCount() const { return sampleCount_; }
    // `count` samples from `first` (fewer at the end); throws DomainError on a read error.
    std::vector<float> read(qint64 first, qint64 count);

private:
    QFile file_;
    qint64 sampleCount_ = 0;
};

// The 44-byte header of a PCM WAV file (mono, 16 kHz, 16-bit) holding
// `dataBytes` bytes of samples.
QByteArray wavHeader(quint32 dataBytes, int sampleRate = kExtractSampleRate, int channels = 1);

}  // namespace lumenote
