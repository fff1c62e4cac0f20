#include "export/Subtitles.h"

#include "core/PassageGrouping.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace lumenote {
namespace {

struct TimedWord {
    QString text;
    double start = 0;
    double end = 0;
};

bool endsSentence(const QString& word) {
    static const QString ends = QStringLiteral(".?!…");
    QString w = word;
    while (!w.isEmpty() && (w.back() == QLatin1Char('"') || w.back() == QLatin1Char(')') || w.back() == QChar(0x201d))) w.chop(1);
    return !w.isEmpty() && ends.contains(w.back());
}

// The words in spoken order; a segment without word timings spreads its
// text's words evenly over its time. Sound tags are left out.
std::vector<TimedWord> timedWords(const Transcript& segments) {
    std::vector<TimedWord> out;
    for (const TranscriptSegment& s : segments) {
        if (!s.words.isEmpty()) {
            for (const WordTimestamp& w : s.words) {
                const QString text = cleanSegmentText(w.word).trimmed();
                if (!text.isEmpty()) out.push_back({text, w.start, std::max(w.end, w.start)});
            }
            continue;
        }
        const QStringList words = cleanSegmentText(s.text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const double span = std::max(0.0, s.endTime - s.startTime) / std::max<qsizetype>(1, words.size());
        for (qsizetype i = 0; i < words.size(); ++i)
            out.push_back({words[i], s.startTime + double(i) * span, s.startTime + double(i + 1) * span});
    }
    return out;
}

// Words laid out in at most two lines of the line length, as balanced as
// possible; none when they do not fit. A single word longer than a line is
// its own line.
std::optional<QStringList> layout(const std::vector<TimedWord>& words, size_t from, size_t to) {
    QString all;
    for (size_t i = from; i < to; ++i) all += (i > from ? QStringLiteral(" ") : QString()) + words[i].text;
    if (all.size() <= kSubtitleLineLength || to - from == 1) return QStringList{all};
    std::optional<QStringList> best;
    qsizetype bestLongest = 0;
    QString first;
    for (size_t cut = from + 1; cut < to; ++cut) {
        first += (cut > from + 1 ? QStringLiteral(" ") : QString()) + words[cut - 1].text;
        const QString second = all.mid(first.size() + 1);
        const qsizetype longest = std::max(first.size(), second.size());
        if (longest > kSubtitleLineLength) continue;
        if (!best || longest < bestLongest) {
            best = QStringList{first, second};
            bestLongest = longest;
        }
    }
    return best;
}

QString cueTime(double seconds, QChar fraction) {
    const qint64 ms = std::llround(std::max(0.0, seconds) * 1000);
    return QString::asprintf("%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60) + fraction +
           QString::asprintf("%03lld", ms % 1000);
}

QString vttEscape(QString s) {
    return s.replace(QLatin1Char('&'), QStringLiteral("&amp;")).replace(QLatin1Char('<'), QStringLiteral("&lt;")).replace(QLatin1Char('>'), QStringLiteral("&gt;"));
}

}  // namespace

QList<SubtitleCue> buildSubtitleCues(const Transcript& segments) {
    const std::vector<TimedWord> words = timedWords(segments);
    QList<SubtitleCue> cues;
    size_t from = 0;
    while (from < words.size()) {
        // The longest run of words from `from` that fits one cue.
        size_t to = from + 1;
        while (to < words.size()) {
            if (words[to].start - words[to - 1].end >= kSubtitlePause) break;
            if (words[to].end - words[from].start > kSubtitleMaxDuration) break;
            if (!layout(words, from, to + 1)) break;
            ++to;
        }
        // Cut short by the limits: prefer the last sentence end in the run.
        if (to < words.size() && !endsSentence(words[to - 1].text) && words[to].start - words[to - 1].end < kSubtitlePause) {
            for (size_t k = to - 1; k > from; --k) {
                if (endsSentence(words[k - 1].text)) {
                    to = k;
                    break;
                }
            }
        }
        cues.append({words[from].start, words[to - 1].end, *layout(words, from, to)});
        from = to;
    }
    return cues;
}

std::optional<SubtitleFormat> parseSubtitleFormat(const QString& name) {
    if (name == QLatin1String("srt")) return SubtitleFormat::Srt;
    if (name == QLatin1String("vtt")) return SubtitleFormat::Vtt;
    if (name == QLatin1String("txt")) return SubtitleFormat::Text;
    return std::nullopt;
}

QString subtitleFileName(SubtitleFormat format) {
    switch (format) {
    case SubtitleFormat::Srt: return QStringLiteral("subtitles.srt");
    case SubtitleFormat::Vtt: return QStringLiteral("subtitles.vtt");
    case SubtitleFormat::Text: return QStringLiteral("transcript.txt");
    }
    return {};
}

QString srtText(const QList<SubtitleCue>& cues) {
    QString out;
    for (qsizetype i = 0; i < cues.size(); ++i) {
        out += QString::number(i + 1) + QLatin1Char('\n') + cueTime(cues[i].start, QLatin1Char(',')) + QStringLiteral(" --> ") +
               cueTime(cues[i].end, QLatin1Char(',')) + QLatin1Char('\n') + cues[i].lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    }
    return out;
}

QString webVttText(const QList<SubtitleCue>& cues) {
    QString out = QStringLiteral("WEBVTT\n\n");
    for (const SubtitleCue& c : cues) {
        QStringList lines;
        for (const QString& l : c.lines) lines << vttEscape(l);
        out += cueTime(c.start, QLatin1Char('.')) + QStringLiteral(" --> ") + cueTime(c.end, QLatin1Char('.')) + QLatin1Char('\n') +
               lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n");
    }
    return out;
}

QString plainTranscriptText(const Transcript& segments) {
    QStringList paragraphs;
    for (const Block& b : groupSegmentsIntoBlocks(segments)) paragraphs << b.text;
    return paragraphs.isEmpty() ? QString() : paragraphs.join(QStringLiteral("\n\n")) + QLatin1Char('\n');
}

QString subtitleText(SubtitleFormat format, const Transcript& segments) {
    switch (format) {
    case SubtitleFormat::Srt: return srtText(buildSubtitleCues(segments));
    case SubtitleFormat::Vtt: return webVttText(buildSubtitleCues(segments));
    case SubtitleFormat::Text: return plainTranscriptText(segments);
    }
    return {};
}

QString chaptersVttText(const QList<Chapter>& chapters, double duration) {
    QString out = QStringLiteral("WEBVTT\n\n");
    for (qsizetype i = 0; i < chapters.size(); ++i) {
        const double end = i + 1 < chapters.size() ? chapters[i + 1].start : std::max(duration, chapters[i].start + 1);
        out += QStringLiteral("Chapter %1\n").arg(i + 1) + cueTime(chapters[i].start, QLatin1Char('.')) + QStringLiteral(" --> ") +
               cueTime(end, QLatin1Char('.')) + QLatin1Char('\n') + vttEscape(chapters[i].title) + QStringLiteral("\n\n");
    }
    return out;
}

QList<Chapter> parseChaptersVtt(const QString& text) {
    static const QRegularExpression timing(QStringLiteral("^(\\d+):(\\d\\d):(\\d\\d)\\.(\\d\\d\\d) --> "));
    QList<Chapter> out;
    if (!text.startsWith(QLatin1String("WEBVTT"))) return out;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QRegularExpressionMatch m = timing.match(lines[i]);
        if (!m.hasMatch()) continue;
        const double start = m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt() + m.captured(4).toInt() / 1000.0;
        QString title = lines[i + 1].trimmed();
        title.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">")).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        if (!title.isEmpty()) out.append({start, title});
    }
    return out;
}

}  // namespace lumenote
