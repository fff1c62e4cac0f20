#include "hub/HubClient.h"
#include "hub/WhisperRepository.h"

#include "FakeModelHub.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>

using namespace lumenote::hub;
using lumenote::test::await;
using lumenote::test::FakeModelHub;
using lumenote::test::randomBytes;

namespace {

const QString kRepo = QStringLiteral("openai/whisper-tiny");
const QString kSha = QStringLiteral("169d4a4341b33bc18d8881c4b69c2e104e1cc0af");

QMap<QString, QByteArray> modelFiles() {
    return {
        {"config.json", R"({"d_model":8})"},
        {"generation_config.json", R"({"alignment_heads":[[0,0]]})"},
        {"vocab.json", R"({"a":0})"},
        {"merges.txt", "#version: 0.2\n"},
        {"added_tokens.json", R"({"<|endoftext|>":1})"},
        {"tokenizer.json", R"({"model":{}})"},
        {"model.safetensors", randomBytes(600 * 1024, 7)},
    };
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class HubClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        cache = QString::fromStdString(lumenote::test::homeDir()) + "/hubcache-" +
                QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir(cache).removeRecursively();
        files = modelFiles();
        hub.publish(kRepo, kSha, files);
    }
    Snapshot download(HubClient& client, ProgressCallback progress = {}, CancelFlag cancel = {}) {
        return await(client.downloadSnapshot(kRepo, whisperModelFiles(), std::move(progress), std::move(cancel)));
    }
    // Runs a download that must fail and returns its error.
    HubError failedDownload(HubClient& client, CancelFlag cancel = {}) {
        try {
            download(client, {}, std::move(cancel));
        } catch (const HubError& e) {
            return e;
        }
        ADD_FAILURE() << "the download did not fail";
        return HubError(HubError::Kind::http, "none");
    }
    RepoCachePaths paths() const { return repoCachePaths(cache, kRepo); }
    QString partialModel() const {
        return paths().blob(QString::fromLatin1(FakeModelHub::sha256Hex(files["model.safetensors"]))) + ".incomplete";
    }

    FakeModelHub hub;
    QString cache;
    QMap<QString, QByteArray> files;
};

}  // namespace

TEST_F(HubClientTest, ReadsCommitAndFiles) {
    HubClient client(hub.endpoint(), cache);
    const RepoInfo info = await(client.repoInfo(kRepo));
    EXPECT_EQ(info.sha, kSha);
    EXPECT_TRUE(info.files.contains("model.safetensors"));
    EXPECT_TRUE(info.files.contains("README.md"));
    EXPECT_EQ(hub.origin().requests().last().path, "/api/models/openai/whisper-tiny");
    EXPECT_EQ(hub.userAgents(), QSet<QByteArray>{"Lumenote/1.0"});
}

TEST_F(HubClientTest, DownloadsOnlyModelFilesIntoTheStandardLayout) {
    HubClient client(hub.endpoint(), cache);
    QList<QPair<qint64, qint64>> progress;
    const Snapshot s = download(client, [&](qint64 done, qint64 total) { progress.append({done, total}); });

    EXPECT_EQ(s.sha, kSha);
    EXPECT_EQ(s.folder, paths().snapshot(kSha));
    EXPECT_EQ(readAll(paths().refMain), kSha.toUtf8());
    EXPECT_TRUE(isCompleteModelFolder(s.folder));
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QFileInfo link(s.folder + "/" + it.key());
        ASSERT_TRUE(link.isSymLink()) << it.key().toStdString();
        EXPECT_TRUE(link.symLinkTarget().startsWith(paths().blobs + "/"));
        EXPECT_EQ(readAll(link.filePath()), it.value()) << it.key().toStdString();
    }
    // Large files are stored under their SHA-256, small ones under their git hash.
    EXPECT_TRUE(QFile::exists(paths().blob(QString::fromLatin1(FakeModelHub::sha256Hex(files["model.safetensors"])))));
    EXPECT_TRUE(QFile::exists(paths().blob(QString::fromLatin1(FakeModelHub::gitBlobSha1(files["config.json"])))));
    EXPECT_EQ(QFile::symLinkTarget(s.folder + "/config.json"),
              paths().blob(QString::fromLatin1(FakeModelHub::gitBlobSha1(files["config.json"]))));
    EXPECT_EQ(QDir(paths().blobs).entryList(QDir::Files).size(), files.size());

    // Files the engine does not read stay on the server.
    for (const auto& r : hub.origin().requests()) {
        EXPECT_FALSE(r.path.endsWith("README.md"));
        EXPECT_FALSE(r.path.endsWith("pytorch_model.bin"));
    }
    EXPECT_EQ(hub.rangesRequested("model.safetensors"), QList<QByteArray>{""});
    EXPECT_EQ(hub.cdn().requests().size(), 1);  // the redirect's headers told size and checksum
    EXPECT_EQ(hub.userAgents(), QSet<QByteArray>{"Lumenote/1.0"});

    qint64 total = 0;
    for (const auto& b : files) total += b.size();
    ASSERT_GE(progress.size(), 3);
    EXPECT_EQ(progress.first().first, 0);
    EXPECT_EQ(progress.last(), qMakePair(total, total));
    for (int i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i].first, progress[i - 1].first);
        EXPECT_EQ(progress[i].second, total);
    }
    EXPECT_LE(progress.size(), 102);

    // A second run finds every blob in place and transfers nothing.
    const int cdnBefore = hub.cdn().requests().size();
    const Snapshot again = download(client);
    EXPECT_EQ(again.folder, s.folder);
    EXPECT_EQ(hub.cdn().requests().size(), cdnBefore);
    EXPECT_EQ(hub.rangesRequested("model.safetensors").size(), 1);
}

