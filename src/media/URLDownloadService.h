#pragma once

// Fetches lecture videos from web addresses with yt-dlp, and manages the two
// external tools: finds yt-dlp and ffmpeg, keeps a private copy of yt-dlp that
// can be updated, checks both for newer versions and installs ffmpeg from a
// build service. One shared instance serves the whole application; its state
// lives on the main thread and is observed through the change signals.

#include "core/Error.h"
#include "core/StartupTask.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <QCoroTask>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QProcess;

namespace lumenote {

namespace media {
class Completion;
}

class DownloadError : public Error {
public:
    enum class Kind { ProcessFailed, NotInstalled, InvalidURL };

    static DownloadError processFailed(const QString& message);
    static DownloadError notInstalled();
    static DownloadError invalidURL();

    Kind kind() const noexcept { return kind_; }
    // The process's own failure text (ProcessFailed), possibly empty.
    const QString& message() const noexcept { return message_; }

private:
    DownloadError(Kind kind, QString message, QString description)
        : Error(std::move(description)), kind_(kind), message_(std::move(message)) {}
    Kind kind_;
    QString message_;
};

// Version state of one tool.
class UpdateStatus {
    Q_GADGET
public:
    enum class Kind { UpToDate, Available, Unknown, Checking, Updating, CheckFailed };
    Q_ENUM(Kind)

    static UpdateStatus upToDate(const QString& version) { return {Kind::UpToDate, version, {}}; }
    static UpdateStatus available(const QString& current, const QString& latest) { return {Kind::Available, current, latest}; }
    static UpdateStatus unknown() { return {Kind::Unknown, {}, {}}; }
    static UpdateStatus checking() { return {Kind::Checking, {}, {}}; }
    static UpdateStatus updating() { return {Kind::Updating, {}, {}}; }
    static UpdateStatus checkFailed() { return {Kind::CheckFailed, {}, {}}; }

    UpdateStatus() = default;
    Kind kind() const { return kind_; }
    // The running version (upToDate) or the current one (available).
    const QString& version() const { return version_; }
    // The newer version (available).
    const QString& latest() const { return latest_; }
    bool operator==(const UpdateStatus&) const = default;

private:
    UpdateStatus(Kind k, QString v, QString l) : kind_(k), version_(std::move(v)), latest_(std::move(l)) {}
    Kind kind_ = Kind::Unknown;
    QString version_;
    QString latest_;
};

struct DownloadResult {
    QString path;   // the downloaded video
    QString title;  // its file name without extension
};

class URLDownloadService : public QObject, public StartupTools {
    Q_OBJECT
    Q_PROPERTY(Phase phase READ phase NOTIFY downloadStateChanged)
    Q_PROPERTY(double progress READ progress NOTIFY downloadStateChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY downloadStateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY downloadStateChanged)
    Q_PROPERTY(QStringList stderrAccum READ stderrAccum NOTIFY downloadStateChanged)
    Q_PROPERTY(bool isCheckingForUpdates READ isCheckingForUpdates NOTIFY toolStateChanged)
    Q_PROPERTY(double binaryUpdateProgress READ binaryUpdateProgress NOTIFY toolStateChanged)
    Q_PROPERTY(bool isCheckingFFmpegUpdates READ isCheckingFFmpegUpdates NOTIFY toolStateChanged)
    Q_PROPERTY(double ffmpegBinaryUpdateProgress READ ffmpegBinaryUpdateProgress NOTIFY toolStateChanged)
    Q_PROPERTY(bool isInstallingFFmpeg READ isInstallingFFmpeg NOTIFY toolStateChanged)
    Q_PROPERTY(QString ffmpegInstallError READ ffmpegInstallError NOTIFY toolStateChanged)

public:
    enum class Phase { Idle, Downloading, Complete, Failed };
    Q_ENUM(Phase)

    static constexpr std::chrono::milliseconds kDefaultWatchdogInterval{90000};
    static constexpr qint64 kYtDlpFallbackSize = 36000000;
    static constexpr qint64 kFFmpegFallbackSize = 90000000;

    // The application's instance (created on first use, on the main thread).
    static URLDownloadService& shared();

    explicit URLDownloadService(QObject* parent = nullptr);
    ~URLDownloadService() override;

    // ---- Download -------------------------------------------------------

    Phase phase() const { return phase_; }
    double progress() const { return progress_; }
    QString statusText() const { return statusText_; }
    QString errorMessage() const { return errorMessage_; }
    // Best knowledge of the file yt-dlp is writing.
    std::optional<QString> currentDownloadPath() const { return currentDownloadPath_; }
    QStringList stderrAccum() const { return stderrAccum_; }
    // Whether a yt-dlp download process is running.
    bool isDownloadRunning() const { return runningProcess_ != nullptr; }

    // Downloads the video behind `urlString` into the download folder. Throws
    // DownloadError (not installed, invalid address, process failed), or Error
    // when the folder cannot be made or yt-dlp cannot be launched.
    QCoro::Task<DownloadResult> download(QString urlString, bool forceRefresh);
    // Stops the running download; the awaiting download() then fails.
    void cancel();
    // Sets a finished or failed download back to idle (the address field changed).
    void resetPhase();
    // The channel or uploader of the video; none when unknown. Never throws.
    QCoro::Task<std::optional<QString>> fetchUploaderName(QString urlString);

    // <data>/io.corvana.Lumenote/downloads
    static QString downloadFolder();

    // ---- External tools -------------------------------------------------

    // A runnable yt-dlp: the private copy (made runnable), else the packaged
    // copy staged into the private place, else the first in the search folders.
    std::optional<QString> ytDlpPath();
    // The private ffmpeg (made runnable), else the first in the search folders.
    std::optional<QString> ffmpegPath();
    // `yt-dlp --version`; throws DownloadError::notInstalled without a tool.
    QCoro::Task<QString> runningVersion();
    // The version `ffmpeg -version` prints; throws DownloadError::notInstalled.
    QCoro::Task<std::optional<QString>> ffmpegRunningVersion();

