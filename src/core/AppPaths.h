#pragma once

// Where the program keeps its files. The data folders and the export root live
// in the cloud container (a folder the user's sync client keeps in step) once
// it has been resolved, and in local folders otherwise.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace lumenote {

class AppPaths : public QObject {
    Q_OBJECT
public:
    // Name of the process-wide notification, kept for log lines and listeners.
    static constexpr const char* kResolvedNotification = "AppPathsCloudContainerResolved";
    static constexpr const char* kBundleIdentifier = "io.corvana.Lumenote";
    static constexpr const char* kCloudContainerIdentifier = "iCloud.io.corvana.Lumenote";
    static constexpr int kResolveAttempts = 5;
    static constexpr int kResolveRetrySeconds = 5;

    // The instance that emits `resolved` on the main thread.
    static AppPaths& instance();

    // The container's "Documents" folder once resolved with a container.
    static std::optional<QString> containerURL();
    static bool isResolved();

    // The private per-user folder: $XDG_DATA_HOME/io.corvana.Lumenote.
    static QString applicationSupportDirectory();
    // Container/Documents/<name> with a container, else the private folder's <name>.
    static QString dataDirectory(const QString& name);
    static QString transcriptsDirectory();
    static QString keyframesDirectory();
    static QString consolidatedDirectory();
    static QString screenshotsDirectory();
    // Container/Documents/exports, else ~/LumenoteLibrary. (The export settings
    // may replace it with a folder of the user's choice.)
    static QString exportRoot();
    // <sync folder>/Lumenote/Records, where the record mirror keeps its
    // documents; none without a resolved container.
    static std::optional<QString> recordsDirectory();
    // The library database (always local).
    static QString libraryStorePath();
    // Where downloaded videos are kept.
    static QString downloadsDirectory();

    // Starts resolution in the background; `resolved` is emitted on the main
    // thread when it finishes. Resolution is attempted once per process.
    static void resolveCloudContainer();
    // Runs resolution on the calling thread (the background task's body).
    static void resolveCloudContainerNow();

    // Tests replace the five-second pause between attempts and start over.
    using Sleeper = std::function<void(int attempt, int seconds)>;
    static void setRetrySleeper(Sleeper sleeper);
    static void resetForTesting();

signals:
    void resolved();

private:
    AppPaths() = default;
};

}  // namespace lumenote
