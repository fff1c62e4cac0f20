#include "hub/HubCache.h"
#include "hub/WhisperRepository.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <optional>

using namespace lumenote::hub;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
        if (qEnvironmentVariableIsSet(name)) old_ = qgetenv(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv() {
        if (old_)
            qputenv(name_, *old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    std::optional<QByteArray> old_;
};

QString home() { return QString::fromStdString(lumenote::test::homeDir()); }

}  // namespace

TEST(HubCache, EndpointAndCacheFollowTheEnvironment) {
    ScopedEnv endpoint("HF_ENDPOINT", QByteArray());
    ScopedEnv hubCache("HF_HUB_CACHE", QByteArray());
    ScopedEnv hfHome("HF_HOME", QByteArray());
    EXPECT_EQ(endpointUrl(), QUrl("https://huggingface.co"));
    const QString cache = QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"));
    const QString data = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    ASSERT_TRUE(cache.startsWith(home()));
    EXPECT_EQ(hubCacheDirectory(), cache + "/huggingface/hub");
    EXPECT_EQ(hubCacheSearchDirectories(), (QStringList{cache + "/huggingface/hub", data + "/huggingface/hub"}));
    EXPECT_EQ(flatLayoutRoots(), (QStringList{cache, data}));

    {
        ScopedEnv e("HF_ENDPOINT", "http://127.0.0.1:9/mirror//");
        EXPECT_EQ(endpointUrl(), QUrl("http://127.0.0.1:9/mirror"));
    }
    {
        ScopedEnv e("HF_HOME", (home() + "/hf").toLocal8Bit());
        EXPECT_EQ(hubCacheDirectory(), home() + "/hf/hub");
        EXPECT_EQ(hubCacheSearchDirectories().first(), home() + "/hf/hub");
        ScopedEnv e2("HF_HUB_CACHE", (home() + "/elsewhere/").toLocal8Bit());
        EXPECT_EQ(hubCacheDirectory(), home() + "/elsewhere");
        EXPECT_EQ(hubCacheSearchDirectories().mid(0, 2), (QStringList{home() + "/elsewhere", home() + "/hf/hub"}));
    }
}

TEST(HubCache, RepositoryNamesAndLayout) {
    EXPECT_EQ(whisperRepository("openai_whisper-small"), "openai/whisper-small");
    EXPECT_EQ(whisperRepository("openai_whisper-tiny"), "openai/whisper-tiny");
    EXPECT_EQ(whisperRepository("openai_whisper-large-v3_turbo"), "openai/whisper-large-v3-turbo");
    EXPECT_EQ(repoFolderName("openai/whisper-large-v3-turbo"), "models--openai--whisper-large-v3-turbo");
    const RepoCachePaths p = repoCachePaths("/c", "openai/whisper-tiny");
    EXPECT_EQ(p.snapshot("abc"), "/c/models--openai--whisper-tiny/snapshots/abc");
    EXPECT_EQ(p.blob("e1"), "/c/models--openai--whisper-tiny/blobs/e1");
    EXPECT_EQ(p.refMain, "/c/models--openai--whisper-tiny/refs/main");
    EXPECT_EQ(blobLinkTarget("config.json", "e1"), "../../blobs/e1");
    EXPECT_EQ(blobLinkTarget("sub/dir/x.json", "e1"), "../../../../blobs/e1");
    EXPECT_EQ(whisperModelFiles().last(), "model.safetensors");
}

TEST(HubCache, HeaderParsing) {
    EXPECT_EQ(normalizeEtag("\"abc123\""), "abc123");
    EXPECT_EQ(normalizeEtag("W/\"abc123\""), "abc123");
    EXPECT_EQ(normalizeEtag(" plain "), "plain");
    EXPECT_TRUE(isSha256Hex(QString(64, 'a')));
    EXPECT_FALSE(isSha256Hex(QString(63, 'a')));
    EXPECT_FALSE(isSha256Hex(QString(64, 'A')));
    EXPECT_EQ(contentRangeStart("bytes 100-199/200"), 100);
    EXPECT_EQ(contentRangeStart("bytes 0-0/*"), 0);
    EXPECT_EQ(contentRangeStart("bytes */200"), std::nullopt);
    EXPECT_EQ(contentRangeStart("bytes 10-5/200"), std::nullopt);
    EXPECT_TRUE(isSafePathComponent("169d4a4341b33bc18d8881c4b69c2e104e1cc0af"));
    EXPECT_FALSE(isSafePathComponent(".."));
    EXPECT_FALSE(isSafePathComponent("a/b"));
    EXPECT_FALSE(isSafePathComponent(""));
}

TEST(HubCache, ModelFolderCompleteness) {
    const QString dir = home() + "/complete-check";
    QDir().mkpath(dir);
    auto touch = [&](const QString& name) {
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    };
    EXPECT_EQ(missingModelFiles(dir), (QStringList{"config.json", "model.safetensors", "tokenizer.json"}));
    touch("config.json");
    touch("vocab.json");
    EXPECT_FALSE(isCompleteModelFolder(dir));
    touch("merges.txt");
    // A link whose blob is gone does not count.
    ASSERT_TRUE(QFile::link("../nowhere/blob", dir + "/model.safetensors"));
    EXPECT_EQ(missingModelFiles(dir), QStringList{"model.safetensors"});
    QFile::remove(dir + "/model.safetensors");
    // Sharded weights: complete once every shard the index names is there.
    QFile index(dir + "/model.safetensors.index.json");
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write(R"({"weight_map": {"a": "model-00001-of-00002.safetensors", "b": "model-00002-of-00002.safetensors"}})");
    index.close();
    touch("model-00001-of-00002.safetensors");
    EXPECT_EQ(missingModelFiles(dir), QStringList{"model-00002-of-00002.safetensors"});
    touch("model-00002-of-00002.safetensors");
    EXPECT_TRUE(isCompleteModelFolder(dir));
    QFile::remove(dir + "/model.safetensors.index.json");
    touch("model.safetensors");
    EXPECT_TRUE(isCompleteModelFolder(dir));

    QDir(home() + "/hub-ref/refs").mkpath(".");
    const RepoCachePaths p{home() + "/hub-ref", {}, {}, home() + "/hub-ref/refs/main"};
    EXPECT_EQ(readRefMain(p), std::nullopt);
    QFile ref(p.refMain);
    ASSERT_TRUE(ref.open(QIODevice::WriteOnly));
    ref.write("abc123\n");
    ref.close();
    EXPECT_EQ(readRefMain(p), QString("abc123"));
}
