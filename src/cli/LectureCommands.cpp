// reexport | retranscribe | consolidate | markdown <lecture>

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "cli/StageDisplay.h"
#include "consolidation/ConsolidationService.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "core/Settings.h"
#include "export/ExportManager.h"
#include "export/MarkdownExportManager.h"
#include "pipeline/LectureController.h"
#include "pipeline/LectureLoader.h"
#include "pipeline/PlayerControl.h"
#include "screenshots/ScreenshotCaptureService.h"

#include <QDir>
#include <QFileInfo>

namespace lumenote::cli {

QString studyPagePath(const QString& exportFolder) { return QDir(exportFolder).filePath(QStringLiteral("index.html")); }

namespace {

// Where the Markdown file of the last export went: the chosen Markdown folder, else the export folder.
std::optional<QString> markdownFileOf(const Lecture& lecture, const QString& exportFolder) {
    const auto info = MarkdownExportManager::LectureInfo::from(lecture);
    const QString name = MarkdownExportManager::fileName(lecture.title());
    QStringList candidates;
    if (const auto chosen = Settings::shared().markdownExportDirectoryBookmark(); chosen && !chosen->isEmpty())
        candidates << QDir(*chosen).filePath(MarkdownExportManager::lectureDirName(info) + QLatin1Char('/') + name);
    candidates << QDir(exportFolder).filePath(name);
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return c;
    return std::nullopt;
}

}  // namespace

int reportRun(Session& session, const LectureController& controller) {
    const Lecture& lecture = *controller.lecture();
    if (const auto error = controller.pipelineError()) {
        session.console.error(*error);
        return kExitFailed;
    }
    const auto folder = controller.lastExportFolder();
    if (lecture.status() != LectureStatus::Complete || !folder) {
        session.console.error(QStringLiteral("%1 ended with status %2").arg(describeLecture(lecture), statusRawValue(lecture.status())));
        return kExitFailed;
    }
    if (ExportManager::shared().isMarkdownForced() || Settings::shared().markdownExportEnabled())
        if (const auto md = markdownFileOf(lecture, *folder)) session.console.print(QStringLiteral("Markdown: %1").arg(*md));
    session.console.print(QStringLiteral("Study page: %1").arg(studyPagePath(*folder)));
    return kExitDone;
}

QCoro::Task<int> runLectureAction(Session& session) {
    const Invocation& inv = session.invocation;
    Console& console = session.console;
    const QString action = inv.command->name;
    LecturePtr lecture = session.lecture(inv.arguments.value(0));
    LibraryStore& store = session.store();

    ProcessingState state;
    HeadlessPlayer player;
    LectureController controller(store, lecture, state, player);
    controller.setRevealsWrittenFiles(false);
    StageDisplay display(console, state, lecture, &ConsolidationService::shared());
    // An action broken off leaves the lecture failed, as a failed run would
    // (a broken-off re-export keeps it complete).
    const bool keepsComplete = action == QLatin1String("reexport") || action == QLatin1String("markdown") ||
                               (action == QLatin1String("consolidate") && inv.has(QStringLiteral("remove")));
    session.onInterrupt = [lecture, keepsComplete] {
        if (lecture->isProcessing()) lecture->setStatus(keepsComplete ? LectureStatus::Complete : LectureStatus::Failed);
    };
    // As when the lecture is selected in the window: its stored products come first.
    co_await loadLectureIntoState(state, lecture, ScreenshotCaptureService::shared());

    int status = kExitDone;
    if (action == QLatin1String("reexport")) {
        co_await controller.reExport();
        if (!controller.pipelineError() && !controller.lastExportFolder())
            throw CommandFailure(QStringLiteral("nothing to export: %1 has no stored screenshots").arg(describeLecture(*lecture)));
        status = reportRun(session, controller);
    } else if (action == QLatin1String("retranscribe")) {
        const QString video = lecture->localFilePath().value_or(QString());
        if (video.isEmpty() || !QFileInfo::exists(video))
            throw CommandFailure(QStringLiteral("the video of %1 is missing (%2)").arg(describeLecture(*lecture), video.isEmpty() ? QStringLiteral("no file") : video));
        const LectureController::ModelChoice model = controller.chooseModel();
        if (!model.present) {
            QString why;
            const bool downloaded = co_await downloadModel(console, model.id, &why);
            if (!downloaded) throw CommandFailure(why);
        }
        co_await controller.retranscribe();
        status = reportRun(session, controller);
    } else if (action == QLatin1String("consolidate")) {
        if (inv.has(QStringLiteral("remove"))) {
            if (inv.has(QStringLiteral("provider"))) throw UsageError(QStringLiteral("--remove and --provider do not go together"), action);
            co_await controller.removeConsolidatedNotes();
            if (!controller.pipelineError() && !controller.lastExportFolder())
                throw CommandFailure(QStringLiteral("notes removed; the page was not rebuilt: %1 has no stored screenshots").arg(describeLecture(*lecture)));
            status = reportRun(session, controller);
        } else {
            if (const auto provider = inv.value(QStringLiteral("provider"))) {
                // The lecture's own choice, as its mode picker stores it; the provider is global.
                lecture->setConsolidationOverride(true);
                Settings::shared().setConsolidationProvider(parseProvider(*provider));
            }
            if (state.transcriptSegments().isEmpty())
                throw CommandFailure(QStringLiteral("nothing to consolidate: %1 has no transcript").arg(describeLecture(*lecture)));
            if (state.screenshots().isEmpty())
                throw CommandFailure(QStringLiteral("%1 has no stored screenshots; process it first").arg(describeLecture(*lecture)));
            co_await controller.runConsolidationNow();
            status = reportRun(session, controller);
        }
    } else {  // markdown
        const std::optional<QString> written = co_await controller.exportMarkdown();
        if (written) {
            console.print(QStringLiteral("Markdown: %1").arg(*written));
        } else {
            const bool failed = !state.messages().isEmpty() && state.messages().constLast().text.startsWith(QLatin1String("Markdown export failed: "));
            if (failed) throw CommandFailure(state.messages().constLast().text);
            throw CommandFailure(QStringLiteral("%1 has no study page yet; process or re-export it first").arg(describeLecture(*lecture)));
        }
    }
    display.finish();
    session.onInterrupt = {};
    session.commit();
    co_return status;
}

}  // namespace lumenote::cli
