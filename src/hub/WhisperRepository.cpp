#include "hub/WhisperRepository.h"

#include <QFileInfo>

namespace lumenote::hub {
namespace {

bool hasFile(const QString& folder, const char* name) {
    const QFileInfo info(folder + QLatin1Char('/') + QLatin1String(name));
    return info.isFile() && info.isReadable();
}

}  // namespace

QString whisperRepository(const QString& modelID) {
    const qsizetype sep = modelID.indexOf(QLatin1Char('_'));
    if (sep <= 0) return modelID;
    return modelID.left(sep) + QLatin1Char('/') + modelID.mid(sep + 1).replace(QLatin1Char('_'), QLatin1Char('-'));
}

const QStringList& whisperModelFiles() {
    static const QStringList files{
        QStringLiteral("config.json"),       QStringLiteral("generation_config.json"),
        QStringLiteral("added_tokens.json"), QStringLiteral("vocab.json"),
        QStringLiteral("merges.txt"),        QStringLiteral("tokenizer.json"),
        QStringLiteral("model.safetensors"),
    };
    return files;
}

QStringList missingModelFiles(const QString& folder) {
    QStringList missing;
    if (!hasFile(folder, "config.json")) missing << QStringLiteral("config.json");
    if (!hasFile(folder, "model.safetensors")) missing << QStringLiteral("model.safetensors");
    if (!hasFile(folder, "tokenizer.json") && !(hasFile(folder, "vocab.json") && hasFile(folder, "merges.txt")))
        missing << QStringLiteral("tokenizer.json");
    return missing;
}

bool isCompleteModelFolder(const QString& folder) { return !folder.isEmpty() && missingModelFiles(folder).isEmpty(); }

}  // namespace lumenote::hub
