#pragma once

// Thin RAII wrappers over the FFmpeg libraries, shared by the services that
// read media (audio extraction, frame generation, codec probing, audio export).

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <QString>

#include <memory>
#include <optional>

namespace lumenote::av {

struct FormatContextDeleter {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct SwsDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

// An output context owns its file: closing flushes and closes the file first.
struct OutputContextDeleter {
    void operator()(AVFormatContext* c) const {
        if (c && c->pb && !(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;

inline FramePtr makeFrame() { return FramePtr(av_frame_alloc()); }
inline PacketPtr makePacket() { return PacketPtr(av_packet_alloc()); }

// FFmpeg's text for an AVERROR code.
QString errorText(int averror);

// Opens a media file and reads its stream information. None, with *error set
// to FFmpeg's reason, when the file cannot be opened or is not media.
FormatContextPtr openInput(const QString& path, QString* error = nullptr);

// Opens a decoder for a stream (threads = 0 lets FFmpeg choose).
CodecContextPtr openDecoder(const AVStream* stream, QString* error = nullptr, int threads = 0);

// The container's duration in seconds; none when it is unknown or not positive.
std::optional<double> durationSeconds(const AVFormatContext* format);
// Opens the file just to read its duration.
std::optional<double> probeDuration(const QString& path);

// A stream time in seconds.
inline double seconds(int64_t ts, AVRational timeBase) { return ts == AV_NOPTS_VALUE ? 0.0 : double(ts) * av_q2d(timeBase); }

}  // namespace lumenote::av