TEST_F(HubClientTest, InterruptedDownloadLeavesNoSnapshotAndResumes) {
    HubClient client(hub.endpoint(), cache);
    hub.dropOnce("model.safetensors", 200 * 1024);
    const HubError e = failedDownload(client);
    EXPECT_EQ(e.kind(), HubError::Kind::network);
    EXPECT_TRUE(e.message().contains("model.safetensors")) << e.what();
    EXPECT_FALSE(QFileInfo::exists(paths().snapshot(kSha)));
    EXPECT_FALSE(QFileInfo::exists(paths().refMain));
    const qint64 partial = QFileInfo(partialModel()).size();
    EXPECT_GT(partial, 0);
    EXPECT_LE(partial, 200 * 1024);

    const Snapshot s = download(client);
    EXPECT_EQ(readAll(s.folder + "/model.safetensors"), files["model.safetensors"]);
    // The resume asks for the rest only. (Qt may quietly resend the reset
    // request once on a fresh connection, so whole-file requests can precede it.)
    const QList<QByteArray> ranges = hub.rangesRequested("model.safetensors");
    ASSERT_GE(ranges.size(), 2);
    EXPECT_EQ(ranges.last(), "bytes=" + QByteArray::number(partial) + "-");
    EXPECT_EQ(ranges.count(""), ranges.size() - 1);
    EXPECT_FALSE(QFile::exists(partialModel()));
}

TEST_F(HubClientTest, RestartsWhenTheServerIgnoresTheRange) {
    HubClient client(hub.endpoint(), cache);
    hub.dropOnce("model.safetensors", 100 * 1024);
    failedDownload(client);
    hub.setHonourRanges(false);
    const Snapshot s = download(client);
    EXPECT_EQ(readAll(s.folder + "/model.safetensors"), files["model.safetensors"]);
}

TEST_F(HubClientTest, CorruptPartialFileIsDiscarded) {
    HubClient client(hub.endpoint(), cache);
    QDir().mkpath(paths().blobs);
    QFile part(partialModel());
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write(QByteArray(1000, 'x'));
    part.close();

    const HubError e = failedDownload(client);
    EXPECT_EQ(e.kind(), HubError::Kind::integrity);
    EXPECT_TRUE(e.message().contains("checksum")) << e.what();
    EXPECT_FALSE(QFile::exists(partialModel()));
    EXPECT_FALSE(QFileInfo::exists(paths().snapshot(kSha)));

    const Snapshot s = download(client);
    EXPECT_EQ(readAll(s.folder + "/model.safetensors"), files["model.safetensors"]);
}

TEST_F(HubClientTest, HttpErrorsAreNamed) {
    HubClient client(hub.endpoint(), cache);
    {
        hub.failWith("api", 500);
        const HubError e = failedDownload(client);
        EXPECT_EQ(e.kind(), HubError::Kind::http);
        EXPECT_EQ(e.httpStatus(), 500);
        EXPECT_TRUE(e.message().contains("HTTP 500")) << e.what();
        hub.clearFailures();
    }
    {
        hub.failWith("model.safetensors", 503);
        const HubError e = failedDownload(client);
        EXPECT_EQ(e.httpStatus(), 503);
        EXPECT_TRUE(e.message().contains("model.safetensors")) << e.what();
        hub.clearFailures();
    }
    {
        const HubError e = [&] {
            try {
                await(client.downloadSnapshot("openai/whisper-nonexistent", whisperModelFiles()));
            } catch (const HubError& e) {
                return e;
            }
            return HubError(HubError::Kind::http, "none");
        }();
        EXPECT_EQ(e.kind(), HubError::Kind::notFound);
        EXPECT_TRUE(e.message().contains("openai/whisper-nonexistent")) << e.what();
        EXPECT_TRUE(e.message().contains("Repository not found")) << e.what();
    }
    EXPECT_FALSE(QFileInfo::exists(paths().snapshot(kSha)));

    // A repository without weights cannot make a complete snapshot.
    hub.publish("openai/whisper-empty", kSha, {{"README.md", "hello"}});
    EXPECT_THROW(await(client.downloadSnapshot("openai/whisper-empty", whisperModelFiles())), HubError);
}

TEST_F(HubClientTest, UnreachableServer) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    HubClient client(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)), cache);
    const HubError e = failedDownload(client);
    EXPECT_EQ(e.kind(), HubError::Kind::network);
    EXPECT_TRUE(e.message().contains("Could not reach the model server 127.0.0.1")) << e.what();
}

