#include "transcription/AudioExtraction.h"

#include "av/FFmpeg.h"
#include "core/Error.h"
#include "core/LectureFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace lumenote {
namespace {

const QString kDomain = QStringLiteral("TranscriptionService");

DomainError serviceError(int code) {
    switch (code) {
    case 1: return DomainError(kDomain, 1, QStringLiteral("The file has no audio track."));
    case 2: return DomainError(kDomain, 2, QStringLiteral("Could not start reading audio from file."));
    case 3: return DomainError(kDomain, 3, QStringLiteral("Audio read error."));
    default: return DomainError(kDomain, 4, QStringLiteral("Audio write failed."));
    }
}

DomainError ffmpegError(int averror, const QString& what) {
    return DomainError(QStringLiteral("FFmpeg"), averror, QStringLiteral("%1: %2").arg(what, av::errorText(averror)));
}

// One audio stream: its decoder and its converter to 16 kHz mono float, and
// the converted samples not yet mixed into the output.
struct StreamDecoder {
    AVStream* stream = nullptr;
    av::CodecContextPtr codec;
    av::SwrPtr swr;
    AVChannelLayout swrLayout{};
    int swrFormat = -1;
    int swrRate = 0;
    std::vector<float> pending;
    size_t head = 0;  // first unmixed sample in `pending`
    size_t skip = 0;  // samples already mixed in as silence while the stream lagged
    bool finished = false;
    int64_t packetEnd = AV_NOPTS_VALUE;  // end of the latest packet read, in stream time

    size_t available() const { return pending.size() - head; }
    ~StreamDecoder() { av_channel_layout_uninit(&swrLayout); }
};

class WavWriter {
public:
    explicit WavWriter(const QString& path) : file_(path) {
        // Unbuffered, so that a failed write reports the system's reason (a full disk).
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            throw DomainError(QStringLiteral("QFileDevice"), int(file_.error()),
                              QStringLiteral("Could not create the audio file %1: %2").arg(path, file_.errorString()));
        put(wavHeader(0));
    }
    void write(const std::vector<float>& mixed, size_t count) {
        buffer_.resize(count);
        for (size_t i = 0; i < count; ++i) {
            // As FFmpeg's own float to 16-bit conversion.
            const long v = std::lrintf(mixed[i] * 32768.0f);
            buffer_[i] = qToLittleEndian(qint16(std::clamp<long>(v, -32768, 32767)));
        }
        if (dataBytes_ + qint64(count) * 2 > std::numeric_limits<quint32>::max() - 64) throw serviceError(4);
        put(QByteArray::fromRawData(reinterpret_cast<const char*>(buffer_.data()), qsizetype(count * 2)));
        dataBytes_ += qint64(count) * 2;
    }
    qint64 samples() const { return dataBytes_ / 2; }
    void finish() {
        if (!file_.seek(0)) fail();
        put(wavHeader(quint32(dataBytes_)));
        if (!file_.flush()) fail();
        file_.close();
        if (file_.error() != QFileDevice::NoError) fail();
        if (QFileInfo(file_.fileName()).size() != 44 + dataBytes_) throw serviceError(4);
    }

private:
    void put(const QByteArray& bytes) {
        // A short write is retried: the retry fails with the reason.
        for (qsizetype done = 0; done < bytes.size();) {
            const qint64 n = file_.write(bytes.constData() + done, bytes.size() - done);
            if (n <= 0) fail();
            done += n;
        }
    }
    [[noreturn]] void fail() {
        throw DomainError(QStringLiteral("QFileDevice"), int(file_.error()),
                          QStringLiteral("Could not write the audio file %1: %2")
                              .arg(file_.fileName(), withFullDiskNamed(file_.errorString(), file_.fileName())));
    }
    QFile file_;
    qint64 dataBytes_ = 0;
    std::vector<qint16> buffer_;
};

class Extractor {
public:
    Extractor(const QString& source, const std::atomic<bool>* cancel) : source_(source), cancel_(cancel) {}

