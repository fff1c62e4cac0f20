#include "screenshots/TextRectangleDetector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace lumenote {
namespace {

// A grey-level step of this size between the two neighbours of a pixel makes it
// an edge pixel. Low enough for grey-on-white text, high enough to ignore
// compression ripples.
constexpr int kEdgeThreshold = 40;
// Edge pixels closer than this along a row belong to one run (letters of a word).
constexpr int kRunGap = 8;
// A pixel within this many grey levels of the background counts as background.
constexpr int kFlat = 14;
// A pixel this far from the background counts as ink.
constexpr int kInk = 48;

struct Run {
    int y, x0, x1, edges;
};

struct Blob {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    int edges = 0;
    void add(const Run& r) {
        x0 = std::min(x0, r.x0);
        x1 = std::max(x1, r.x1);
        y0 = std::min(y0, r.y);
        y1 = std::max(y1, r.y);
        edges += r.edges;
    }
    void add(const Blob& b) {
        x0 = std::min(x0, b.x0);
        x1 = std::max(x1, b.x1);
        y0 = std::min(y0, b.y0);
        y1 = std::max(y1, b.y1);
        edges += b.edges;
    }
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
};

int findRoot(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

void unite(std::vector<int>& parent, int a, int b) {
    a = findRoot(parent, a);
    b = findRoot(parent, b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
}

double smoothstep(double lo, double hi, double v) {
    if (v <= lo) return 0;
    if (v >= hi) return 1;
    const double t = (v - lo) / (hi - lo);
    return t * t * (3 - 2 * t);
}

// Edge runs of every row; rowStart[y] indexes the first run of row y.
void findRuns(const QImage& grey, std::vector<Run>& runs, std::vector<int>& rowStart) {
    const int w = grey.width(), h = grey.height();
    const qsizetype bpl = grey.bytesPerLine();
    const uchar* bits = grey.constBits();
    std::vector<uint8_t> edge(size_t(w), 0);
    rowStart.assign(size_t(h) + 1, 0);
    for (int y = 0; y < h; ++y) {
        rowStart[size_t(y)] = int(runs.size());
        if (y == 0 || y == h - 1) continue;
        const uchar* up = bits + (y - 1) * bpl;
        const uchar* row = bits + y * bpl;
        const uchar* down = bits + (y + 1) * bpl;
        for (int x = 1; x < w - 1; ++x) {
            const int gx = std::abs(int(row[x + 1]) - int(row[x - 1]));
            const int gy = std::abs(int(down[x]) - int(up[x]));
            edge[size_t(x)] = uint8_t(std::max(gx, gy) >= kEdgeThreshold);
        }
        int x = 1;
        while (x < w - 1) {
            if (!edge[size_t(x)]) {
                ++x;
                continue;
            }
            const int start = x;
            int last = x, count = 1;
            for (++x; x < w - 1; ++x) {
                if (edge[size_t(x)]) {
                    last = x;
                    ++count;
                } else if (x - last > kRunGap) {
                    break;
                }
            }
            if (count >= 3) runs.push_back({y, start, last, count});
        }
    }
    rowStart[size_t(h)] = int(runs.size());
}

// Cuts a blob that spans several lines of text at the rows its runs barely cover.
void splitIntoLines(const std::vector<Run>& runs, const std::vector<int>& members, const Blob& blob, int minHeight,
                    std::vector<Blob>& out) {
    std::vector<int> coverage(size_t(blob.height()), 0);
    for (int i : members) coverage[size_t(runs[size_t(i)].y - blob.y0)] += runs[size_t(i)].x1 - runs[size_t(i)].x0 + 1;
    const int peak = *std::max_element(coverage.begin(), coverage.end());
    const int cut = std::max(1, peak / 12);
    std::vector<int> band(size_t(blob.height()), -1);
    int bands = 0;
    bool inBand = false;
    for (int r = 0; r < blob.height(); ++r) {
        if (coverage[size_t(r)] >= cut) {
            if (!inBand) ++bands;
            inBand = true;
            band[size_t(r)] = bands - 1;
        } else {
            inBand = false;
        }
    }
    std::vector<Blob> parts(static_cast<size_t>(bands));
    for (int i : members) {
        const int b = band[size_t(runs[size_t(i)].y - blob.y0)];
        if (b >= 0) parts[size_t(b)].add(runs[size_t(i)]);
    }
    for (const Blob& p : parts)
        if (p.y1 >= 0 && p.height() >= minHeight) out.push_back(p);
}

// Joins the words of one line: blobs that share most of their height and are
// separated by less than a line height.
void mergeAlongLines(std::vector<Blob>& blobs) {
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < blobs.size() && !merged; ++i) {
            for (size_t j = i + 1; j < blobs.size(); ++j) {
                Blob& a = blobs[i];
                const Blob& b = blobs[j];
                const int ha = a.height(), hb = b.height();
                if (std::max(ha, hb) * 10 > std::min(ha, hb) * 17) continue;
                const int overlap = std::min(a.y1, b.y1) - std::max(a.y0, b.y0) + 1;
                if (overlap * 10 < std::min(ha, hb) * 6) continue;
                const int gap = std::max(a.x0, b.x0) - std::min(a.x1, b.x1) - 1;
                if (gap > std::max(ha, hb)) continue;
                a.add(b);
                blobs.erase(blobs.begin() + std::ptrdiff_t(j));
                merged = true;
                break;
            }
        }
    }
}

// How much a box looks like printed text on a flat background.
float score(const QImage& grey, const Blob& b) {
    const int w = grey.width(), h = grey.height();
    const qsizetype bpl = grey.bytesPerLine();
    const uchar* bits = grey.constBits();
    const int bw = b.width(), bh = b.height();

    // Background: the commonest grey level in a margin around the box.
    const int m = std::max(2, bh / 4);
    std::array<int, 256> marginHist{};
    int marginCount = 0;
    auto addRows = [&](int ya, int yb) {
        for (int y = std::max(0, ya); y <= std::min(h - 1, yb); ++y) {
            const uchar* row = bits + y * bpl;
            for (int x = std::max(0, b.x0 - m); x <= std::min(w - 1, b.x1 + m); ++x) {
                ++marginHist[row[x]];
                ++marginCount;
            }
        }
    };
    auto addColumns = [&](int xa, int xb) {
        for (int y = b.y0; y <= b.y1; ++y) {
            const uchar* row = bits + y * bpl;
            for (int x = std::max(0, xa); x <= std::min(w - 1, xb); ++x) {
                ++marginHist[row[x]];
                ++marginCount;
            }
        }
    };
    addRows(b.y0 - m, b.y0 - 1);
    addRows(b.y1 + 1, b.y1 + m);
    addColumns(b.x0 - m, b.x0 - 1);
    addColumns(b.x1 + 1, b.x1 + m);
    if (marginCount < 8) return 0;
    // The densest window of 2 * kFlat + 1 levels.
    int best = 0, bestCenter = 0, window = 0;
    for (int v = 0; v < 256 + kFlat; ++v) {
        if (v < 256) window += marginHist[size_t(v)];
        if (v - 2 * kFlat - 1 >= 0) window -= marginHist[size_t(v - 2 * kFlat - 1)];
        if (window > best) {
            best = window;
            bestCenter = std::clamp(v - kFlat, 0, 255);
        }
    }
    const int bg = bestCenter;
    const double marginFlat = double(best) / marginCount;

    // Inside: background share, ink share, contrast and blank columns between letters.
    int flat = 0, ink = 0, inkRuns = 0, inkBelow = 0;
    std::vector<uint8_t> columnBusy(size_t(bw), 0);
    for (int y = b.y0; y <= b.y1; ++y) {
        const uchar* row = bits + y * bpl + b.x0;
        bool inInk = false;
        for (int i = 0; i < bw; ++i) {
            const int d = std::abs(int(row[i]) - bg);
            const bool isInk = d >= kInk;
            if (d <= kFlat) {
                ++flat;
            } else {
                columnBusy[size_t(i)] = 1;
                ink += isInk;
            }
            inkRuns += isInk && !inInk;
            inInk = isInk;
            if (isInk && y < b.y1) inkBelow += std::abs(int(row[i + bpl]) - bg) >= kInk;
        }
    }
    const double area = double(bw) * bh;
    const double flatShare = flat / area;
    const double inkShare = ink / area;
    const int blankColumns = int(std::count(columnBusy.begin(), columnBusy.end(), uint8_t(0)));
    const double blankShare = double(blankColumns) / bw;
    const double edgeDensity = b.edges / area;

    const double sMargin = smoothstep(0.70, 0.93, marginFlat);
    const double sFlat = smoothstep(0.25, 0.45, flatShare) * (1.0 - smoothstep(0.93, 0.99, flatShare));
    const double sInk = smoothstep(0.02, 0.07, inkShare) * (1.0 - smoothstep(0.65, 0.85, inkShare));
    const double sEdges = smoothstep(0.04, 0.10, edgeDensity);
    const double sGaps = 0.45 + 0.55 * smoothstep(0.02, 0.10, blankShare);
    const double aspect = double(bw) / bh;
    // Letters are drawn with thin strokes: along a row, ink comes in short runs
    // compared with the line's height; blocks and blobs are solid.
    const double strokeRatio = inkRuns ? double(ink) / inkRuns / bh : 1.0;
    const double sStroke = 1.0 - smoothstep(0.3, 0.55, strokeRatio);
    // Strokes continue from one row to the next; noise and grain do not.
    const double coherence = ink ? double(inkBelow) / ink : 0.0;
    const double sCoherence = smoothstep(0.35, 0.55, coherence);
    const double sShape = 0.15 + 0.85 * smoothstep(1.0, 3.0, aspect);
    return float(sMargin * sFlat * sInk * sEdges * sGaps * sShape * sStroke * sCoherence);
}

}  // namespace

