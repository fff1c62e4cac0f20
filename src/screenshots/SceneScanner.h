#pragma once

// The decisions of screenshot capture, apart from decoding: which sampled
// frames of the scan become screenshots (text slides must settle and really
// differ; other scenes are taken at most once per spacing), which of the
// candidate frames after a chosen time is sharpest, and the summary lines.
//
// A text slide that differs from the last capture by pixels is a new slide;
// one that differs only a little is decided by its recognised words. A slide
// that builds on the last captured one (all of its words and more) replaces
// that capture, so each slide is kept once, in its fullest form.

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

// Two grey thumbnails whose changed-pixel fraction is at most this show the
// same picture: compression noise of ordinary lecture videos stays well below
// it, while two sparse slides (a title and one line) that differ only in that
// line lie above it.
inline constexpr double kSamePictureFraction = 0.003;

// Whether `words` hold every word of `earlier` and at least one more (an
// earlier form with no words at all is no slide to build on).
bool buildsOn(const QSet<QString>& words, const QSet<QString>& earlier);

// Sample times of the scan: 0, 0.5, 1.0, ... while t <= duration (by repeated addition).
QList<double> scanSampleTimes(double duration);

class SceneScanner {
public:
    // Recognises the words of a frame. Called only where a rule needs them:
    // for a still text slide that may build on the last capture or that
    // changed too little for the pixels to decide (once per picture), and
    // lazily for the last captured text slide.
    using WordReader = std::function<QSet<QString>(const QImage& frame)>;

    SceneScanner(ScanParameters parameters, double duration, WordReader readWords);

    // A sample that could not be decoded.
    void addUndecodable();
    // A decoded sample: its 640 x 360 grey thumbnail, whether it is a text
    // slide, and the frame (for word recognition). Returns the capture time
    // when the sample was selected, either as a new screenshot or in place of
    // the last one (selectedTimes() then keeps its length).
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
    std::optional<double> addTextSlide(double t, double gap, const QByteArray& thumbnail, const QImage& frame, bool wasMoving);
    void capture(double at, double t, const QByteArray& thumbnail);
    QSet<QString> read(const QImage& frame) const;
    const QSet<QString>& referenceWords();
    const QSet<QString>& wordsOf(const QByteArray& thumbnail, const QImage& frame);

    ScanParameters params_;
    double duration_;
    WordReader reader_;
    double lastCapture_;
    QByteArray reference_;
    QByteArray previous_;
    // This text sample shows the same picture as the one before (within the
    // noise floor); only still pictures are read.
    bool still_ = false;
    // The sample before was a settled text slide that was not still.
    bool moving_ = false;
    // Whether the last capture was a text slide (a later slide may build on it).
    bool referenceIsText_ = false;
    // The words of the last text capture, read when first needed.
    std::optional<QSet<QString>> referenceWords_ = QSet<QString>();
    QImage referenceWordsFrame_;
    // The last picture whose words were read, so a still slide is read once.
    QByteArray lastRead_;
    QSet<QString> lastReadWords_;
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
