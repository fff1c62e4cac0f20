#pragma once

// The splash screen's start-up task: stage yt-dlp, run the tools' due update
// checks, start an ffmpeg installation when none is present, then "Ready.".

#include <QCoroTask>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace lumenote {

class Settings;

// What start-up needs of the external tools; the media layer implements it.
class StartupTools {
public:
    virtual ~StartupTools() = default;
    // Finds or stages the private copy of yt-dlp.
    virtual void stageYtDlp() = 0;
    virtual bool isFFmpegInstalled() = 0;
    virtual QCoro::Task<> checkYtDlpForUpdates() = 0;
    virtual QCoro::Task<> checkFFmpegForUpdates() = 0;
    // Starts the installation in the background without waiting for it.
    virtual void startFFmpegInstall() = 0;
};

inline constexpr qint64 kUpdateCheckIntervalSeconds = 86400;

// Due when no check is recorded or the last one is more than a day old.
bool isUpdateCheckDue(const std::optional<QDateTime>& lastCheck, const QDateTime& now);

struct StartupOptions {
    // Pause between "Ready." and the end of the task (the splash closes then).
    std::chrono::milliseconds readyPause{500};
    // The clock for the daily rule.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
};

QCoro::Task<> runStartupTask(StartupTools& tools, const Settings& settings, std::function<void(const QString&)> onStatus,
                             StartupOptions options = {});

}  // namespace lumenote
