#include "core/Log.h"

#include <cstdio>
#include <mutex>

namespace lumenote {
namespace {
std::mutex& logMutex() {
    static std::mutex m;
    return m;
}
LogSink& sink() {
    static LogSink s;
    return s;
}
LogSink& output() {
    static LogSink o;
    return o;
}
}  // namespace

void logLine(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(logMutex());
    if (output()) {
        output()(line);
    } else {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (sink()) sink()(line);
}

void setLogSink(LogSink s) {
    std::lock_guard lock(logMutex());
    sink() = std::move(s);
}

void setLogOutput(LogSink o) {
    std::lock_guard lock(logMutex());
    output() = std::move(o);
}

}  // namespace lumenote
