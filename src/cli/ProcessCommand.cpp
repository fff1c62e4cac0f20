// process <video-file-or-address>: import, then the whole pipeline.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/LectureLookup.h"
#include "cli/Session.h"
#include "cli/StageDisplay.h"
#include "consolidation/ConsolidationService.h"
#include "core/LibraryModel.h"
#include "core/TranscriptionLanguages.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "core/Settings.h"
#include "export/ExportManager.h"
#include "media/ImportController.h"
#include "media/URLDownloadService.h"
#include "pipeline/LectureController.h"
#include "pipeline/PlayerControl.h"
#include "transcription/WhisperModelManager.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>

namespace lumenote::cli {

namespace {

QCoro::Task<DuplicateAction> answer(DuplicateAction action) { co_return action; }

// A source already in the library, not to be processed again: its page when it has one.
int reportExisting(Session& session, const Lecture& lecture) {
    const QString status = statusRawValue(lecture.status());
    session.console.print(QStringLiteral("Already in the library: %1, status %2.").arg(describeLecture(lecture), status));
    if (lecture.status() == LectureStatus::Complete) {
        if (const auto folder = ExportManager::shared().existingLectureFolder(lecture, session.folderName(lecture))) {
            session.console.print(QStringLiteral("Study page: %1").arg(studyPagePath(*folder)));
            return kExitDone;
        }
    }
    throw CommandFailure(QStringLiteral("%1 is %2 and was not processed again; add --reprocess to process it").arg(describeLecture(lecture), status));
}

// The run itself, for a lecture in the library.
QCoro::Task<int> runPipeline(Session& session, LecturePtr lecture, bool markdown, std::optional<QString> language, ProcessResult& result) {
    ProcessingState state;
    HeadlessPlayer player;
    LectureController controller(session.store(), lecture, state, player);
    controller.setRevealsWrittenFiles(false);
    controller.setTranscriptionLanguage(language);
    ExportManager::shared().setMarkdownForced(markdown);

    const LectureController::ModelChoice model = controller.chooseModel();
    // A model that is not on disk yet comes first; when that fails the run
    // reports the missing model as it always does.
    if (!model.present) {
        QString why;
        const bool downloaded = co_await downloadModel(session.console, model.id, &why);
        if (!downloaded) session.console.print(why.left(1).toUpper() + why.mid(1) + QLatin1Char('.'));
    }
    StageDisplay display(session.console, state, lecture, &ConsolidationService::shared());
    // A run broken off is a failed run; what it stored so far stays.
    session.onInterrupt = [lecture] {
        if (lecture->isProcessing()) lecture->setStatus(LectureStatus::Failed);
    };
    co_await controller.videoShown();
    co_await controller.beginProcessing();
    display.finish();
    session.onInterrupt = {};
    session.commit();
    const int status = reportRun(session, controller);
    result.completed = status == kExitDone;
    if (const auto folder = controller.lastExportFolder(); folder && result.completed) result.studyPage = studyPagePath(*folder);
    if (!result.completed)
        result.error = controller.pipelineError().value_or(QStringLiteral("ended with status %1").arg(statusRawValue(lecture->status())));
    co_return status;
}

// A source already in the library, as a result.
int existing(Session& session, const Lecture& lecture, ProcessResult& result) {
    try {
        const int status = reportExisting(session, lecture);
        result.completed = true;
        if (const auto folder = ExportManager::shared().existingLectureFolder(lecture, session.folderName(lecture))) result.studyPage = studyPagePath(*folder);
        return status;
    } catch (const CommandFailure& e) {
        result.error = e.message();
        throw;
    }
}

}  // namespace

QCoro::Task<int> processInput(Session& session, QString source, ProcessResult& result) {
    const Invocation& inv = session.invocation;
    Console& console = session.console;
    const QString command = inv.command->name;
    result.source = source;

    // Everything the options ask for is checked before anything changes.
    const std::optional<QString> modelID = inv.value(QStringLiteral("model"));
    if (modelID && !WhisperModelManager::model(*modelID)) {
        QStringList ids;
        for (const WhisperModelManager::Model& m : WhisperModelManager::models()) ids << m.id;
        throw UsageError(QStringLiteral("unknown model '%1' (one of %2)").arg(*modelID, ids.join(QStringLiteral(", "))), command);
    }
    std::optional<QString> language;
    if (const auto raw = inv.value(QStringLiteral("language"))) {
        language = parseTranscriptionLanguage(*raw);
        if (!language) throw UsageError(QStringLiteral("unknown language '%1' (auto, or a code such as en, de, fr, es, it)").arg(*raw), command);
    }
    std::optional<ConsolidationMode> mode;
    if (const auto raw = inv.value(QStringLiteral("consolidate"))) mode = parseMode(*raw);
    std::optional<QString> folderName = inv.value(QStringLiteral("folder"));
    if (folderName) {
        *folderName = folderName->trimmed();
        if (folderName->isEmpty()) throw UsageError(QStringLiteral("the folder name is empty"), command);
    }
    const bool reprocess = inv.has(QStringLiteral("reprocess"));
    if (source.trimmed().isEmpty()) throw UsageError(QStringLiteral("the video file or address is empty"), command);

    LibraryStore& store = session.store();
    URLDownloadService& downloader = URLDownloadService::shared();

    LecturePtr lecture;
    ImportController::Handlers handlers;
    handlers.onImport = [&lecture](const LecturePtr& l) { lecture = l; };
    handlers.onReprocess = [&lecture](const LecturePtr& l) { lecture = l; };
    handlers.resolveDuplicate = [reprocess](DuplicatePrompt prompt) {
        if (!reprocess) return answer(DuplicateAction::OpenExisting);
        return answer(prompt.isAddressDuplicate ? DuplicateAction::RedownloadAndReprocess : DuplicateAction::Reprocess);
    };
    ImportController importer(store, downloader, handlers);

    bool downloading = false;
    const QMetaObject::Connection downloadProgress =
        QObject::connect(&downloader, &URLDownloadService::downloadStateChanged, &downloader, [&console, &downloader, &downloading, source] {
            if (downloader.phase() != URLDownloadService::Phase::Downloading) {
                downloading = false;
                console.removeBar(QStringLiteral("download"));
                return;
            }
            if (!downloading) console.print(QStringLiteral("Downloading %1…").arg(source));
            downloading = true;
            console.setBar(QStringLiteral("download"), QStringLiteral("Download"), downloader.progress(), downloader.statusText(), 10);
        });
    ImportOutcome outcome;
    importer.setUrlText(source);
    if (importer.isValidURL()) {
        if (!importer.checkYtDlpInstalled())
            throw CommandFailure(QStringLiteral("yt-dlp is not installed, so web addresses cannot be downloaded (install it with "
                                                "scripts/install-deps.sh or 'lumenote-cli tools update')"));
        outcome = co_await importer.importURL();
    } else {
        const QFileInfo file(source);
        if (!file.exists()) throw CommandFailure(QStringLiteral("no such file: %1").arg(source));
        if (!file.isFile()) throw CommandFailure(QStringLiteral("not a video file: %1").arg(source));
        outcome = co_await importer.importFile(file.absoluteFilePath());
    }
    QObject::disconnect(downloadProgress);
    console.removeBar(QStringLiteral("download"));

    result.lecture = lecture;
    if (outcome.kind == ImportOutcome::Kind::OpenedExisting) co_return existing(session, *lecture, result);
    if (outcome.kind == ImportOutcome::Kind::Failed)
        throw CommandFailure(outcome.errorMessage.isEmpty() ? QStringLiteral("Download failed.") : outcome.errorMessage);
    if (outcome.kind != ImportOutcome::Kind::Imported && outcome.kind != ImportOutcome::Kind::Reprocessing)
        throw CommandFailure(QStringLiteral("nothing was imported"));
    if (outcome.kind == ImportOutcome::Kind::Imported)
        console.print(QStringLiteral("Imported %1.").arg(describeLecture(*lecture)));
    else
        console.print(QStringLiteral("Already in the library: %1 — processing it again.").arg(describeLecture(*lecture)));

    if (modelID) lecture->setDesiredModelID(*modelID);
    if (mode) {
        // The lecture's own choice, as its mode picker stores it; the provider is global.
        lecture->setConsolidationOverride(*mode != ConsolidationMode::Off);
        if (*mode != ConsolidationMode::Off)
            Settings::shared().setConsolidationProvider(*mode == ConsolidationMode::Ollama ? ConsolidationProvider::Ollama : ConsolidationProvider::Claude);
    }
    if (folderName) {
        session.library().moveLecture(lecture, session.folder(*folderName, true));
    }
    session.commit();

    co_return co_await runPipeline(session, lecture, inv.has(QStringLiteral("markdown")), language, result);
}

namespace {

QJsonObject resultJson(const ProcessResult& r) {
    auto optional = [](const std::optional<QString>& v) { return v ? QJsonValue(*v) : QJsonValue(); };
    return QJsonObject{{QStringLiteral("source"), r.source},
                       {QStringLiteral("completed"), r.completed},
                       {QStringLiteral("lectureID"), r.lecture ? QJsonValue(r.lecture->idText()) : QJsonValue()},
                       {QStringLiteral("title"), r.lecture ? QJsonValue(r.lecture->title()) : QJsonValue()},
                       {QStringLiteral("studyPage"), optional(r.studyPage)},
                       {QStringLiteral("error"), r.completed ? QJsonValue() : QJsonValue(r.error)}};
}

}  // namespace

QCoro::Task<int> runProcess(Session& session) {
    const Invocation& inv = session.invocation;
    const QStringList sources = inv.arguments;
    const bool json = inv.has(QStringLiteral("json"));
    QList<ProcessResult> results;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        if (sources.size() > 1) {
            if (i > 0) session.console.print(QString());
            session.console.print(QStringLiteral("[%1/%2] %3").arg(i + 1).arg(sources.size()).arg(sources[i]));
        }
        ProcessResult result;
        try {
            co_await processInput(session, sources[i], result);
        } catch (const UsageError&) {
            throw;
        } catch (const CommandFailure& e) {
            // One input failing does not stop the others; alone, it is the command's failure.
            if (sources.size() == 1 && !json) throw;
            session.console.error(e.message());
            result.error = e.message();
        } catch (const Error& e) {
            if (sources.size() == 1 && !json) throw;
            session.console.error(e.description());
            result.error = e.description();
        }
        results.append(result);
    }

    const auto failed = std::count_if(results.begin(), results.end(), [](const ProcessResult& r) { return !r.completed; });
    if (json) {
        QJsonArray rows;
        for (const ProcessResult& r : results) rows.append(resultJson(r));
        session.console.printData(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)).trimmed());
    } else if (results.size() > 1) {
        session.console.print(QString());
        session.console.print(QStringLiteral("Summary: %1 of %2 completed.").arg(results.size() - failed).arg(results.size()));
        for (const ProcessResult& r : results)
            session.console.print(r.completed ? QStringLiteral("  done    %1 → %2").arg(r.source, r.studyPage.value_or(QStringLiteral("-")))
                                              : QStringLiteral("  failed  %1: %2").arg(r.source, r.error));
    }
    co_return failed ? kExitFailed : kExitDone;
}

}  // namespace lumenote::cli
