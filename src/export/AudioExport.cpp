#include "export/AudioExport.h"

#include <cmath>

#include "av/FFmpeg.h"
#include "core/Error.h"

#include <QFile>

namespace lumenote {

namespace {

const QString kCreateFailed = QStringLiteral("Could not create audio export session.");

struct Failed {
    QString reason;
};
struct Cancelled {};

[[noreturn]] void fail(const QString& what, int rc) { throw Failed{what + QStringLiteral(": ") + av::errorText(rc)}; }
[[noreturn]] void fail(const QString& what) { throw Failed{what}; }

void check(int rc, const char* what) {
    if (rc < 0) fail(QString::fromLatin1(what), rc);
}

// The AAC encoder's rates; anything else is resampled to 48 kHz.
int encoderSampleRate(int inputRate) {
    for (int rate : {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000})
        if (rate == inputRate) return rate;
    return 48000;
}

// The audio stream the page plays: the longest, and of streams as long the
// one with the highest bit rate, which a silent track never has (a recording
// whose sound is only in its second track plays that one).
int soundestAudioStream(const AVFormatContext* input) {
    int best = -1;
    double bestSeconds = -1;
    int64_t bestRate = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* st = input->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO || (st->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
        // Lengths within half a second count as equal.
        const double seconds = st->duration > 0 ? std::floor(av::seconds(st->duration, st->time_base) * 2) / 2 : 0;
        const int64_t rate = st->codecpar->bit_rate;
        if (seconds > bestSeconds || (seconds == bestSeconds && rate > bestRate)) {
            best = int(i);
            bestSeconds = seconds;
            bestRate = rate;
        }
    }
    return best;
}

class AudioWriter {
public:
    AudioWriter(const QString& videoPath, const QString& outputPath, const std::atomic<bool>* cancel)
        : outputPath_(outputPath), cancel_(cancel) {
        QString error;
        input_ = av::openInput(videoPath, &error);
        if (!input_) throw Error(kCreateFailed);
        streamIndex_ = soundestAudioStream(input_.get());
        if (streamIndex_ < 0) throw Error(kCreateFailed);
        // Only the audio is read; the demuxer skips the rest.
        for (unsigned i = 0; i < input_->nb_streams; ++i)
            if (int(i) != streamIndex_) input_->streams[i]->discard = AVDISCARD_ALL;
        inStream_ = input_->streams[streamIndex_];

        AVFormatContext* raw = nullptr;
        const QByteArray file = QFile::encodeName(outputPath);
        if (avformat_alloc_output_context2(&raw, nullptr, "ipod", file.constData()) < 0 || !raw) throw Error(kCreateFailed);
        output_.reset(raw);
        outStream_ = avformat_new_stream(output_.get(), nullptr);
        if (!outStream_) throw Error(kCreateFailed);
    }

    void run() {
        if (inStream_->codecpar->codec_id == AV_CODEC_ID_AAC)
            copy();
        else
            encode();
    }

private:
    void openFile() {
        check(avio_open(&output_->pb, QFile::encodeName(outputPath_).constData(), AVIO_FLAG_WRITE), "could not open the output file");
        check(avformat_write_header(output_.get(), nullptr), "could not write the header");
    }

    void checkCancel() const {
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) throw Cancelled{};
    }

    void copy() {
        check(avcodec_parameters_copy(outStream_->codecpar, inStream_->codecpar), "could not copy the stream parameters");
        outStream_->codecpar->codec_tag = 0;
        outStream_->time_base = inStream_->time_base;
        openFile();
        av::PacketPtr packet = av::makePacket();
        for (;;) {
            checkCancel();
            const int rc = av_read_frame(input_.get(), packet.get());
            if (rc == AVERROR_EOF) break;
            check(rc, "could not read the source");
            if (packet->stream_index == streamIndex_) {
                av_packet_rescale_ts(packet.get(), inStream_->time_base, outStream_->time_base);
                packet->stream_index = 0;
                packet->pos = -1;
                check(av_interleaved_write_frame(output_.get(), packet.get()), "could not write audio");
            }
            av_packet_unref(packet.get());
        }
        check(av_write_trailer(output_.get()), "could not finish the file");
    }

    void encode() {
        QString error;
        decoder_ = av::openDecoder(inStream_, &error);
        if (!decoder_) fail(error);
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!codec) fail(QStringLiteral("no AAC encoder"));
        encoder_.reset(avcodec_alloc_context3(codec));
        if (!encoder_) fail(QStringLiteral("out of memory"));

        const bool mono = decoder_->ch_layout.nb_channels == 1;
        av_channel_layout_default(&encoder_->ch_layout, mono ? 1 : 2);
        encoder_->sample_rate = encoderSampleRate(decoder_->sample_rate);
        encoder_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        encoder_->bit_rate = mono ? 96000 : 160000;
        encoder_->time_base = AVRational{1, encoder_->sample_rate};
        if (output_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        check(avcodec_open2(encoder_.get(), codec, nullptr), "could not open the AAC encoder");
        check(avcodec_parameters_from_context(outStream_->codecpar, encoder_.get()), "could not set the stream parameters");
        outStream_->time_base = encoder_->time_base;

        SwrContext* swr = nullptr;
        AVChannelLayout inLayout;
        if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || decoder_->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&inLayout, std::max(1, decoder_->ch_layout.nb_channels));
        else
            av_channel_layout_copy(&inLayout, &decoder_->ch_layout);
        const int rc = swr_alloc_set_opts2(&swr, &encoder_->ch_layout, encoder_->sample_fmt, encoder_->sample_rate, &inLayout,
                                           decoder_->sample_fmt, decoder_->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        check(rc, "could not set up resampling");
        resampler_.reset(swr);
        check(swr_init(resampler_.get()), "could not set up resampling");
        fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, encoder_->frame_size * 4));
        if (!fifo_) fail(QStringLiteral("out of memory"));

