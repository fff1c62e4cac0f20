// lumenote-cli run as a program: exit statuses, what it prints, and whole
// runs on a generated lecture with a miniature model, local stand-ins for the
// model hub and Anthropic, and a home folder of its own per test.

#include "FakeModelHub.h"
#include "core/LibraryStore.h"
#include "core/TranscriptModel.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"
#include "../consolidation/ConsolidationTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

const QString kSha = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
const QString kNotes = QStringLiteral("## The water cycle\n\n- Evaporation lifts water into the air");

struct Result {
    int code = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split('\n', Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split('\n', Qt::SkipEmptyParts); }
    // The processing messages, without their time stamps.
    QStringList messages() const {
        static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  "));
        QStringList m;
        for (const QString& l : lines())
            if (stamp.match(l).hasMatch()) m << l.mid(10);
        return m;
    }
    QString last() const { return lines().value(lines().size() - 1); }
};

std::ostream& operator<<(std::ostream& os, const Result& r) {
    return os << "exit " << r.code << "\n--- stdout\n" << r.out.toStdString() << "--- stderr\n" << r.err.toStdString();
}

QString cliPath() { return QString::fromStdString(binaryDir()) + "/src/cli/lumenote-cli"; }

// A home folder of its own and the environment the program runs in.
class Cli {
public:
    explicit Cli(const QString& home) : home_(home) {
        env_ = isolatedMachineEnvironment(home);
        env_.remove("LUMENOTE_FFMPEG_INFO_URL");
    }

    void set(const QString& name, const QString& value) { env_.insert(name, value); }
    QString home() const { return home_; }
    QString library() const { return home_ + "/LumenoteLibrary"; }
    QString downloads() const { return home_ + "/.local/share/io.corvana.Lumenote/downloads"; }

    Result run(const QStringList& args, const QByteArray& input = {}, int timeoutMs = 180000) const {
        return exec(cliPath(), args, input, timeoutMs);
    }

    Result exec(const QString& program, const QStringList& args, const QByteArray& input = {}, int timeoutMs = 180000) const {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.setWorkingDirectory(home_);
        p.start(program, args);
        Result r;
        if (!p.waitForStarted(10000)) {
            r.err = "could not start " + program;
            return r;
        }
        if (!input.isEmpty()) p.write(input);
        p.closeWriteChannel();
        // The stand-in servers live on this thread's event loop.
        if (!spinUntil([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
            p.kill();
            p.waitForFinished(5000);
        }
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return r;
    }

    // The program running in the background (for commands that keep running).
    std::unique_ptr<QProcess> start(const QStringList& args) const {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env_);
        p->setWorkingDirectory(home_);
        p->start(cliPath(), args);
        p->waitForStarted(10000);
        return p;
    }

    // `library list --json`, by title.
    QJsonObject lecture(const QString& title) const {
        const Result r = run({"library", "list", "--json"});
        for (const QJsonValue& v : QJsonDocument::fromJson(r.out.toUtf8()).array())
            if (v["title"].toString() == title) return v.toObject();
        return {};
    }

private:
    QString home_;
    QProcessEnvironment env_;
};

// Whether some line has a match of `pattern` (QStringList::contains wants the whole line).
bool anyLine(const QStringList& lines, const QString& pattern) {
    const QRegularExpression re(pattern);
    for (const QString& l : lines)
        if (re.match(l).hasMatch()) return true;
    return false;
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Exit status 1 or 2 with exactly one line on standard error.
void expectOneErrorLine(const Result& r, int code, const QString& contains) {
    EXPECT_EQ(r.code, code) << r;
    ASSERT_EQ(r.errLines().size(), 1) << r;
    EXPECT_TRUE(r.err.startsWith("lumenote-cli: ")) << r;
    EXPECT_TRUE(r.err.contains(contains)) << r;
}

class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fixtures = QString::fromStdString(homeDir()) + "/cli-fixtures";
        QDir().mkpath(fixtures);
        makeTestModel(fixtures + "/model");
        // The project's own sample lecture, short form: two narrated slides.
        QString err;
        const int rc = runProgram(QString::fromStdString(sourceDir()) + "/scripts/make-sample-lecture.sh",
                                  {fixtures + "/The Water Cycle.mp4", "--short"}, 180000, &err);
        ASSERT_EQ(rc, 0) << err.toStdString();
    }

    void SetUp() override {
        home = QString::fromStdString(homeDir()) + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir(home).removeRecursively();
        cli = std::make_unique<Cli>(home);
    }

    // The miniature model stands in for the default (Small) in this home's cache.
    void placeModel(const QString& repoName = "whisper-small") {
        const QString snapshot = home + "/.cache/huggingface/hub/models--openai--" + repoName + "/snapshots/" + kSha;
        QDir().mkpath(snapshot);
        for (const QString& f : QDir(fixtures + "/model").entryList(QDir::Files)) QFile::copy(fixtures + "/model/" + f, snapshot + "/" + f);
    }
    static QString video() { return fixtures + "/The Water Cycle.mp4"; }

