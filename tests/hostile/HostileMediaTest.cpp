// `lumenote-cli process` on what a new user might hand it: broken, odd and
// enormous media, odd paths and damaged model folders. Every row ends with an
// exit status of 0 or 1 and a clear line, and none of them harms the library:
// a lecture processed first stays complete with its study page untouched.

#include "CliRunner.h"
#include "core/LectureFiles.h"
#include "core/LibraryStore.h"
#include "core/TranscriptModel.h"
#include "FixtureTools.h"
#include "TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QProcess>
#include "QtTestHelpers.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using lumenote::readFileBytes;
using namespace lumenote::test;

namespace {

const QString kSha = QStringLiteral("0123456789abcdef0123456789abcdef01234567");

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray digest(const QString& path) { return QCryptographicHash::hash(readFileBytes(path).value_or(QByteArray()), QCryptographicHash::Sha256); }

// A clip from ffmpeg's test sources: `seconds` of a moving test pattern with a
// tone, encoded as `codecArgs` say.
bool makeClip(const QString& path, double seconds, const QStringList& codecArgs = {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"},
              const QString& size = "160x120") {
    const QString t = QString::number(seconds);
    return ffmpeg(QStringList{"-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=5:duration=" + t, "-f", "lavfi", "-i",
                              "sine=frequency=440:sample_rate=16000:duration=" + t, "-shortest"} +
                  codecArgs + QStringList{"-pix_fmt", "yuv420p", path});
}

class HostileMediaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = QString::fromStdString(homeDir()) + "/hostile";
        media = root + "/media";
        QDir().mkpath(media);
        ASSERT_TRUE(makeTestModel(root + "/model"));
        ASSERT_TRUE(makeClip(media + "/Witness.mp4", 2));
    }

    // The good model as a catalogue model of this home's cache.
    static void placeModel(const Cli& cli, const QString& repo, const QString& from) {
        const QString snapshot = cli.home() + "/.cache/huggingface/hub/models--openai--" + repo + "/snapshots/" + kSha;
        QDir(snapshot).removeRecursively();
        QDir().mkpath(snapshot);
        for (const QString& f : QDir(from).entryList(QDir::Files)) QFile::copy(from + "/" + f, snapshot + "/" + f);
    }

    static QString root, media;
};
QString HostileMediaTest::root, HostileMediaTest::media;

// What a row hands the program and what it must answer.
struct Row {
    QString name;
    std::function<QString(Cli&)> make;  // the argument to process (made on demand)
    int code;                           // 0 done, 1 failed
    QString says;                       // a regular expression the one error line (or, done, the output) matches
    std::function<void(Cli&, const CliResult&)> check = {};
    QStringList extra = {};             // more arguments
    // How the program is run, when not plainly with the input and `extra`.
    std::function<CliResult(Cli&, const QString&)> run = {};
};

constexpr int kDoneOrFailed = -2;  // a row whose outcome depends on timing

// process in the background; `meddle` runs once the run has started its work.
CliResult processMeddling(Cli& cli, const QString& input, const std::function<void()>& meddle) {
    std::unique_ptr<QProcess> p = cli.start({"process", input});
    QByteArray out;
    const bool started = spinUntil([&] {
        out += p->readAllStandardOutput();
        return out.contains("Starting transcription") || p->state() == QProcess::NotRunning;
    }, 60000);
    EXPECT_TRUE(started);
    meddle();
    spinUntil([&] { return p->state() == QProcess::NotRunning; }, 120000);
    CliResult r;
    r.out = QString::fromUtf8(out + p->readAllStandardOutput());
    r.err = QString::fromUtf8(p->readAllStandardError());
    r.code = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
    return r;
}

// The loudest sample of a media file's audio, in dB (ffmpeg's volumedetect).
double maxVolume(const QString& path) {
    QString err;
    runProgram("ffmpeg", {"-nostdin", "-i", path, "-af", "volumedetect", "-f", "null", "-"}, 60000, &err);
    const QRegularExpressionMatch m = QRegularExpression("max_volume: (-?[\\d.]+) dB").match(err);
    return m.hasMatch() ? m.captured(1).toDouble() : -999;
}

QString studyFolder(const CliResult& r) { return QFileInfo(r.last().mid(QStringLiteral("Study page: ").size())).path(); }

