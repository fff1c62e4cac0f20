#include "screenshots/H264Transcoder.h"

#include "core/Error.h"
#include "core/Log.h"

#include <QCoroFuture>
#include <QCoroProcess>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

namespace lumenote {
namespace {

// Runs ffmpeg to completion; throws DomainError("ScreenshotCapture", status,
// prefix + status) on a non-zero exit and Error with the launch error when it
// cannot start.
QCoro::Task<> runFFmpeg(QString program, QStringList arguments, QString failurePrefix) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    // Awaited tasks are named first: GCC 12 mishandles class-type temporaries
    // inside co_await expressions.
    auto coProcess = qCoro(process);
    process.start(program, arguments);
    // Starting takes a moment (or fails at once for a missing program); only the run is awaited.
    if (!process.waitForStarted(10000)) throw Error(process.errorString());
    auto finishing = coProcess.waitForFinished(-1);
    co_await std::move(finishing);
    const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (status != 0) throw DomainError(QStringLiteral("ScreenshotCapture"), status, failurePrefix + QString::number(status));
}

}  // namespace

std::optional<QString> defaultFFmpegPath() {
    const QStringList candidates = {QDir::homePath() + QStringLiteral("/.local/bin/ffmpeg"), QStringLiteral("/usr/local/bin/ffmpeg"),
                                    QStringLiteral("/usr/bin/ffmpeg")};
    for (const QString& c : candidates) {
        const QFileInfo info(c);
        if (info.isFile() && info.isExecutable()) return c;
    }
    return std::nullopt;
}

H264Transcoder::H264Transcoder(FFmpegTools tools) : tools_(std::move(tools)), decodable_(&H264Transcoder::defaultDecodable) {}

void H264Transcoder::setTools(FFmpegTools tools) { tools_ = std::move(tools); }
void H264Transcoder::setDecodableRule(DecodableRule rule) { decodable_ = rule ? std::move(rule) : DecodableRule(&H264Transcoder::defaultDecodable); }

bool H264Transcoder::defaultDecodable(const CodecProbeResult& probe) {
    return (probe.fourCC && isH264OrHevc(*probe.fourCC)) || probe.hasDecoder;
}

std::optional<QString> H264Transcoder::ffmpegPath() const { return tools_.path ? tools_.path() : defaultFFmpegPath(); }

QCoro::Task<CodecProbeResult> H264Transcoder::probe(const QString& path) const {
    QFuture<CodecProbeResult> future = QtConcurrent::run([path] { return probeVideoCodec(path); });
    co_return co_await future;
}

QStringList H264Transcoder::transcodeArguments(const QString& input, const QString& output) {
    return {QStringLiteral("-i"), input, QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-b:v"), QStringLiteral("8M"),
            QStringLiteral("-c:a"), QStringLiteral("copy"), QStringLiteral("-y"), output};
}

QString H264Transcoder::temporaryCopyPath() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("lumenote_h264_") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                                           QStringLiteral(".mp4"));
}

QString H264Transcoder::playableSiblingPath(const QString& source) {
    const QFileInfo info(source);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("_h264.mp4"));
}