    ExtractedAudio run(const QString& wavPath) {
        const QString name = QFileInfo(source_).fileName();
        QString reason;
        av::FormatContextPtr format = av::openInput(source_, &reason);
        if (!format)
            throw DomainError(QStringLiteral("FFmpeg"), 0, QStringLiteral("Could not open %1: %2").arg(name, reason));

        double earliestStart = std::numeric_limits<double>::infinity();
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            AVStream* st = format->streams[i];
            if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
                st->discard = AVDISCARD_ALL;  // the demuxer skips their packets
                continue;
            }
            auto d = std::make_unique<StreamDecoder>();
            d->stream = st;
            if (st->start_time != AV_NOPTS_VALUE) earliestStart = std::min(earliestStart, av::seconds(st->start_time, st->time_base));
            decoders_.push_back(std::move(d));
        }
        if (decoders_.empty()) throw serviceError(1);

        for (auto& d : decoders_) {
            if (!avcodec_find_decoder(d->stream->codecpar->codec_id)) throw serviceError(2);
            d->codec = av::openDecoder(d->stream, &reason, 1);
            if (!d->codec)
                throw DomainError(QStringLiteral("FFmpeg"), 0,
                                  QStringLiteral("Could not start reading the audio of %1: %2").arg(name, reason));
            // A stream that starts later than the others starts later in the mix.
            if (std::isfinite(earliestStart) && d->stream->start_time != AV_NOPTS_VALUE) {
                const double lead = av::seconds(d->stream->start_time, d->stream->time_base) - earliestStart;
                if (lead > 0.0005) d->pending.assign(size_t(std::llround(lead * kExtractSampleRate)), 0.0f);
            }
        }
        byIndex_.assign(format->nb_streams, nullptr);
        for (auto& d : decoders_) byIndex_[d->stream->index] = d.get();

        WavWriter writer(wavPath);
        av::PacketPtr packet = av::makePacket();
        frame_ = av::makeFrame();
        for (;;) {
            if (cancel_ && cancel_->load()) throw ExtractionCancelled{};
            const int rc = av_read_frame(format.get(), packet.get());
            if (rc == AVERROR(EAGAIN)) continue;
            if (rc == AVERROR_EOF) break;
            if (rc < 0) throw ffmpegError(rc, QStringLiteral("Could not read the audio of %1").arg(name));
            const int index = packet->stream_index;
            if (index >= 0 && size_t(index) < byIndex_.size() && byIndex_[size_t(index)]) {
                StreamDecoder& d = *byIndex_[size_t(index)];
                if (packet->pts != AV_NOPTS_VALUE)
                    d.packetEnd = std::max(d.packetEnd == AV_NOPTS_VALUE ? packet->pts : d.packetEnd, packet->pts + packet->duration);
                decode(d, packet.get());
            }
            av_packet_unref(packet.get());
            mix(writer, false);
        }
        for (auto& d : decoders_) {
            decode(*d, nullptr);
            if (d->swr) convert(*d, nullptr);
            d->finished = true;
        }
        mix(writer, true);
        if (writer.samples() == 0 && decodeErrors_ > 0) throw serviceError(3);
        if (format->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE && endsEarly()) throw serviceError(3);
        writer.finish();

        ExtractedAudio out;
        out.wavPath = wavPath;
        out.duration = av::durationSeconds(format.get()).value_or(0.0);
        out.sampleCount = writer.samples();
        return out;
    }

