#include "core/AppPaths.h"

#include "core/Log.h"
#include "core/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <mutex>

namespace lumenote {
namespace {

struct State {
    std::mutex mutex;
    std::optional<QString> container;
    std::atomic<bool> resolved{false};
    std::atomic<bool> started{false};
    AppPaths::Sleeper sleeper;
};

State& state() {
    static State s;
    return s;
}

const QStringList kContainerFolders = {QStringLiteral("screenshots"), QStringLiteral("transcripts"), QStringLiteral("keyframes"),
                                       QStringLiteral("consolidated"), QStringLiteral("exports")};

void finish(std::optional<QString> container) {
    {
        std::lock_guard lock(state().mutex);
        state().container = std::move(container);
    }
    state().resolved = true;
    QMetaObject::invokeMethod(&AppPaths::instance(), [] { emit AppPaths::instance().resolved(); }, Qt::QueuedConnection);
}

}  // namespace

AppPaths& AppPaths::instance() {
    static AppPaths* paths = [] {
        auto* p = new AppPaths();
        if (QCoreApplication::instance()) p->moveToThread(QCoreApplication::instance()->thread());
        return p;
    }();
    return *paths;
}

std::optional<QString> AppPaths::containerURL() {
    std::lock_guard lock(state().mutex);
    return state().container;
}

bool AppPaths::isResolved() { return state().resolved; }

QString AppPaths::applicationSupportDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + QLatin1String(kBundleIdentifier);
}

QString AppPaths::dataDirectory(const QString& name) {
    if (const auto c = containerURL()) return *c + QLatin1Char('/') + name;
    return applicationSupportDirectory() + QLatin1Char('/') + name;
}

QString AppPaths::transcriptsDirectory() { return dataDirectory(QStringLiteral("transcripts")); }
QString AppPaths::keyframesDirectory() { return dataDirectory(QStringLiteral("keyframes")); }
QString AppPaths::consolidatedDirectory() { return dataDirectory(QStringLiteral("consolidated")); }
QString AppPaths::screenshotsDirectory() { return dataDirectory(QStringLiteral("screenshots")); }

QString AppPaths::exportRoot() {
    if (const auto c = containerURL()) return *c + QStringLiteral("/exports");
    return QDir::homePath() + QStringLiteral("/LumenoteLibrary");
}

std::optional<QString> AppPaths::recordsDirectory() {
    if (const auto c = containerURL()) return QDir::cleanPath(*c + QStringLiteral("/../Records"));
    return std::nullopt;
}

QString AppPaths::libraryStorePath() { return applicationSupportDirectory() + QStringLiteral("/library.sqlite"); }

QString AppPaths::downloadsDirectory() { return applicationSupportDirectory() + QStringLiteral("/downloads"); }

void AppPaths::resolveCloudContainer() {
    instance();  // created on the calling (main) thread
    if (state().started.exchange(true)) return;
    (void)QtConcurrent::run([] { resolveCloudContainerNow(); });
}

void AppPaths::resolveCloudContainerNow() {
    const std::optional<QString> syncFolder = Settings::shared().cloudSyncFolder();
    if (!syncFolder) {
        logLine(QStringLiteral("[AppPaths] cloudSyncFolder not set — the sync folder is not available. Using local storage."));
        finish(std::nullopt);
        return;
    }
    for (int attempt = 1; attempt <= kResolveAttempts; ++attempt) {
        // The sync folder may still be mounting; the container counts as present once it exists.
        if (QFileInfo(*syncFolder).isDir()) {
            const QString documents = QDir(*syncFolder).filePath(QStringLiteral("Lumenote/Documents"));
            for (const QString& sub : kContainerFolders) QDir().mkpath(documents + QLatin1Char('/') + sub);
            logLine(QStringLiteral("[AppPaths] Container in the sync folder resolved (attempt %1): %2").arg(attempt).arg(documents));
            finish(documents);
            return;
        }
        logLine(QStringLiteral("[AppPaths] Container not yet available (attempt %1/%2), retrying in %3s…")
                    .arg(attempt)
                    .arg(kResolveAttempts)
                    .arg(kResolveRetrySeconds));
        Sleeper sleeper;
        {
            std::lock_guard lock(state().mutex);
            sleeper = state().sleeper;
        }
        if (sleeper)
            sleeper(attempt, kResolveRetrySeconds);
        else
            QThread::sleep(kResolveRetrySeconds);
    }
    logLine(QStringLiteral("[AppPaths] Container in the sync folder unavailable after %1 attempts — using local storage.").arg(kResolveAttempts));
    finish(std::nullopt);
}

void AppPaths::setRetrySleeper(Sleeper sleeper) {
    std::lock_guard lock(state().mutex);
    state().sleeper = std::move(sleeper);
}

void AppPaths::resetForTesting() {
    std::lock_guard lock(state().mutex);
    state().container.reset();
    state().resolved = false;
    state().started = false;
}

}  // namespace lumenote
