#pragma once

// The decisions of screenshot capture, apart from decoding: which sampled
// frames of the scan become screenshots (text slides must settle and really
// differ; other scenes are taken at most once per spacing), which of the
// candidate frames after a chosen time is sharpest, and the summary lines.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace lumenote {

struct ScanParameters {
    // Grey-level difference above which a pixel counts as changed.
    uint8_t pixelThreshold = 20;
    // Least time between two captures of frames without a text slide.
    double minimumSpacing = 30;
    // Enters only the long-gap rule for text slides (0.1 x sensitivity).
    double sceneSensitivity = 0.2;
};

// Sample times of the scan: 0, 0.5, 1.0, ... while t <= duration (by repeated addition).
QList<double> scanSampleTimes(double duration);

class SceneScanner {
public:
    // Recognises the words of a frame; only called for candidate text slides
    // and, lazily, for the last captured text slide.
    using WordReader = std::function<QSet<QString>(const QImage& frame)>;

    SceneScanner(ScanParameters parameters, double duration, WordReader readWords);

    // A sample that could not be decoded.
    void addUndecodable();
    // A decoded sample: its 640 x 360 grey thumbnail, whether it is a text
    // slide, and the frame (for word recognition). Returns the capture time
    // when the sample was selected.
    std::optional<double> add(double t, const QByteArray& thumbnail, bool textSlide, const QImage& frame);

    const QList<double>& selectedTimes() const { return selected_; }
    int framesSampled() const { return sampled_; }
    int undecodable() const { return undecodable_; }
    int textSlideFrames() const { return textSlides_; }

    // "[screenshots] Phase 1 complete: ..." and, when it applies, the warning
    // about undecodable frames or about a static video.
    QString summaryLine() const;
    std::optional<QString> warningLine() const;

private:
    bool differsInWords(const QImage& frame);
    void capture(double at, double t, const QByteArray& thumbnail);

    ScanParameters params_;
    double duration_;
    WordReader readWords_;
    double lastCapture_;
    QByteArray reference_;
    QByteArray previous_;
    // The words of the last text capture, read when first needed.
    std::optional<QSet<QString>> referenceWords_ = QSet<QString>();
    QImage referenceWordsFrame_;
    QList<double> selected_;
    int sampled_ = 0, undecodable_ = 0, textSlides_ = 0;
};

// The refinement of one chosen time to the sharpest of the next few frames.
class BestFrameSearch {
public:
    static constexpr int kCandidates = 9;
    static constexpr double kStep = 0.4;

    BestFrameSearch(double t, double duration);
    // Candidate times (index, time) in order; negative times are left out.
    QList<QPair<int, double>> candidates() const;
    // A generated candidate with its 160 x 90 grey thumbnail and sharpness
    // (computed only when asked). Returns false once a new scene has begun,
    // after which later candidates must not be added.
    bool add(int index, double time, const QByteArray& thumbnail, const std::function<double()>& sharpness);
    double bestTime() const { return bestTime_; }

private:
    double t_, duration_;
    double bestTime_;
    double bestSharpness_ = -1.0;
    QByteArray previous_;
    bool stopped_ = false;
};

enum class FrameOutcome { Captured, DecodeFailed, Black, Blurry };

// "[screenshots] Phase 2 complete: K/N kept — ..." with the blurry part only
// when at least one frame was blurry.
QString phase2SummaryLine(int kept, int total, int decodeFailures, int black, int blurry);

// "Capturing N screenshot(s)…" and "Captured K screenshot(s)."
QString capturingStatus(int count);
QString capturedStatus(int count);

}  // namespace lumenote