    static QString fixtures;
    QString home;
    std::unique_ptr<Cli> cli;
};
QString CliTest::fixtures;

}  // namespace

TEST_F(CliTest, HelpForEveryCommandAndOneLineErrors) {
    const QList<QStringList> commands{{"process"}, {"reexport"}, {"retranscribe"}, {"consolidate"}, {"markdown"},
                                      {"library", "list"}, {"library", "stats"}, {"library", "folders"}, {"library", "move"},
                                      {"library", "delete"}, {"library", "reconcile"}, {"models", "list"}, {"models", "select"},
                                      {"models", "download"}, {"models", "check"}, {"tools", "status"}, {"tools", "check"},
                                      {"tools", "update"}, {"cache", "list"}, {"cache", "clean"}, {"settings", "get"},
                                      {"settings", "set"}, {"settings", "unset"}};
    for (const QStringList& c : commands) {
        const Result r = cli->run(c + QStringList{"--help"});
        EXPECT_EQ(r.code, 0) << r;
        EXPECT_TRUE(r.out.startsWith("Usage: lumenote-cli " + c.join(' '))) << r;
        EXPECT_TRUE(r.err.isEmpty()) << r;
    }
    const Result top = cli->run({"--help"});
    EXPECT_EQ(top.code, 0);
    EXPECT_TRUE(top.out.contains("Exit status: 0 done, 1 failed, 2 usage error.")) << top;
    EXPECT_EQ(cli->run({"--version"}).last(), "lumenote-cli 0.1.0");

    // Usage errors: status 2, nothing on standard output.
    for (const QStringList& args : QList<QStringList>{{},
                                                      {"transcribe", "x.mp4"},
                                                      {"library"},
                                                      {"process"},
                                                      {"process", "x.mp4", "--consolidate", "gpt"},
                                                      {"process", "x.mp4", "--model", "openai_whisper-huge"},
                                                      {"process", "x.mp4", "--language", "klingon"},
                                                      {"library", "delete", "--all"},
                                                      {"library", "move", "lecture"},
                                                      {"tools", "update", "curl"},
                                                      {"models", "select", "tiny"},
                                                      {"settings", "set", "noSuchKey", "1"}}) {
        const Result r = cli->run(args);
        expectOneErrorLine(r, 2, "(see 'lumenote-cli ");
        EXPECT_TRUE(r.out.isEmpty()) << r;
    }
    // Failures: status 1.
    expectOneErrorLine(cli->run({"reexport", "Nothing like it"}), 1, "no lecture named 'Nothing like it'");
    expectOneErrorLine(cli->run({"process", home + "/missing.mp4"}), 1, "no such file: " + home + "/missing.mp4");
    // Nothing was added along the way.
    EXPECT_TRUE(QJsonDocument::fromJson(cli->run({"library", "list", "--json"}).out.toUtf8()).array().isEmpty());
}

TEST_F(CliTest, SettingsAndTheAPIKeyFromStandardInput) {
    Result r = cli->run({"settings", "get", "screenshotMaxInterval"});
    EXPECT_EQ(r.last(), "30");
    EXPECT_EQ(cli->run({"settings", "set", "screenshotMaxInterval", "45"}).code, 0);
    EXPECT_EQ(cli->run({"settings", "get", "screenshotMaxInterval"}).last(), "45");
    expectOneErrorLine(cli->run({"settings", "set", "screenshotMaxInterval", "soon"}), 2, "screenshotMaxInterval takes a number, not 'soon'");
    expectOneErrorLine(cli->run({"settings", "set", "consolidationProvider", "Ollama"}), 2, "one of claude, ollama");
    EXPECT_EQ(cli->run({"settings", "get", "transcriptionLanguage"}).last(), "en");
    EXPECT_EQ(cli->run({"settings", "set", "transcriptionLanguage", "Auto"}).last(), "transcriptionLanguage = auto");
    expectOneErrorLine(cli->run({"settings", "set", "transcriptionLanguage", "german"}), 2, "auto or a language code");
    expectOneErrorLine(cli->run({"settings", "set", "whisperModelFolderPaths", R"({"openai_whisper-tiny": 3})"}), 2, "a JSON object of strings");
    EXPECT_EQ(cli->run({"settings", "unset", "screenshotMaxInterval"}).last(), "screenshotMaxInterval = 30  (default)");
    EXPECT_TRUE(cli->run({"settings", "get"}).out.contains("screenshotMaxInterval = 30  (default)\n"));

    // A long value from standard input, kept whole.
    const QString prompt = "Summarise the lecture.\nUse headings.\n";
    EXPECT_EQ(cli->run({"settings", "set", "consolidationPrompt", "-"}, prompt.toUtf8()).code, 0);
    EXPECT_EQ(cli->run({"settings", "get", "consolidationPrompt"}).out, prompt + "\n");
    EXPECT_EQ(cli->run({"settings", "set", "markdownExportEnabled", "yes"}).last(), "markdownExportEnabled = true");

    // The key: never from the command line, never shown, kept in the owner-only file.
    const QString key = kTestAPIKey;
    const QString secrets = home + "/.config/io.corvana.Lumenote/secrets";
    r = cli->run({"settings", "set", "claudeAPIKey", key});
    expectOneErrorLine(r, 2, "standard input only");
    EXPECT_FALSE(r.err.contains(key));
    EXPECT_FALSE(QFile::exists(secrets));

    r = cli->run({"settings", "set", "claudeAPIKey"}, "  " + key.toUtf8() + "\n");
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.out.contains("saved in " + secrets)) << r;
    EXPECT_FALSE(r.out.contains(key) || r.err.contains(key));
    EXPECT_TRUE(readText(secrets).contains(key));
    EXPECT_EQ(QFileInfo(secrets).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther), 0);

    for (const QStringList& args : QList<QStringList>{{"settings", "get", "claudeAPIKey"}, {"settings", "get"}}) {
        r = cli->run(args);
        EXPECT_FALSE(r.out.contains(key)) << r;
        EXPECT_TRUE(r.out.contains("claudeAPIKey = " + QString(32, QChar(0x2022)) + " (stored in " + secrets + ")")) << r;
    }
    expectOneErrorLine(cli->run({"settings", "set", "claudeAPIKey"}, "\n"), 1, "no API key was given");
    EXPECT_TRUE(readText(secrets).contains(key));  // an empty entry keeps the stored key
    EXPECT_EQ(cli->run({"settings", "unset", "claudeAPIKey"}).code, 0);
    EXPECT_EQ(cli->run({"settings", "get", "claudeAPIKey"}).last(), "claudeAPIKey = (none)");
    EXPECT_FALSE(readText(secrets).contains(key));
}

