// tools status|check|update

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "media/URLDownloadService.h"

#include <QMetaObject>

namespace lumenote::cli {

namespace {

QString dateText(const std::optional<QDateTime>& when) {
    return when ? when->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("never");
}

QString statusText(const UpdateStatus& s) {
    switch (s.kind()) {
    case UpdateStatus::Kind::UpToDate: return QStringLiteral("up to date (%1)").arg(s.version());
    case UpdateStatus::Kind::Available: return QStringLiteral("update available: %1 → %2").arg(s.version(), s.latest());
    case UpdateStatus::Kind::CheckFailed: return QStringLiteral("check failed");
    case UpdateStatus::Kind::Checking: return QStringLiteral("checking");
    case UpdateStatus::Kind::Updating: return QStringLiteral("updating");
    case UpdateStatus::Kind::Unknown: break;
    }
    return QStringLiteral("not checked");
}

QCoro::Task<QString> ytDlpVersion(URLDownloadService& tools) {
    try {
        co_return co_await tools.runningVersion();
    } catch (const std::exception&) {
        co_return QStringLiteral("does not run");
    }
}

QCoro::Task<QString> ffmpegVersion(URLDownloadService& tools) {
    try {
        const std::optional<QString> v = co_await tools.ffmpegRunningVersion();
        co_return v.value_or(QStringLiteral("unknown version"));
    } catch (const std::exception&) {
        co_return QStringLiteral("does not run");
    }
}

QCoro::Task<int> status(Session& session) {
    Console& console = session.console;
    URLDownloadService& tools = URLDownloadService::shared();
    tools.stageYtDlp();
    const std::optional<QString> ytDlp = tools.ytDlpPath();
    if (ytDlp) {
        const QString version = co_await ytDlpVersion(tools);
        console.print(QStringLiteral("yt-dlp   %1  %2").arg(version, *ytDlp));
    } else {
        console.print(QStringLiteral("yt-dlp   not found (looked in %1)").arg(URLDownloadService::defaultToolSearchDirectories().join(QStringLiteral(", "))));
    }
    console.print(QStringLiteral("         last check %1, latest known %2")
                      .arg(dateText(tools.lastUpdateCheck()), tools.lastKnownVersion().value_or(QStringLiteral("-"))));
    const std::optional<QString> ffmpeg = tools.ffmpegPath();
    if (ffmpeg) {
        const QString version = co_await ffmpegVersion(tools);
        console.print(QStringLiteral("ffmpeg   %1  %2").arg(version, *ffmpeg));
    } else {
        console.print(QStringLiteral("ffmpeg   not found (install it with your package manager, or 'lumenote-cli tools update ffmpeg')"));
    }
    console.print(QStringLiteral("         last check %1, latest known %2, installed privately %3")
                      .arg(dateText(tools.ffmpegLastUpdateCheck()), tools.ffmpegLastKnownVersion().value_or(QStringLiteral("-")),
                           tools.ffmpegInstalledVersion().value_or(QStringLiteral("-"))));
    co_return kExitDone;
}

QCoro::Task<int> check(Session& session) {
    Console& console = session.console;
    URLDownloadService& tools = URLDownloadService::shared();
    tools.stageYtDlp();
    co_await tools.checkForUpdates();
    console.print(QStringLiteral("yt-dlp   %1").arg(statusText(tools.updateStatus())));
    bool failed = tools.updateStatus().kind() == UpdateStatus::Kind::CheckFailed;
    if (tools.ffmpegPath()) {
        co_await tools.checkFFmpegUpdates();
        console.print(QStringLiteral("ffmpeg   %1").arg(statusText(tools.ffmpegUpdateStatus())));
        failed = failed || tools.ffmpegUpdateStatus().kind() == UpdateStatus::Kind::CheckFailed;
    } else {
        console.print(QStringLiteral("ffmpeg   not found"));
    }
    if (failed) console.error(QStringLiteral("a release feed could not be reached (run with --verbose for details)"));
    co_return failed ? kExitFailed : kExitDone;
}

QCoro::Task<int> update(Session& session) {
    Console& console = session.console;
    const QString tool = session.invocation.arguments.value(0, QStringLiteral("yt-dlp"));
    if (tool != QLatin1String("yt-dlp") && tool != QLatin1String("ffmpeg"))
        throw UsageError(QStringLiteral("'%1' is not a tool: yt-dlp or ffmpeg").arg(tool), session.invocation.command->name);
    URLDownloadService& tools = URLDownloadService::shared();
    const QMetaObject::Connection progress = QObject::connect(&tools, &URLDownloadService::toolStateChanged, &tools, [&console, &tools, tool] {
        const double p = tool == QLatin1String("yt-dlp") ? tools.binaryUpdateProgress() : tools.ffmpegBinaryUpdateProgress();
        if (p > 0 && p < 1) console.setBar(QStringLiteral("tool"), tool, p, {}, 10);
    });
    int result = kExitDone;
    if (tool == QLatin1String("yt-dlp")) {
        tools.stageYtDlp();
        co_await tools.checkForUpdates();
        if (tools.updateStatus().kind() == UpdateStatus::Kind::Available) {
            console.print(QStringLiteral("Updating yt-dlp %1 → %2…").arg(tools.updateStatus().version(), tools.updateStatus().latest()));
            co_await tools.updateYtDlp();
        }
        console.removeBar(QStringLiteral("tool"));
        if (!tools.ytDlpUpdateError().isEmpty()) {
            console.error(QStringLiteral("yt-dlp could not be updated: ") + tools.ytDlpUpdateError());
            result = kExitFailed;
        } else if (tools.updateStatus().kind() == UpdateStatus::Kind::CheckFailed) {
            console.error(QStringLiteral("yt-dlp could not be checked or updated (run with --verbose for details)"));
            result = kExitFailed;
        } else {
            console.print(QStringLiteral("yt-dlp   %1").arg(statusText(tools.updateStatus())));
        }
    } else {
        console.print(QStringLiteral("Installing ffmpeg…"));
        co_await tools.installFFmpeg();
        console.removeBar(QStringLiteral("tool"));
        if (!tools.ffmpegInstallError().isEmpty()) {
            console.error(QStringLiteral("ffmpeg could not be installed: ") + tools.ffmpegInstallError());
            result = kExitFailed;
        } else {
            console.print(QStringLiteral("ffmpeg %1 installed: %2")
                              .arg(tools.ffmpegInstalledVersion().value_or(QString()), tools.ffmpegPath().value_or(QString())));
        }
    }
    QObject::disconnect(progress);
    co_return result;
}

}  // namespace

QCoro::Task<int> runTools(Session& session) {
    const QString sub = session.invocation.command->name.section(QLatin1Char(' '), 1);
    if (sub == QLatin1String("status")) co_return co_await status(session);
    if (sub == QLatin1String("check")) co_return co_await check(session);
    co_return co_await update(session);
}

}  // namespace lumenote::cli
