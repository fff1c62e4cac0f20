#pragma once

// Chapters of a lecture: one per captured text slide, titled by the slide's
// first line of recognised text; a lecture without text slides gets chapters
// at its longest pauses, titled by the first words spoken after them. Pure,
// except recognizeSlideChapters, which reads the slides.

#include "core/CapturedScreenshot.h"
#include "core/TranscriptModel.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace lumenote {

struct Chapter {
    double start = 0;
    QString title;
    bool operator==(const Chapter&) const = default;
};

inline constexpr int kChapterTitleLength = 60;

// The title a slide's recognised lines give: the first line with at least
// three letters, stripped of bullets and recognition debris, shortened at a
// word; empty when no line qualifies.
QString slideChapterTitle(const QStringList& lines);

struct SlideText {
    double timestamp = 0;
    QStringList lines;
};
// One chapter per slide with a title, in time order; a slide repeating the
// previous chapter's title continues it.
QList<Chapter> slideChapters(const QList<SlideText>& slides);

// About one chapter per five minutes (at least one, at most 20), at the
// longest pauses between segments, no two closer than a minute; the first
// starts with the first words.
QList<Chapter> pauseChapters(const Transcript& segments);

// Slide chapters when there are any, else pause chapters.
QList<Chapter> lectureChapters(const QList<SlideText>& slides, const Transcript& segments);

// Recognises the text of the screenshots whose times are in `textSlides`, in
// parallel. With a cache file, slides read before (same time, same picture
// size) are taken from it and the file is rewritten with the slides of now.
QList<SlideText> recognizeSlideText(const QList<CapturedScreenshot>& screenshots, const QSet<double>& textSlides,
                                    const QString& cachePath = {});

}  // namespace lumenote