TEST_F(CliTest, ModelsFromALocalHub) {
    FakeModelHub hub;
    hub.publishFolder("openai/whisper-tiny", kSha, fixtures + "/model");
    cli->set("HF_ENDPOINT", hub.endpoint().toString());

    EXPECT_EQ(cli->run({"models", "check"}).last(), "No Whisper model is on disk; nothing to check.");
    EXPECT_EQ(cli->run({"models", "select", "openai_whisper-tiny"}).code, 0);
    Result r = cli->run({"models", "list"});
    EXPECT_TRUE(r.out.contains(QRegularExpression("\\n\\* openai_whisper-tiny +Tiny +~150 MB +not downloaded"))) << r;

    r = cli->run({"models", "download"});
    ASSERT_EQ(r.code, 0) << r;
    const QString snapshot = home + "/.cache/huggingface/hub/models--openai--whisper-tiny/snapshots/" + kSha;
    EXPECT_EQ(r.lines().first(), "Downloading Whisper Tiny model (~150 MB)…");
    EXPECT_TRUE(r.lines().contains("Model download: 100%")) << r;
    EXPECT_EQ(r.last(), "Whisper Tiny model ready: " + snapshot);
    EXPECT_TRUE(QFile::exists(snapshot + "/model.safetensors"));
    EXPECT_FALSE(r.out.contains("\x1b")) << "no terminal codes when the output is not a terminal";
    EXPECT_TRUE(cli->run({"models", "list"}).out.contains(QRegularExpression("\\* openai_whisper-tiny +Tiny +~150 MB +" + snapshot)));

    EXPECT_EQ(cli->run({"models", "check"}).last(), "openai_whisper-tiny            up to date");
    hub.publishFolder("openai/whisper-tiny", QString(40, 'f'), fixtures + "/model");
    EXPECT_EQ(cli->run({"models", "check"}).last(), "openai_whisper-tiny            update available (run 'models download')");
    hub.failWith("api", 500);
    expectOneErrorLine(cli->run({"models", "check"}), 1, "could not be reached");
    expectOneErrorLine(cli->run({"models", "download", "openai_whisper-base"}), 1, "the Whisper Base model could not be downloaded");
}

TEST_F(CliTest, ToolsReportAndFailClearly) {
    const Result status = cli->run({"tools", "status"});
    EXPECT_EQ(status.code, 0) << status;
    EXPECT_TRUE(status.out.startsWith("yt-dlp   ")) << status;
    EXPECT_TRUE(status.out.contains("\nffmpeg   ")) << status;
    // Without a build service there is nothing to install ffmpeg from.
    const Result install = cli->run({"tools", "update", "ffmpeg"});
    expectOneErrorLine(install, 1, "ffmpeg could not be installed: ");
    // A release feed that cannot be reached is a failed check, said in one line.
    expectOneErrorLine(cli->run({"tools", "check"}), 1, "a release feed could not be reached");
}