    // Actions of the Tools screen; they report through the state below only.
    QCoro::Task<> checkForUpdates();
    QCoro::Task<> updateYtDlp();
    QCoro::Task<> checkFFmpegUpdates();
    // Installs (or updates) the private ffmpeg from the build service. When an
    // installation is already running, waits for that one instead.
    QCoro::Task<> installFFmpeg();
    // Starts each check whose last run is missing or more than a day old (the
    // ffmpeg check only when ffmpeg is found), as the Tools screen does when shown.
    void startDueUpdateChecks(const QDateTime& now = QDateTime::currentDateTimeUtc());

    UpdateStatus updateStatus() const { return updateStatus_; }
    bool isCheckingForUpdates() const { return isCheckingForUpdates_; }
    double binaryUpdateProgress() const { return binaryUpdateProgress_; }
    // Why the last yt-dlp update failed (empty after a success).
    QString ytDlpUpdateError() const { return ytDlpUpdateError_; }
    std::optional<QDateTime> lastUpdateCheck() const;
    std::optional<QString> lastKnownVersion() const;
    UpdateStatus ffmpegUpdateStatus() const { return ffmpegUpdateStatus_; }
    bool isCheckingFFmpegUpdates() const { return isCheckingFFmpegUpdates_; }
    double ffmpegBinaryUpdateProgress() const { return ffmpegBinaryUpdateProgress_; }
    std::optional<QDateTime> ffmpegLastUpdateCheck() const;
    std::optional<QString> ffmpegLastKnownVersion() const;
    std::optional<QString> ffmpegInstalledVersion() const;
    // Whether an ffmpeg installation is running (the install task is set).
    bool isInstallingFFmpeg() const { return ffmpegInstall_ != nullptr; }
    // Why the last ffmpeg installation failed (empty after a success).
    QString ffmpegInstallError() const { return ffmpegInstallError_; }

    // ---- Start-up (the splash task drives these) ------------------------

    void stageYtDlp() override;
    bool isFFmpegInstalled() override;
    QCoro::Task<> checkYtDlpForUpdates() override;
    QCoro::Task<> checkFFmpegForUpdates() override;
    // Runs installFFmpeg() in the background without waiting.
    void startFFmpegInstall() override;

    // ---- Locations and deployment values --------------------------------

    static QString privateYtDlpPath();
    static QString privateFFmpegPath();
    // "yt-dlp_linux", or "yt-dlp_linux_aarch64" on arm64.
    static QString ytDlpAssetName();
    // Hosts, read from the environment at each call.
    static QString gitHubApiUrl();
    static QString gitHubUrl();
    static std::optional<QString> ffmpegInfoUrl();

    // Folders searched for yt-dlp and ffmpeg after the private copies:
    // ~/.local/bin, /usr/local/bin, /usr/bin.
    static QStringList defaultToolSearchDirectories();
    QStringList toolSearchDirectories() const { return searchDirectories_; }
    void setToolSearchDirectories(const QStringList& directories) { searchDirectories_ = directories; }
    // The yt-dlp shipped with the package: <prefix>/share/lumenote/yt-dlp.
    static QString defaultPackagedYtDlpPath();
    void setPackagedYtDlpPath(const QString& path) { packagedYtDlpPath_ = path; }
    // How long a download may make no progress before it is stopped.
    void setWatchdogInterval(std::chrono::milliseconds interval) { watchdogInterval_ = interval; }

signals:
    // Any of the download fields changed.
    void downloadStateChanged();
    // Any of the tool fields changed.
    void toolStateChanged();

private:
    struct DownloadRun;

    void setPhase(Phase phase);
    void onStandardOutput(QProcess* process);
    void onStandardError(QProcess* process);
    void applyLine(const QString& line);
    void onWatchdog(QProcess* process);
    void completeRun(const std::shared_ptr<DownloadRun>& run, int exitCode, bool normalExit);

    void setUpdateStatus(const UpdateStatus& s);
    void setFFmpegUpdateStatus(const UpdateStatus& s);
    void setBinaryUpdateProgress(double p);
    void setFFmpegBinaryUpdateProgress(double p);
    QNetworkAccessManager& network();
    QCoro::Task<QString> fetchLatestYtDlpTag();
    struct FFmpegBuild {
        QString version;
        QString archiveUrl;
        std::optional<qint64> archiveSize;  // as the service lists it
    };
    QCoro::Task<FFmpegBuild> fetchLatestFFmpegBuild();
    QCoro::Task<> runFFmpegInstall();

    // Download state
    Phase phase_ = Phase::Idle;
    double progress_ = 0;
    QString statusText_;
    QString errorMessage_;
    std::optional<QString> currentDownloadPath_;
    QStringList stderrAccum_;
    QProcess* runningProcess_ = nullptr;

    // Tool state
    UpdateStatus updateStatus_;
    bool isCheckingForUpdates_ = false;
    double binaryUpdateProgress_ = 0;
    QString ytDlpUpdateError_;
    UpdateStatus ffmpegUpdateStatus_;
    bool isCheckingFFmpegUpdates_ = false;
    double ffmpegBinaryUpdateProgress_ = 0;
    std::shared_ptr<media::Completion> ffmpegInstall_;
    QString ffmpegInstallError_;

    QStringList searchDirectories_;
    QString packagedYtDlpPath_;
    std::chrono::milliseconds watchdogInterval_ = kDefaultWatchdogInterval;
    QNetworkAccessManager* network_ = nullptr;
};

}  // namespace lumenote
