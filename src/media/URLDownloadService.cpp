#include "media/URLDownloadService.h"

#include "core/AppPaths.h"
#include "core/Log.h"
#include "media/ToolProcess.h"
#include "media/YtDlpOutput.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <exception>

namespace lumenote {

using namespace Qt::StringLiterals;
using namespace lumenote::media;

namespace {

const QString kWatchdogMessage =
    u"No response after 90 seconds. The video may require sign-in, or try updating yt-dlp in Settings."_s;
// A yt-dlp that ignores the polite request to stop is killed after this long.
constexpr int kKillGraceMs = 5000;

void terminateProcess(QProcess* process) {
    process->terminate();
    QTimer::singleShot(kKillGraceMs, process, [process] {
        if (process->state() != QProcess::NotRunning) process->kill();
    });
}

}  // namespace

DownloadError DownloadError::processFailed(const QString& message) {
    return DownloadError(Kind::ProcessFailed, message, message.isEmpty() ? u"Download failed."_s : message);
}

DownloadError DownloadError::notInstalled() {
    return DownloadError(Kind::NotInstalled, {}, u"yt-dlp binary not found."_s);
}

DownloadError DownloadError::invalidURL() {
    return DownloadError(Kind::InvalidURL, {}, u"The URL doesn't look valid."_s);
}

struct URLDownloadService::DownloadRun {
    QProcess* process = nullptr;
    Completion completion;
    std::optional<DownloadResult> result;
    std::exception_ptr error;
};

URLDownloadService& URLDownloadService::shared() {
    // Lives for the whole process, like the other shared services.
    static URLDownloadService* service = new URLDownloadService();
    return *service;
}

URLDownloadService::URLDownloadService(QObject* parent)
    : QObject(parent), searchDirectories_(defaultToolSearchDirectories()), packagedYtDlpPath_(defaultPackagedYtDlpPath()) {}

URLDownloadService::~URLDownloadService() {
    // A process still running must not report back into a half-destroyed service.
    for (QProcess* process : findChildren<QProcess*>()) {
        disconnect(process, nullptr, this, nullptr);
        process->kill();
        process->waitForFinished(2000);
    }
}

QString URLDownloadService::downloadFolder() { return AppPaths::downloadsDirectory(); }

void URLDownloadService::setPhase(Phase phase) {
    phase_ = phase;
    emit downloadStateChanged();
}

void URLDownloadService::resetPhase() {
    if (phase_ != Phase::Idle) setPhase(Phase::Idle);
}

QCoro::Task<DownloadResult> URLDownloadService::download(QString urlString, bool forceRefresh) {
    const std::optional<QString> tool = ytDlpPath();
    if (!tool) throw DownloadError::notInstalled();
    if (!isDownloadableURL(urlString)) throw DownloadError::invalidURL();
    const QString folder = downloadFolder();
    if (!QDir().mkpath(folder)) throw Error(u"Cannot create the download folder %1."_s.arg(folder));
    if (runningProcess_) throw Error(u"Another download is still running."_s);

    phase_ = Phase::Downloading;
    progress_ = 0;
    statusText_ = u"Starting download…"_s;
    currentDownloadPath_.reset();
    stderrAccum_.clear();
    emit downloadStateChanged();

    logLine(u"[yt-dlp] url:    "_s + urlString);
    logLine(u"[yt-dlp] dest:   "_s + folder);
    logLine(u"[yt-dlp] binary: "_s + *tool);

    const std::optional<QString> ffmpeg = ffmpegPath();
    if (ffmpeg)
        logLine(u"[yt-dlp] ffmpeg found at "_s + *ffmpeg + u" — using merge format"_s);
    else
        logLine(u"[yt-dlp] ffmpeg not found — falling back to pre-merged format (max ~720p)"_s);
    const QStringList args = ytDlpDownloadArguments(folder, urlString, forceRefresh, ffmpeg);
    logLine(u"[yt-dlp] launching: "_s + *tool + QLatin1Char(' ') + args.join(QLatin1Char(' ')));

    auto run = std::make_shared<DownloadRun>();
    auto* process = new QProcess(this);
    run->process = process;
    process->setProgram(*tool);
    process->setArguments(args);
    process->setStandardInputFile(QProcess::nullDevice());

    // The watchdog belongs to this process: it goes away with it, so it can
    // never stop a later download.
    QTimer::singleShot(watchdogInterval_, process, [this, process] { onWatchdog(process); });
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] { onStandardOutput(process); });
    connect(process, &QProcess::readyReadStandardError, this, [this, process] { onStandardError(process); });
    connect(process, &QProcess::started, this, [process] {
        logLine(u"[yt-dlp] process started — PID "_s + QString::number(process->processId()));
    });
    connect(process, &QProcess::finished, this, [this, run](int exitCode, QProcess::ExitStatus status) {
        completeRun(run, exitCode, status == QProcess::NormalExit);
    });
    connect(process, &QProcess::errorOccurred, this, [this, run](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || run->completion.isDone()) return;
        const QString description = run->process->errorString();
        logLine(u"[yt-dlp] failed to launch: "_s + description);
        if (runningProcess_ == run->process) runningProcess_ = nullptr;
        phase_ = Phase::Failed;
        errorMessage_ = description;
        emit downloadStateChanged();
        run->error = std::make_exception_ptr(Error(description));
        run->process->deleteLater();
        run->completion.finish();
    });

    process->start(QIODevice::ReadOnly);
    // Known from here on, so that cancel() reaches a process that is still starting.
    if (!run->completion.isDone()) runningProcess_ = process;

    co_await run->completion.wait();
    if (run->error) std::rethrow_exception(run->error);
    co_return *run->result;
}