QCoro::Task<QString> H264Transcoder::transcodeToH264IfNeeded(QString source, std::function<void(const QString&)> onProgress) {
    auto probing = probe(source);
    const CodecProbeResult probed = co_await std::move(probing);
    logLine(QStringLiteral("[screenshots] codec probe \u2192 %1 video track(s), %2 format desc(s) \u2014 file: %3")
                .arg(probed.videoTracks)
                .arg(probed.formatDescriptions)
                .arg(QFileInfo(source).fileName()));
    if (probed.formatDescriptions == 0 || !probed.fourCC) {
        logLine(QStringLiteral(
            "[screenshots] codec probe: no format descriptions found \u2014 cannot detect codec; skipping transcode (will attempt decode as-is)"));
        co_return source;
    }
    const uint32_t code = *probed.fourCC;
    const QString shown = fourCCDisplay(code);
    logLine(QStringLiteral("[screenshots] detected codec FourCC: '%1' (0x%2)").arg(shown, fourCCHex(code)));
    if (isH264OrHevc(code)) {
        logLine(QStringLiteral("[screenshots] codec is H.264/HEVC \u2014 no transcode needed"));
        co_return source;
    }
    if (decodable_(probed)) {
        logLine(QStringLiteral("[screenshots] codec '%1' has a decoder here \u2014 no transcode needed").arg(shown));
        co_return source;
    }

    std::optional<QString> ffmpeg = ffmpegPath();
    if (!ffmpeg) {
        if (onProgress) onProgress(QStringLiteral("Installing ffmpeg for screenshot capture\u2026"));
        if (tools_.install) {
            try {
                auto installing = tools_.install();
                co_await std::move(installing);
            } catch (const std::exception&) {
                // The installer reports its own failures.
            }
        }
        ffmpeg = ffmpegPath();
    }
    if (!ffmpeg) {
        logLine(QStringLiteral("[screenshots] codec '%1' not H.264/HEVC; ffmpeg unavailable \u2014 AVAssetImageGenerator will likely return nil frames")
                    .arg(shown));
        co_return source;
    }
    logLine(QStringLiteral("[screenshots] codec '%1' \u2014 transcoding to H.264 via VideoToolbox hardware encoder for reliable frame extraction")
                .arg(shown));
    if (onProgress) onProgress(QStringLiteral("Converting video format for screenshot capture\u2026"));
    const QString copy = temporaryCopyPath();
    QString failure;
    try {
        auto running = runFFmpeg(*ffmpeg, transcodeArguments(source, copy), QStringLiteral("ffmpeg transcode exited "));
        co_await std::move(running);
    } catch (const Error& e) {
        failure = e.description();
    }
    if (failure.isEmpty()) {
        logLine(QStringLiteral("[screenshots] transcode complete \u2192 ") + QFileInfo(copy).fileName());
        co_return copy;
    }
    logLine(QStringLiteral("[screenshots] transcode failed (%1) \u2014 using original file").arg(failure));
    QFile::remove(copy);  // a partial copy is of no use
    co_return source;
}

QCoro::Task<QString> H264Transcoder::ensurePlayableFile(QString source, std::function<void(const QString&)> onStatus) {
    auto probing = probe(source);
    const CodecProbeResult probed = co_await std::move(probing);
    if (probed.formatDescriptions == 0 || !probed.fourCC) co_return source;
    const uint32_t code = *probed.fourCC;
    if (isH264OrHevc(code) || decodable_(probed)) co_return source;
    logLine(QStringLiteral("[player] codec '%1' needs transcode for AVPlayer").arg(fourCCDisplay(code)));

    const std::optional<QString> ffmpeg = ffmpegPath();
    if (!ffmpeg) {
        logLine(QStringLiteral("[player] ffmpeg unavailable \u2014 cannot transcode for AVPlayer"));
        co_return source;
    }
    const QString output = playableSiblingPath(source);
    if (QFileInfo::exists(output)) {
        logLine(QStringLiteral("[player] H.264 version already exists at ") + QFileInfo(output).fileName());
        co_return output;
    }
    if (onStatus) onStatus(QStringLiteral("Converting video format\u2026"));
    logLine(QStringLiteral("[player] transcoding %1 \u2192 %2").arg(QFileInfo(source).fileName(), QFileInfo(output).fileName()));
    QString failure;
    try {
        auto running = runFFmpeg(*ffmpeg, transcodeArguments(source, output), QStringLiteral("ffmpeg exited "));
        co_await std::move(running);
    } catch (const Error& e) {
        failure = e.description();
    }
    if (failure.isEmpty()) {
        QFile::remove(source);
        logLine(QStringLiteral("[player] transcode complete; original VP9/AV1 file removed"));
        co_return output;
    }
    logLine(QStringLiteral("[player] transcode failed: %1 \u2014 keeping original").arg(failure));
    QFile::remove(output);
    co_return source;
}

}  // namespace lumenote
