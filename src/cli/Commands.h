#pragma once

// The commands of lumenote-cli. Each returns its exit status; a usage problem
// found late throws UsageError, a failure to report throws CommandFailure.

#include <QCoroTask>
#include "core/Lecture.h"

#include <QString>

#include <optional>

namespace lumenote::cli {

class Console;
class Session;
}  // namespace lumenote::cli

namespace lumenote {
class LectureController;
class ProcessingState;
}  // namespace lumenote

namespace lumenote::cli {

QCoro::Task<int> runProcess(Session& session);
QCoro::Task<int> runWatch(Session& session);

// What became of one input of process or watch.
struct ProcessResult {
    QString source;
    bool completed = false;
    QString error;
    LecturePtr lecture;
    std::optional<QString> studyPage;
};
// One input: import (with the command's options), then the whole pipeline.
// Fills `result` as it goes; returns the exit status, throws CommandFailure.
QCoro::Task<int> processInput(Session& session, QString source, ProcessResult& result);
// reexport, retranscribe, consolidate, markdown
QCoro::Task<int> runLectureAction(Session& session);
QCoro::Task<int> runLibrary(Session& session);
QCoro::Task<int> runModels(Session& session);
QCoro::Task<int> runTools(Session& session);
QCoro::Task<int> runCache(Session& session);
QCoro::Task<int> runSettings(Session& session);
QCoro::Task<int> runSearch(Session& session);
QCoro::Task<int> runSubtitles(Session& session);
QCoro::Task<int> runSync(Session& session);

// Downloads a Whisper model into the Hugging Face cache with a progress bar;
// returns whether it succeeded, else why not in *why.
QCoro::Task<bool> downloadModel(Console& console, QString id, QString* why);

// The end of a lecture action: the study page (and Markdown file) on success,
// else the error on standard error. Returns the exit status.
int reportRun(Session& session, const LectureController& controller);
QString studyPagePath(const QString& exportFolder);
// The study page's address, opening at `time` (whole seconds) when given.
QString studyPageLink(const QString& exportFolder, std::optional<double> time);

// "1:02:03" or "2:03".
QString durationText(double seconds);
// "1.4 GB", "230 MB", "12 KB", "512 B".
QString sizeText(qint64 bytes);

}  // namespace lumenote::cli
