// The transcript panel on a three-hour lecture (2,000 segments, 300
// screenshots, 200 annotations of each kind in both views), drawn offscreen:
//   panel_show_ms       panel built over the document, shown, the column laid
//                       out and painted once (median of the runs)
//   panel_follow_tick_ms one setCurrentTime() with the repaint it causes: the
//                       99th percentile over ten minutes of playback at 0.1 s
//   panel_edit_ms       an inline note added and undone, each with the column
//                       laid out again and painted (median)
//   max_stall_ms        the slowest scroll step and repaint while scrolling the
//                       whole column a screen at a time during playback
//
//   QT_QPA_PLATFORM=offscreen build/bench/transcript_panel_bench [--runs N]
#include "LectureFixture.h"
#include "app/TranscriptPanel.h"
#include "app/TranscriptTimelineModel.h"
#include "core/ProcessingState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QListView>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace lumenote;

namespace {

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int runs = 5;
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--runs" && i + 1 < argc) runs = std::max(1, atoi(argv[i + 1]));

    QImage picture(640, 360, QImage::Format_RGB32);
    picture.fill(Qt::darkGray);
    const fixture::LongLecture l = fixture::makeLongLecture({picture});
    const LecturePtr lecture = Lecture::create(QStringLiteral("Bench"), std::nullopt, std::nullopt);
    fixture::storeAnnotations(*lecture, l.annotations);
    lecture->setConsolidatedData(l.notes.toUtf8());
    ProcessingState state;
    state.showLecture(lecture->id());
    state.setTranscriptSegments(l.segments);
    state.setScreenshots(l.screenshots);

    std::vector<double> showMs;
    for (int run = 0; run < runs; ++run) {
        LectureDocument document(lecture, state, LectureDocument::ScreenshotFileWriter{});
        QElapsedTimer timer;
        timer.start();
        TranscriptPanel panel(document, state);
        panel.resize(560, 900);
        panel.show();
        panel.timelineView()->doItemsLayout();
        panel.timelineView()->viewport()->repaint();
        showMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("panel_rows: %d\n", [&] {
        LectureDocument document(lecture, state, LectureDocument::ScreenshotFileWriter{});
        TranscriptPanel panel(document, state);
        return panel.timelineView()->model()->rowCount();
    }());
    std::printf("panel_show_ms: %.1f\n", percentile(showMs, 0.5));

    LectureDocument document(lecture, state, LectureDocument::ScreenshotFileWriter{});
    TranscriptPanel panel(document, state);
    panel.resize(560, 900);
    panel.show();
    panel.timelineView()->doItemsLayout();
    QApplication::processEvents();

    std::vector<double> tickMs;
    for (double t = 600; t < 1200; t += 0.1) {
        QElapsedTimer timer;
        timer.start();
        panel.setCurrentTime(t);
        panel.timelineView()->viewport()->repaint();
        tickMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("panel_follow_tick_ms: %.3f\n", percentile(tickMs, 0.99));
    std::printf("panel_follow_tick_median_ms: %.3f\n", percentile(tickMs, 0.5));

    std::vector<double> editMs;
    for (int run = 0; run < 10; ++run) {
        for (int step = 0; step < 2; ++step) {
            QElapsedTimer timer;
            timer.start();
            if (step == 0) document.addInlineNote(AnnotationView::Transcript, panel.model().timeline().blocks[run * 10].startTime, QStringLiteral("Bench"));
            else document.undoStack().undo();
            panel.timelineView()->doItemsLayout();
            panel.timelineView()->viewport()->repaint();
            editMs.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("panel_edit_ms: %.1f\n", percentile(editMs, 0.5));

    QScrollBar* bar = panel.timelineView()->verticalScrollBar();
    double maxStall = 0;
    double t = 0;
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep()) {
        QElapsedTimer timer;
        timer.start();
        panel.setCurrentTime(t += 0.1);
        bar->setValue(value);
        panel.timelineView()->viewport()->repaint();
        maxStall = std::max(maxStall, timer.nsecsElapsed() / 1e6);
    }
    std::printf("max_stall_ms: %.1f\n", maxStall);
    return 0;
}
