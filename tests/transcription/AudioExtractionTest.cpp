#include "transcription/AudioExtraction.h"
#include "transcription/TranscriptionService.h"
#include "transcription/WhisperModelManager.h"

#include "core/Error.h"
#include "core/Uuid.h"

#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <vector>

using namespace lumenote;
using lumenote::test::await;
using lumenote::test::ffmpeg;

namespace {

struct Wav {
    int channels = 0, rate = 0, bits = 0, format = 0;
    quint32 riffSize = 0, dataSize = 0;
    std::vector<qint16> samples;
};

Wav readWav(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray b = f.readAll();
    Wav w;
    if (b.size() < 44 || !b.startsWith("RIFF") || b.mid(8, 8) != "WAVEfmt " || b.mid(36, 4) != "data") {
        ADD_FAILURE() << "not a canonical WAV header";
        return w;
    }
    const uchar* p = reinterpret_cast<const uchar*>(b.constData());
    w.riffSize = qFromLittleEndian<quint32>(p + 4);
    w.format = qFromLittleEndian<quint16>(p + 20);
    w.channels = qFromLittleEndian<quint16>(p + 22);
    w.rate = int(qFromLittleEndian<quint32>(p + 24));
    w.bits = qFromLittleEndian<quint16>(p + 34);
    w.dataSize = qFromLittleEndian<quint32>(p + 40);
    w.samples.resize((b.size() - 44) / 2);
    for (size_t i = 0; i < w.samples.size(); ++i) w.samples[i] = qFromLittleEndian<qint16>(p + 44 + 2 * i);
    return w;
}

double rms(const std::vector<qint16>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(std::max<size_t>(to - from, 1)));
}

// Dominant frequency from zero crossings (pure tones only).
double toneHz(const std::vector<qint16>& s, size_t from, size_t to, int rate) {
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
    return crossings / 2.0 / (double(to - from) / rate);
}

class AudioExtractionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = QString::fromStdString(test::homeDir()) + "/extraction";
        QDir().mkpath(dir);
        // Stereo AAC beside an H.264 picture, 3 s.
        ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-f", "lavfi", "-i",
                "sine=f=440:sample_rate=44100,pan=stereo|c0=c0|c1=c0", "-t", "3", "-c:v", "libx264", "-preset",
                "ultrafast", "-c:a", "aac", "-movflags", "+faststart", dir + "/video.mp4"});
        // Two audio tracks: a 440 Hz tone in the first two seconds of one, a
        // 1000 Hz tone in the last two of the other.
        ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-f", "lavfi", "-i",
                "sine=f=440:sample_rate=48000,volume=enable='gte(t,2)':volume=0", "-f", "lavfi", "-i",
                "sine=f=1000:sample_rate=22050,volume=enable='lt(t,2)':volume=0", "-map", "0:v", "-map", "1:a", "-map",
                "2:a", "-t", "4", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", dir + "/two-tracks.mp4"});
        ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-t", "2", "-c:v", "libx264", "-preset", "ultrafast",
                dir + "/silent-video.mp4"});
        ffmpeg({"-f", "lavfi", "-i", "sine=f=300:sample_rate=16000", "-t", "1.5", "-c:a", "pcm_s16le", dir + "/plain.wav"});
        // Raw AAC: the duration is guessed from the first frames' bit rate (here far too long).
        ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=16000:cl=mono:d=8", "-f", "lavfi", "-i", "anoisesrc=c=white:a=0.5:r=16000",
                "-filter_complex", "[0:a][1:a]concat=n=2:v=0:a=1,atrim=0:20", "-c:a", "aac", dir + "/guessed.aac"});
        QFile text(dir + "/notes.mp4");
        text.open(QIODevice::WriteOnly);
        text.write("this is not a video at all\n");
    }

    QString out(const QString& name) const { return dir + "/" + name + ".wav"; }

    static DomainError extractionError(const QString& source, const QString& wav) {
        try {
            extractAudioToWav(source, wav);
        } catch (const DomainError& e) {
            return e;
        }
        ADD_FAILURE() << "extraction of " << source.toStdString() << " did not fail";
        return DomainError("", 0, "");
    }

    static QString dir;
};
QString AudioExtractionTest::dir;

}  // namespace

TEST_F(AudioExtractionTest, WritesMono16kHzPcmWav) {
    const ExtractedAudio a = extractAudioToWav(dir + "/video.mp4", out("video"));
    EXPECT_NEAR(a.duration, 3.0, 0.1);
    const Wav w = readWav(out("video"));
    EXPECT_EQ(w.format, 1);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 16000);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.dataSize, w.samples.size() * 2);
    EXPECT_EQ(w.riffSize, 36 + w.dataSize);
    EXPECT_EQ(qint64(w.samples.size()), a.sampleCount);
    EXPECT_NEAR(double(w.samples.size()), 3.0 * 16000, 0.03 * 16000);
    EXPECT_NEAR(toneHz(w.samples, 8000, 40000, 16000), 440.0, 5.0);
    EXPECT_GT(rms(w.samples, 8000, 40000), 1000);
}