private:
    void decode(StreamDecoder& d, const AVPacket* packet) {
        int rc = avcodec_send_packet(d.codec.get(), packet);
        if (rc == AVERROR(ENOMEM)) throw ffmpegError(rc, QStringLiteral("Could not decode audio"));
        if (rc < 0 && rc != AVERROR_EOF && rc != AVERROR(EAGAIN)) {
            ++decodeErrors_;  // a damaged packet: skip it, as players do
            return;
        }
        while ((rc = avcodec_receive_frame(d.codec.get(), frame_.get())) >= 0) {
            convert(d, frame_.get());
            av_frame_unref(frame_.get());
        }
        if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) ++decodeErrors_;
    }

    // A file cut off part-way still has an index that announces the whole
    // stream; reading simply stops short of it. (Durations guessed from the
    // bit rate, as for raw AAC or MP3, prove nothing either way.)
    bool endsEarly() const {
        for (const auto& d : decoders_) {
            const AVStream* st = d->stream;
            if (st->duration == AV_NOPTS_VALUE || st->duration <= 0 || d->packetEnd == AV_NOPTS_VALUE) continue;
            const int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
            const double announced = av::seconds(st->duration, st->time_base);
            const double read = av::seconds(d->packetEnd - start, st->time_base);
            if (read < announced - std::max(1.0, 0.02 * announced)) return true;
        }
        return false;
    }

    // Appends a frame (or, with none, what the resampler still holds) to the
    // stream's pending samples as 16 kHz mono float.
    void convert(StreamDecoder& d, const AVFrame* frame) {
        if (frame) {
            AVChannelLayout layout{};
            if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0) {
                const int channels = frame->ch_layout.nb_channels > 0 ? frame->ch_layout.nb_channels : d.codec->ch_layout.nb_channels;
                av_channel_layout_default(&layout, std::max(channels, 1));
            } else {
                av_channel_layout_copy(&layout, &frame->ch_layout);
            }
            if (!d.swr || d.swrFormat != frame->format || d.swrRate != frame->sample_rate ||
                av_channel_layout_compare(&layout, &d.swrLayout) != 0) {
                if (d.swr) convert(d, nullptr);  // keep the samples the old converter still holds
                SwrContext* raw = nullptr;
                AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
                int rc = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, kExtractSampleRate, &layout,
                                             AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
                d.swr.reset(raw);
                if (rc >= 0) rc = swr_init(raw);
                if (rc < 0) {
                    av_channel_layout_uninit(&layout);
                    throw ffmpegError(rc, QStringLiteral("Could not convert the audio of %1").arg(QFileInfo(source_).fileName()));
                }
                av_channel_layout_uninit(&d.swrLayout);
                d.swrLayout = layout;
                d.swrFormat = frame->format;
                d.swrRate = frame->sample_rate;
            } else {
                av_channel_layout_uninit(&layout);
            }
        }
        const int inSamples = frame ? frame->nb_samples : 0;
        const int capacity = swr_get_out_samples(d.swr.get(), inSamples) + 32;
        if (capacity <= 0) return;
        const size_t before = d.pending.size();
        d.pending.resize(before + size_t(capacity));
        uint8_t* out = reinterpret_cast<uint8_t*>(d.pending.data() + before);
        const int n = swr_convert(d.swr.get(), &out, capacity, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                                  inSamples);
        d.pending.resize(before + size_t(std::max(n, 0)));
        if (n < 0) ++decodeErrors_;
    }

    // Writes the samples every stream has reached (all of them at the end),
    // summing the streams as a mixer would. A stream that falls more than
    // kMaxLag behind the others (one that carries no packets, say) counts as
    // silent there, so memory stays bounded.
    void mix(WavWriter& writer, bool final) {
        static constexpr size_t kMaxLag = 30 * kExtractSampleRate;
        for (auto& d : decoders_) {
            const size_t k = std::min(d->skip, d->available());
            d->head += k;
            d->skip -= k;
        }
        size_t ready = 0;
        if (final) {
            for (const auto& d : decoders_) ready = std::max(ready, d->available());
        } else {
            size_t lo = std::numeric_limits<size_t>::max(), hi = 0;
            for (const auto& d : decoders_) {
                hi = std::max(hi, d->available());
                if (!d->finished) lo = std::min(lo, d->available());
            }
            ready = lo == std::numeric_limits<size_t>::max() ? hi : std::max(lo, hi > kMaxLag ? hi - kMaxLag : 0);
        }
        if (ready == 0) return;
        if (decoders_.size() == 1) {
            StreamDecoder& d = *decoders_.front();
            mixed_.assign(d.pending.begin() + qsizetype(d.head), d.pending.begin() + qsizetype(d.head + ready));
        } else {
            mixed_.assign(ready, 0.0f);
            for (auto& d : decoders_) {
                const size_t n = std::min(ready, d->available());
                const float* src = d->pending.data() + d->head;
                for (size_t i = 0; i < n; ++i) mixed_[i] += src[i];
            }
        }
        writer.write(mixed_, ready);
        for (auto& d : decoders_) {
            const size_t n = std::min(ready, d->available());
            d->head += n;
            d->skip += ready - n;
            if (d->head > 65536 && d->head * 2 > d->pending.size()) {
                d->pending.erase(d->pending.begin(), d->pending.begin() + qsizetype(d->head));
                d->head = 0;
            }
        }
    }

    QString source_;
    const std::atomic<bool>* cancel_;
    std::vector<std::unique_ptr<StreamDecoder>> decoders_;
    std::vector<StreamDecoder*> byIndex_;
    av::FramePtr frame_;
    std::vector<float> mixed_;
    int decodeErrors_ = 0;
};

}  // namespace

