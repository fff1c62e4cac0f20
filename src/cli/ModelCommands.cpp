// models list|select|download|check

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "core/Settings.h"
#include "transcription/WhisperModelManager.h"

#include <QMetaObject>

namespace lumenote::cli {

QCoro::Task<bool> downloadModel(Console& console, QString id, QString* why) {
    WhisperModelManager& models = WhisperModelManager::shared();
    const QString name = WhisperModelManager::displayName(id);
    const QString size = WhisperModelManager::model(id) ? WhisperModelManager::model(id)->size : QString();
    console.print(QStringLiteral("Downloading Whisper %1 model%2…").arg(name, size.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(size)));
    const QMetaObject::Connection progress = QObject::connect(&models, &WhisperModelManager::downloadProgressChanged, &models, [&console, &models] {
        console.setBar(QStringLiteral("model"), QStringLiteral("Model download"), models.downloadProgress(), {}, 10);
    });
    console.setBar(QStringLiteral("model"), QStringLiteral("Model download"), 0, {}, 10);
    const bool ok = co_await models.download(id);
    QObject::disconnect(progress);
    console.removeBar(QStringLiteral("model"));
    if (!ok) {
        if (why) *why = QStringLiteral("the Whisper %1 model could not be downloaded: %2").arg(name, models.lastError().isEmpty() ? QStringLiteral("unknown error") : models.lastError());
        co_return false;
    }
    console.print(QStringLiteral("Whisper %1 model ready: %2").arg(name, models.downloadedFolder(id).value_or(QString())));
    co_return true;
}

namespace {

QString requireKnownModel(const QString& id, const QString& command) {
    if (!WhisperModelManager::model(id)) {
        QStringList ids;
        for (const WhisperModelManager::Model& m : WhisperModelManager::models()) ids << m.id;
        throw UsageError(QStringLiteral("unknown model '%1' (one of %2)").arg(id, ids.join(QStringLiteral(", "))), command);
    }
    return id;
}

QString updateText(WhisperModelManager::UpdateStatus status) {
    switch (status) {
    case WhisperModelManager::UpdateStatus::upToDate: return QStringLiteral("up to date");
    case WhisperModelManager::UpdateStatus::available: return QStringLiteral("update available (run 'models download')");
    case WhisperModelManager::UpdateStatus::checkFailed: return QStringLiteral("check failed");
    case WhisperModelManager::UpdateStatus::checking: return QStringLiteral("checking");
    case WhisperModelManager::UpdateStatus::unknown: break;
    }
    return QStringLiteral("unknown");
}

}  // namespace

QCoro::Task<int> runModels(Session& session) {
    Console& console = session.console;
    const QString sub = session.invocation.command->name.section(QLatin1Char(' '), 1);
    WhisperModelManager& models = WhisperModelManager::shared();

    if (sub == QLatin1String("list")) {
        const QString selected = models.selectedModelID();
        console.print(QStringLiteral("  %1 %2 %3 %4").arg(QStringLiteral("ID"), -30).arg(QStringLiteral("NAME"), -12).arg(QStringLiteral("SIZE"), -8).arg(QStringLiteral("ON DISK")));
        for (const WhisperModelManager::Model& m : WhisperModelManager::models()) {
            const auto folder = models.downloadedFolder(m.id);
            console.print(QStringLiteral("%1 %2 %3 %4 %5")
                              .arg(m.id == selected ? QStringLiteral("*") : QStringLiteral(" "))
                              .arg(m.id, -30)
                              .arg(m.displayName, -12)
                              .arg(m.size, -8)
                              .arg(folder ? *folder : QStringLiteral("not downloaded (") + m.note + QLatin1Char(')')));
        }
        co_return kExitDone;
    }
    if (sub == QLatin1String("select")) {
        const QString id = requireKnownModel(session.invocation.arguments.value(0), session.invocation.command->name);
        models.setSelectedModelID(id);
        console.print(QStringLiteral("Selected Whisper %1 (%2)%3.")
                          .arg(WhisperModelManager::displayName(id), id,
                               models.isDownloaded(id) ? QString() : QStringLiteral("; not on disk yet: it downloads on first use, or run 'models download'")));
        co_return kExitDone;
    }
    if (sub == QLatin1String("download")) {
        const QString id = session.invocation.arguments.isEmpty()
                               ? models.selectedModelID()
                               : requireKnownModel(session.invocation.arguments.value(0), session.invocation.command->name);
        QString why;
        const bool downloaded = co_await downloadModel(console, id, &why);
        if (!downloaded) throw CommandFailure(why);
        co_return kExitDone;
    }
    // check
    bool anyOnDisk = false;
    for (const WhisperModelManager::Model& m : WhisperModelManager::models()) anyOnDisk = anyOnDisk || models.isDownloaded(m.id);
    if (!anyOnDisk) {
        console.print(QStringLiteral("No Whisper model is on disk; nothing to check."));
        co_return kExitDone;
    }
    co_await models.checkForUpdates();
    bool failed = false;
    for (const WhisperModelManager::Model& m : WhisperModelManager::models()) {
        if (!models.isDownloaded(m.id)) continue;
        const auto status = models.updateStatus(m.id);
        failed = failed || status == WhisperModelManager::UpdateStatus::checkFailed;
        console.print(QStringLiteral("%1 %2").arg(m.id, -30).arg(updateText(status)));
    }
    if (failed) console.error(QStringLiteral("the model repository could not be reached for every model"));
    co_return failed ? kExitFailed : kExitDone;
}

}  // namespace lumenote::cli
