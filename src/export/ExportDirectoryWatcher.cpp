#include "export/ExportDirectoryWatcher.h"

#include "core/Log.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace lumenote {

namespace {

constexpr uint32_t kTreeMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF
                               | IN_MOVE_SELF | IN_ONLYDIR;
constexpr uint32_t kParentMask = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

ExportDirectoryWatcher& ExportDirectoryWatcher::shared() {
    static ExportDirectoryWatcher* instance = new ExportDirectoryWatcher;
    return *instance;
}

ExportDirectoryWatcher::ExportDirectoryWatcher(QObject* parent) : QObject(parent) {
    debounce_.setSingleShot(true);
    debounce_.setTimerType(Qt::PreciseTimer);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &ExportDirectoryWatcher::post);
}

ExportDirectoryWatcher::~ExportDirectoryWatcher() { stop(); }

void ExportDirectoryWatcher::watch(const QString& path) {
    if (watchedPath_ && *watchedPath_ == path) return;
    stop();
    watchedPath_ = path;
    if (!start(path)) {
        stop();  // the path stays recorded; nothing is watched
        logLine(QStringLiteral("[ExportWatcher] Failed to create stream for: ") + path);
        return;
    }
    logLine(QStringLiteral("[ExportWatcher] Watching: ") + path);
}

void ExportDirectoryWatcher::stop() {
    debounce_.stop();
    delete notifier_;
    notifier_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    watches_.clear();
    pendingWatch_ = -1;
}

bool ExportDirectoryWatcher::start(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || (info.exists() && !info.isDir())) return false;
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return false;
    if (!watchRootOrParent()) return false;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ExportDirectoryWatcher::readEvents);
    return true;
}

bool ExportDirectoryWatcher::addWatch(const QString& dir, uint32_t mask) {
    const int wd = inotify_add_watch(fd_, QFile::encodeName(dir).constData(), mask);
    if (wd < 0) return false;
    watches_.insert(wd, dir);
    return true;
}

bool ExportDirectoryWatcher::addTree(const QString& dir) {
    // Folders that appeared before their parent's watch existed are found here.
    if (!addWatch(dir, kTreeMask)) return false;
    QDirIterator it(dir, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) addWatch(it.next(), kTreeMask);
    return true;
}

bool ExportDirectoryWatcher::watchRootOrParent() {
    if (pendingWatch_ >= 0) {
        inotify_rm_watch(fd_, pendingWatch_);
        watches_.remove(pendingWatch_);
        pendingWatch_ = -1;
    }
    if (QFileInfo(*watchedPath_).isDir()) return addTree(*watchedPath_);
    QString parent = QFileInfo(*watchedPath_).absolutePath();
    while (!QFileInfo(parent).isDir() && parent != QLatin1String("/")) parent = QFileInfo(parent).absolutePath();
    const int wd = inotify_add_watch(fd_, QFile::encodeName(parent).constData(), kParentMask);
    if (wd < 0) return false;
    pendingWatch_ = wd;
    watches_.insert(wd, parent);
    return true;
}

void ExportDirectoryWatcher::readEvents() {
    alignas(inotify_event) char buffer[16384];
    bool changed = false, parentChanged = false, rootGone = false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                changed = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {
                watches_.remove(event->wd);
                if (event->wd == pendingWatch_) pendingWatch_ = -1;
                continue;
            }
            if (event->wd == pendingWatch_) {
                parentChanged = true;
                continue;
            }
            const auto known = watches_.constFind(event->wd);
            if (known == watches_.cend()) continue;  // a watch already dropped
            const QString dir = known.value();
            if ((event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)) && event->len)
                addTree(dir + QLatin1Char('/') + QFile::decodeName(event->name));
            if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) && dir == *watchedPath_) rootGone = true;
            changed = true;
        }
    }
    if (rootGone) {
        // The root went away: wait for it to come back.
        for (auto it = watches_.cbegin(); it != watches_.cend(); ++it) inotify_rm_watch(fd_, it.key());
        watches_.clear();
        watchRootOrParent();
    } else if (parentChanged) {
        // The root (or a missing level above it) may exist now.
        watchRootOrParent();
        if (pendingWatch_ < 0) changed = true;
    }
    if (changed) scheduleNotification();
}

void ExportDirectoryWatcher::scheduleNotification() { debounce_.start(); }

void ExportDirectoryWatcher::post() {
    logLine(QStringLiteral("[ExportWatcher] Change detected — posting notification"));
    emit exportDirectoryDidChange();
}

}  // namespace lumenote