QByteArray wavHeader(quint32 dataBytes, int sampleRate, int channels) {
    QByteArray h(44, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian<quint32>(v, h.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian<quint16>(v, h.data() + at); };
    memcpy(h.data(), "RIFF", 4);
    put32(4, 36 + dataBytes);
    memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);  // PCM
    put16(22, quint16(channels));
    put32(24, quint32(sampleRate));
    put32(28, quint32(sampleRate * channels * 2));
    put16(32, quint16(channels * 2));
    put16(34, 16);
    memcpy(h.data() + 36, "data", 4);
    put32(40, dataBytes);
    return h;
}

ExtractedAudio extractAudioToWav(const QString& sourcePath, const QString& wavPath, const std::atomic<bool>* cancel) {
    return Extractor(sourcePath, cancel).run(wavPath);
}

WavSampleReader::WavSampleReader(const QString& path) : file_(path) {
    if (!file_.open(QIODevice::ReadOnly))
        throw DomainError(QStringLiteral("QFileDevice"), int(file_.error()),
                          QStringLiteral("Could not read the audio file %1: %2").arg(path, file_.errorString()));
    const QByteArray header = file_.read(44);
    if (header.size() != 44 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE" || header.mid(36, 4) != "data")
        throw DomainError(QStringLiteral("QFileDevice"), int(QFileDevice::ReadError),
                          QStringLiteral("Could not read the audio file %1: not a WAV file of 16-bit samples").arg(path));
    sampleCount_ = (file_.size() - 44) / 2;
}

std::vector<float> WavSampleReader::read(qint64 first, qint64 count) {
    first = std::clamp<qint64>(first, 0, sampleCount_);
    count = std::clamp<qint64>(count, 0, sampleCount_ - first);
    std::vector<float> out(size_t(count), 0.0f);
    if (!file_.seek(44 + first * 2)) count = 0;
    std::vector<qint16> piece(size_t(std::min<qint64>(count, 1 << 16)));
    for (qint64 done = 0; done < count;) {
        const qint64 n = std::min<qint64>(qint64(piece.size()), count - done);
        if (file_.read(reinterpret_cast<char*>(piece.data()), n * 2) != n * 2)
            throw DomainError(QStringLiteral("QFileDevice"), int(file_.error()),
                              QStringLiteral("Could not read the audio file %1: %2").arg(file_.fileName(), file_.errorString()));
        for (qint64 i = 0; i < n; ++i) out[size_t(done + i)] = float(double(qFromLittleEndian(piece[size_t(i)])) / 32768.0);
        done += n;
    }
    return out;
}

}  // namespace lumenote
