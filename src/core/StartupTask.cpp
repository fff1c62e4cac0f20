#include "core/StartupTask.h"

#include "core/Settings.h"

#include <QCoroTimer>

namespace lumenote {

bool isUpdateCheckDue(const std::optional<QDateTime>& lastCheck, const QDateTime& now) {
    return !lastCheck || lastCheck->secsTo(now) > kUpdateCheckIntervalSeconds;
}

QCoro::Task<> runStartupTask(StartupTools& tools, const Settings& settings, std::function<void(const QString&)> onStatus,
                             StartupOptions options) {
    onStatus(QStringLiteral("Staging yt-dlp…"));
    tools.stageYtDlp();

    const QDateTime now = options.now();
    const bool ytDlpDue = isUpdateCheckDue(settings.ytDlpLastUpdateCheck(), now);
    const bool ffmpegDue = tools.isFFmpegInstalled() && isUpdateCheckDue(settings.ffmpegLastUpdateCheck(), now);
    if (ytDlpDue || ffmpegDue) {
        onStatus(QStringLiteral("Checking for updates…"));
        // Both checks start before either is awaited, so they run side by side.
        std::optional<QCoro::Task<>> ytDlpCheck;
        std::optional<QCoro::Task<>> ffmpegCheck;
        if (ytDlpDue) ytDlpCheck.emplace(tools.checkYtDlpForUpdates());
        if (ffmpegDue) ffmpegCheck.emplace(tools.checkFFmpegForUpdates());
        if (ytDlpCheck) co_await std::move(*ytDlpCheck);
        if (ffmpegCheck) co_await std::move(*ffmpegCheck);
    }

    if (!tools.isFFmpegInstalled()) tools.startFFmpegInstall();

    onStatus(QStringLiteral("Ready."));
    if (options.readyPause.count() > 0) co_await QCoro::sleepFor(options.readyPause);
}

}  // namespace lumenote