void URLDownloadService::onStandardOutput(QProcess* process) {
    const QStringList pieces = splitOutputChunk(process->readAllStandardOutput());
    for (const QString& piece : pieces) {
        logLine(u"[yt-dlp stdout] "_s + piece);
        applyLine(piece);
        emit downloadStateChanged();
    }
}

void URLDownloadService::onStandardError(QProcess* process) {
    const QStringList pieces = splitOutputChunk(process->readAllStandardError());
    if (pieces.isEmpty()) return;
    for (const QString& piece : pieces) logLine(u"[yt-dlp stderr] "_s + piece);
    stderrAccum_ += pieces;
    for (const QString& piece : pieces) applyLine(piece);
    if (const auto status = statusFromStderrPieces(pieces)) statusText_ = *status;
    emit downloadStateChanged();
}

void URLDownloadService::applyLine(const QString& line) {
    DownloadLineState state{progress_, statusText_, currentDownloadPath_};
    QStringList log;
    applyYtDlpLine(line, state, &log);
    for (const QString& l : log) logLine(l);
    progress_ = state.progress;
    statusText_ = state.statusText;
    currentDownloadPath_ = state.currentDownloadPath;
}

void URLDownloadService::onWatchdog(QProcess* process) {
    if (phase_ != Phase::Downloading || progress_ != 0 || runningProcess_ != process) return;
    logLine(u"[yt-dlp] watchdog fired — no progress after 90 s, terminating"_s);
    errorMessage_ = kWatchdogMessage;
    terminateProcess(process);
    runningProcess_ = nullptr;
    emit downloadStateChanged();
}

void URLDownloadService::completeRun(const std::shared_ptr<DownloadRun>& run, int exitCode, bool normalExit) {
    QProcess* process = run->process;
    disconnect(process, &QProcess::readyReadStandardOutput, this, nullptr);
    disconnect(process, &QProcess::readyReadStandardError, this, nullptr);
    const QStringList tail = splitOutputChunk(process->readAllStandardError());
    for (const QString& line : tail) logLine(u"[yt-dlp stderr/tail] "_s + line);
    process->readAllStandardOutput();  // unread output is not parsed any more
    // The reason follows the platform's numbering: 1 = exited, 2 = killed by a signal.
    logLine(u"[yt-dlp] exited — status %1, reason %2"_s.arg(exitCode).arg(normalExit ? 1 : 2));

    if (runningProcess_ == process) runningProcess_ = nullptr;
    stderrAccum_ += tail;
    QString text = downloadFailureText(stderrAccum_);

    if (normalExit && exitCode == 0 && currentDownloadPath_) {
        const QString path = *currentDownloadPath_;
        logLine(u"[yt-dlp] success — final path: "_s + path + u" (exists: "_s +
                (QFileInfo::exists(path) ? u"true"_s : u"false"_s) + QLatin1Char(')'));
        phase_ = Phase::Complete;
        progress_ = 1.0;
        statusText_ = u"Download complete."_s;
        run->result = DownloadResult{path, fileNameWithoutExtension(QFileInfo(path).fileName())};
    } else {
        if (text.isEmpty()) text = errorMessage_;
        phase_ = Phase::Failed;
        errorMessage_ = text;
        run->error = std::make_exception_ptr(DownloadError::processFailed(text));
    }
    emit downloadStateChanged();
    process->deleteLater();
    run->completion.finish();
}

void URLDownloadService::cancel() {
    if (runningProcess_) {
        terminateProcess(runningProcess_);
        runningProcess_ = nullptr;
    }
    phase_ = Phase::Idle;
    progress_ = 0;
    statusText_.clear();
    emit downloadStateChanged();
}

QCoro::Task<std::optional<QString>> URLDownloadService::fetchUploaderName(QString urlString) {
    const std::optional<QString> tool = ytDlpPath();
    if (!tool) co_return std::nullopt;
    const QStringList args{u"--skip-download"_s, u"--print"_s, kUploaderTemplate, u"--no-playlist"_s, urlString};
    const ToolRunResult r = co_await runTool(*tool, args);
    if (!r.started) {
        logLine(u"[yt-dlp metadata] launch failed: "_s + r.launchError);
        co_return std::nullopt;
    }
    const std::optional<QString> name = parseUploaderName(r.standardOutput);
    logLine(u"[yt-dlp metadata] channel/uploader: "_s + name.value_or(u"nil"_s));
    co_return name;
}

}  // namespace lumenote
