#pragma once

// Subtitles from the transcript's word timings (SRT and WebVTT), the plain-text
// transcript, and a WebVTT chapters track. Pure.
//
// A cue holds at most two lines of 42 characters and lasts at most 7 seconds;
// words are never split. A cue that has to close early closes after the last
// sentence end in it when there is one, and a pause of a second or more always
// starts a new cue.

#include "core/TranscriptModel.h"
#include "export/Chapters.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace lumenote {

struct SubtitleCue {
    double start = 0;
    double end = 0;
    QStringList lines;
};

inline constexpr int kSubtitleLineLength = 42;
inline constexpr int kSubtitleMaxLines = 2;
inline constexpr double kSubtitleMaxDuration = 7.0;
inline constexpr double kSubtitlePause = 1.0;

QList<SubtitleCue> buildSubtitleCues(const Transcript& segments);

enum class SubtitleFormat { Srt, Vtt, Text };
std::optional<SubtitleFormat> parseSubtitleFormat(const QString& name);
// "subtitles.srt", "subtitles.vtt", "transcript.txt": the names beside the study page.
QString subtitleFileName(SubtitleFormat format);

QString srtText(const QList<SubtitleCue>& cues);
QString webVttText(const QList<SubtitleCue>& cues);
// The transcript as plain paragraphs (one per passage of the study page).
QString plainTranscriptText(const Transcript& segments);
// The file of the format for a transcript.
QString subtitleText(SubtitleFormat format, const Transcript& segments);

inline constexpr auto kChaptersFileName = "chapters.vtt";
// One cue per chapter, from its start to the next chapter's (the last to `duration`).
QString chaptersVttText(const QList<Chapter>& chapters, double duration);
// The chapters of such a file (their starts and titles); none from text that is not one.
QList<Chapter> parseChaptersVtt(const QString& text);

}  // namespace lumenote
