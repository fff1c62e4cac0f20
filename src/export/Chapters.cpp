#include "export/Chapters.h"

#include "core/PassageGrouping.h"
#include "screenshots/WordRecognizer.h"

#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

namespace lumenote {
namespace {

QString shortened(const QString& text) {
    if (text.size() <= kChapterTitleLength) return text;
    QString cut = text.left(kChapterTitleLength);
    const qsizetype space = cut.lastIndexOf(QLatin1Char(' '));
    if (space > kChapterTitleLength / 2) cut.truncate(space);
    return cut.trimmed() + QStringLiteral("…");
}

}  // namespace

QString slideChapterTitle(const QStringList& lines) {
    for (const QString& raw : lines) {
        // Keep letters, digits and ordinary punctuation; recognition debris
        // (stray symbols, bullets, rules) goes.
        QString kept;
        for (const QChar c : raw) {
            if (c.isLetterOrNumber() || c.isSpace() || QStringLiteral("-'’:,.&()/?!+=%").contains(c)) kept += c;
            else kept += QLatin1Char(' ');
        }
        QString line = kept.simplified();
        while (!line.isEmpty() && !line.front().isLetterOrNumber() && line.front() != QLatin1Char('(')) line.remove(0, 1);
        while (!line.isEmpty() && QStringLiteral("-:,.&/+=").contains(line.back())) line.chop(1);
        line = line.trimmed();
        if (std::count_if(line.begin(), line.end(), [](QChar c) { return c.isLetter(); }) >= 3) return shortened(line);
    }
    return {};
}

QList<Chapter> slideChapters(const QList<SlideText>& slides) {
    QList<SlideText> sorted = slides;
    std::stable_sort(sorted.begin(), sorted.end(), [](const SlideText& a, const SlideText& b) { return a.timestamp < b.timestamp; });
    QList<Chapter> out;
    for (const SlideText& s : sorted) {
        const QString title = slideChapterTitle(s.lines);
        if (title.isEmpty()) continue;
        if (!out.isEmpty() && out.back().title.compare(title, Qt::CaseInsensitive) == 0) continue;
        out.append({s.timestamp, title});
    }
    return out;
}

QList<Chapter> pauseChapters(const Transcript& segments) {
    struct Start {
        double time;
        double pause;
        QString text;
    };
    std::vector<Start> starts;
    double lastEnd = 0;
    for (const TranscriptSegment& s : segments) {
        const QString text = cleanSegmentText(s.text);
        if (text.isEmpty()) continue;
        starts.push_back({s.startTime, starts.empty() ? 0 : s.startTime - lastEnd, text});
        lastEnd = std::max(s.endTime, s.startTime);
    }
    if (starts.empty()) return {};
    const double length = lastEnd - starts.front().time;
    const int wanted = std::clamp(int(length / 300.0), 1, 20);

    std::vector<size_t> order(starts.size() - 1);
    for (size_t i = 0; i < order.size(); ++i) order[i] = i + 1;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return starts[a].pause > starts[b].pause; });
    std::vector<size_t> chosen{0};
    for (size_t i : order) {
        if (int(chosen.size()) == wanted) break;
        const bool apart = std::all_of(chosen.begin(), chosen.end(), [&](size_t c) { return std::abs(starts[c].time - starts[i].time) >= 60; });
        if (apart) chosen.push_back(i);
    }
    std::sort(chosen.begin(), chosen.end());
    QList<Chapter> out;
    for (size_t i : chosen) {
        const QStringList words = starts[i].text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString title = words.mid(0, 6).join(QLatin1Char(' '));
        while (!title.isEmpty() && QStringLiteral(".,;:!?…").contains(title.back())) title.chop(1);
        out.append({starts[i].time, shortened(title) + (words.size() > 6 ? QStringLiteral("…") : QString())});
    }
    return out;
}

QList<Chapter> lectureChapters(const QList<SlideText>& slides, const Transcript& segments) {
    QList<Chapter> chapters = slideChapters(slides);
    return chapters.isEmpty() ? pauseChapters(segments) : chapters;
}

QList<SlideText> recognizeSlideText(const QList<CapturedScreenshot>& screenshots, const QSet<double>& textSlides) {
    QList<CapturedScreenshot> slides;
    for (const CapturedScreenshot& s : screenshots)
        if (textSlides.contains(s.timestamp)) slides.append(s);
    if (slides.isEmpty() || !WordRecognizer::isAvailable()) return {};
    return QtConcurrent::blockingMapped<QList<SlideText>>(slides, [](const CapturedScreenshot& s) {
        return SlideText{s.timestamp, WordRecognizer::recognizeLines(s.image)};
    });
}

}  // namespace lumenote
