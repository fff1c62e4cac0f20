#pragma once

// lumenote-cli run as a program, with a home folder of its own: the
// environment it runs in, what it printed and how it ended.

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <ostream>

namespace lumenote::test {

struct CliResult {
    int code = -1;  // -1 when the program did not exit normally
    QString out;
    QString err;
    QStringList lines() const { return out.split('\n', Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }
    // The processing messages, without their time stamps.
    QStringList messages() const;
    QString last() const { return lines().value(lines().size() - 1); }
};

std::ostream& operator<<(std::ostream& os, const CliResult& r);

// build/src/cli/lumenote-cli
QString cliPath();

class Cli {
public:
    // HOME and the XDG folders inside `home`; no session bus; every outside
    // host pointed at a closed port.
    explicit Cli(const QString& home);

    void set(const QString& name, const QString& value) { env_.insert(name, value); }
    QString home() const { return home_; }
    QString library() const { return home_ + "/LumenoteLibrary"; }
    QString downloads() const { return home_ + "/.local/share/io.corvana.Lumenote/downloads"; }
    QString libraryDatabase() const { return home_ + "/.local/share/io.corvana.Lumenote/library.sqlite"; }
    // Runs in the child between fork and exec (resource limits, signal dispositions).
    void setChildSetup(std::function<void()> setup) { childSetup_ = std::move(setup); }

    CliResult run(const QStringList& args, const QByteArray& input = {}, int timeoutMs = 180000) const;
    CliResult exec(const QString& program, const QStringList& args, const QByteArray& input = {}, int timeoutMs = 180000) const;
    // The run with the peak resident memory of the program itself (KiB).
    CliResult runMeasuringMemory(const QStringList& args, long* peakKiB) const;
    // The program running in the background (for commands that keep running,
    // or are to be killed).
    std::unique_ptr<QProcess> start(const QStringList& args) const;

    // `library list --json`, by title.
    QJsonObject lecture(const QString& title) const;
    int lectureCount() const;

private:
    void prepare(QProcess& p) const;

    QString home_;
    QProcessEnvironment env_;
    std::function<void()> childSetup_;
};

}  // namespace lumenote::test
