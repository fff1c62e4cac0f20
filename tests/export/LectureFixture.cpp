#include "LectureFixture.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QUuid>

namespace lumenote::fixture {

namespace {

const QStringList kWords = {
    QStringLiteral("entropy"), QStringLiteral("measures"), QStringLiteral("the"), QStringLiteral("number"), QStringLiteral("of"),
    QStringLiteral("microstates"), QStringLiteral("consistent"), QStringLiteral("with"), QStringLiteral("a"), QStringLiteral("given"),
    QStringLiteral("macrostate"), QStringLiteral("and"), QStringLiteral("so"), QStringLiteral("heat"), QStringLiteral("flows"),
    QStringLiteral("from"), QStringLiteral("hot"), QStringLiteral("to"), QStringLiteral("cold"), QStringLiteral("bodies"),
    QStringLiteral("because"), QStringLiteral("that"), QStringLiteral("direction"), QStringLiteral("increases"), QStringLiteral("total"),
    QStringLiteral("probability"), QStringLiteral("we"), QStringLiteral("can"), QStringLiteral("write"), QStringLiteral("Boltzmann's"),
    QStringLiteral("formula"), QStringLiteral("on"), QStringLiteral("board"), QStringLiteral("today"), QStringLiteral("engines"),
    QStringLiteral("cycles"), QStringLiteral("reversible"), QStringLiteral("processes"), QStringLiteral("temperature"), QStringLiteral("energy"),
};

}  // namespace

TranscriptSegment makeSegment(const QString& text, double start, double end) {
    TranscriptSegment s;
    s.id = QUuid::createUuid();
    s.text = text;
    s.startTime = start;
    s.endTime = end;
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const double step = words.isEmpty() ? 0 : (end - start) / words.size();
    for (int i = 0; i < words.size(); ++i) s.words.append({words[i], start + i * step, start + (i + 1) * step - step * 0.1});
    return s;
}

QList<TranscriptSegment> makeTranscript(int count, int wordsPerSegment, double secondsPerSegment, quint32 seed, double start) {
    QRandomGenerator rng(seed);
    QList<TranscriptSegment> segments;
    segments.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int n = std::max(3, wordsPerSegment + int(rng.bounded(5)) - 2);
        QStringList words;
        for (int w = 0; w < n; ++w) words.append(kWords[rng.bounded(int(kWords.size()))]);
        words[0][0] = words[0][0].toUpper();
        QString text = words.join(QLatin1Char(' '));
        if (i % 3 == 2) text += QLatin1Char(i % 9 == 8 ? '?' : '.');
        else text += QLatin1Char(',');
        const double s = start + i * secondsPerSegment;
        // A short pause after each sentence lets passages close.
        const double e = s + secondsPerSegment - (i % 3 == 2 ? 0.6 : 0.1);
        segments.append(makeSegment(text, s, e));
    }
    return segments;
}

QImage makeSlideImage(QSize size, const QString& title, const QStringList& lines) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 247));
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double unit = size.height() / 360.0;
    p.fillRect(QRectF(0, 0, size.width(), 6 * unit), QColor(123, 45, 69));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(30 * unit));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(25, 25, 30));
    p.drawText(QPointF(40 * unit, 70 * unit), title);
    font.setPixelSize(int(19 * unit));
    font.setBold(false);
    p.setFont(font);
    double y = 130 * unit;
    for (const QString& line : lines) {
        p.drawText(QPointF(60 * unit, y), QStringLiteral("• ") + line);
        y += 38 * unit;
    }
    return image;
}

QImage makeCameraImage(QSize size, quint32 seed) {
    QRandomGenerator rng(seed);
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient wall(0, 0, size.width(), size.height());
    wall.setColorAt(0, QColor(70, 62, 58));
    wall.setColorAt(1, QColor(120, 104, 92));
    p.fillRect(image.rect(), wall);
    // Shelves and furniture.
    for (int i = 0; i < 14; ++i) {
        const QColor c(60 + rng.bounded(100), 50 + rng.bounded(90), 40 + rng.bounded(80));
        p.fillRect(QRectF(rng.bounded(size.width()), rng.bounded(size.height()), 20 + rng.bounded(size.width() / 4), 10 + rng.bounded(size.height() / 5)), c);
    }
    // The presenter: head and shoulders.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 48, 70));
    p.drawEllipse(QPointF(size.width() * 0.5, size.height() * 1.05), size.width() * 0.22, size.height() * 0.45);
    p.setBrush(QColor(222, 180, 150));
    p.drawEllipse(QPointF(size.width() * 0.5, size.height() * 0.42), size.width() * 0.07, size.height() * 0.15);
    p.end();
    // Sensor noise, as much as survives video compression.
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int d = int(rng.bounded(7)) - 3;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + d, 255), qBound(0, qGreen(c) + d, 255), qBound(0, qBlue(c) + d, 255));
        }
    }
    return image;
}

