// Transcript-workspace figures for a three-hour lecture (2,000 segments,
// 30,000 words, 300 screenshots, 200 annotations of each kind in both views):
//   timeline_build_ms  the transcript rows (passages, screenshots, insert zones,
//                      notes, each passage's chips and painted highlights), the
//                      notes tab's paragraphs and the statistics line, rebuilt
//                      from the records (median of the runs)
//   follow_tick_ms     one 0.1 s follow-playback tick: the 99.9th percentile
//                      over a whole playback with a seek every minute
//                      (follow_tick_median_us: the typical tick; follow_tick_max_ms:
//                      the slowest, usually a preemption)
//
//   build/bench/workspace_bench [--runs N] [--profile]
#include "LectureFixture.h"
#include "core/PassageGrouping.h"
#include "workspace/Timeline.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace lumenote;

namespace {

constexpr double kLectureSeconds = fixture::kLongLectureSeconds;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

fixture::LongLecture makeLecture() {
    // The rows never look into the pictures; one small bitmap is shared.
    QImage picture(160, 90, QImage::Format_RGB32);
    picture.fill(Qt::darkGray);
    return fixture::makeLongLecture({picture});
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 15;
    bool profile = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--runs" && i + 1 < argc) runs = std::max(1, atoi(argv[i + 1]));
        if (QByteArray(argv[i]) == "--profile") profile = true;
    }

    const fixture::LongLecture l = makeLecture();
    qsizetype words = 0;
    for (const TranscriptSegment& s : l.segments) words += s.words.size();
    std::printf("lecture_segments: %lld\n", static_cast<long long>(l.segments.size()));
    std::printf("lecture_words: %lld\n", static_cast<long long>(words));

    std::vector<double> buildMs;
    Timeline timeline;
    qsizetype painted = 0, paragraphs = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        timeline = buildTimeline(l.segments, l.screenshots, l.annotations.userNotes, l.annotations.margins, l.annotations.highlights);
        const NotesView notes = buildNotesView(l.notes, l.annotations.notesInline, l.annotations.notesMargins, l.annotations.notesHighlights);
        const TimelineStatistics stats = timelineStatistics(timeline, true);
        buildMs.push_back(t.nsecsElapsed() / 1e6);
        paragraphs = notes.paragraphs.size();
        painted = 0;
        for (const AnchoredAnnotations& a : timeline.annotations) painted += a.painted.size();
        if (stats.line.isEmpty()) return 1;
    }
    std::printf("timeline_rows: %lld\n", static_cast<long long>(timeline.rows.size()));
    std::printf("timeline_passages: %lld\n", static_cast<long long>(timeline.blocks.size()));
    std::printf("timeline_painted_highlights: %lld\n", static_cast<long long>(painted));
    std::printf("notes_paragraphs: %lld\n", static_cast<long long>(paragraphs));
    std::printf("timeline_build_ms: %.2f\n", median(buildMs));
    if (profile) {
        // Where the time goes.
        QElapsedTimer t;
        t.start();
        for (int r = 0; r < runs; ++r) groupSegmentsIntoBlocks(l.segments);
        std::printf("profile_grouping_ms: %.2f\n", t.nsecsElapsed() / 1e6 / runs);
        t.restart();
        for (int r = 0; r < runs; ++r) buildNotesView(l.notes, l.annotations.notesInline, l.annotations.notesMargins, l.annotations.notesHighlights);
        std::printf("profile_notes_ms: %.2f\n", t.nsecsElapsed() / 1e6 / runs);
        t.restart();
        for (int r = 0; r < runs; ++r)
            for (const TranscriptBlock& b : timeline.blocks) FoldedText f(b.text);
        std::printf("profile_fold_all_ms: %.2f\n", t.nsecsElapsed() / 1e6 / runs);
        t.restart();
        for (int r = 0; r < runs; ++r) buildTimeline(l.segments, l.screenshots, l.annotations.userNotes, l.annotations.margins, l.annotations.highlights);
        std::printf("profile_timeline_ms: %.2f\n", t.nsecsElapsed() / 1e6 / runs);
        t.restart();
        for (int r = 0; r < runs; ++r)
            for (int i = 0; i < 700; ++i) QUuid::createUuid();
        std::printf("profile_uuids_ms: %.2f\n", t.nsecsElapsed() / 1e6 / runs);
    }

    // A whole playback at 0.1 s steps, with a seek forward every minute.
    FollowState state;
    std::vector<double> tickMs;
    tickMs.reserve(size_t(kLectureSeconds * 10));
    qsizetype scrolls = 0;
    double t = 0;
    for (int step = 0; t < kLectureSeconds; ++step) {
        t = step % 600 == 599 ? t + 30.0 : t + 0.1;
        QElapsedTimer timer;
        timer.start();
        const FollowTick tick = followPlayback(timeline, state, t);
        tickMs.push_back(timer.nsecsElapsed() / 1e6);
        scrolls += tick.scroll;
    }
    std::printf("follow_ticks: %lld\n", static_cast<long long>(tickMs.size()));
    std::printf("follow_scrolls: %lld\n", static_cast<long long>(scrolls));
    std::printf("follow_tick_median_us: %.2f\n", median(tickMs) * 1e3);
    std::sort(tickMs.begin(), tickMs.end());
    // The 99.9th percentile: the slowest ticks are the scheduler's on a shared machine.
    std::printf("follow_tick_ms: %.4f\n", tickMs[tickMs.size() * 999 / 1000]);
    std::printf("follow_tick_max_ms: %.4f\n", tickMs.back());
    std::printf("follow_ticks_over_0_1ms: %lld\n",
                static_cast<long long>(std::count_if(tickMs.begin(), tickMs.end(), [](double ms) { return ms > 0.1; })));
    return 0;
}
