// The Claude API key stays where it was put. lumenote-cli stores a
// recognisable key, processes a lecture with notes from a stand-in Anthropic
// server, then consolidates against servers that refuse the key (one of them
// echoing it back in its error); every output is searched for the key: what the
// program prints (verbose, so every log line), every file under its home (the
// library store, the exports, settings, caches) and the command lines and
// environments of every process it starts.

#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"
#include "../consolidation/ConsolidationTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include "core/LectureFiles.h"
#include "CliRunner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

const QString kSha = QStringLiteral("0123456789abcdef0123456789abcdef01234567");

using CliRun = CliResult;

class APIKeyExposure : public ::testing::Test {
protected:
    void SetUp() override {
        home = QString::fromStdString(homeDir()) + "/key-exposure";
        QDir(home).removeRecursively();
        QDir().mkpath(home + "/run");
        fixtures = home + "/../key-exposure-fixtures";
        QDir(fixtures).removeRecursively();
        ASSERT_TRUE(makeTestModel(fixtures + "/model"));
        ASSERT_TRUE(makeLectureVideo(fixtures + "/Evaporation.mp4", {{"Evaporation", {"Water rises as vapour"}, 3}},
                                     "Water evaporates and rises into the air."));
        const QString snapshot = home + "/.cache/huggingface/hub/models--openai--whisper-small/snapshots/" + kSha;
        QDir().mkpath(snapshot);
        for (const QString& f : QDir(fixtures + "/model").entryList(QDir::Files)) QFile::copy(fixtures + "/model/" + f, snapshot + "/" + f);

        // A key that shows wherever it lands.
        key = "sk-ant-api03-LEAKCHECK";
        for (int i = 0; i < 40; ++i) key += "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[QRandomGenerator::global()->bounded(62)];

        // No session bus: the key goes to the owner-only file.
        env = isolatedMachineEnvironment(home);
        env.insert("LUMENOTE_ANTHROPIC_URL", anthropic.urlString());
    }

    // lumenote-cli under strace, which writes down every program it starts with its arguments and environment.
    // Untraced for a command line that itself holds the key.
    CliRun cli(const QStringList& args, const QByteArray& input = {}, bool traced = true) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home);
        const QString program = QString::fromStdString(binaryDir()) + "/src/cli/lumenote-cli";
        const QString trace = home + "/../key-exposure-exec-" + QString::number(++runs) + ".txt";
        if (traced) {
            traces << trace;
            p.start("strace", QStringList{"-f", "-qq", "-v", "-s", "65536", "--seccomp-bpf", "-e", "trace=execve", "-o", trace, program} + args);
        } else {
            p.start(program, args);
        }
        CliRun r;
        if (!p.waitForStarted(10000)) return r;
        if (!input.isEmpty()) p.write(input);
        p.closeWriteChannel();
        if (!spinUntil([&] { return p.state() == QProcess::NotRunning; }, 120000)) p.kill();
        p.waitForFinished(5000);
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        printed += r.out + r.err;
        return r;
    }

    QString home, fixtures, key;
    QProcessEnvironment env;
    TestHttpServer anthropic;
    int runs = 0;
    QStringList traces;
    QString printed;
};

}  // namespace

TEST_F(APIKeyExposure, TheKeyAppearsInNoOutput) {
    enum class Answer { Notes, Refused, RefusedEchoingTheKey } answer = Answer::Notes;
    anthropic.route("POST", "/v1/messages", [&](const HttpRequest&) {
        switch (answer) {
        case Answer::Notes:
            return eventStream().pieces(claudeEventStream({"## Evaporation\n\n", "- Water rises into the air"}), 32, 0);
        case Answer::Refused:
            return HttpResponse::json(401, R"({"type":"error","error":{"type":"authentication_error","message":"invalid x-api-key"}})");
        case Answer::RefusedEchoingTheKey:
            break;
        }
        // A gateway that names the key it refuses.
        return HttpResponse::json(401, R"({"type":"error","error":{"type":"authentication_error","message":"invalid x-api-key: )" +
                                           key.toUtf8() + R"("}})");
    });
    anthropic.route("GET", "/v1/models", [&](const HttpRequest&) {
        return HttpResponse::json(401, R"({"type":"error","error":{"type":"authentication_error","message":"invalid x-api-key )" + key.toUtf8() +
                                           R"("}})");
    });

    // A key given on the command line is refused without being repeated.
    CliRun r = cli({"settings", "set", "claudeAPIKey", key}, {}, false);
    EXPECT_EQ(r.code, 2) << r;
    r = cli({"settings", "set", "claudeAPIKey"}, key.toUtf8() + "\n");
    ASSERT_EQ(r.code, 0) << r;
    r = cli({"-v", "process", fixtures + "/Evaporation.mp4", "--consolidate", "claude", "--markdown"});
    ASSERT_EQ(r.code, 0) << r;
    ASSERT_FALSE(anthropic.requests().isEmpty());
    EXPECT_EQ(anthropic.requests().constLast().header("x-api-key"), key.toUtf8()) << "the key went where it belongs";
    EXPECT_EQ(cli({"settings", "get"}).code, 0);
    EXPECT_EQ(cli({"settings", "get", "claudeAPIKey"}).code, 0);

    answer = Answer::Refused;
    r = cli({"-v", "consolidate", "Evaporation"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_TRUE(r.err.contains("Claude API returned 401: ")) << r;
    answer = Answer::RefusedEchoingTheKey;
    r = cli({"-v", "consolidate", "Evaporation"});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_TRUE(r.err.contains("invalid x-api-key: [API key]")) << r;

    // The key is in its store, readable by its owner only, and nowhere else.
    const QString store = home + "/.config/io.corvana.Lumenote/secrets";
    ASSERT_TRUE(readFileBytes(store).value_or(QByteArray()).contains(key.toUtf8()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(store).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    EXPECT_FALSE(printed.contains(key)) << printed.toStdString();
    const QByteArray utf8 = key.toUtf8();
    const QByteArray utf16(reinterpret_cast<const char*>(key.utf16()), key.size() * 2);
    QStringList searched;
    for (QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        if (path == store) continue;
        searched << QDir(home).relativeFilePath(path);
        const QByteArray bytes = readFileBytes(path).value_or(QByteArray());
        EXPECT_FALSE(bytes.contains(utf8) || bytes.contains(utf16)) << "the key is in " << path.toStdString();
    }
    for (const QString& suffix : {".sqlite", "index.html", ".md"})
        EXPECT_TRUE(std::any_of(searched.begin(), searched.end(), [&](const QString& f) { return f.endsWith(suffix); }))
            << "no " << suffix.toStdString() << " among " << searched.join(", ").toStdString();
    int started = 0;
    for (const QString& trace : traces) {
        const QByteArray log = readFileBytes(trace).value_or(QByteArray());
        started += log.count("execve(");
        EXPECT_FALSE(log.contains(utf8)) << "a command line or environment holds the key: " << trace.toStdString();
    }
    EXPECT_GE(started, int(traces.size())) << "every run was traced";
}
