#pragma once

// Fixture media and programs for tests, made at test time with ffmpeg,
// espeak-ng and sox (never downloaded). Add new helpers here rather than in a
// single test, so that every layer's tests share them.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace lumenote::test {

// Runs a program (no shell) and waits; returns its exit code, or -1 when it
// could not start or timed out. Standard error is kept in *stderrOut.
int runProgram(const QString& program, const QStringList& args, int timeoutMs = 120000, QString* stderrOut = nullptr);

// Runs ffmpeg with "-v error -y" and the given arguments; fails the calling
// test (ADD_FAILURE) with ffmpeg's message when it exits non-zero.
bool ffmpeg(const QStringList& args, int timeoutMs = 120000);

// Spoken English from espeak-ng as a WAV file (22.05 kHz mono).
bool makeSpeechWav(const QString& path, const QString& text);

// `size` bytes of noise, the same for the same seed (model weights, media payloads).
QByteArray randomBytes(int size, quint32 seed);

// The environment of a program run as if on a machine of its own: HOME and the
// XDG folders inside `home` (created), no session bus (so no Secret Service and
// no file manager), and the model hub, Anthropic and GitHub at a closed
// loopback port, so nothing reaches the internet.
QProcessEnvironment isolatedMachineEnvironment(const QString& home);

// Writes an executable shell script (for fake tools such as yt-dlp or ffmpeg).
bool writeExecutableScript(const QString& path, const QString& body);

// Writes a ZIP archive holding the given (name, bytes) entries, stored without
// compression, each with Unix mode 0755 (readable by unzip and every archiver).
bool writeZipArchive(const QString& path, const QList<QPair<QString, QByteArray>>& entries);

// A random-weight Whisper model folder in the Hugging Face layout, written by
// the project's tools/make-test-model (default: the miniature shape).
bool makeTestModel(const QString& folder, const QStringList& args = {"--shape", "mini"});

// One slide of a fixture lecture: dark text on white, shown for `seconds`.
struct FixtureSlide {
    QString title;
    QStringList lines;
    double seconds = 5;
};

// A lecture video (H.264 + AAC in MP4, 10 frames/s): the slides one after
// another, rendered with ffmpeg's drawtext, and `narration` spoken by
// espeak-ng, padded with silence or cut to the slides' total length. An empty
// narration gives a silent audio track.
bool makeLectureVideo(const QString& path, const QList<FixtureSlide>& slides, const QString& narration, int width = 640,
                      int height = 360);

}  // namespace lumenote::test