        openFile();
        av::PacketPtr packet = av::makePacket();
        av::FramePtr frame = av::makeFrame();
        for (;;) {
            checkCancel();
            const int read = av_read_frame(input_.get(), packet.get());
            if (read == AVERROR_EOF) break;
            check(read, "could not read the source");
            if (packet->stream_index == streamIndex_) {
                // A damaged packet is skipped, as players do.
                if (avcodec_send_packet(decoder_.get(), packet.get()) >= 0) drainDecoder(frame.get());
            }
            av_packet_unref(packet.get());
        }
        avcodec_send_packet(decoder_.get(), nullptr);
        drainDecoder(frame.get());
        convert(nullptr);  // the resampler's delayed samples
        writeFifo(true);
        check(avcodec_send_frame(encoder_.get(), nullptr), "could not finish encoding");
        receivePackets();
        check(av_write_trailer(output_.get()), "could not finish the file");
    }

    void drainDecoder(AVFrame* frame) {
        for (;;) {
            const int rc = avcodec_receive_frame(decoder_.get(), frame);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
            if (rc < 0) return;  // undecodable frame: skip
            convert(frame);
            av_frame_unref(frame);
            writeFifo(false);
        }
    }

    void convert(const AVFrame* frame) {
        const int inSamples = frame ? frame->nb_samples : 0;
        const int capacity = swr_get_out_samples(resampler_.get(), inSamples);
        if (capacity <= 0) return;
        uint8_t** planes = nullptr;
        check(av_samples_alloc_array_and_samples(&planes, nullptr, encoder_->ch_layout.nb_channels, capacity, encoder_->sample_fmt, 0),
              "out of memory");
        const int converted = swr_convert(resampler_.get(), planes, capacity, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                                          inSamples);
        if (converted > 0) av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(planes), converted);
        av_freep(&planes[0]);
        av_freep(&planes);
        if (converted < 0) fail(QStringLiteral("could not resample audio"), converted);
    }

    void writeFifo(bool flush) {
        const int frameSize = encoder_->frame_size > 0 ? encoder_->frame_size : 1024;
        while (av_audio_fifo_size(fifo_.get()) >= frameSize || (flush && av_audio_fifo_size(fifo_.get()) > 0)) {
            const int n = std::min(frameSize, av_audio_fifo_size(fifo_.get()));
            av::FramePtr out = av::makeFrame();
            out->nb_samples = n;
            out->format = encoder_->sample_fmt;
            out->sample_rate = encoder_->sample_rate;
            check(av_channel_layout_copy(&out->ch_layout, &encoder_->ch_layout), "out of memory");
            check(av_frame_get_buffer(out.get(), 0), "out of memory");
            av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(out->data), n);
            out->pts = samplesWritten_;
            samplesWritten_ += n;
            check(avcodec_send_frame(encoder_.get(), out.get()), "could not encode audio");
            receivePackets();
        }
    }

    void receivePackets() {
        av::PacketPtr packet = av::makePacket();
        for (;;) {
            const int rc = avcodec_receive_packet(encoder_.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
            check(rc, "could not encode audio");
            av_packet_rescale_ts(packet.get(), encoder_->time_base, outStream_->time_base);
            packet->stream_index = 0;
            check(av_interleaved_write_frame(output_.get(), packet.get()), "could not write audio");
        }
    }

    QString outputPath_;
    const std::atomic<bool>* cancel_;
    av::FormatContextPtr input_;
    av::OutputContextPtr output_;
    int streamIndex_ = -1;
    AVStream* inStream_ = nullptr;
    AVStream* outStream_ = nullptr;
    av::CodecContextPtr decoder_;
    av::CodecContextPtr encoder_;
    av::SwrPtr resampler_;
    av::AudioFifoPtr fifo_;
    int64_t samplesWritten_ = 0;
};

}  // namespace

void exportAudioM4A(const QString& videoPath, const QString& outputPath, const std::atomic<bool>* cancel) {
    // Written beside the target and renamed at the end, so a failed export
    // never leaves a half file that the page would offer to play.
    const QString partial = outputPath + QStringLiteral(".part");
    QFile::remove(partial);
    try {
        {
            AudioWriter writer(videoPath, partial, cancel);
            writer.run();
        }
        QFile::remove(outputPath);
        if (!QFile::rename(partial, outputPath)) throw Failed{QStringLiteral("could not move the audio file into place")};
    } catch (const Failed& f) {
        QFile::remove(partial);
        throw Error(QStringLiteral("Unexpected terminal status failed (") + f.reason + QStringLiteral(")"));
    } catch (const Cancelled&) {
        QFile::remove(partial);
        throw Error(QStringLiteral("Unexpected terminal status cancelled"));
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
}

}  // namespace lumenote
