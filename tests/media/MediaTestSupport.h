#pragma once

// Shared pieces of the media tests: awaiting tasks that may throw, capturing
// log lines, fake tool folders, and scoped environment variables.

#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "media/URLDownloadService.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <mutex>
#include <optional>

namespace lumenote::test {

// The outcome of a task that may throw (awaiting a throwing task directly
// would never return).
template <typename T>
struct Attempt {
    std::optional<T> value;
    bool failed = false;
    QString error;
    std::exception_ptr exception;
};

template <typename T>
QCoro::Task<Attempt<T>> attemptTask(QCoro::Task<T> task) {
    Attempt<T> a;
    try {
        a.value = co_await std::move(task);
    } catch (const Error& e) {
        a.failed = true;
        a.error = e.description();
        a.exception = std::current_exception();
    }
    co_return a;
}

template <typename T>
Attempt<T> attempt(QCoro::Task<T>&& task) {
    return await(attemptTask(std::move(task)));
}

// The kind of DownloadError an attempt failed with, if it was one.
template <typename T>
std::optional<DownloadError::Kind> downloadErrorKind(const Attempt<T>& a) {
    if (!a.exception) return std::nullopt;
    try {
        std::rethrow_exception(a.exception);
    } catch (const DownloadError& e) {
        return e.kind();
    } catch (...) {
    }
    return std::nullopt;
}

class LogCapture {
public:
    LogCapture() {
        setLogSink([this](const QString& line) {
            std::lock_guard lock(mutex_);
            lines_ << line;
        });
    }
    ~LogCapture() { setLogSink({}); }
    QStringList lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool contains(const QString& line) const { return lines().contains(line); }
    bool containsPrefix(const QString& prefix) const {
        for (const QString& l : lines())
            if (l.startsWith(prefix)) return true;
        return false;
    }

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QString>& value) : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        if (value)
            qputenv(name, value->toUtf8());
        else
            qunsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

// A folder of fake tools that a service searches first (and only).
class FakeToolFolder {
public:
    FakeToolFolder() { QDir().mkpath(bin()); }
    QString root() const { return dir_.path(); }
    QString bin() const { return dir_.path() + "/bin"; }
    QString path(const QString& name) const { return bin() + "/" + name; }
    // Where fake yt-dlp scripts record their arguments, one per line. The
    // uploader query runs beside the download, so it records into a file of its own.
    QString argsFile() const { return dir_.path() + "/args.txt"; }
    QString queryArgsFile() const { return dir_.path() + "/query-args.txt"; }
    QStringList recordedArgs() const { return readArgs(argsFile()); }
    QStringList recordedQueryArgs() const { return readArgs(queryArgsFile()); }
    // A yt-dlp that records its arguments, knows its output folder as $dir and
    // then runs `body`.
    bool writeYtDlp(const QString& body) const {
        return writeExecutableScript(path("yt-dlp"), "#!/bin/sh\nrecord='" + argsFile() + "'\n[ \"$1\" = --skip-download ] && record='" +
                                                         queryArgsFile() + "'\nprintf '%s\\n' \"$@\" > \"$record\"\nout=\"$2\"\ndir=\"${out%/*}\"\n" +
                                                         body + "\n");
    }
    bool writeFFmpeg(const QString& version) const {
        return writeExecutableScript(path("ffmpeg"), "#!/bin/sh\necho 'ffmpeg version " + version +
                                                         " Copyright (c) 2000-2024 the FFmpeg developers'\n");
    }

private:
    static QStringList readArgs(const QString& file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return {};
        QStringList args = QString::fromUtf8(f.readAll()).split('\n');
        if (!args.isEmpty() && args.last().isEmpty()) args.removeLast();
        return args;
    }

    QTemporaryDir dir_;
};

// A service that sees only `folder`'s tools (no packaged copy, no private copies).
inline std::unique_ptr<URLDownloadService> makeService(const QStringList& searchDirectories) {
    QFile::remove(URLDownloadService::privateYtDlpPath());
    QFile::remove(URLDownloadService::privateFFmpegPath());
    auto service = std::make_unique<URLDownloadService>();
    service->setToolSearchDirectories(searchDirectories);
    service->setPackagedYtDlpPath(QString());
    return service;
}

inline void clearToolSettings() {
    for (const char* key : {settings_keys::ytDlpLastUpdateCheck, settings_keys::ytDlpLastKnownVersion, settings_keys::ffmpegLastUpdateCheck,
                            settings_keys::ffmpegLastKnownVersion, settings_keys::ffmpegInstalledVersion})
        Settings::shared().remove(QLatin1String(key));
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace lumenote::test
