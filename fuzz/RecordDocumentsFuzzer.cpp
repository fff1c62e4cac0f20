// Record documents another machine wrote into the sync folder: a document, and
// optionally a conflict copy of it, merged into a fresh library by the mirror.
// Input: the document, then (after a NUL byte) the conflict copy's bytes.
// Beyond the sanitizers: whatever the bytes, the merge leaves at most the one
// record they name, and merging the folder again changes nothing.

#include "FuzzSupport.h"

#include "core/LibraryStore.h"
#include "core/RecordMirror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUuid>

using namespace lumenote;

namespace {

QTemporaryDir* g_dir = nullptr;

void writeFile(const QString& path, std::string_view bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    g_dir = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts = fuzz::splitParts(fuzz::bytes(data, size));
    const QString records = g_dir->path() + QStringLiteral("/Records");
    QDir(records).removeRecursively();
    QDir().mkpath(records);

    // The file is named after the id the document gives, so the fuzzer's
    // changes reach past the name check; a document without one gets another.
    const QByteArray document(parts[0].data(), qsizetype(parts[0].size()));
    QUuid id(QJsonDocument::fromJson(document).object().value(QStringLiteral("id")).toString());
    if (id.isNull()) id = QUuid(QStringLiteral("{9fbd4432-4a31-4d5a-9bfd-b703ed0efdb4}"));
    const QString name = id.toString(QUuid::WithoutBraces).toUpper();
    writeFile(records + QLatin1Char('/') + name + QStringLiteral(".json"), parts[0]);
    if (parts.size() > 1) writeFile(records + QLatin1Char('/') + name + QStringLiteral(".sync-conflict-20260101-120000-ABCDEFG.json"), parts[1]);

    QString error;
    std::unique_ptr<LibraryStore> store = LibraryStore::open(QStringLiteral(":memory:"), &error);
    FUZZ_CHECK(store != nullptr);
    if (!store->attachMirror(records, &error)) return 0;
    store->mirror()->syncNow();
    FUZZ_CHECK(store->lectures().size() + store->folders().size() <= 1);
    const auto lectures = store->lectures().size();
    const auto folders = store->folders().size();
    store->mirror()->syncNow();
    FUZZ_CHECK(store->lectures().size() == lectures && store->folders().size() == folders);
    return 0;
}
