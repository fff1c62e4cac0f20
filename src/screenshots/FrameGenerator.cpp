#include "screenshots/FrameGenerator.h"

#include "av/FFmpeg.h"

extern "C" {
#include <libavutil/display.h>
}

#include <QTransform>

#include <cmath>

namespace lumenote {

struct FrameGenerator::State {
    FrameGeneratorOptions options;
    av::FormatContextPtr format;
    av::CodecContextPtr decoder;
    AVStream* stream = nullptr;
    int streamIndex = -1;
    QString error;
    int rotation = 0;  // clockwise degrees: 0, 90, 180 or 270
    int64_t startPts = 0;
    double frameDuration = 1.0 / 30;
    bool atStart = true;  // nothing read since opening
    bool draining = false;
    double lastTime = -1;
    av::PacketPtr packet = av::makePacket();
    av::FramePtr frame = av::makeFrame();
    av::FramePtr held = av::makeFrame();  // the latest frame at or before the pending time
    bool haveHeld = false;
    double heldTime = 0;
    SwsContext* sws = nullptr;
    // The last converted frame, which may answer several requests.
    double convertedTime = -1;
    QImage converted;

    ~State() { sws_freeContext(sws); }

    bool readNext(double* time);
    void seekTo(double seconds);
    QImage convert(const AVFrame* f);
};

namespace {

int rotationOf(const AVStream* stream) {
    const uint8_t* matrix = nullptr;
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 31, 102)
    const AVPacketSideData* sd =
        av_packet_side_data_get(stream->codecpar->coded_side_data, stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    if (sd && sd->size >= 9 * 4) matrix = sd->data;
#else
    size_t size = 0;
    matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (size < 9 * 4) matrix = nullptr;
#endif
    if (!matrix) return 0;
    const double angle = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(angle)) return 0;
    const int quarter = int(std::lround(angle / 90.0));
    return ((quarter % 4) + 4) % 4 * 90;
}

}  // namespace

FrameGenerator::FrameGenerator(const QString& path, FrameGeneratorOptions options) : d(std::make_unique<State>()) {
    d->options = options;
    d->format = av::openInput(path, &d->error);
    if (!d->format) return;
    d->streamIndex = av_find_best_stream(d->format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (d->streamIndex < 0) {
        d->error = QStringLiteral("no video stream");
        d->format.reset();
        return;
    }
    d->stream = d->format->streams[d->streamIndex];
    d->decoder = av::openDecoder(d->stream, &d->error, options.threads);
    if (!d->decoder) {
        d->format.reset();
        return;
    }
    // Other streams are never read.
    for (unsigned i = 0; i < d->format->nb_streams; ++i)
        if (int(i) != d->streamIndex) d->format->streams[i]->discard = AVDISCARD_ALL;
    d->rotation = rotationOf(d->stream);
    if (d->stream->start_time != AV_NOPTS_VALUE) d->startPts = d->stream->start_time;
    const AVRational rate = d->stream->avg_frame_rate.num > 0 ? d->stream->avg_frame_rate : d->stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) d->frameDuration = av_q2d(av_inv_q(rate));
    // At eight frames a second or more, reference frames are close enough
    // together for a half-second tolerance; slower videos decode every frame.
    if (options.skipNonReferenceFrames && d->frameDuration <= 0.125) d->decoder->skip_frame = AVDISCARD_NONREF;
}

FrameGenerator::~FrameGenerator() = default;

bool FrameGenerator::isOpen() const { return bool(d->decoder); }
QString FrameGenerator::errorString() const { return d->error; }
std::optional<double> FrameGenerator::duration() const { return av::durationSeconds(d->format.get()); }

