#include "media/ToolProcess.h"

#include <QCoroSignal>

#include <memory>

namespace lumenote::media {

using namespace Qt::StringLiterals;

QCoro::Task<> Completion::wait() {
    if (!done_) co_await qCoro(this, &Completion::finished);
}

QCoro::Task<ToolRunResult> runTool(QString program, QStringList args) {
    auto process = std::make_unique<QProcess>();
    auto completion = std::make_unique<Completion>();
    ToolRunResult result;
    process->setProgram(program);
    process->setArguments(args);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process.get(), &QProcess::errorOccurred, completion.get(), [&result, p = process.get(), c = completion.get()](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        result.launchError = p->errorString();
        c->finish();
    });
    QObject::connect(process.get(), &QProcess::finished, completion.get(), [&result, p = process.get(), c = completion.get()](int code, QProcess::ExitStatus status) {
        result.started = true;
        result.normalExit = status == QProcess::NormalExit;
        result.exitCode = code;
        result.standardOutput = p->readAllStandardOutput();
        result.standardError = p->readAllStandardError();
        c->finish();
    });
    process->start(QIODevice::ReadOnly);
    co_await completion->wait();
    co_return result;
}

}  // namespace lumenote::media