TEST_F(CliTest, ProcessesALectureEndToEndAndManagesTheLibrary) {
    placeModel();
    Result r = cli->run({"process", video(), "--markdown", "--folder", "Earth Science", "--language", "de"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.err.isEmpty()) << r;
    EXPECT_FALSE(r.out.contains("\x1b")) << r;
    EXPECT_FALSE(r.out.contains("[screenshots]")) << "diagnostics only with --verbose";
    const QString folder = cli->library() + "/Earth Science/" + QDate::currentDate().toString("yyyy-MM-dd") + " The Water Cycle";
    EXPECT_EQ(r.last(), "Study page: " + folder + "/index.html");
    EXPECT_TRUE(r.lines().contains("Markdown: " + folder + "/The Water Cycle.md")) << r;
    EXPECT_TRUE(r.lines().contains("Created folder 'Earth Science'."));

    // Every message as it came, in the run's order.
    const QStringList m = r.messages();
    ASSERT_GE(m.size(), 5) << r;
    EXPECT_EQ(m.first(), "Starting transcription and screenshot capture…");
    const auto at = [&](const QString& prefix) {
        for (int i = 0; i < m.size(); ++i)
            if (m[i].startsWith(prefix)) return i;
        return -1;
    };
    EXPECT_GT(at("Extracting audio and loading Whisper Small model…"), 0) << r;
    EXPECT_TRUE(anyLine(m, "^Transcription done — \\d+ segments?, ~\\d+ words\\.$")) << r;
    EXPECT_GT(at("Captured "), 0) << r;
    EXPECT_EQ(at("Export saved to "), m.size() - 1) << r;

    EXPECT_TRUE(QFile::exists(folder + "/index.html"));
    EXPECT_TRUE(QFile::exists(folder + "/audio.m4a"));
    EXPECT_FALSE(QDir(folder + "/images").entryList({"*.jpg"}, QDir::Files).isEmpty());
    EXPECT_TRUE(readText(folder + "/The Water Cycle.md").startsWith("---\ntitle: \"The Water Cycle\"\n"));

    QJsonObject lecture = cli->lecture("The Water Cycle");
    EXPECT_EQ(lecture["status"].toString(), "complete");
    EXPECT_EQ(lecture["folder"].toString(), "Earth Science");
    EXPECT_NEAR(lecture["duration"].toDouble(), 21, 3);
    // The language asked for is the lecture's, and its page's.
    EXPECT_EQ(lecture["language"].toString(), "de");
    EXPECT_TRUE(readText(folder + "/index.html").contains("<html lang=\"de\" ")) << "the page's language";
    const QString id = lecture["id"].toString();

    // The same file again: reported, not imported twice.
    r = cli->run({"process", video()});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.lines().first(), "Already in the library: 'The Water Cycle' (" + id.left(8) + "), status complete.");
    EXPECT_EQ(r.last(), "Study page: " + folder + "/index.html");
    EXPECT_EQ(QJsonDocument::fromJson(cli->run({"library", "list", "--json"}).out.toUtf8()).array().size(), 1);

    const QJsonObject stats = QJsonDocument::fromJson(cli->run({"library", "stats", "--json"}).out.toUtf8()).object();
    EXPECT_EQ(stats["lectureCount"].toInt(), 1);
    EXPECT_GE(stats["screenshotCount"].toInt(), 1);

    // The lecture actions, named by title, id prefix and id.
    r = cli->run({"reexport", "The Water Cycle"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.messages().value(0).contains(QRegularExpression("^Transcript loaded — \\d+ segments\\.$"))) << r;
    EXPECT_TRUE(r.messages().value(1).contains(QRegularExpression("^Screenshots loaded — \\d+ images?\\.$"))) << r;
    EXPECT_EQ(r.last(), "Study page: " + folder + "/index.html");
    r = cli->run({"markdown", id.left(6).toLower()});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.last(), "Markdown: " + folder + "/The Water Cycle.md");
    r = cli->run({"retranscribe", id});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.messages().contains("Audio extracted — transcribing with Whisper Small…")) << r;
    EXPECT_EQ(cli->lecture("The Water Cycle")["language"].toString(), "en");  // the setting's default

    // Search: a word of the transcript leads to its moment in the page.
    QString word;
    double wordStart = 0;
    {
        QString error;
        const auto store = LibraryStore::open(cli->home() + "/.local/share/io.corvana.Lumenote/library.sqlite", &error);
        ASSERT_TRUE(store) << error.toStdString();
        const auto segments = decodeTranscript(*store->lectures().front()->transcriptData());
        ASSERT_TRUE(segments && !segments->isEmpty());
        for (const TranscriptSegment& s : *segments)
            for (const WordTimestamp& w : s.words)
                if (word.isEmpty() && w.word.trimmed().size() >= 4 && w.word.trimmed().front().isLetter()) {
                    word = w.word.trimmed().remove(QRegularExpression("\\W+$"));
                    wordStart = w.start;
                }
    }
    ASSERT_FALSE(word.isEmpty());
    r = cli->run({"search", word.toUpper(), "--json"});
    ASSERT_EQ(r.code, 0) << r;
    const QJsonArray hits = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_FALSE(hits.isEmpty()) << r;
    const QJsonObject hit = hits.first().toObject();
    EXPECT_EQ(hit["title"].toString(), "The Water Cycle");
    EXPECT_DOUBLE_EQ(hit["time"].toDouble(), wordStart) << r;
    const QJsonArray mark = hit["marks"].toArray().first().toArray();
    EXPECT_EQ(hit["snippet"].toString().mid(mark[0].toInt(), mark[1].toInt()).toLower(), word.toLower()) << r;
    const QUrl link(hit["link"].toString());
    EXPECT_EQ(link.toLocalFile(), folder + "/index.html");
    EXPECT_EQ(link.fragment(), QString("t=%1").arg(qint64(wordStart)));
    r = cli->run({"search", word});
    EXPECT_EQ(r.lines().value(0), "The Water Cycle (" + id.left(8) + ")") << r;
    EXPECT_TRUE(r.out.contains("**")) << r;
    r = cli->run({"search", "\"" + word + " zzzunheard\""});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_EQ(r.last(), "Nothing found for \"" + word + " zzzunheard\".");
    expectOneErrorLine(cli->run({"search", "--", "*"}), 2, "no words");

    // Subtitles on demand, and beside the page on export once the setting is on.
    r = cli->run({"subtitles", "The Water Cycle", "--format", "vtt"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.lines().value(0), "WEBVTT");
    EXPECT_TRUE(r.out.contains(word, Qt::CaseInsensitive)) << r;
    r = cli->run({"subtitles", id, "--out", cli->home() + "/lecture.srt"});
    EXPECT_EQ(r.last(), "Subtitles: " + cli->home() + "/lecture.srt") << r;
    EXPECT_TRUE(readText(cli->home() + "/lecture.srt").startsWith("1\n00:00:")) << r;
    expectOneErrorLine(cli->run({"subtitles", id, "--format", "ass"}), 2, "must be one of srt|vtt|txt");
    EXPECT_EQ(cli->run({"settings", "set", "exportSubtitles", "true"}).code, 0);
    EXPECT_EQ(cli->run({"reexport", id}).code, 0);
    for (const char* name : {"subtitles.srt", "subtitles.vtt", "transcript.txt"}) EXPECT_TRUE(QFile::exists(folder + "/" + name)) << name;

    // Folders: the export moves with the lecture.
    r = cli->run({"library", "move", "The Water Cycle", "--unfiled"});
    EXPECT_EQ(r.code, 0) << r;
    const QString unfiled = cli->library() + "/" + QFileInfo(folder).fileName();
    EXPECT_TRUE(QFile::exists(unfiled + "/index.html"));
    EXPECT_FALSE(QFile::exists(folder));
    EXPECT_EQ(cli->run({"library", "folders"}).last(), "Earth Science             0 lectures");
    EXPECT_EQ(cli->run({"library", "folders", "rename", "Earth Science", "Geography"}).code, 0);
    expectOneErrorLine(cli->run({"library", "folders", "create", "Geography"}), 1, "exists already");
    EXPECT_EQ(cli->run({"library", "folders", "delete", "Geography"}).code, 0);
    EXPECT_EQ(cli->run({"library", "folders"}).last(), "No folders. Create one with 'lumenote-cli library folders create NAME'.");

    // Reconcile: an export that disappears makes the lecture missing; back again, complete.
    QDir(unfiled).rename(unfiled, cli->home() + "/set-aside");
    r = cli->run({"library", "reconcile"});
    EXPECT_EQ(r.lines(), QStringList{"[Reconcile] Export missing for '" + QFileInfo(folder).fileName() + "' → missing"}) << r;
    EXPECT_EQ(cli->lecture("The Water Cycle")["status"].toString(), "missing");
    QDir().rename(cli->home() + "/set-aside", unfiled);
    r = cli->run({"library", "reconcile"});
    EXPECT_EQ(r.lines(), QStringList{"[Reconcile] Export found for 'The Water Cycle' — restoring .complete"}) << r;
    EXPECT_EQ(cli->run({"library", "reconcile"}).last(), "Nothing to reconcile.");

    r = cli->run({"-v", "process", video(), "--reprocess"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.out.contains(QRegularExpression("(^|\\n)\\[screenshots\\] "))) << "--verbose shows the diagnostics";

    r = cli->run({"library", "delete", id.left(8)});
    EXPECT_EQ(r.last(), "Deleted 'The Water Cycle' (" + id.left(8) + ").");
    EXPECT_FALSE(QFile::exists(unfiled));
    EXPECT_EQ(cli->run({"library", "list"}).last(), "The library is empty. Add a lecture with 'lumenote-cli process <video>'.");
    EXPECT_EQ(cli->run({"search", word}).code, 1) << "a deleted lecture leaves the index";
}

TEST_F(CliTest, ProcessesSeveralInputsWithOneSummary) {
    placeModel();
    const QString missing = cli->home() + "/missing.mp4";
    Result r = cli->run({"process", video(), missing});
    EXPECT_EQ(r.code, 1) << r;
    const QStringList lines = r.lines();
    EXPECT_EQ(lines.value(0), "[1/2] " + video());
    EXPECT_TRUE(lines.contains("[2/2] " + missing)) << r;
    const qsizetype summary = lines.indexOf("Summary: 1 of 2 completed.");
    ASSERT_GE(summary, 0) << r;
    EXPECT_TRUE(lines.value(summary + 1).startsWith("  done    " + video() + " → ")) << r;
    EXPECT_TRUE(lines.value(summary + 1).endsWith("/index.html")) << r;
    EXPECT_EQ(lines.value(summary + 2), "  failed  " + missing + ": no such file: " + missing) << r;
    EXPECT_EQ(r.errLines(), QStringList{"lumenote-cli: no such file: " + missing}) << r;

    // For scripts: only the results on standard output.
    r = cli->run({"process", missing, video(), "--json"});
    EXPECT_EQ(r.code, 1) << r;
    const QJsonArray results = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(results.size(), 2) << r;
    EXPECT_FALSE(results[0]["completed"].toBool());
    EXPECT_EQ(results[0]["error"].toString(), "no such file: " + missing);
    EXPECT_TRUE(results[0]["lectureID"].isNull());
    EXPECT_TRUE(results[1]["completed"].toBool());
    EXPECT_EQ(results[1]["title"].toString(), "The Water Cycle");
    EXPECT_TRUE(QFile::exists(results[1]["studyPage"].toString())) << r;
    EXPECT_TRUE(r.err.contains("Already in the library")) << r;
    EXPECT_EQ(cli->run({"process", video(), "--json"}).code, 0);
}

TEST_F(CliTest, WatchesAFolderAcrossRestartsWithoutProcessingTwice) {
    placeModel();
    const QString inbox = cli->home() + "/inbox";
    QDir().mkpath(inbox);
    QString out;
    auto waitForLine = [&out](QProcess& p, const QString& text, int ms = 120000) {
        return spinUntil([&] {
            out += QString::fromUtf8(p.readAllStandardOutput());
            return out.contains(text) || p.state() == QProcess::NotRunning;
        }, ms) && out.contains(text);
    };
    auto stop = [&out](QProcess& p) {
        p.terminate();
        EXPECT_TRUE(p.waitForFinished(20000));
        out += QString::fromUtf8(p.readAllStandardOutput());
    };

    std::unique_ptr<QProcess> watcher = cli->start({"watch", inbox, "--folder", "Inbox"});
    ASSERT_TRUE(waitForLine(*watcher, "Watching " + inbox)) << out.toStdString();
    // Copied in slowly: pauses shorter than the settling time do not start it early.
    QFile source(video());
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    const QString first = inbox + "/Lecture One.mp4";
    {
        QFile f(first);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int part = 0; part < 3; ++part) {
            f.write(bytes.mid(part * bytes.size() / 3, (part + 1) * bytes.size() / 3 - part * bytes.size() / 3));
            f.flush();
            if (part < 2) spinFor(1200);
        }
    }
    ASSERT_TRUE(waitForLine(*watcher, "Done: " + first)) << out.toStdString();
    EXPECT_EQ(out.count("New video: "), 1) << out.toStdString();
    stop(*watcher);
    EXPECT_TRUE(out.contains("Stopped watching " + inbox)) << out.toStdString();
    const QJsonObject lecture = cli->lecture("Lecture One");
    EXPECT_EQ(lecture["status"].toString(), "complete");
    EXPECT_EQ(lecture["folder"].toString(), "Inbox");
    EXPECT_NEAR(lecture["duration"].toDouble(), 21, 3) << "the whole file was processed";

    // Restarted: the first video is known; one added meanwhile is processed.
    const QString second = inbox + "/Lecture Two.MOV";
    ASSERT_TRUE(QFile::copy(video(), second));
    out.clear();
    watcher = cli->start({"watch", inbox, "--folder", "Inbox"});
    ASSERT_TRUE(waitForLine(*watcher, "Done: " + second)) << out.toStdString();
    EXPECT_TRUE(out.contains("Already in the library, skipped: " + first)) << out.toStdString();
    EXPECT_EQ(out.count("New video: "), 1) << out.toStdString();
    stop(*watcher);
    EXPECT_EQ(QJsonDocument::fromJson(cli->run({"library", "list", "--json"}).out.toUtf8()).array().size(), 2);
    expectOneErrorLine(cli->run({"watch", cli->home() + "/nowhere"}), 1, "not a folder");
}