void FrameGenerator::State::seekTo(double seconds) {
    haveHeld = false;
    if (atStart && seconds <= 0) return;
    const int64_t target = startPts + av_rescale_q(int64_t(std::max(0.0, seconds) * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base);
    if (av_seek_frame(format.get(), streamIndex, target, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(format.get(), streamIndex, startPts, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(decoder.get());
    atStart = false;
    draining = false;
    lastTime = -1;
}

bool FrameGenerator::State::readNext(double* time) {
    atStart = false;
    for (;;) {
        const int rc = avcodec_receive_frame(decoder.get(), frame.get());
        if (rc == 0) {
            int64_t ts = frame->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE) ts = frame->pts;
            *time = ts == AV_NOPTS_VALUE ? (lastTime < 0 ? 0.0 : lastTime + frameDuration) : av::seconds(ts - startPts, stream->time_base);
            lastTime = *time;
            return true;
        }
        if (rc == AVERROR_EOF || draining) return false;
        // EAGAIN, or a damaged frame: feed the next packet.
        for (;;) {
            const int read = av_read_frame(format.get(), packet.get());
            if (read < 0) {
                avcodec_send_packet(decoder.get(), nullptr);
                draining = true;
                break;
            }
            if (packet->stream_index != streamIndex) {
                av_packet_unref(packet.get());
                continue;
            }
            avcodec_send_packet(decoder.get(), packet.get());  // a damaged packet is skipped
            av_packet_unref(packet.get());
            break;
        }
    }
}

QImage FrameGenerator::State::convert(const AVFrame* f) {
    if (f->width <= 0 || f->height <= 0) return {};
    double displayWidth = f->width;
    const AVRational sar = f->sample_aspect_ratio.num > 0 ? f->sample_aspect_ratio : stream->sample_aspect_ratio;
    if (sar.num > 0 && sar.den > 0) displayWidth *= av_q2d(sar);
    double displayHeight = f->height;
    const bool sideways = rotation == 90 || rotation == 270;
    if (sideways) std::swap(displayWidth, displayHeight);

    QSize out;
    const QSize max = options.maximumSize;
    if (options.fillExactly && !max.isEmpty()) {
        out = max;
    } else if (max.isEmpty()) {
        out = QSize(int(std::lround(displayWidth)), int(std::lround(displayHeight)));
    } else {
        const double scale = std::min({1.0, max.width() / displayWidth, max.height() / displayHeight});
        out = QSize(std::max(1, int(std::lround(displayWidth * scale))), std::max(1, int(std::lround(displayHeight * scale))));
    }
    const QSize scaled = sideways ? out.transposed() : out;
    const bool shrinking = scaled.width() <= f->width && scaled.height() <= f->height;
    const AVPixelFormat target = options.grey ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_RGB32;
    sws = sws_getCachedContext(sws, f->width, f->height, AVPixelFormat(f->format), scaled.width(), scaled.height(), target,
                               shrinking ? SWS_AREA : SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!sws) return {};
    QImage image(scaled, options.grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (image.isNull()) return {};
    uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(sws, f->data, f->linesize, 0, f->height, dst, dstStride) <= 0) return {};
    if (rotation != 0) image = image.transformed(QTransform().rotate(rotation));
    return image;
}

std::optional<GeneratedFrame> FrameGenerator::frameAt(double seconds, QString* error) {
    std::optional<GeneratedFrame> result;
    generate({seconds}, [&](int, double, std::optional<GeneratedFrame> frame) {
        result = std::move(frame);
        return true;
    });
    if (!result && error) *error = isOpen() ? QStringLiteral("no frame near %1 s").arg(seconds, 0, 'f', 2) : d->error;
    return result;
}

void FrameGenerator::generate(const QList<double>& times, const Answer& answer) {
    if (times.isEmpty()) return;
    if (!isOpen()) {
        for (int i = 0; i < times.size(); ++i)
            if (!answer(i, times[i], std::nullopt)) return;
        return;
    }
    if (!std::is_sorted(times.begin(), times.end())) {
        for (int i = 0; i < times.size(); ++i)
            if (!answer(i, times[i], frameAt(times[i]))) return;
        return;
    }
    // Frame times come from integer timestamps; allow for rounding at the window's edges.
    constexpr double kSlack = 1e-4;
    const double before = d->options.toleranceBefore + kSlack, after = d->options.toleranceAfter + kSlack;
    auto deliver = [&](int i, const AVFrame* f, double time) {
        if (!f) return answer(i, times[i], std::nullopt);
        if (time != d->convertedTime || d->converted.isNull()) {
            d->converted = d->convert(f);
            d->convertedTime = time;
        }
        if (d->converted.isNull()) return answer(i, times[i], std::nullopt);
        return answer(i, times[i], GeneratedFrame{d->converted, time});
    };
    auto heldFor = [&](double t) -> const AVFrame* { return d->haveHeld && d->heldTime >= t - before ? d->held.get() : nullptr; };

    d->seekTo(times.front() - before);
    d->convertedTime = -1;
    int i = 0;
    double p = 0;
    while (i < times.size() && d->readNext(&p)) {
        while (i < times.size()) {
            const double t = times[i];
            if (p < t - before) break;  // too early for this time and every later one
            if (p <= t + kSlack) {
                // The latest frame at or before t so far.
                av_frame_unref(d->held.get());
                av_frame_ref(d->held.get(), d->frame.get());
                d->haveHeld = true;
                d->heldTime = p;
                break;
            }
            if (p <= t + after) {
                // The first frame after t: the nearer of it and the held one (ties go to the earlier).
                const AVFrame* h = heldFor(t);
                const bool useHeld = h && t - d->heldTime <= p - t;
                if (!(useHeld ? deliver(i, h, d->heldTime) : deliver(i, d->frame.get(), p))) return;
                ++i;
                continue;  // the same frame may answer the next time too
            }
            const AVFrame* h = heldFor(t);
            if (!deliver(i, h, d->heldTime)) return;
            ++i;
        }
    }
    for (; i < times.size(); ++i)
        if (!deliver(i, heldFor(times[i]), d->heldTime)) return;
}

}  // namespace lumenote
