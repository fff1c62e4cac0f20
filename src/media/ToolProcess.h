#pragma once

// Running the external tools without blocking the main thread: a one-shot
// completion that a coroutine can wait for, and a helper that runs a program to
// its end and collects its output. Internal to the media layer (its own
// namespace keeps these names clear of other layers' helpers).

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <QCoroTask>

namespace lumenote::media {

// Finishes once; a coroutine that checks `isDone()` before awaiting `finished`
// cannot miss it.
class Completion : public QObject {
    Q_OBJECT
public:
    bool isDone() const { return done_; }
    void finish() {
        if (done_) return;
        done_ = true;
        emit finished();
    }
    // Suspends until finish() (returns at once when already finished).
    QCoro::Task<> wait();

signals:
    void finished();

private:
    bool done_ = false;
};

struct ToolRunResult {
    bool started = false;
    QString launchError;  // why it did not start
    bool normalExit = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    bool succeeded() const { return started && normalExit && exitCode == 0; }
};

// Runs `program` with `args` (no shell, no standard input) until it ends.
// Never throws; a program that cannot be started gives started = false.
QCoro::Task<ToolRunResult> runTool(QString program, QStringList args);

}  // namespace lumenote::media