TEST_F(AudioExtractionTest, MixesEveryAudioTrack) {
    extractAudioToWav(dir + "/two-tracks.mp4", out("two"));
    const Wav w = readWav(out("two"));
    ASSERT_GE(w.samples.size(), size_t(3.9 * 16000));
    EXPECT_NEAR(toneHz(w.samples, 4000, 28000, 16000), 440.0, 8.0);
    EXPECT_NEAR(toneHz(w.samples, 36000, 60000, 16000), 1000.0, 15.0);
    EXPECT_GT(rms(w.samples, 4000, 28000), 1000);
    EXPECT_GT(rms(w.samples, 36000, 60000), 1000);
}

TEST_F(AudioExtractionTest, PcmAtTheTargetFormatPassesUnchanged) {
    extractAudioToWav(dir + "/plain.wav", out("plain"));
    const Wav in = readWav(dir + "/plain.wav");
    const Wav w = readWav(out("plain"));
    ASSERT_EQ(w.samples.size(), in.samples.size());
    EXPECT_EQ(w.samples, in.samples);
}

TEST_F(AudioExtractionTest, AGuessedDurationIsNoSignOfTruncation) {
    const ExtractedAudio a = extractAudioToWav(dir + "/guessed.aac", out("guessed"));
    EXPECT_GT(a.duration, 100.0);
    EXPECT_NEAR(double(a.sampleCount), 20.0 * 16000, 0.2 * 16000);  // raw AAC keeps its encoder delay
}

TEST_F(AudioExtractionTest, VideoWithoutAudioFailsWithCodeOneAndWritesNothing) {
    const DomainError e = extractionError(dir + "/silent-video.mp4", out("silent"));
    EXPECT_EQ(e.domain(), "TranscriptionService");
    EXPECT_EQ(e.code(), 1);
    EXPECT_EQ(e.description(), "The file has no audio track.");
    EXPECT_FALSE(QFile::exists(out("silent")));
}

TEST_F(AudioExtractionTest, BrokenInputGivesAnErrorNotACrash) {
    {
        const DomainError e = extractionError(dir + "/notes.mp4", out("notes"));
        EXPECT_EQ(e.domain(), "FFmpeg");
        EXPECT_TRUE(e.description().contains("notes.mp4")) << e.what();
    }
    {
        const DomainError e = extractionError(dir + "/does-not-exist.mp4", out("missing"));
        EXPECT_TRUE(e.description().contains("No such file")) << e.what();
    }
    // Cut off part-way: the index promises samples that are not there.
    QFile full(dir + "/video.mp4");
    ASSERT_TRUE(full.open(QIODevice::ReadOnly));
    const QByteArray bytes = full.readAll();
    QFile cut(dir + "/truncated.mp4");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() * 6 / 10));
    cut.close();
    const DomainError e = extractionError(dir + "/truncated.mp4", out("truncated"));
    EXPECT_EQ(e.domain(), "TranscriptionService");
    EXPECT_EQ(e.code(), 3);
    EXPECT_EQ(e.description(), "Audio read error.");

    // Damaged in the middle: whatever comes out, it comes out.
    QByteArray damaged = bytes;
    for (qsizetype i = damaged.size() / 3; i < damaged.size() / 3 + 4000; ++i) damaged[i] = char(i * 7);
    QFile bad(dir + "/damaged.mp4");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(damaged);
    bad.close();
    try {
        const ExtractedAudio a = extractAudioToWav(dir + "/damaged.mp4", out("damaged"));
        EXPECT_GT(a.sampleCount, 16000);
    } catch (const DomainError& e) {
        EXPECT_FALSE(e.description().isEmpty());
    }
}

TEST_F(AudioExtractionTest, ServiceWritesANewUuidFileInTheTemporaryFolder) {
    const QString tmp = QString::fromStdString(test::homeDir()) + "/tmp";
    QDir().mkpath(tmp);
    qputenv("TMPDIR", tmp.toLocal8Bit());
    WhisperModelManager models;
    TranscriptionService service(models);
    const ExtractedAudio a = await(service.extractAudio(dir + "/video.mp4"));
    const ExtractedAudio b = await(service.extractAudio(dir + "/video.mp4"));
    EXPECT_NE(a.wavPath, b.wavPath);
    const QFileInfo info(a.wavPath);
    EXPECT_EQ(info.absolutePath(), QDir(tmp).absolutePath());
    EXPECT_EQ(info.suffix(), "wav");
    EXPECT_TRUE(parseUuid(info.completeBaseName()).has_value());
    EXPECT_EQ(info.completeBaseName(), info.completeBaseName().toUpper());
    EXPECT_NEAR(a.duration, 3.0, 0.1);

    try {
        await(service.extractAudio(dir + "/silent-video.mp4"));
        ADD_FAILURE() << "no error";
    } catch (const DomainError& e) {
        EXPECT_EQ(e.code(), 1);
    }
    EXPECT_EQ(QDir(tmp).entryList({"*.wav"}, QDir::Files).size(), 2);
    qunsetenv("TMPDIR");
}