TEST_F(CliTest, ShowsProgressBarsOnATerminal) {
    placeModel();
    // script(1) gives the program a terminal and passes on what it draws.
    const Result r = cli->exec("script", {"-qefc", "'" + cliPath() + "' process '" + video() + "'", "/dev/null"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.out.contains("\x1b[?7lTranscription  [")) << r;
    EXPECT_TRUE(r.out.contains(QRegularExpression("\\nScreenshots    \\[[\\x{2588}\\x{2591}]{30}\\] +\\d+%"))) << r;
    // Each redraw first climbs back over the bars it drew.
    EXPECT_TRUE(r.out.contains("\r\x1b[2A\x1b[J")) << r;
    // The messages and the closing line are plain lines between the redraws.
    EXPECT_TRUE(r.out.contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d  Starting transcription and screenshot capture…\\r\\n"))) << r;
    EXPECT_TRUE(r.out.contains(QRegularExpression("\\x1b\\[J\\d\\d:\\d\\d:\\d\\d  Export saved to [^\\r]*\\r\\nStudy page: [^\\r]*/index.html\\r\\n$"))) << r;
}

TEST_F(CliTest, FailuresKeepTheLectureAndSayWhy) {
    // A file that is no video: the lecture stays in the library as failed.
    const QString broken = home + "/Broken Talk.mp4";
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    placeModel();
    Result r = cli->run({"process", broken});
    EXPECT_EQ(r.code, 1) << r;
    ASSERT_EQ(r.errLines().size(), 1) << r;
    EXPECT_TRUE(r.messages().last().startsWith("Error: ")) << r;
    EXPECT_EQ(r.err, "lumenote-cli: " + r.messages().last().mid(7) + "\n");
    EXPECT_EQ(cli->lecture("Broken Talk")["status"].toString(), "failed");
    expectOneErrorLine(cli->run({"process", broken}), 1, "'Broken Talk' (");  // failed before: needs --reprocess
    expectOneErrorLine(cli->run({"reexport", "Broken Talk"}), 1, "no stored screenshots");

    // No model on disk and no hub to fetch it from.
    QDir(home + "/.cache/huggingface").removeRecursively();
    r = cli->run({"process", video()});
    EXPECT_EQ(r.code, 1) << r;
    EXPECT_TRUE(anyLine(r.lines(), "^The Whisper Small model could not be downloaded: ")) << r;
    EXPECT_EQ(r.messages(), QStringList{"No model on disk — open ⚙ Settings to download Whisper Small first."}) << r;
    EXPECT_EQ(r.err, "lumenote-cli: Whisper Small model is not downloaded. Open ⚙ Settings and tap Download.\n") << r;
    EXPECT_EQ(cli->lecture("The Water Cycle")["status"].toString(), "failed");
    expectOneErrorLine(cli->run({"library", "delete", "--unprocessed"}), 2, "add --yes");
    EXPECT_EQ(cli->run({"library", "delete", "--unprocessed", "--yes"}).last(), "Deleted 2 lectures.");
}

TEST_F(CliTest, DownloadsTheDefaultModelOnFirstUse) {
    FakeModelHub hub;
    hub.publishFolder("openai/whisper-small", kSha, fixtures + "/model");
    cli->set("HF_ENDPOINT", hub.endpoint().toString());
    const Result r = cli->run({"process", video()});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.lines().value(1), "Downloading Whisper Small model (~970 MB)…") << r;
    EXPECT_TRUE(r.lines().contains("Whisper Small model ready: " + home + "/.cache/huggingface/hub/models--openai--whisper-small/snapshots/" + kSha)) << r;
    EXPECT_TRUE(r.last().startsWith("Study page: ")) << r;
}

TEST_F(CliTest, ConsolidatesWithClaudeThroughALocalServer) {
    placeModel();
    TestHttpServer anthropic;
    int calls = 0;
    bool failing = false;
    anthropic.route("POST", "/v1/messages", [&](const HttpRequest&) {
        ++calls;
        if (failing)
            return HttpResponse::json(529, R"({"type":"error","error":{"type":"overloaded_error","message":"Overloaded"}})");
        return eventStream().pieces(claudeEventStream({"## The water cycle\n\n", "- Evaporation lifts water", " into the air"}), 16, 0);
    });
    cli->set("LUMENOTE_ANTHROPIC_URL", anthropic.urlString());
    ASSERT_EQ(cli->run({"settings", "set", "claudeAPIKey"}, kTestAPIKey.toUtf8()).code, 0);

    Result r = cli->run({"process", video(), "--consolidate", "claude"});
    ASSERT_EQ(r.code, 0) << r;
    ASSERT_EQ(calls, 1);
    const HttpRequest& sent = anthropic.requests().constLast();
    EXPECT_EQ(sent.header("x-api-key"), kTestAPIKey.toUtf8());
    EXPECT_TRUE(sent.body.contains("claude-sonnet-4-5"));
    EXPECT_FALSE(r.out.contains(kTestAPIKey) || r.err.contains(kTestAPIKey));
    const QString page = r.last().mid(QStringLiteral("Study page: ").size());
    EXPECT_TRUE(readText(page).contains("Evaporation lifts water into the air")) << "the notes are in the page";

    // Removing the notes rebuilds the page without them; consolidating again brings them back.
    r = cli->run({"consolidate", "The Water Cycle", "--remove"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_FALSE(readText(page).contains("Evaporation lifts water into the air"));
    r = cli->run({"consolidate", "The Water Cycle"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(readText(page).contains("Evaporation lifts water into the air"));

    // A failing server: the action fails and says why in one line; the lecture is failed.
    failing = true;
    r = cli->run({"consolidate", "The Water Cycle"});
    EXPECT_EQ(r.code, 1) << r;
    ASSERT_EQ(r.errLines().size(), 1) << r;
    EXPECT_TRUE(r.messages().last().startsWith("Consolidation failed: ")) << r;
    EXPECT_EQ(cli->lecture("The Water Cycle")["status"].toString(), "failed");
    // Within a full run the same failure only drops the notes.
    r = cli->run({"process", video(), "--reprocess"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(anyLine(r.messages(), "^Consolidation skipped: ")) << r;
}

TEST_F(CliTest, CacheListsAndCleansDownloadedVideos) {
    placeModel();
    QDir().mkpath(cli->downloads());
    const QString used = cli->downloads() + "/Lecture 1.mp4";
    ASSERT_TRUE(QFile::copy(video(), used));
    ASSERT_EQ(cli->run({"process", used}).code, 0);
    const auto write = [](const QString& path, int bytes) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(bytes, 'v'));
    };
    write(cli->downloads() + "/Lecture 2.f137.mp4.part", 3 << 20);
    write(cli->downloads() + "/Old.webm", 1 << 20);
    write(cli->downloads() + "/.hidden", 10);

    Result r = cli->run({"cache", "list"});
    ASSERT_EQ(r.lines().size(), 4) << r;
    EXPECT_TRUE(r.lines()[0].contains(QRegularExpression("^ +3\\.0 MB  incomplete  Lecture 2  \\(Lecture 2\\.f137\\.mp4\\.part\\)$"))) << r;
    EXPECT_TRUE(r.lines()[1].contains(QRegularExpression("^ +1\\.0 MB {14}Old  \\(Old\\.webm\\)$"))) << r;
    EXPECT_TRUE(r.lines()[2].contains("in use      Lecture 1  (Lecture 1.mp4)")) << r;

    expectOneErrorLine(cli->run({"cache", "clean", "Lecture 1.mp4"}), 1, "is used by a lecture and stays");
    r = cli->run({"cache", "clean", "Old.webm"});
    EXPECT_EQ(r.last(), "Removed Old.webm (1.0 MB).");
    r = cli->run({"cache", "clean"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.lines(), (QStringList{"Removed 1 file (3.0 MB).",
                                      "Lectures that used these videos will need to be re-downloaded before they can be reprocessed. "
                                      "1 file is still used by library items and will not be removed."}));
    EXPECT_TRUE(QFile::exists(used));
    EXPECT_EQ(QDir(cli->downloads()).entryList(QDir::Files).size(), 1);

    // Deleting the lecture also removes its cached video.
    EXPECT_EQ(cli->run({"library", "delete", "Lecture 1"}).code, 0);
    EXPECT_FALSE(QFile::exists(used));
}

TEST_F(CliTest, ProcessesAWebAddressThroughYtDlp) {
    placeModel();
    // A stand-in yt-dlp in the private tool place: the uploader query, then a
    // "download" that copies the sample lecture under the address's last part.
    const QString tool = home + "/.local/share/io.corvana.Lumenote/yt-dlp";
    QDir().mkpath(QFileInfo(tool).path());
    ASSERT_TRUE(writeExecutableScript(tool, "#!/bin/sh\n"
                                            "if [ \"$1\" = \"--version\" ]; then echo 2025.01.15; exit 0; fi\n"
                                            "if [ \"$1\" = \"--skip-download\" ]; then echo 'Prof. Ada'; exit 0; fi\n"
                                            "for last; do :; done\n"
                                            "out=\"$2\"; dir=\"${out%/*}\"; name=\"${last##*/}\"\n"
                                            "echo \"[download] Destination: $dir/$name.mp4\"\n"
                                            "echo \"[download]  50.0% of 1.00MiB at 1.00MiB/s ETA 00:01\"\n"
                                            "cp '" + video() + "' \"$dir/$name.mp4\"\n"
                                            "echo \"[download] 100% of 1.00MiB in 00:00:01\"\n"));
    const QString address = "https://video.example.org/water-cycle";
    Result r = cli->run({"process", address});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.lines().first(), "Downloading " + address + "…");
    EXPECT_TRUE(r.lines().contains("Imported 'water-cycle' (" + cli->lecture("water-cycle")["id"].toString().left(8) + ").")) << r;
    EXPECT_TRUE(r.last().startsWith("Study page: ")) << r;
    const QJsonObject lecture = cli->lecture("water-cycle");
    EXPECT_EQ(lecture["sourceURL"].toString(), address);
    EXPECT_EQ(lecture["localFilePath"].toString(), cli->downloads() + "/water-cycle.mp4");
    EXPECT_EQ(lecture["status"].toString(), "complete");

    // The same address: reported; with --reprocess downloaded again and processed.
    r = cli->run({"process", address});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.lines().value(0).startsWith("Already in the library: 'water-cycle'")) << r;
    QFile::remove(cli->downloads() + "/water-cycle.mp4");
    r = cli->run({"process", address, "--reprocess"});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_TRUE(r.out.contains("— processing it again.")) << r;
    EXPECT_TRUE(QFile::exists(cli->downloads() + "/water-cycle.mp4"));

    // A download that fails changes nothing.
    ASSERT_TRUE(writeExecutableScript(tool, "#!/bin/sh\nif [ \"$1\" = \"--skip-download\" ]; then exit 1; fi\necho 'ERROR: Unsupported URL' >&2\nexit 1\n"));
    expectOneErrorLine(cli->run({"process", "https://video.example.org/broken"}), 1, "ERROR: Unsupported URL");
    EXPECT_EQ(QJsonDocument::fromJson(cli->run({"library", "list", "--json"}).out.toUtf8()).array().size(), 1);
}
