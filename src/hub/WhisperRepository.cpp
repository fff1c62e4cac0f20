#include "hub/WhisperRepository.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

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
        QStringLiteral("model.safetensors.index.json"), QStringLiteral("model.safetensors"),
    };
    return files;
}

QStringList shardsNamedBy(const QByteArray& indexJson) {
    const QJsonObject map = QJsonDocument::fromJson(indexJson).object().value(QStringLiteral("weight_map")).toObject();
    QStringList shards;
    for (const QJsonValue& file : map) {
        const QString name = file.toString();
        if (!name.isEmpty() && !shards.contains(name)) shards << name;
    }
    return shards;
}

// The weights: model.safetensors, or every shard that model.safetensors.index.json names.
QStringList missingWeights(const QString& folder) {
    if (hasFile(folder, "model.safetensors")) return {};
    QFile index(folder + QStringLiteral("/model.safetensors.index.json"));
    if (!index.open(QIODevice::ReadOnly)) return {QStringLiteral("model.safetensors")};
    const QStringList shards = shardsNamedBy(index.readAll());
    if (shards.isEmpty()) return {QStringLiteral("model.safetensors")};
    QStringList missing;
    for (const QString& name : shards) {
        if (!hasFile(folder, name.toUtf8().constData())) missing << name;
    }
    return missing;
}

QStringList missingModelFiles(const QString& folder) {
    QStringList missing;
    if (!hasFile(folder, "config.json")) missing << QStringLiteral("config.json");
    missing << missingWeights(folder);
    if (!hasFile(folder, "tokenizer.json") && !(hasFile(folder, "vocab.json") && hasFile(folder, "merges.txt")))
        missing << QStringLiteral("tokenizer.json");
    return missing;
}

bool isCompleteModelFolder(const QString& folder) { return !folder.isEmpty() && missingModelFiles(folder).isEmpty(); }

}  // namespace lumenote::hub
