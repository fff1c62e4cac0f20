#include "screenshots/CodecProbe.h"
#include "screenshots/H264Transcoder.h"
#include "screenshots/ScreenshotCaptureService.h"

#include "core/Log.h"

#include "FixtureTools.h"
#include "QtTestHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace lumenote;
using namespace lumenote::test;

namespace {

class CodecTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        const QStringList src = {"-f", "lavfi", "-i", "testsrc2=s=64x64:r=10:d=1"};
        ASSERT_TRUE(ffmpeg(src + QStringList{"-c:v", "libx264", "-preset", "ultrafast", path("h264.mp4")}));
        ASSERT_TRUE(ffmpeg(src + QStringList{"-c:v", "libx265", "-preset", "ultrafast", "-tag:v", "hvc1", path("hevc.mp4")}));
        ASSERT_TRUE(ffmpeg(src + QStringList{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", path("vp9.webm")}));
        ASSERT_TRUE(ffmpeg(src + QStringList{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", path("vp9.mp4")}));
        ASSERT_TRUE(ffmpeg(src + QStringList{"-c:v", "libaom-av1", "-usage", "realtime", "-cpu-used", "8", path("av1.mp4")}));
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "sine=d=1", path("audio.m4a")}));
    }
    static void TearDownTestSuite() { delete dir; }
    static QString path(const QString& name) { return dir->filePath(name); }
    static QTemporaryDir* dir;

    void SetUp() override {
        setLogSink([this](const QString& line) {
            QMutexLocker lock(&mutex);
            log.push_back(line);
        });
    }
    void TearDown() override { setLogSink({}); }

    // A stand-in for ffmpeg that records its arguments, writes the output file
    // (its last argument) and exits with `code`.
    QString fakeFFmpeg(int code) {
        const QString script = path(QStringLiteral("fake-ffmpeg-%1").arg(code));
        writeExecutableScript(script, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\nfor last; do :; done\nprintf partial > \"$last\"\nexit %2\n")
                                          .arg(path("args.txt"))
                                          .arg(code));
        QFile::remove(path("args.txt"));
        return script;
    }
    QStringList recordedArguments() {
        QFile f(path("args.txt"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    bool logged(const QString& line) {
        QMutexLocker lock(&mutex);
        return log.contains(line);
    }
    // A transcoder that treats every codec but H.264 and HEVC as unreadable.
    static H264Transcoder strictTranscoder(FFmpegTools tools) {
        H264Transcoder t(std::move(tools));
        t.setDecodableRule([](const CodecProbeResult&) { return false; });
        return t;
    }

    QMutex mutex;
    QStringList log;
};
QTemporaryDir* CodecTest::dir = nullptr;

FFmpegTools toolAt(const QString& program) {
    return {[program]() -> std::optional<QString> { return program; }, {}};
}

}  // namespace

TEST(FourCC, DisplayForms) {
    EXPECT_EQ(fourCCDisplay(fourCC('a', 'v', 'c', '1')), "avc1");
    EXPECT_EQ(fourCCHex(fourCC('a', 'v', 'c', '1')), "61766331");
    EXPECT_EQ(fourCCDisplay(0xFFFFFFFFu), "0xFFFFFFFF");
    EXPECT_EQ(fourCCDisplay(0x61626380u), "0x61626380");
    EXPECT_EQ(fourCCHex(0x00616263u), "616263");
    EXPECT_TRUE(isH264OrHevc(fourCC('a', 'v', 'c', '3')));
    EXPECT_TRUE(isH264OrHevc(fourCC('h', 'e', 'v', '1')));
    EXPECT_FALSE(isH264OrHevc(fourCC('v', 'p', '0', '9')));
}

TEST_F(CodecTest, ProbeReadsTheFirstVideoStreamsCode) {
    struct Case {
        const char* file;
        const char* code;
    };
    for (const Case& c : {Case{"h264.mp4", "avc1"}, Case{"hevc.mp4", "hvc1"}, Case{"vp9.webm", "vp09"}, Case{"vp9.mp4", "vp09"},
                          Case{"av1.mp4", "av01"}}) {
        const CodecProbeResult r = probeVideoCodec(path(c.file));
        EXPECT_EQ(r.videoTracks, 1) << c.file;
        EXPECT_EQ(r.formatDescriptions, 1) << c.file;
        ASSERT_TRUE(r.fourCC) << c.file;
        EXPECT_EQ(fourCCDisplay(*r.fourCC), c.code) << c.file;
        EXPECT_TRUE(r.hasDecoder) << c.file;
    }
    const CodecProbeResult audio = probeVideoCodec(path("audio.m4a"));
    EXPECT_EQ(audio.videoTracks, 0);
    EXPECT_EQ(audio.formatDescriptions, 0);
    EXPECT_FALSE(audio.fourCC);
}

TEST_F(CodecTest, ReadableCodecsAreUsedAsTheyAre) {
    const QString fake = fakeFFmpeg(0);
    H264Transcoder t(toolAt(fake));
    EXPECT_EQ(await(t.transcodeToH264IfNeeded(path("h264.mp4"), {})), path("h264.mp4"));
    EXPECT_TRUE(logged("[screenshots] codec probe \u2192 1 video track(s), 1 format desc(s) \u2014 file: h264.mp4"));
    EXPECT_TRUE(logged("[screenshots] detected codec FourCC: 'avc1' (0x61766331)"));
    EXPECT_TRUE(logged("[screenshots] codec is H.264/HEVC \u2014 no transcode needed"));
    EXPECT_EQ(await(t.ensurePlayableFile(path("h264.mp4"))), path("h264.mp4"));
    // VP9 has a decoder in this FFmpeg build, so it needs no conversion either.
    EXPECT_EQ(await(t.transcodeToH264IfNeeded(path("vp9.webm"), {})), path("vp9.webm"));
    EXPECT_EQ(await(t.ensurePlayableFile(path("vp9.webm"))), path("vp9.webm"));
    EXPECT_TRUE(recordedArguments().isEmpty());  // no process was started
    // No video at all: decoded as is.
    EXPECT_EQ(await(t.transcodeToH264IfNeeded(path("audio.m4a"), {})), path("audio.m4a"));
    EXPECT_TRUE(logged("[screenshots] codec probe: no format descriptions found \u2014 cannot detect codec; skipping transcode (will attempt "
                       "decode as-is)"));
}

TEST_F(CodecTest, UnreadableCodecGetsATemporaryH264Copy) {
    H264Transcoder t = strictTranscoder(toolAt(fakeFFmpeg(0)));
    QStringList statuses;
    const QString copy = await(t.transcodeToH264IfNeeded(path("vp9.webm"), [&](const QString& s) { statuses << s; }));
    EXPECT_EQ(QFileInfo(copy).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(copy).fileName().contains(QRegularExpression("^lumenote_h264_[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.mp4$")))
        << copy.toStdString();
    EXPECT_EQ(recordedArguments(), (QStringList{"-i", path("vp9.webm"), "-c:v", "libx264", "-b:v", "8M", "-c:a", "copy", "-y", copy}));
    EXPECT_EQ(statuses, QStringList{"Converting video format for screenshot capture\u2026"});
    EXPECT_TRUE(logged("[screenshots] codec 'vp09' \u2014 transcoding to H.264 via VideoToolbox hardware encoder for reliable frame extraction"));
    EXPECT_TRUE(logged("[screenshots] transcode complete \u2192 " + QFileInfo(copy).fileName()));
    QFile::remove(copy);

    // A failing ffmpeg: the source is used and no partial copy is left.
    H264Transcoder failing = strictTranscoder(toolAt(fakeFFmpeg(3)));
    EXPECT_EQ(await(failing.transcodeToH264IfNeeded(path("vp9.webm"), {})), path("vp9.webm"));
    EXPECT_TRUE(logged("[screenshots] transcode failed (ffmpeg transcode exited 3) \u2014 using original file"));
    const QStringList args = recordedArguments();
    ASSERT_FALSE(args.isEmpty());
    EXPECT_FALSE(QFile::exists(args.last()));

    // ffmpeg that cannot be started.
    H264Transcoder missing = strictTranscoder(toolAt(path("no-such-ffmpeg")));
    EXPECT_EQ(await(missing.transcodeToH264IfNeeded(path("vp9.webm"), {})), path("vp9.webm"));
}

TEST_F(CodecTest, MissingFFmpegIsInstalledFirstOrTheSourceIsUsed) {
    int installs = 0;
    std::optional<QString> installed;
    FFmpegTools tools{[&] { return installed; },
                      [&]() -> QCoro::Task<> {
                          ++installs;
                          co_return;
                      }};
    QStringList statuses;
    H264Transcoder t = strictTranscoder(tools);
    EXPECT_EQ(await(t.transcodeToH264IfNeeded(path("av1.mp4"), [&](const QString& s) { statuses << s; })), path("av1.mp4"));
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(statuses, QStringList{"Installing ffmpeg for screenshot capture\u2026"});
    EXPECT_TRUE(logged("[screenshots] codec 'av01' not H.264/HEVC; ffmpeg unavailable \u2014 AVAssetImageGenerator will likely return nil frames"));

    // An installation that works: the new ffmpeg is used at once.
    const QString fake = fakeFFmpeg(0);
    FFmpegTools working{[&] { return installed; },
                        [&]() -> QCoro::Task<> {
                            installed = fake;
                            co_return;
                        }};
    H264Transcoder u = strictTranscoder(working);
    const QString copy = await(u.transcodeToH264IfNeeded(path("av1.mp4"), {}));
    EXPECT_NE(copy, path("av1.mp4"));
    QFile::remove(copy);

    // The player path never installs.
    installed.reset();
    installs = 0;
    H264Transcoder p = strictTranscoder(tools);
    EXPECT_EQ(await(p.ensurePlayableFile(path("av1.mp4"))), path("av1.mp4"));
    EXPECT_EQ(installs, 0);
    EXPECT_TRUE(logged("[player] ffmpeg unavailable \u2014 cannot transcode for AVPlayer"));
}

TEST_F(CodecTest, PlayerGetsAnH264SiblingThatReplacesTheSource) {
    QTemporaryDir work;
    const QString source = work.filePath("lecture.webm");
    ASSERT_TRUE(QFile::copy(path("vp9.webm"), source));
    EXPECT_EQ(H264Transcoder::playableSiblingPath(source), work.filePath("lecture_h264.mp4"));

    // Failure: the source stays and the partial output is removed.
    H264Transcoder failing = strictTranscoder(toolAt(fakeFFmpeg(2)));
    EXPECT_EQ(await(failing.ensurePlayableFile(source)), source);
    EXPECT_TRUE(QFile::exists(source));
    EXPECT_FALSE(QFile::exists(work.filePath("lecture_h264.mp4")));
    EXPECT_TRUE(logged("[player] codec 'vp09' needs transcode for AVPlayer"));
    EXPECT_TRUE(logged("[player] transcode failed: ffmpeg exited 2 \u2014 keeping original"));

    // Success: the source is removed and the sibling returned.
    QStringList statuses;
    H264Transcoder t = strictTranscoder(toolAt(fakeFFmpeg(0)));
    EXPECT_EQ(await(t.ensurePlayableFile(source, [&](const QString& s) { statuses << s; })), work.filePath("lecture_h264.mp4"));
    EXPECT_EQ(recordedArguments(),
              (QStringList{"-i", source, "-c:v", "libx264", "-b:v", "8M", "-c:a", "copy", "-y", work.filePath("lecture_h264.mp4")}));
    EXPECT_EQ(statuses, QStringList{"Converting video format\u2026"});
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_TRUE(logged("[player] transcoding lecture.webm \u2192 lecture_h264.mp4"));
    EXPECT_TRUE(logged("[player] transcode complete; original VP9/AV1 file removed"));

    // An existing sibling is returned at once and the source left alone.
    ASSERT_TRUE(QFile::copy(path("vp9.webm"), source));
    QFile::remove(path("args.txt"));
    EXPECT_EQ(await(t.ensurePlayableFile(source)), work.filePath("lecture_h264.mp4"));
    EXPECT_TRUE(QFile::exists(source));
    EXPECT_TRUE(recordedArguments().isEmpty());
    EXPECT_TRUE(logged("[player] H.264 version already exists at lecture_h264.mp4"));
}

TEST_F(CodecTest, CaptureRunsOnTheConvertedCopyAndRemovesIt) {
    // Real ffmpeg with libx264 converts the VP9 file; the copy is gone afterwards.
    ScreenshotCaptureService service;
    service.transcoder().setDecodableRule([](const CodecProbeResult&) { return false; });
    service.setFFmpegTools(toolAt(QStringLiteral("ffmpeg")));
    const QStringList before = QDir::temp().entryList({"lumenote_h264_*"});
    const auto shots = await(service.captureScreenshots(path("vp9.webm"), 20, {}, 30, 0.2));
    EXPECT_EQ(shots.size(), 1);
    bool converted = false;
    {
        QMutexLocker lock(&mutex);
        for (const QString& l : log) converted |= l.startsWith("[screenshots] transcode complete");
    }
    EXPECT_TRUE(converted);
    EXPECT_EQ(QDir::temp().entryList({"lumenote_h264_*"}), before);
}
