#pragma once

// Which repository holds a Whisper catalogue model, and which of its files the
// speech engine needs.

#include <QString>
#include <QStringList>

namespace lumenote::hub {

// "openai_whisper-small" -> "openai/whisper-small",
// "openai_whisper-large-v3_turbo" -> "openai/whisper-large-v3-turbo".
// The owner is everything before the first underscore; later underscores
// stand for hyphens in the repository name.
QString whisperRepository(const QString& modelID);

// The files the engine reads, in download order. The weights come last so that
// a snapshot whose links are still being written never looks complete. A
// sharded checkpoint has model.safetensors.index.json instead of
// model.safetensors; the download adds the shards it names.
const QStringList& whisperModelFiles();

// The shard files a safetensors index (model.safetensors.index.json) names in its
// weight_map, each once, in order of first mention; empty when it is not such an index.
QStringList shardsNamedBy(const QByteArray& indexJson);

// Whether `folder` holds a loadable model: config.json, model.safetensors (or
// model.safetensors.index.json with every shard it names) and a tokenizer (tokenizer.json, or vocab.json with merges.txt), each a readable
// file (dangling links into deleted blobs do not count).
bool isCompleteModelFolder(const QString& folder);

// What a folder still lacks, for error messages (empty when complete).
QStringList missingModelFiles(const QString& folder);

}  // namespace lumenote::hub
