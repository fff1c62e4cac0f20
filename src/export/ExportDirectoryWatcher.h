#pragma once

// Notices changes anywhere inside the export root (exports written, removed,
// or arriving from another machine through a sync client) and announces them
// with one signal 1.5 s after the last change of a burst.
//
// Built on inotify with a watch on every folder of the tree; folders created
// later are added as they appear. A root that does not exist yet is waited
// for through its nearest existing parent.

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class QSocketNotifier;

namespace lumenote {

class ExportDirectoryWatcher : public QObject {
    Q_OBJECT
public:
    // The process-wide notification this signal stands for.
    static constexpr const char* kNotificationName = "io.corvana.Lumenote.exportDirectoryDidChange";
    static constexpr int kDebounceMs = 1500;

    static ExportDirectoryWatcher& shared();

    explicit ExportDirectoryWatcher(QObject* parent = nullptr);
    ~ExportDirectoryWatcher() override;

    // Starts watching `path`, replacing any earlier watch; the same path again
    // changes nothing. Main thread.
    void watch(const QString& path);

    std::optional<QString> watchedPath() const { return watchedPath_; }
    // The quiet time before the announcement (tests shorten it).
    void setDebounceInterval(int ms) { debounce_.setInterval(ms); }
    // True while an event source is running for the watched path.
    bool isWatching() const { return fd_ >= 0; }

signals:
    // Emitted on the main thread, once per burst of changes.
    void exportDirectoryDidChange();

private:
    void stop();
    bool start(const QString& path);
    void readEvents();
    bool addTree(const QString& dir);
    bool addWatch(const QString& dir, uint32_t mask);
    // Watches the root's tree, or its nearest existing parent while it is missing.
    bool watchRootOrParent();
    void scheduleNotification();
    void post();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QHash<int, QString> watches_;   // watch descriptor -> folder
    int pendingWatch_ = -1;         // the existing parent while the root is missing
    std::optional<QString> watchedPath_;
    QTimer debounce_;
};

}  // namespace lumenote
