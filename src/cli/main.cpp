// lumenote-cli: the headless command over the same services as the desktop
// application.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "consolidation/ConsolidationService.h"
#include "core/AppPaths.h"
#include "core/Error.h"
#include "core/Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoroTask>

#include <cstdio>
#include <memory>

using namespace lumenote;
using namespace lumenote::cli;

namespace {

// Signals reach the event loop through a pipe.
int interruptPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(interruptPipe[1], &byte, 1);
}

void catchInterrupts() {
    if (pipe2(interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool needsLibrary(const Invocation& inv) {
    const QString group = inv.command->group();
    return group != QLatin1String("settings") && group != QLatin1String("models") && group != QLatin1String("tools");
}

QCoro::Task<int> dispatch(Session& session) {
    const QString group = session.invocation.command->group();
    if (group == QLatin1String("process")) co_return co_await runProcess(session);
    if (group == QLatin1String("library")) co_return co_await runLibrary(session);
    if (group == QLatin1String("models")) co_return co_await runModels(session);
    if (group == QLatin1String("tools")) co_return co_await runTools(session);
    if (group == QLatin1String("cache")) co_return co_await runCache(session);
    if (group == QLatin1String("settings")) co_return co_await runSettings(session);
    if (group == QLatin1String("search")) co_return co_await runSearch(session);
    if (group == QLatin1String("subtitles")) co_return co_await runSubtitles(session);
    if (group == QLatin1String("watch")) co_return co_await runWatch(session);
    if (group == QLatin1String("sync")) co_return co_await runSync(session);
    co_return co_await runLectureAction(session);
}

// Runs the command and turns what it throws into one line and an exit status.
QCoro::Task<> run(Session& session, int& status) {
    try {
        status = co_await dispatch(session);
    } catch (const UsageError& e) {
        session.console.error(UsageError(e.message(), e.command().isEmpty() ? session.invocation.command->name : e.command()).line());
        status = kExitUsage;
    } catch (const CommandFailure& e) {
        session.console.error(e.message());
        status = kExitFailed;
    } catch (const Error& e) {
        session.console.error(e.description());
        status = kExitFailed;
    } catch (const std::exception& e) {
        session.console.error(QString::fromUtf8(e.what()));
        status = kExitFailed;
    }
    QCoreApplication::exit(status);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumenote-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMENOTE_VERSION));

    Invocation invocation;
    try {
        invocation = parseCommandLine(app.arguments().mid(1));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "lumenote-cli: %s\n", e.line().toUtf8().constData());
        return kExitUsage;
    }
    if (invocation.version) {
        std::printf("lumenote-cli %s\n", LUMENOTE_VERSION);
        return kExitDone;
    }
    if (invocation.help) {
        std::fputs(helpText(invocation.helpTopic).toUtf8().constData(), stdout);
        return kExitDone;
    }

    // process --json keeps standard output for its result; the progress goes to standard error.
    const bool resultOnly = invocation.command && invocation.command->group() == QLatin1String("process") && invocation.has(QStringLiteral("json"));
    Console console(resultOnly ? false : Console::stdoutIsTerminal(), resultOnly ? stderr : stdout);
    if (resultOnly) console.setDataStream(stdout);
    console.setVerbose(invocation.verbose);
    // The services' diagnostics go through the console, so that they neither
    // tear the progress bars nor crowd the output unless asked for.
    setLogOutput([&console](const QString& line) { console.diagnostic(line); });

    ConsolidationService::Options options;
    options.discoverOnCreation = false;  // no model lists are needed here
    ConsolidationService::configureShared(options);

    if (needsLibrary(invocation)) {
        // The data folders depend on the sync folder; settle them before anything reads them.
        AppPaths::resolveCloudContainerNow();
        QCoreApplication::sendPostedEvents(&AppPaths::instance());
    }

    int status = kExitFailed;
    int exitCode = kExitFailed;
    {
        Session session(console, invocation);
        catchInterrupts();
        std::unique_ptr<QSocketNotifier> interrupts;
        if (interruptPipe[0] >= 0) {
            interrupts = std::make_unique<QSocketNotifier>(interruptPipe[0], QSocketNotifier::Read);
            QObject::connect(interrupts.get(), &QSocketNotifier::activated, &app, [&session] { session.interrupt(); });
        }
        QTimer::singleShot(0, &app, [&] { run(session, status); });
        exitCode = app.exec();
    }
    setLogOutput({});
    return exitCode == status ? status : exitCode;
}