TEST_F(HostileMediaTest, EveryRowEndsCleanlyAndLosesNothing) {
    Cli cli(root + "/home");
    placeModel(cli, "whisper-small", root + "/model");

    // The lecture that must survive every row.
    CliResult r = cli.run({"process", media + "/Witness.mp4"});
    ASSERT_EQ(r.code, 0) << r;
    const QString witnessPage = r.last().mid(QStringLiteral("Study page: ").size());
    const QByteArray witnessDigest = digest(witnessPage);
    const QString witnessID = cli.lecture("Witness")["id"].toString();
    ASSERT_FALSE(witnessID.isEmpty());

    const auto file = [](const QString& name, const QByteArray& bytes) {
        return [name, bytes](Cli&) {
            const QString path = media + "/" + name;
            EXPECT_TRUE(writeBytes(path, bytes));
            return path;
        };
    };
    const auto clip = [](const QString& name, double seconds, QStringList args = {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"},
                         const QString& size = "160x120") {
        return [=](Cli&) {
            const QString path = media + "/" + name;
            EXPECT_TRUE(makeClip(path, seconds, args, size));
            return path;
        };
    };
    // A model folder with one file replaced, in the cache as `repo`, chosen with --model.
    const auto brokenModel = [](const QString& repo, const QString& fileName, const QByteArray& bytes) {
        return [=](Cli& c) {
            const QString folder = root + "/broken-" + repo;
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            for (const QString& f : QDir(root + "/model").entryList(QDir::Files)) QFile::copy(root + "/model/" + f, folder + "/" + f);
            EXPECT_TRUE(writeBytes(folder + "/" + fileName, bytes));
            placeModel(c, repo, folder);
            const QString probe = media + "/Model Probe.mp4";
            if (!QFile::exists(probe)) {
                EXPECT_TRUE(QFile::copy(media + "/Witness.mp4", probe));
            }
            return probe;
        };
    };
    const QByteArray modelBytes = readFileBytes(root + "/model/model.safetensors").value_or(QByteArray());
    QByteArray lyingHeader = modelBytes;
    {
        // The header's length field claims far more than the file holds.
        const quint64 huge = quint64(1) << 40;
        memcpy(lyingHeader.data(), &huge, sizeof huge);
    }
    QByteArray randomBytes(64 * 1024, '\0');
    QRandomGenerator rng(18);
    for (char& c : randomBytes) c = char(rng.bounded(256));

    const QList<Row> rows{
        {"zero-byte file", file("Empty.mp4", {}), 1, "Could not open Empty\\.mp4: Invalid data"},
        {"random bytes", file("Noise.mp4", randomBytes), 1, "Could not open Noise\\.mp4: Invalid data"},
        {"a text file", file("Notes.mp4", QByteArray("These are my notes, not a video.\n").repeated(200)), 1,
         "Could not open Notes\\.mp4: Invalid data"},
        {"a truncated MP4",
         [&](Cli&) {
             const QByteArray bytes = readFileBytes(media + "/Witness.mp4").value_or(QByteArray());
             const QString path = media + "/Truncated.mp4";
             EXPECT_TRUE(writeBytes(path, bytes.left(bytes.size() * 6 / 10)));
             return path;
         },
         1, "Could not open Truncated\\.mp4: Invalid data"},
        {"audio only", [](Cli&) {
             const QString path = media + "/Audio Only.m4a";
             EXPECT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=frequency=330:sample_rate=16000:duration=2", "-c:a", "aac", path}));
             return path;
         }, 0, "Study page: "},
        {"video only", clip("Video Only.mp4", 2, {"-an", "-c:v", "libx264", "-preset", "ultrafast"}), 1, "The file has no audio track\\."},
        {"a one-second clip", clip("One Second.mp4", 1), 0, "Study page: "},
        {"VP9 and Opus in WebM", clip("Web.webm", 2, {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-c:a", "libopus"}), 0,
         "Study page: "},
        {"an 8K frame",
         [](Cli&) {
             // Colour bars: the cheapest 8K picture to make.
             const QString path = media + "/Eight K.mp4";
             EXPECT_TRUE(ffmpeg({"-f", "lavfi", "-i", "smptebars=size=7680x4320:rate=2:duration=1", "-f", "lavfi", "-i",
                                 "sine=sample_rate=16000:duration=1", "-shortest", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac",
                                 "-pix_fmt", "yuv420p", path}));
             return path;
         },
         0,
         "Study page: ",
         [](Cli&, const CliResult& res) {
             EXPECT_FALSE(QDir(studyFolder(res) + "/images").entryList({"*.jpg"}, QDir::Files).isEmpty()) << "its screenshot is kept";
         }},
        {"a directory", [](Cli&) { QDir().mkpath(media + "/Folder.mp4"); return media + "/Folder.mp4"; }, 1, "not a video file: "},
        {"a missing path", [](Cli&) { return media + "/Nowhere.mp4"; }, 1, "no such file: "},
        {"a title full of markup", clip("<img src=x onerror=alert(1)> & <b>bold<\\b>.mp4", 1), 0, "Study page: ",
         [](Cli&, const CliResult& res) {
             const QString page = QString::fromUtf8(readFileBytes(res.last().mid(QStringLiteral("Study page: ").size())).value_or(QByteArray()));
             EXPECT_TRUE(page.contains("&lt;img src=x onerror=alert(1)&gt;")) << "the title is shown as text";
             EXPECT_FALSE(page.contains("<img src=x")) << "and never as markup";
         }},
        {"a rotated phone video",
         [](Cli&) {
             const QString upright = media + "/Upright.mp4", path = media + "/Phone.mp4";
             EXPECT_TRUE(makeClip(upright, 2, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, "160x96"));
             EXPECT_TRUE(ffmpeg({"-i", upright, "-c", "copy", "-metadata:s:v", "rotate=90", path}));
             return path;
         },
         0, "Study page: ",
         [](Cli&, const CliResult& res) {
             const QDir images(studyFolder(res) + "/images");
             const QStringList shots = images.entryList({"*.jpg"}, QDir::Files);
             ASSERT_FALSE(shots.isEmpty());
             const QImage shot(images.filePath(shots.first()));
             EXPECT_EQ(shot.width(), 96) << "screenshots stand upright, as the phone showed them";
             EXPECT_EQ(shot.height(), 160);
         }},
        {"audio only in a second stream",
         [](Cli&) {
             const QString path = media + "/Second Stream.mp4";
             EXPECT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=5:duration=3", "-f", "lavfi", "-t", "3", "-i",
                                 "anullsrc=r=16000:cl=mono", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=16000:duration=3", "-map",
                                 "0:v", "-map", "1:a", "-map", "2:a", "-c:v", "libx264", "-preset", "ultrafast", "-c:a",
                                 "aac", "-pix_fmt", "yuv420p", path}));
             return path;
         },
         0, "Study page: ",
         [](Cli& c, const CliResult& res) {
             EXPECT_NEAR(c.lecture("Second Stream")["duration"].toDouble(), 3, 0.5);
             EXPECT_GT(maxVolume(studyFolder(res) + "/audio.m4a"), -20) << "the page plays the stream that has the sound";
         }},
        {"a path that is not UTF-8",
         [](Cli&) {
             // "Café" as Latin-1, as old archives name their files.
             const QByteArray path = QFile::encodeName(media) + "/Caf\xe9 Lecture.mp4";
             ::unlink(path.constData());
             EXPECT_EQ(::link(QFile::encodeName(media + "/Witness.mp4").constData(), path.constData()), 0);
             return media + "/Caf";
         },
         1, "'.*/Caf\\\\xe9 Lecture\\.mp4' is not valid UTF-8", {}, {},
         [](Cli& c, const QString& start) {
             return c.exec("/bin/sh", {"-c", "exec \"$0\" process \"$1$(printf '\\351') Lecture.mp4\"", cliPath(), start});
         }},
        {"a file that disappears during processing", clip("Vanishing.mp4", 6), kDoneOrFailed, "Vanishing",
         {}, {},
         [](Cli& c, const QString& input) { return processMeddling(c, input, [input] { QFile::remove(input); }); }},
        {"a file that changes during processing", clip("Changing.mp4", 6), kDoneOrFailed, ".",
         {}, {},
         [&](Cli& c, const QString& input) {
             return processMeddling(c, input, [&] { EXPECT_TRUE(writeBytes(input, randomBytes)); });
         }},
        {"a truncated safetensors file", brokenModel("whisper-tiny", "model.safetensors", modelBytes.left(modelBytes.size() / 2)), 1,
         "model\\.safetensors: tensor .* outside the file's data section .*truncated file",
         {}, {"--model", "openai_whisper-tiny", "--reprocess"}},
        {"a safetensors header that lies", brokenModel("whisper-base", "model.safetensors", lyingHeader), 1,
         "model\\.safetensors: truncated or corrupt safetensors file \\(header claims 1099511627776 bytes", {},
         {"--model", "openai_whisper-base", "--reprocess"}},
        {"an impossible config.json",
         brokenModel("whisper-medium", "config.json", R"({"d_model": -4, "encoder_layers": 1000000000, "num_mel_bins": 0})"), 1,
         "config\\.json: \"d_model\" = -4 is outside", {},
         {"--model", "openai_whisper-medium", "--reprocess"}},
        {"a tokenizer that is not JSON", brokenModel("whisper-large-v3-turbo", "tokenizer.json", "<html>Not Found</html>"), 1,
         "tokenizer\\.json: not valid JSON", {},
         {"--model", "openai_whisper-large-v3_turbo", "--reprocess"}},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        const auto started = std::chrono::steady_clock::now();
        const QString input = row.make(cli);
        r = row.run ? row.run(cli, input) : cli.run(QStringList{"process", input} + row.extra);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::cout << "  " << row.name.toStdString() << ": exit " << r.code << ", " << seconds << " s: "
                  << (r.code == 0 ? r.last() : r.err.trimmed()).toStdString() << "\n";
        if (row.code == kDoneOrFailed)
            EXPECT_TRUE(r.code == 0 || r.code == 1) << r;
        else
            EXPECT_EQ(r.code, row.code) << r;
        if (r.code == 0) {
            EXPECT_TRUE(r.err.isEmpty()) << r;
            EXPECT_TRUE(r.last().contains(QRegularExpression(row.says))) << r;
        } else {
            ASSERT_EQ(r.errLines().size(), 1) << r;
            EXPECT_TRUE(r.err.startsWith("lumenote-cli: ")) << r;
            EXPECT_TRUE(r.err.contains(QRegularExpression(row.says))) << r;
        }
        if (row.check) row.check(cli, r);
        // Nothing was lost: the library opens and holds the first lecture, complete, with its page.
        QString error;
        const auto store = lumenote::LibraryStore::open(cli.libraryDatabase(), &error);
        ASSERT_TRUE(store) << error.toStdString();
        const auto& lectures = store->lectures();
        const auto witness = std::find_if(lectures.begin(), lectures.end(), [&](const auto& l) { return l->idText() == witnessID; });
        ASSERT_NE(witness, lectures.end());
        EXPECT_EQ((*witness)->status(), lumenote::LectureStatus::Complete);
        EXPECT_EQ(digest(witnessPage), witnessDigest);
    }
}

}  // namespace