QList<TextRectangle> TextRectangleDetector::detect(const QImage& image) {
    if (image.isNull()) return {};
    const QImage grey = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
    const int w = grey.width(), h = grey.height();
    if (w < 16 || h < 16) return {};

    // Text sizes the detector looks for, in proportion to the picture: 8 px to a
    // quarter of the height at 360 rows.
    const int minHeight = std::max(5, h / 45);
    const int maxHeight = std::max(minHeight + 1, h / 4);
    const int minWidth = std::max(6, h / 45);

    std::vector<Run> runs;
    std::vector<int> rowStart;
    runs.reserve(4096);
    findRuns(grey, runs, rowStart);

    // Runs that touch from one row to the next form a blob.
    std::vector<int> parent(runs.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (int y = 1; y < h; ++y) {
        int a = rowStart[size_t(y - 1)];
        const int aEnd = rowStart[size_t(y)];
        int c = rowStart[size_t(y)];
        const int cEnd = rowStart[size_t(y) + 1];
        while (a < aEnd && c < cEnd) {
            const Run& ra = runs[size_t(a)];
            const Run& rc = runs[size_t(c)];
            if (ra.x0 <= rc.x1 && rc.x0 <= ra.x1) unite(parent, a, c);
            if (ra.x1 < rc.x1)
                ++a;
            else
                ++c;
        }
    }
    std::vector<int> blobOf(runs.size(), -1);
    std::vector<Blob> blobs;
    for (size_t i = 0; i < runs.size(); ++i) {
        const int root = findRoot(parent, int(i));
        if (blobOf[size_t(root)] < 0) {
            blobOf[size_t(root)] = int(blobs.size());
            blobs.emplace_back();
        }
        blobOf[i] = blobOf[size_t(root)];
        blobs[size_t(blobOf[i])].add(runs[i]);
    }

    // Hundreds of specks smaller than a letter: a star field, foliage, snow. Text
    // may sit on such a picture, but then it is not what the picture is about.
    int specks = 0;
    for (const Blob& b : blobs) specks += b.height() >= 3 && b.height() < minHeight && b.width() < 2 * minHeight;
    const double clutter = 1.0 - smoothstep(60, 160, specks);
    std::vector<Blob> lines;
    std::vector<std::vector<int>> members;
    bool membersBuilt = false;
    for (size_t k = 0; k < blobs.size(); ++k) {
        const Blob& b = blobs[k];
        if (b.height() < minHeight) continue;
        if (b.height() <= std::min(maxHeight, 2 * minHeight + 24)) {
            lines.push_back(b);
            continue;
        }
        // Possibly several lines that touch (a descender on the next line's
        // ascender), or texture; a blob as large as most of the picture is texture.
        if (b.height() > h * 3 / 4 && b.width() > w * 3 / 4) continue;
        if (!membersBuilt) {
            members.assign(blobs.size(), {});
            for (size_t i = 0; i < runs.size(); ++i) members[size_t(blobOf[i])].push_back(int(i));
            membersBuilt = true;
        }
        splitIntoLines(runs, members[k], b, minHeight, lines);
    }
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const Blob& b) { return b.height() < minHeight || b.height() > maxHeight; }),
                lines.end());
    if (lines.size() > 400) return {};  // a picture this busy is texture, not a slide
    mergeAlongLines(lines);

    QList<TextRectangle> result;
    for (const Blob& b : lines) {
        if (b.width() < minWidth || b.width() < b.height() * 2 / 3) continue;
        const float confidence = float(clutter) * score(grey, b);
        if (confidence < 0.05f) continue;
        TextRectangle r;
        r.confidence = confidence;
        r.pixelRect = QRect(b.x0, b.y0, b.width(), b.height());
        r.boundingBox = QRectF(double(b.x0) / w, 1.0 - double(b.y1 + 1) / h, double(b.width()) / w, double(b.height()) / h);
        result.push_back(r);
    }
    std::sort(result.begin(), result.end(),
              [](const TextRectangle& a, const TextRectangle& b) { return a.pixelRect.top() < b.pixelRect.top(); });
    return result;
}

bool TextRectangleDetector::showsText(const QList<TextRectangle>& rectangles) {
    int above02 = 0, above05 = 0;
    for (const TextRectangle& r : rectangles) {
        above02 += r.confidence > 0.2f;
        above05 += r.confidence > 0.5f;
    }
    return above02 >= 2 || above05 >= 1;
}

bool TextRectangleDetector::isTextSlide(const QList<TextRectangle>& rectangles) {
    QList<TextRectangle> used;
    for (const TextRectangle& r : rectangles)
        if (r.confidence > 0.2f) used.push_back(r);
    if (used.size() < 2) {
        used.clear();
        for (const TextRectangle& r : rectangles)
            if (r.confidence > 0.5f) used.push_back(r);
        if (used.isEmpty()) return false;
    }
    double top = 0;
    for (const TextRectangle& r : used) top = std::max(top, r.maxY());
    return top >= 0.3;
}

}  // namespace lumenote