QString makeNotes(int paragraphs) {
    QStringList out;
    for (int i = 0; i < paragraphs; ++i) {
        switch (i % 4) {
        case 0: out.append(QStringLiteral("## Topic %1: Entropy and heat\nHeat flows from **hot** to *cold* bodies.").arg(i)); break;
        case 1: out.append(QStringLiteral("- Entropy counts `microstates`\n- The second law holds for __isolated__ systems\n1. First law\n2. Second law")); break;
        case 2: out.append(QStringLiteral("Boltzmann's formula relates entropy to the number of microstates, and reversible processes keep it constant.")); break;
        default: out.append(QStringLiteral("### Summary %1\nEngines run in cycles; no engine beats the ***Carnot*** efficiency.").arg(i)); break;
        }
    }
    return out.join(QStringLiteral("\n\n"));
}

Annotations makeAnnotations(const QList<Block>& passages, int count, int paragraphs, quint32 seed) {
    Annotations a;
    QRandomGenerator rng(seed);
    for (int i = 0; i < count; ++i) {
        const Block& b = passages[rng.bounded(int(passages.size()))];
        const int first = rng.bounded(std::max(1, int(b.wordEntries.size()) - 3));
        QStringList anchor;
        for (int w = first; w < first + 3 && w < b.wordEntries.size(); ++w) anchor.append(b.wordEntries[w].word);
        a.userNotes.append(UserNote::create(b.startTime, QStringLiteral("Remember this part %1").arg(i)));
        a.margins.append(MarginNote::create(b.startTime, anchor.join(' '), QStringLiteral("Margin note %1").arg(i),
                                            i % 2 ? MarginNote::Side::Left : MarginNote::Side::Right));
        a.highlights.append(TextHighlight::create(b.startTime, anchor.join(' '), TextHighlight::HighlightColor(i % 4)));
        const double paragraph = rng.bounded(paragraphs);
        a.notesInline.append(UserNote::create(paragraph, QStringLiteral("Inline %1").arg(i)));
        a.notesMargins.append(MarginNote::create(paragraph, QStringLiteral("microstates"), QStringLiteral("see slide"), MarginNote::Side::Left));
        a.notesHighlights.append(TextHighlight::create(paragraph, QStringLiteral("heat"), TextHighlight::HighlightColor::Green));
    }
    return a;
}

LongLecture makeLongLecture(const QList<QImage>& pictures) {
    constexpr int kSegments = 2000, kScreenshots = 300, kAnnotations = 200, kParagraphs = 120;
    LongLecture l;
    l.segments = makeTranscript(kSegments, 15, kLongLectureSeconds / kSegments, 42);
    for (int i = 0; i < kScreenshots; ++i)
        l.screenshots.append(CapturedScreenshot::make(pictures[i % pictures.size()], (i + 0.5) * kLongLectureSeconds / kScreenshots));
    l.notes = makeNotes(kParagraphs);
    l.annotations = makeAnnotations(groupSegmentsIntoBlocks(l.segments), kAnnotations, kParagraphs, 5);
    return l;
}

void storeAnnotations(Lecture& lecture, const Annotations& a) {
    lecture.setNotesData(encodeUserNotes(a.userNotes));
    lecture.setMarginNotesData(encodeMarginNotes(a.margins));
    lecture.setHighlightsData(encodeHighlights(a.highlights));
    lecture.setNotesInlineNotesData(encodeUserNotes(a.notesInline));
    lecture.setNotesMarginNotesData(encodeMarginNotes(a.notesMargins));
    lecture.setNotesHighlightsData(encodeHighlights(a.notesHighlights));
}

}  // namespace lumenote::fixture
