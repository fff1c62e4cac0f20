#pragma once

// Makes videos whose codec cannot be decoded here usable: a temporary H.264
// copy for screenshot capture, or a permanent H.264 file beside the source for
// the player, both made by the ffmpeg command-line tool. Never fails: every
// problem is logged and the source is used as it is.

#include "screenshots/CodecProbe.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace lumenote {

// Where ffmpeg comes from. The media layer supplies its own lookup and
// installation; without them the usual install locations are searched and
// nothing can be installed.
struct FFmpegTools {
    // Asked on the main thread; a file-system path or none.
    std::function<std::optional<QString>()> path;
    // Installs ffmpeg (awaited; its own progress and errors are its business).
    std::function<QCoro::Task<>()> install;
};

// The first existing of ~/.local/bin/ffmpeg, /usr/local/bin/ffmpeg, /usr/bin/ffmpeg.
std::optional<QString> defaultFFmpegPath();

class H264Transcoder {
public:
    explicit H264Transcoder(FFmpegTools tools = {});
    void setTools(FFmpegTools tools);

    // Whether a probed codec can be decoded without conversion: H.264, HEVC, or
    // any codec this FFmpeg build has a decoder for. Tests replace it to reach
    // the conversion path with codecs this build happens to decode.
    using DecodableRule = std::function<bool(const CodecProbeResult&)>;
    void setDecodableRule(DecodableRule rule);
    static bool defaultDecodable(const CodecProbeResult& probe);

    // The file to decode for screenshots: the source, or a temporary H.264
    // copy that the caller deletes when done.
    QCoro::Task<QString> transcodeToH264IfNeeded(QString source, std::function<void(const QString&)> onProgress);
    // The file the player should open: the source, or "<base>_h264.mp4" beside
    // it, which then replaces the source.
    QCoro::Task<QString> ensurePlayableFile(QString source, std::function<void(const QString&)> onStatus = {});

    // ffmpeg's arguments for a conversion.
    static QStringList transcodeArguments(const QString& input, const QString& output);
    // "<temp>/lumenote_h264_<UUID>.mp4"
    static QString temporaryCopyPath();
    // "<folder>/<base name>_h264.mp4"
    static QString playableSiblingPath(const QString& source);

private:
    std::optional<QString> ffmpegPath() const;
    QCoro::Task<CodecProbeResult> probe(const QString& path) const;

    FFmpegTools tools_;
    DecodableRule decodable_;
};

}  // namespace lumenote
