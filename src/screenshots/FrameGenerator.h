#pragma once

// Still frames from a video file through the FFmpeg libraries: the frame whose
// presentation time is nearest to a requested time within tolerances, scaled to
// a maximum size with its aspect ratio kept (or to fill a size exactly) and the
// stream's display rotation applied, together with the frame's actual time.
//
// Batch generation decodes forward once through the file, answering each
// requested time in order as soon as it is settled; it never seeks per time.
// One generator is used by one thread at a time.

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace lumenote {

struct GeneratedFrame {
    QImage image;
    double time = 0;  // seconds from the start of the video
};

struct FrameGeneratorOptions {
    // The picture fits inside this size with its aspect ratio kept; never
    // enlarged. An empty size keeps the video's display size.
    QSize maximumSize;
    // Scale to exactly maximumSize instead ("scaled to fill", aspect ignored).
    bool fillExactly = false;
    // 8-bit grey (Format_Grayscale8) instead of Format_RGB32.
    bool grey = false;
    double toleranceBefore = 0;
    double toleranceAfter = 0;
    // Leave frames that no other frame refers to undecoded. Much faster for a
    // scan; such frames are then never returned, so only use it with tolerances
    // wider than the distance between reference frames. Ignored for videos of
    // fewer than eight frames a second.
    bool skipNonReferenceFrames = false;
    // Decoder threads (0 lets FFmpeg choose).
    int threads = 0;
};

class FrameGenerator {
public:
    explicit FrameGenerator(const QString& path, FrameGeneratorOptions options = {});
    ~FrameGenerator();
    FrameGenerator(const FrameGenerator&) = delete;
    FrameGenerator& operator=(const FrameGenerator&) = delete;

    // False when the file cannot be opened, has no video stream or no decoder;
    // errorString() says why.
    bool isOpen() const;
    QString errorString() const;
    // The container's duration in seconds, when known.
    std::optional<double> duration() const;

    // The frame nearest to `seconds` within the tolerances. None when no frame
    // lies within them or decoding fails (*error says why).
    std::optional<GeneratedFrame> frameAt(double seconds, QString* error = nullptr);

    // One answer per time, in the order given, each with the requested time and
    // the frame or none. Times must be ascending (others are answered one by one
    // with frameAt). The answer returns false to stop early.
    using Answer = std::function<bool(int index, double requested, std::optional<GeneratedFrame> frame)>;
    void generate(const QList<double>& times, const Answer& answer);

private:
    struct State;
    std::unique_ptr<State> d;
};

}  // namespace lumenote
