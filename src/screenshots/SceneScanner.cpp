#include "screenshots/SceneScanner.h"

#include "screenshots/FrameAnalysis.h"

#include <algorithm>

namespace lumenote {

QList<double> scanSampleTimes(double duration) {
    QList<double> times;
    for (double t = 0; t <= duration; t += 0.5) times.push_back(t);
    return times;
}

SceneScanner::SceneScanner(ScanParameters parameters, double duration, WordReader readWords)
    : params_(parameters), duration_(duration), reader_(std::move(readWords)), lastCapture_(-parameters.minimumSpacing) {}

void SceneScanner::addUndecodable() {
    ++sampled_;
    ++undecodable_;
}

void SceneScanner::capture(double at, double t, const QByteArray& thumbnail) {
    selected_.push_back(at);
    reference_ = thumbnail;
    lastCapture_ = t;
}

namespace {
// A build step may change this share of the earlier slide's ink at most: it
// adds lines, and may recolour one or two. (A slide with the same title and
// other bullets changes more than half.)
constexpr double kBuildInkChange = 0.3;
}  // namespace

bool buildsOn(const QSet<QString>& words, const QSet<QString>& earlier) {
    return !earlier.isEmpty() && words.size() > earlier.size() && words.contains(earlier);
}

QSet<QString> SceneScanner::read(const QImage& frame) const { return reader_ ? reader_(frame) : QSet<QString>(); }

const QSet<QString>& SceneScanner::referenceWords() {
    if (!referenceWords_) referenceWords_ = read(referenceWordsFrame_);
    return *referenceWords_;
}

const QSet<QString>& SceneScanner::wordsOf(const QByteArray& thumbnail, const QImage& frame) {
    if (lastRead_.isEmpty() || changedPixelFraction(lastRead_, thumbnail, params_.pixelThreshold) > kSamePictureFraction) {
        lastReadWords_ = read(frame);
        lastRead_ = thumbnail;
    }
    return lastReadWords_;
}

std::optional<double> SceneScanner::add(double t, const QByteArray& thumbnail, bool textSlide, const QImage& frame) {
    ++sampled_;
    const double gap = t - lastCapture_;
    std::optional<double> captured;

    if (!textSlide) {
        const bool differs = reference_.isEmpty() || changedPixelFraction(reference_, thumbnail, params_.pixelThreshold) >= 0.05;
        if (gap >= params_.minimumSpacing && differs) {
            captured = std::min(duration_, t + 0.25);
            capture(*captured, t, thumbnail);
            referenceIsText_ = false;  // the reference words stay those of the last text slide
        }
        still_ = moving_ = false;
    } else {
        ++textSlides_;
        // A slide counts once it has settled: nothing before it proves that at time 0.
        const double sincePrevious = previous_.isEmpty() ? 1.0 : changedPixelFraction(previous_, thumbnail, params_.pixelThreshold);
        const bool settled = sincePrevious < 0.02;
        const bool wasMoving = moving_;
        still_ = sincePrevious <= kSamePictureFraction;
        moving_ = settled && !still_;
        if (settled) captured = addTextSlide(t, gap, thumbnail, frame, wasMoving);
    }
    previous_ = thumbnail;
    return captured;
}

std::optional<double> SceneScanner::addTextSlide(double t, double gap, const QByteArray& thumbnail, const QImage& frame, bool wasMoving) {
    const double d = reference_.isEmpty() ? 1.0 : changedPixelFraction(reference_, thumbnail, params_.pixelThreshold);
    if (d <= kSamePictureFraction) return std::nullopt;  // the captured picture itself

    // Words are read on still pictures only. A picture that has just changed
    // a little is given one more sample to stand still (a build step that
    // fades in); one that keeps moving is decided by its pixels alone.
    std::optional<QSet<QString>> words;
    const auto readWords = [&] {
        if (!words) words = wordsOf(thumbnail, frame);
        return *words;
    };

    // A slide that builds on the last captured one takes its place. It keeps
    // what was shown, so one that redraws most of the earlier text is not read
    // for this (the words of a new slide are read only when the rules below
    // need them).
    if (referenceIsText_ && changedInkFraction(reference_, thumbnail, params_.pixelThreshold) <= kBuildInkChange &&
        !referenceWords().isEmpty()) {
        if (still_) {
            if (buildsOn(readWords(), referenceWords())) {
                selected_.back() = t;
                reference_ = thumbnail;
                lastCapture_ = t;
                referenceWords_ = words;
                referenceWordsFrame_ = frame;
                return t;
            }
        } else if (!wasMoving) {
            return std::nullopt;
        }
    }

    if (gap < 1.5) return std::nullopt;
    const bool longGap = gap >= 8.0;
    const bool byPixels = longGap ? d > 0.1 * params_.sceneSensitivity : d > 0.2;
    bool take = byPixels;
    // Smaller changes are decided by the words: any change above the noise
    // floor after a long gap, above 8 % within it.
    if (!byPixels && (longGap || d > 0.08) && still_ && !referenceWords().isEmpty()) {
        const QSet<QString>& current = readWords();
        take = !current.isEmpty() && wordSimilarity(current, referenceWords()) < 0.35;
    }
    if (!take) return std::nullopt;
    capture(t, t, thumbnail);
    referenceIsText_ = true;
    // Known words become the reference; otherwise they are read when a later slide needs them.
    referenceWords_ = words;
    referenceWordsFrame_ = frame;
    return t;
}

QString SceneScanner::summaryLine() const {
    return QStringLiteral("[screenshots] Phase 1 complete: %1 frames sampled, %2 nil (undecodable), %3 timestamps selected, %4 text-slide frames detected")
        .arg(sampled_)
        .arg(undecodable_)
        .arg(selected_.size())
        .arg(textSlides_);
}

std::optional<QString> SceneScanner::warningLine() const {
    if (undecodable_ > 0 && undecodable_ == sampled_)
        return QStringLiteral("[screenshots] \u26A0\uFE0F  ALL %1 frames were nil \u2014 codec is likely unreadable by AVAssetImageGenerator (VP9/AV1 in MP4 container). Check that ffmpeg is installed and the transcode path ran.")
            .arg(sampled_);
    if (selected_.isEmpty()) return QStringLiteral("[screenshots] Phase 1 found no scene changes \u2014 video content may be static");
    return std::nullopt;
}

BestFrameSearch::BestFrameSearch(double t, double duration) : t_(t), duration_(duration), bestTime_(t) {}

QList<QPair<int, double>> BestFrameSearch::candidates() const {
    QList<QPair<int, double>> out;
    for (int i = 0; i < kCandidates; ++i) {
        const double time = std::min(t_ + kStep * i, duration_ - 0.05);
        if (time >= 0) out.push_back({i, time});
    }
    return out;
}

bool BestFrameSearch::add(int index, double time, const QByteArray& thumbnail, const std::function<double()>& sharpnessOf) {
    if (stopped_) return false;
    if (index >= 2 && !previous_.isEmpty() && changedPixelFraction(previous_, thumbnail, 20) > 0.15) {
        stopped_ = true;  // a new scene has begun
        return false;
    }
    previous_ = thumbnail;
    const double s = sharpnessOf();
    if (s > bestSharpness_) {
        bestSharpness_ = s;
        bestTime_ = time;
    }
    return true;
}

QString phase2SummaryLine(int kept, int total, int decodeFailures, int black, int blurry) {
    QString line = QStringLiteral("[screenshots] Phase 2 complete: %1/%2 kept \u2014 %3 decode failures, %4 too dark")
                       .arg(kept)
                       .arg(total)
                       .arg(decodeFailures)
                       .arg(black);
    if (blurry >= 1) line += QStringLiteral(", %1 too blurry").arg(blurry);
    return line;
}

QString capturingStatus(int count) {
    return QStringLiteral("Capturing %1 screenshot%2\u2026").arg(count).arg(count == 1 ? QString() : QStringLiteral("s"));
}

QString capturedStatus(int count) {
    return QStringLiteral("Captured %1 screenshot%2.").arg(count).arg(count == 1 ? QString() : QStringLiteral("s"));
}

}  // namespace lumenote