// A ten-hour silent recording stands for every long one: the audio is read a
// stretch at a time, so the peak memory of an hour's run is that of ten
// minutes'. Silent AAC is cheap to make and to decode: a quarter minute
// encoded, then repeated without re-encoding.
TEST_F(HostileMediaTest, MemoryStaysBoundedOnALongSilentRecording) {
    Cli cli(root + "/long");
    placeModel(cli, "whisper-small", root + "/model");
    const QString silence = media + "/silence.m4a", tone = media + "/tone.m4a";
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=16000:cl=mono", "-t", "15", "-c:a", "aac", "-b:a", "16k", silence}));
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=16000", "-t", "15", "-c:a", "aac", "-b:a", "16k", tone}));
    // Quarter minutes of silence, with tone in the ones listed.
    const auto recording = [&](const QString& name, int minutes, QList<int> toneAt = {}) {
        const QString path = media + "/" + name + ".m4a", list = path + ".txt";
        QByteArray lines;
        for (int quarter = 0; quarter < minutes * 4; ++quarter) lines += "file '" + QFile::encodeName(toneAt.contains(quarter) ? tone : silence) + "'\n";
        EXPECT_TRUE(writeBytes(list, lines));
        EXPECT_TRUE(ffmpeg({"-f", "concat", "-safe", "0", "-i", list, "-c", "copy", path}));
        return path;
    };
    QMap<int, long> peakKiB;
    for (const int minutes : {10, 60}) {
        const QString name = QStringLiteral("Silent %1 min").arg(minutes);
        long peak = 0;
        const CliResult r = cli.runMeasuringMemory({"process", recording(name, minutes)}, &peak);
        ASSERT_EQ(r.code, 0) << r;
        EXPECT_NEAR(cli.lecture(name)["duration"].toDouble(), minutes * 60, 2);
        peakKiB[minutes] = peak;
        std::cout << "  " << minutes << " min of silence: peak " << peak / 1024 << " MB\n";
    }
    // Fifty more minutes of 16 kHz samples would be 190 MB as floats.
    EXPECT_LT(peakKiB[60] - peakKiB[10], 24 * 1024) << "peak memory grows with the recording's length";

    // Half a minute of tone across the edge between the first two ten-minute
    // blocks: what the (random) model heard there follows on, none of it lost
    // or told twice.
    const CliResult r = cli.run({"process", recording("Across The Edge", 11, {39, 40})});
    ASSERT_EQ(r.code, 0) << r;
    QString error;
    const auto store = lumenote::LibraryStore::open(cli.libraryDatabase(), &error);
    ASSERT_TRUE(store) << error.toStdString();
    for (const auto& lecture : store->lectures()) {
        if (lecture->title() != "Across The Edge") continue;
        const auto segments = lumenote::decodeTranscript(lumenote::transcriptBytes(*lecture).value_or(QByteArray()));
        ASSERT_TRUE(segments.has_value());
        double end = 0;
        int before = 0, after = 0;
        for (const auto& segment : *segments) {
            EXPECT_GE(segment.startTime, end - 0.01) << "a segment overlaps the one before it";
            // Within the windows that hold the tone.
            EXPECT_GE(segment.startTime, 9 * 60 + 30);
            EXPECT_LE(segment.endTime, 10 * 60 + 45);
            (segment.startTime < 600 ? before : after) += 1;
            end = segment.endTime;
        }
        EXPECT_GT(before, 0);
        EXPECT_GT(after, 0);
        std::cout << "  tone across the edge: " << segments->size() << " segments, " << before << " before it\n";
    }
}
