// extract_bench: audio extraction against the ffmpeg command line on the same
// file, a generated 60-minute video with stereo AAC audio.
//
//   extract_bench [--minutes N] [--rounds N]
//
// Prints `name: value` lines; the last is extract_ratio = our time / ffmpeg's
// time (medians, measured alternately in one run).

#include "transcription/AudioExtraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool run(const QStringList& args, int timeoutMs = 3600 * 1000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("ffmpeg"), args);
    if (!p.waitForStarted() || !p.waitForFinished(timeoutMs)) return false;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int minutes = 60, rounds = 3;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--minutes")) minutes = args[i + 1].toInt();
        if (args[i] == QLatin1String("--rounds")) rounds = args[i + 1].toInt();
    }
    const QString dir = QStringLiteral(LUMENOTE_BENCH_DIR "/extract-fixtures");
    QDir().mkpath(dir);
    const QString video = dir + QStringLiteral("/lecture-%1min.mp4").arg(minutes);
    if (!QFileInfo::exists(video)) {
        std::fprintf(stderr, "generating %s ...\n", qPrintable(video));
        // A small, slow picture and a speech-band stereo signal (two tones and noise) as 128 kb/s AAC.
        const QString seconds = QString::number(minutes * 60);
        const QString tmp = video + QStringLiteral(".part.mp4");
        if (!run({"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x180:rate=2", "-f", "lavfi", "-i",
                  "sine=f=220:sample_rate=44100", "-f", "lavfi", "-i", "anoisesrc=color=pink:sample_rate=44100:amplitude=0.1",
                  "-filter_complex", "[1:a][2:a]amerge=inputs=2[a]", "-map", "0:v", "-map", "[a]", "-t", seconds, "-c:v",
                  "libx264", "-preset", "ultrafast", "-g", "60", "-c:a", "aac", "-b:a", "128k", "-ac", "2", tmp}) ||
            !QFile::rename(tmp, video)) {
            std::fprintf(stderr, "could not generate the fixture\n");
            return 1;
        }
    }
    const QString ours = dir + QStringLiteral("/ours.wav");
    const QString theirs = dir + QStringLiteral("/ffmpeg.wav");
    std::vector<double> oursMs, theirsMs;
    lumenote::ExtractedAudio audio;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        audio = lumenote::extractAudioToWav(video, ours);
        oursMs.push_back(double(t.nsecsElapsed()) / 1e6);

        t.restart();
        if (!run({"-nostdin", "-v", "error", "-y", "-i", video, "-vn", "-ac", "1", "-ar", "16000", "-c:a", "pcm_s16le", theirs})) {
            std::fprintf(stderr, "ffmpeg failed\n");
            return 1;
        }
        theirsMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double a = median(oursMs), b = median(theirsMs);
    std::printf("source_minutes: %d\n", minutes);
    std::printf("source_duration_s: %.1f\n", audio.duration);
    std::printf("samples_written: %lld\n", static_cast<long long>(audio.sampleCount));
    std::printf("ffmpeg_wav_bytes: %lld\n", static_cast<long long>(QFileInfo(theirs).size()));
    std::printf("our_wav_bytes: %lld\n", static_cast<long long>(QFileInfo(ours).size()));
    std::printf("extract_ms: %.0f\n", a);
    std::printf("ffmpeg_cli_ms: %.0f\n", b);
    std::printf("extract_ratio: %.3f\n", b > 0 ? a / b : 0.0);
    QFile::remove(ours);
    QFile::remove(theirs);
    return 0;
}
