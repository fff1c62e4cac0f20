// Model files are checked against the checksums the repository publishes (the
// SHA-256 in X-Linked-Etag of large files, the git blob hash in the ETag of the
// others) before they enter the cache. A stand-in hub serves genuine and
// tampered files.

#include "hub/HubClient.h"
#include "hub/WhisperRepository.h"

#include "FakeModelHub.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "core/LectureFiles.h"

#include <gtest/gtest.h>

using namespace lumenote::hub;
using lumenote::test::await;
using lumenote::test::FakeModelHub;
using lumenote::readFileBytes;
using lumenote::test::randomBytes;

namespace {

const QString kRepo = QStringLiteral("openai/whisper-tiny");
const QString kSha = QStringLiteral("169d4a4341b33bc18d8881c4b69c2e104e1cc0af");


// Every file under a folder, relative to it.
QStringList filesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

}  // namespace

TEST(ModelDownloadVerification, TamperedOrUnverifiableFilesAreRemovedAndNothingIsLinked) {
    const QMap<QString, QByteArray> files{
        {"config.json", R"({"d_model":8})"},
        {"generation_config.json", R"({"alignment_heads":[[0,0]]})"},
        {"tokenizer.json", R"({"model":{}})"},
        {"model.safetensors", randomBytes(256 * 1024, 7)},
    };
    QByteArray flipped = files["model.safetensors"];
    flipped[100000] = char(flipped[100000] ^ 0x01);

    struct Case {
        const char* name;
        QString file;
        std::optional<QByteArray> served;  // tampered bytes, else the file is served as published
        bool withhold = false;             // the answers carry no checksum
        QString message;                   // empty: the download succeeds
    };
    const QList<Case> cases{
        {"genuine", {}, std::nullopt, false, {}},
        {"one bit of the weights", "model.safetensors", flipped, false,
         "The downloaded model.safetensors does not match its checksum and was removed; please try again."},
        {"weights with more bytes", "model.safetensors", files["model.safetensors"] + "x", false,
         "The model server sent more of model.safetensors than it announced; the file was removed."},
        {"a small file", "config.json", QByteArray(R"({"d_model":9})"), false,
         "The downloaded config.json does not match its checksum and was removed; please try again."},
        {"weights without a published checksum", "model.safetensors", flipped, true,
         "The model server publishes no checksum for model.safetensors, so the download cannot be verified; it was removed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeModelHub hub;
        hub.publish(kRepo, kSha, files);
        if (c.served) hub.tamper(c.file, *c.served);
        if (c.withhold) hub.withholdChecksum(c.file);
        const QString cache = QString::fromStdString(lumenote::test::homeDir()) + "/verify-" + QString::fromLatin1(c.name).replace(' ', '-');
        HubClient client(hub.endpoint(), cache);
        const RepoCachePaths paths = repoCachePaths(cache, kRepo);

        std::optional<HubError> error;
        try {
            const Snapshot s = await(client.downloadSnapshot(kRepo, whisperModelFiles()));
            for (auto it = files.begin(); it != files.end(); ++it) EXPECT_EQ(readFileBytes(s.folder + "/" + it.key()).value_or(QByteArray()), it.value()) << it.key().toStdString();
        } catch (const HubError& e) {
            error = e;
        }
        if (c.message.isEmpty()) {
            EXPECT_FALSE(error) << error->what();
            continue;
        }
        ASSERT_TRUE(error) << "the tampered download was accepted";
        EXPECT_EQ(error->kind(), HubError::Kind::integrity);
        EXPECT_EQ(error->message(), c.message);
        EXPECT_FALSE(QFileInfo::exists(paths.snapshot(kSha))) << "nothing is linked";
        EXPECT_FALSE(QFileInfo::exists(paths.refMain));
        // Only the files that verified stay (a resume needs nothing else).
        for (const QString& blob : filesUnder(paths.blobs)) {
            const QByteArray bytes = readFileBytes(paths.blob(blob)).value_or(QByteArray());
            EXPECT_TRUE(!blob.endsWith(".incomplete") && (FakeModelHub::sha256Hex(bytes) == blob.toLatin1() ||
                                                           FakeModelHub::gitBlobSha1(bytes) == blob.toLatin1()))
                << "unverified blob left: " << blob.toStdString();
        }

        // The genuine file arrives once the tampering stops.
        hub.clearFailures();
        const Snapshot s = await(client.downloadSnapshot(kRepo, whisperModelFiles()));
        EXPECT_EQ(readFileBytes(s.folder + "/" + c.file).value_or(QByteArray()), files[c.file]);
    }
}
