#include "transcription/TranscriptionService.h"
#include "transcription/WhisperModelManager.h"

#include "core/Error.h"
#include "core/Settings.h"

#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <cmath>

using namespace lumenote;
using lumenote::test::await;
using lumenote::test::ffmpeg;

namespace {

const QString kTiny = QStringLiteral("openai_whisper-tiny");
const QString kSha = QStringLiteral("169d4a4341b33bc18d8881c4b69c2e104e1cc0af");

// Everything the four callbacks saw, in order.
struct Recorder {
    QStringList events;
    QStringList statuses;
    QStringList texts;
    QList<double> positions;
    QList<double> progress;
    bool offMainThread = false;

    void check() { offMainThread |= QThread::currentThread() != qApp->thread(); }
    TranscriptionService::StatusCallback status() {
        return [this](const QString& s) { check(); statuses << s; events << "status"; };
    }
    TranscriptionService::TextCallback text() {
        return [this](const QString& t) { check(); texts << t; events << "text"; };
    }
    TranscriptionService::ValueCallback position() {
        return [this](double p) { check(); positions << p; events << "position"; };
    }
    TranscriptionService::ValueCallback fraction() {
        return [this](double f) { check(); progress << f; events << "progress"; };
    }
};

bool isClean(const QString& s) {
    if (s.contains("<|")) return false;
    if (s.isEmpty()) return true;
    auto blank = [](QChar c) { return c == '\t' || c.category() == QChar::Separator_Space; };
    return !blank(s.front()) && !blank(s.back());
}

class TranscriptionServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = QString::fromStdString(test::homeDir()) + "/transcription";
        QDir().mkpath(dir);
        model = dir + "/model";
        test::makeTestModel(model);
        test::makeSpeechWav(dir + "/speech.wav", "Entropy measures how heat spreads out. The second law says it grows.");
        ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=5", "-i", dir + "/speech.wav", "-shortest", "-c:v", "libx264",
                "-preset", "ultrafast", "-c:a", "aac", dir + "/lecture.mp4"});
        // Raw AAC whose duration is guessed from loud first frames: 45 s long, said to be about 9.
        ffmpeg({"-f", "lavfi", "-i", "anoisesrc=d=8:c=white:a=0.5:r=16000", "-f", "lavfi", "-i", "anullsrc=r=16000:cl=mono",
                "-filter_complex", "[0:a][1:a]concat=n=2:v=0:a=1,atrim=0:45", "-c:a", "aac", "-b:a", "128k",
                dir + "/short-estimate.aac"});
        // Written to a pipe, Matroska keeps no duration.
        QString err;
        ASSERT_EQ(test::runProgram("sh", {"-c", "ffmpeg -nostdin -v error -y -i '" + dir + "/speech.wav' -c:a flac -f matroska - > '" +
                                                     dir + "/no-duration.mka'"},
                                   60000, &err),
                  0)
            << err.toStdString();
        ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=5", "-t", "2", "-c:v", "libx264", "-preset", "ultrafast",
                dir + "/no-audio.mp4"});
    }

    void SetUp() override {
        for (const char* key : {settings_keys::whisperModelID, settings_keys::whisperModelFolderPaths,
                                settings_keys::whisperModelDownloadedSHAs})
            Settings::shared().remove(key);
        QDir(cacheHub()).removeRecursively();
        tmp = dir + "/tmp-" + QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir().mkpath(tmp);
        qputenv("TMPDIR", tmp.toLocal8Bit());
        place("whisper-tiny");
    }
    void TearDown() override { qunsetenv("TMPDIR"); }

    static QString cacheHub() { return QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME")) + "/huggingface/hub"; }
    static void place(const QString& repoName) {
        const QString snapshot = cacheHub() + "/models--openai--" + repoName + "/snapshots/" + kSha;
        QDir().mkpath(snapshot);
        for (const QString& f : QDir(model).entryList(QDir::Files)) QFile::copy(model + "/" + f, snapshot + "/" + f);
    }
    QStringList leftoverWavs() const { return QDir(tmp).entryList({"*.wav"}, QDir::Files); }

    Transcript run(TranscriptionService& service, Recorder& r, const QString& file, std::optional<QString> id = kTiny) {
        return await(service.transcribe(dir + "/" + file, id, r.status(), r.text(), r.position(), r.fraction()));
    }

    static QString dir, model;
    QString tmp;
    WhisperModelManager models;
};
QString TranscriptionServiceTest::dir, TranscriptionServiceTest::model;

}  // namespace

TEST_F(TranscriptionServiceTest, TranscribesAVideoIntoCleanSegments) {
    TranscriptionService service(models);
    Recorder r;
    const Transcript t = run(service, r, "lecture.mp4");

    EXPECT_EQ(r.statuses, (QStringList{"Extracting audio and loading Whisper Tiny model…",
                                      "Audio extracted — transcribing with Whisper Tiny…"}));
    ASSERT_GE(r.events.size(), 5);
    EXPECT_EQ(r.events.mid(0, 2), (QStringList{"status", "status"}));
    // Each engine step: live text, then position, then progress.
    const QStringList updates = r.events.mid(2);
    ASSERT_EQ(updates.size() % 3, 0);
    for (int i = 0; i < updates.size(); i += 3)
        EXPECT_EQ(updates.mid(i, 3), (QStringList{"text", "position", "progress"})) << i;
    EXPECT_FALSE(r.offMainThread);
    for (const QString& s : r.texts) EXPECT_TRUE(isClean(s)) << s.toStdString();
    for (double p : r.positions) EXPECT_EQ(p, 0.0);  // one 30 s window
    for (double f : r.progress) EXPECT_EQ(f, 0.0);

    for (const TranscriptSegment& s : t) {
        EXPECT_FALSE(s.text.isEmpty());
        EXPECT_TRUE(isClean(s.text)) << s.text.toStdString();
        EXPECT_FALSE(s.id.isNull());
        EXPECT_LE(s.startTime, s.endTime);
        for (const WordTimestamp& w : s.words) {
            EXPECT_FALSE(w.word.isEmpty());
            EXPECT_TRUE(isClean(w.word)) << w.word.toStdString();
            EXPECT_TRUE(std::isfinite(w.start) && std::isfinite(w.end));
        }
    }
    EXPECT_TRUE(leftoverWavs().isEmpty()) << leftoverWavs().join(' ').toStdString();
    EXPECT_EQ(models.loadedModelID(), kTiny);
}

