#include "export/Chapters.h"

#include "core/PassageGrouping.h"
#include "core/LectureFiles.h"
#include "screenshots/WordRecognizer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

namespace {

// A slide's place in the cache: its time and its picture's size.
QString slideKey(double timestamp, const QSize& size) {
    return QString::number(timestamp, 'g', 17) + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
           QString::number(size.height());
}

QHash<QString, QStringList> readSlideTextCache(const QString& path) {
    QHash<QString, QStringList> cache;
    const std::optional<QByteArray> bytes = readFileBytes(path);
    if (!bytes) return cache;
    const QJsonObject root = QJsonDocument::fromJson(*bytes).object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        QStringList lines;
        for (const QJsonValue& line : it.value().toArray()) lines << line.toString();
        cache.insert(it.key(), lines);
    }
    return cache;
}

}  // namespace

QList<SlideText> recognizeSlideText(const QList<CapturedScreenshot>& screenshots, const QSet<double>& textSlides,
                                    const QString& cachePath) {
    QList<CapturedScreenshot> slides;
    for (const CapturedScreenshot& s : screenshots)
        if (textSlides.contains(s.timestamp)) slides.append(s);
    if (slides.isEmpty() || !WordRecognizer::isAvailable()) return {};

    const QHash<QString, QStringList> cached = cachePath.isEmpty() ? QHash<QString, QStringList>() : readSlideTextCache(cachePath);
    QList<CapturedScreenshot> unread;
    for (const CapturedScreenshot& s : slides)
        if (!cached.contains(slideKey(s.timestamp, s.image.size()))) unread.append(s);
    const QList<SlideText> read = QtConcurrent::blockingMapped<QList<SlideText>>(unread, [](const CapturedScreenshot& s) {
        return SlideText{s.timestamp, WordRecognizer::recognizeLines(s.image)};
    });

    QList<SlideText> out;
    QJsonObject kept;
    qsizetype next = 0;
    for (const CapturedScreenshot& s : slides) {
        const QString key = slideKey(s.timestamp, s.image.size());
        const auto hit = cached.constFind(key);
        const SlideText text = hit != cached.constEnd() ? SlideText{s.timestamp, *hit} : read[next++];
        out.append(text);
        kept.insert(key, QJsonArray::fromStringList(text.lines));
    }
    if (!cachePath.isEmpty() && !unread.isEmpty()) writeFileAtomically(cachePath, QJsonDocument(kept).toJson(QJsonDocument::Compact));
    return out;
}

}  // namespace lumenote
