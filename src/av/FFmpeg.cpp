#include "av/FFmpeg.h"

#include <QFile>

#include <mutex>

namespace lumenote::av {
namespace {
void initialise() {
    static std::once_flag once;
    // FFmpeg's own chatter would drown our diagnostics; errors reach callers as values.
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}
}  // namespace

QString errorText(int averror) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

FormatContextPtr openInput(const QString& path, QString* error) {
    initialise();
    AVFormatContext* raw = nullptr;
    const QByteArray file = QFile::encodeName(path);
    int rc = avformat_open_input(&raw, file.constData(), nullptr, nullptr);
    if (rc < 0) {
        if (error) *error = errorText(rc);
        return nullptr;
    }
    FormatContextPtr ctx(raw);
    rc = avformat_find_stream_info(ctx.get(), nullptr);
    if (rc < 0) {
        if (error) *error = errorText(rc);
        return nullptr;
    }
    return ctx;
}

CodecContextPtr openDecoder(const AVStream* stream, QString* error, int threads) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        if (error) *error = QStringLiteral("no decoder for codec \"%1\"").arg(QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id)));
        return nullptr;
    }
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        if (error) *error = QStringLiteral("out of memory");
        return nullptr;
    }
    int rc = avcodec_parameters_to_context(ctx.get(), stream->codecpar);
    if (rc >= 0) {
        ctx->pkt_timebase = stream->time_base;
        ctx->thread_count = threads;
        rc = avcodec_open2(ctx.get(), codec, nullptr);
    }
    if (rc < 0) {
        if (error) *error = errorText(rc);
        return nullptr;
    }
    return ctx;
}

std::optional<double> durationSeconds(const AVFormatContext* format) {
    if (!format || format->duration == AV_NOPTS_VALUE || format->duration <= 0) return std::nullopt;
    return double(format->duration) / AV_TIME_BASE;
}

std::optional<double> probeDuration(const QString& path) {
    const FormatContextPtr ctx = openInput(path);
    return durationSeconds(ctx.get());
}

}  // namespace lumenote::av