TEST_F(TranscriptionServiceTest, ProgressFollowsWindowsAndNeedsADuration) {
    TranscriptionService service(models);
    {
        // Window 1 starts at 30 s, past the announced end: progress stops at 1.
        Recorder r;
        // The main thread keeps turning while the engine works.
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(5);
        run(service, r, "short-estimate.aac");
        timer.stop();
        EXPECT_GT(ticks, 2);
        EXPECT_TRUE(r.positions.contains(0.0));
        ASSERT_TRUE(r.positions.contains(30.0));
        ASSERT_EQ(r.progress.size(), r.positions.size());
        for (int i = 0; i < r.positions.size(); ++i) {
            EXPECT_EQ(std::fmod(r.positions[i], 30.0), 0.0);
            EXPECT_EQ(r.progress[i], r.positions[i] > 0 ? 1.0 : 0.0);
        }
    }
    {
        Recorder r;
        run(service, r, "no-duration.mka");
        EXPECT_FALSE(r.texts.isEmpty());
        EXPECT_EQ(r.positions.size(), r.texts.size());
        EXPECT_TRUE(r.progress.isEmpty());
    }
    EXPECT_TRUE(leftoverWavs().isEmpty());
}

TEST_F(TranscriptionServiceTest, ModelChoiceAndItsName) {
    TranscriptionService service(models);
    models.setSelectedModelID(kTiny);
    Recorder selected;
    run(service, selected, "lecture.mp4", std::nullopt);
    EXPECT_EQ(selected.statuses.value(0), "Extracting audio and loading Whisper Tiny model…");

    place("whisper-custom");
    Recorder custom;
    run(service, custom, "lecture.mp4", QString("openai_whisper-custom"));
    EXPECT_EQ(custom.statuses, (QStringList{"Extracting audio and loading Whisper openai_whisper-custom model…",
                                           "Audio extracted — transcribing with Whisper openai_whisper-custom…"}));
    EXPECT_EQ(models.loadedModelID(), "openai_whisper-custom");
}

TEST_F(TranscriptionServiceTest, FailuresArePassedOnAndLeaveNoAudioBehind) {
    TranscriptionService service(models);
    {
        Recorder r;
        try {
            run(service, r, "lecture.mp4", QString("openai_whisper-medium"));
            ADD_FAILURE() << "transcribed without a model";
        } catch (const WhisperModelError& e) {
            EXPECT_EQ(e.description(), "No Whisper model found on disk. Open Settings (⚙) and download a model first.");
        }
        EXPECT_EQ(r.statuses.size(), 1);
    }
    {
        Recorder r;
        try {
            run(service, r, "no-audio.mp4");
            ADD_FAILURE() << "transcribed a file without audio";
        } catch (const DomainError& e) {
            EXPECT_EQ(e.domain(), "TranscriptionService");
            EXPECT_EQ(e.code(), 1);
            EXPECT_EQ(e.description(), "The file has no audio track.");
        }
        EXPECT_TRUE(r.texts.isEmpty());
    }
    {
        // The engine fails on the audio file (spoilt just before it reads it).
        Recorder r;
        auto status = [&](const QString& s) {
            r.statuses << s;
            if (r.statuses.size() == 2)
                for (const QString& f : leftoverWavs()) {
                    QFile wav(tmp + "/" + f);
                    wav.open(QIODevice::WriteOnly | QIODevice::Truncate);
                    wav.write("not audio");
                }
        };
        try {
            await(service.transcribe(dir + "/lecture.mp4", kTiny, status, r.text(), r.position(), r.fraction()));
            ADD_FAILURE() << "the engine did not fail";
        } catch (const SpeechEngineError& e) {
            EXPECT_TRUE(e.description().contains("not a WAV file")) << e.what();
        }
    }
    EXPECT_TRUE(leftoverWavs().isEmpty()) << leftoverWavs().join(' ').toStdString();
}

TEST_F(TranscriptionServiceTest, LateUpdatesTouchNothingOfTheFinishedCall) {
    auto service = std::make_unique<TranscriptionService>(models);
    auto r = std::make_unique<Recorder>();
    auto alive = std::make_shared<int>(0);
    std::weak_ptr<int> watch = alive;
    const Transcript t = await(service->transcribe(
        dir + "/lecture.mp4", kTiny, [alive](const QString&) {}, [alive](const QString&) { ++*alive; },
        [alive](double) {}, [alive](double) {}));
    // The caller's side is gone; whatever updates are still queued run against their own copies.
    service.reset();
    r.reset();
    alive.reset();
    test::spinFor(100);
    EXPECT_TRUE(watch.expired());  // and nothing keeps the callbacks once they have run
}