TEST_F(HubClientTest, FullDiskIsReported) {
    HubClient client(hub.endpoint(), cache);
    QDir().mkpath(paths().blobs);
    ASSERT_TRUE(QFile::link("/dev/full", partialModel()));
    const HubError e = failedDownload(client);
    EXPECT_EQ(e.kind(), HubError::Kind::storage);
    EXPECT_TRUE(e.message().contains("No space left on device")) << e.what();
    EXPECT_FALSE(QFileInfo::exists(paths().snapshot(kSha)));
}

TEST_F(HubClientTest, CancelStopsAndKeepsThePartialFile) {
    HubClient client(hub.endpoint(), cache);
    client.setStallTimeout(std::chrono::milliseconds(5000));
    hub.pace("model.safetensors", 16 * 1024, 20);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    qint64 seen = 0;
    const qint64 small = [&] {
        qint64 n = 0;
        for (auto it = files.begin(); it != files.end(); ++it)
            if (it.key() != "model.safetensors") n += it.value().size();
        return n;
    }();
    HubError e(HubError::Kind::http, "none");
    try {
        download(client,
                 [&](qint64 done, qint64) {
                     seen = done;
                     if (done > small + 64 * 1024) cancel->store(true);
                 },
                 cancel);
        ADD_FAILURE() << "not cancelled";
    } catch (const HubError& err) {
        e = err;
    }
    EXPECT_EQ(e.kind(), HubError::Kind::cancelled);
    EXPECT_LT(seen, small + qint64(files["model.safetensors"].size()));
    EXPECT_GT(QFileInfo(partialModel()).size(), 0);
    EXPECT_FALSE(QFileInfo::exists(paths().snapshot(kSha)));
}

TEST_F(HubClientTest, StalledTransferTimesOut) {
    HubClient client(hub.endpoint(), cache);
    client.setStallTimeout(std::chrono::milliseconds(300));
    hub.pace("model.safetensors", 64 * 1024, 2000);
    const HubError e = failedDownload(client);
    EXPECT_EQ(e.kind(), HubError::Kind::network);
    EXPECT_FALSE(QFileInfo::exists(paths().snapshot(kSha)));
}

TEST_F(HubClientTest, ShardedCheckpointBringsTheShardsItsIndexNames) {
    const QString index = "model.safetensors.index.json";
    const QString first = "model-00001-of-00002.safetensors", second = "model-00002-of-00002.safetensors";
    QMap<QString, QByteArray> sharded = modelFiles();
    sharded.remove("model.safetensors");
    sharded[first] = randomBytes(300 * 1024, 8);
    sharded[second] = randomBytes(200 * 1024, 9);
    sharded[index] = R"({"metadata":{"total_size":512000},"weight_map":{"a.weight":")" + first.toUtf8() +
                     R"(","b.weight":")" + second.toUtf8() + R"(","c.weight":")" + first.toUtf8() + R"("}})";
    hub.publish("openai/whisper-sharded", kSha, sharded);
    HubClient client(hub.endpoint(), cache);
    const Snapshot s = await(client.downloadSnapshot("openai/whisper-sharded", whisperModelFiles()));
    EXPECT_TRUE(isCompleteModelFolder(s.folder));
    EXPECT_EQ(s.files.mid(s.files.size() - 3), QStringList({index, first, second}));  // shards last
    for (const QString& file : {index, first, second}) EXPECT_EQ(readAll(s.folder + "/" + file), sharded[file]);

    // Beside the unsharded file, the index and its shards stay on the server.
    QMap<QString, QByteArray> both = sharded;
    both["model.safetensors"] = randomBytes(1024, 10);
    hub.publish("openai/whisper-both", kSha, both);
    const Snapshot whole = await(client.downloadSnapshot("openai/whisper-both", whisperModelFiles()));
    EXPECT_TRUE(whole.files.contains("model.safetensors"));
    EXPECT_FALSE(whole.files.contains(index));
    EXPECT_FALSE(whole.files.contains(first));

    // An index naming a file the repository lacks, or a path outside the snapshot, is refused
    // before any weights are fetched.
    for (const QString& bad : {QString("model-00003-of-00002.safetensors"), QString("../config.json")}) {
        sharded[index] = R"({"weight_map":{"a.weight":")" + first.toUtf8() + R"(","b.weight":")" + bad.toUtf8() + R"("}})";
        hub.publish("openai/whisper-broken", kSha, sharded);
        const int cdnBefore = hub.cdn().requests().size();
        try {
            await(client.downloadSnapshot("openai/whisper-broken", whisperModelFiles()));
            ADD_FAILURE() << "accepted " << bad.toStdString();
        } catch (const HubError& e) {
            EXPECT_EQ(e.kind(), HubError::Kind::invalidResponse);
            EXPECT_TRUE(e.message().contains(bad)) << e.message().toStdString();
        }
        EXPECT_EQ(hub.cdn().requests().size(), cdnBefore);
        EXPECT_FALSE(QDir(repoCachePaths(cache, "openai/whisper-broken").snapshot(kSha)).exists());
    }
}
