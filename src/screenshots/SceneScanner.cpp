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
    : params_(parameters), duration_(duration), readWords_(std::move(readWords)), lastCapture_(-parameters.minimumSpacing) {}

void SceneScanner::addUndecodable() {
    ++sampled_;
    ++undecodable_;
}

void SceneScanner::capture(double at, double t, const QByteArray& thumbnail) {
    selected_.push_back(at);
    reference_ = thumbnail;
    lastCapture_ = t;
}

bool SceneScanner::differsInWords(const QImage& frame) {
    if (!referenceWords_) referenceWords_ = readWords_ ? readWords_(referenceWordsFrame_) : QSet<QString>();
    if (referenceWords_->isEmpty()) return false;
    const QSet<QString> words = readWords_ ? readWords_(frame) : QSet<QString>();
    if (words.isEmpty() || wordSimilarity(words, *referenceWords_) >= 0.35) return false;
    referenceWords_ = words;
    referenceWordsFrame_ = frame;
    return true;
}

std::optional<double> SceneScanner::add(double t, const QByteArray& thumbnail, bool textSlide, const QImage& frame) {
    ++sampled_;
    const double gap = t - lastCapture_;
    const auto diff = [&](const QByteArray& a) { return changedPixelFraction(a, thumbnail, params_.pixelThreshold); };
    std::optional<double> captured;

    if (!textSlide) {
        if (gap >= params_.minimumSpacing && (reference_.isEmpty() || diff(reference_) >= 0.05)) {
            captured = std::min(duration_, t + 0.25);
            capture(*captured, t, thumbnail);
        }
    } else {
        ++textSlides_;
        // A slide counts once it has settled: nothing before it proves that at time 0.
        const bool settled = !previous_.isEmpty() && diff(previous_) < 0.02;
        if (settled) {
            const double d = reference_.isEmpty() ? 1.0 : diff(reference_);
            bool take = false;
            if (gap >= 8.0) {
                take = d > 0.1 * params_.sceneSensitivity;
            } else if (gap >= 1.5 && d > 0.2) {
                take = true;
            }
            if (take) {
                captured = t;
                capture(t, t, thumbnail);
                // Read when a later slide needs comparing with this one.
                referenceWords_.reset();
                referenceWordsFrame_ = frame;
            } else if (gap >= 1.5 && d > 0.08 && differsInWords(frame)) {
                captured = t;
                capture(t, t, thumbnail);
            }
        }
    }
    previous_ = thumbnail;
    return captured;
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
