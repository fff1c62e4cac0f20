#include "CliRunner.h"

#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace lumenote::test {

QStringList CliResult::messages() const {
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  "));
    QStringList m;
    for (const QString& l : lines())
        if (stamp.match(l).hasMatch()) m << l.mid(10);
    return m;
}

std::ostream& operator<<(std::ostream& os, const CliResult& r) {
    return os << "exit " << r.code << "\n--- stdout\n" << r.out.toStdString() << "--- stderr\n" << r.err.toStdString();
}

QString cliPath() { return QString::fromStdString(binaryDir()) + "/src/cli/lumenote-cli"; }

Cli::Cli(const QString& home) : home_(home) {
    QDir().mkpath(home);
    env_ = isolatedMachineEnvironment(home);
    env_.remove("LUMENOTE_FFMPEG_INFO_URL");
}

void Cli::prepare(QProcess& p) const {
    p.setProcessEnvironment(env_);
    p.setWorkingDirectory(home_);
    if (childSetup_) p.setChildProcessModifier(childSetup_);
}

CliResult Cli::run(const QStringList& args, const QByteArray& input, int timeoutMs) const {
    return exec(cliPath(), args, input, timeoutMs);
}

CliResult Cli::exec(const QString& program, const QStringList& args, const QByteArray& input, int timeoutMs) const {
    QProcess p;
    prepare(p);
    p.start(program, args);
    CliResult r;
    if (!p.waitForStarted(10000)) {
        r.err = "could not start " + program;
        return r;
    }
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    // Stand-in servers live on this thread's event loop.
    if (!spinUntil([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

std::unique_ptr<QProcess> Cli::start(const QStringList& args) const {
    auto p = std::make_unique<QProcess>();
    prepare(*p);
    p->start(cliPath(), args);
    p->waitForStarted(10000);
    return p;
}

CliResult Cli::runMeasuringMemory(const QStringList& args, long* peakKiB) const {
    // QProcess reaps its children itself; wait4 gives this one child's usage.
    CliResult r;
    QTemporaryDir outputs;
    const QByteArray out = QFile::encodeName(outputs.filePath("out")), err = QFile::encodeName(outputs.filePath("err"));
    QList<QByteArray> argBytes{QFile::encodeName(cliPath())}, envBytes;
    for (const QString& a : args) argBytes << a.toUtf8();
    for (const QString& e : env_.toStringList()) envBytes << e.toUtf8();
    std::vector<char*> argv, envp;
    for (QByteArray& a : argBytes) argv.push_back(a.data());
    for (QByteArray& e : envBytes) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray dir = QFile::encodeName(home_);
    posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        r.err = "could not start " + cliPath();
        return r;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (peakKiB) *peakKiB = usage.ru_maxrss;
    QFile o(outputs.filePath("out")), e(outputs.filePath("err"));
    if (o.open(QIODevice::ReadOnly)) r.out = QString::fromUtf8(o.readAll());
    if (e.open(QIODevice::ReadOnly)) r.err = QString::fromUtf8(e.readAll());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

QJsonObject Cli::lecture(const QString& title) const {
    const CliResult r = run({"library", "list", "--json"});
    for (const QJsonValue& v : QJsonDocument::fromJson(r.out.toUtf8()).array())
        if (v["title"].toString() == title) return v.toObject();
    return {};
}

int Cli::lectureCount() const { return int(QJsonDocument::fromJson(run({"library", "list", "--json"}).out.toUtf8()).array().size()); }

}  // namespace lumenote::test
