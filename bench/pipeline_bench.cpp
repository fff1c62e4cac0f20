// The whole run on a generated 20-minute lecture with a random model of the
// real tiny shape (at most 100 tokens sampled per window): how long each stage
// takes and how well transcription and screenshot capture share the machine.
//
//   build/bench/pipeline_bench
//
// The lecture video and the model are made once and kept under the build
// folder; the library, settings and export go to a temporary home.
#include "core/AppPaths.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "core/Settings.h"
#include "engine/Models.h"
#include "pipeline/LectureController.h"
#include "pipeline/PlayerControl.h"
#include "transcription/WhisperModelManager.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <cstdio>
#include <cstdlib>

using namespace lumenote;

namespace {

const QString kCache = QStringLiteral(LUMENOTE_BENCH_DIR "/pipeline-cache");
constexpr int kSlides = 40;
constexpr int kSlideSeconds = 30;

bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return false;
    }
    return true;
}

// 40 text slides of 30 s each with narration looped under them.
bool makeLecture(const QString& path) {
    if (QFileInfo::exists(path)) return true;
    QDir().mkpath(kCache);
    const QString speech = kCache + "/narration.wav";
    if (!run("espeak-ng", {"-v", "en-us", "-s", "150", "-w", speech,
                           "Today we look at entropy. Heat flows from hot bodies to cold ones, and in every real process the "
                           "entropy of an isolated system grows. A reversible process is an idealisation in which the system "
                           "passes through equilibrium states; it produces no entropy at all."}))
        return false;
    QStringList filters;
    for (int i = 0; i < kSlides; ++i) {
        const QString file = QStringLiteral("%1/slide%2.txt").arg(kCache).arg(i);
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        static const char* topics[] = {"Entropy", "Enthalpy", "Carnot cycle", "Heat engines", "Refrigerators", "Free energy",
                                       "Phase changes", "Ideal gases", "Kinetic theory", "Statistical weights"};
        static const char* points[] = {"reversible paths", "heat reservoirs", "state functions", "work done by gas",
                                       "efficiency limits", "equilibrium", "microstates", "temperature scales",
                                       "latent heat", "pressure and volume", "isothermal expansion", "adiabatic walls"};
        f.write(QStringLiteral("%1 (%2)\n\n- %3\n- %4\n- %5")
                    .arg(topics[i % 10]).arg(i + 1).arg(points[i % 12]).arg(points[(i * 5 + 3) % 12]).arg(points[(i * 7 + 1) % 12])
                    .toUtf8());
        f.close();
        filters << QStringLiteral("drawtext=textfile=%1:fontsize=40:fontcolor=black:x=80:y=80:enable='between(t,%2,%3)'")
                       .arg(file).arg(i * kSlideSeconds).arg((i + 1) * kSlideSeconds - 0.01);
    }
    const QString total = QString::number(kSlides * kSlideSeconds);
    // Written under another name first, so that an interrupted run leaves no half video behind.
    const QString partial = path + ".part.mp4";
    return run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=white:s=1280x720:r=10:d=" + total,
                          "-stream_loop", "-1", "-i", speech, "-filter_complex", "[0:v]" + filters.join(',') + "[v]", "-map", "[v]",
                          "-map", "1:a", "-t", total, "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac",
                          "-b:a", "64k", partial}) &&
           QFile::rename(partial, path);
}

bool makeModel(const QString& folder) {
    if (QFileInfo::exists(folder + "/complete")) return true;
    if (!run(QStringLiteral(MAKE_TEST_MODEL), {"--out", folder, "--shape", "tiny"})) return false;
    QFile mark(folder + "/complete");
    return mark.open(QIODevice::WriteOnly);
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    for (const auto& [var, sub] : {std::pair{"HOME", ""}, {"XDG_DATA_HOME", "/data"}, {"XDG_CONFIG_HOME", "/config"}, {"XDG_CACHE_HOME", "/cache"}}) {
        const QByteArray path = (home.path() + sub).toLocal8Bit();
        QDir().mkpath(QString::fromLocal8Bit(path));
        setenv(var, path.constData(), 1);
    }
    QCoreApplication app(argc, argv);

    const QString video = kCache + "/lecture-20min.mp4";
    const QString model = kCache + "/tiny-model";
    if (!makeLecture(video) || !makeModel(model)) return 1;
    Settings::shared().setWhisperModelFolderPaths({{"openai_whisper-tiny", model}});
    Settings::shared().setWhisperModelID("openai_whisper-tiny");
    WhisperModelManager::shared().setSelectedModelID("openai_whisper-tiny");
    WhisperModelManager::shared().setDecodingOptionsAdjuster([](engine::DecodingOptions& o) { o.sampleLength = 100; });

    QString error;
    auto store = LibraryStore::open(AppPaths::libraryStorePath(), &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    auto lecture = Lecture::create("Twenty minutes of thermodynamics", video, std::nullopt);
    store->insert(lecture);
    ProcessingState state;
    HeadlessPlayer player;
    LectureController controller(*store, lecture, state, player);

    QElapsedTimer clock;
    double transcribed = -1, captured = -1, exportStart = -1, finished = -1;
    QObject::connect(&state, &ProcessingState::messageAdded, [&](const ProcessingMessage& m) {
        if (m.text.startsWith("Transcription done") || m.text.startsWith("Transcription returned no text")) transcribed = clock.nsecsElapsed() / 1e9;
    });
    // Capture reports a fraction of exactly 1 when it is done (the export reuses
    // the same progress value later, from 0 again).
    QObject::connect(&state, &ProcessingState::screenshotProgressChanged, [&] {
        if (state.screenshotProgress() == 1.0 && captured < 0) captured = clock.nsecsElapsed() / 1e9;
    });
    QObject::connect(&state, &ProcessingState::exportStatusChanged, [&] {
        if (exportStart < 0) exportStart = clock.nsecsElapsed() / 1e9;
    });

    bool done = false;
    // A named closure: the coroutine reads its captures long after it first suspends.
    auto whole = [&]() -> QCoro::Task<> {
        clock.start();
        co_await controller.beginProcessing();
        finished = clock.nsecsElapsed() / 1e9;
        done = true;
        app.quit();
    };
    std::optional<QCoro::Task<>> running;
    QTimer::singleShot(0, [&] { running.emplace(whole()); });
    app.exec();
    if (!done || lecture->status() != LectureStatus::Complete) {
        std::fprintf(stderr, "run did not complete: %s\n", qPrintable(controller.pipelineErrorText()));
        return 1;
    }
    const double exportSeconds = finished - exportStart;
    std::printf("screenshots: %lld\n", static_cast<long long>(state.screenshots().size()));
    std::printf("transcribe_s: %.2f\n", transcribed);
    std::printf("screenshots_s: %.2f\n", captured);
    std::printf("export_s: %.2f\n", exportSeconds);
    std::printf("wall_s: %.2f\n", finished);
    std::printf("overlap_ratio: %.3f\n", finished / (std::max(transcribed, captured) + exportSeconds));
    return 0;
}
