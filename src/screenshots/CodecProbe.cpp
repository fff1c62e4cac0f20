#include "screenshots/CodecProbe.h"

#include "av/FFmpeg.h"

namespace lumenote {

CodecProbeResult probeVideoCodec(const QString& path) {
    CodecProbeResult result;
    const av::FormatContextPtr format = av::openInput(path);
    if (!format) return result;
    const AVStream* first = nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* s = format->streams[i];
        if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (s->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
        ++result.videoTracks;
        if (!first) first = s;
    }
    if (!first || first->codecpar->codec_id == AV_CODEC_ID_NONE) return result;
    result.formatDescriptions = 1;
    result.hasDecoder = avcodec_find_decoder(first->codecpar->codec_id) != nullptr;
    // Container tags are stored little-endian: 'a' 'v' 'c' '1' in memory order.
    uint32_t tag = first->codecpar->codec_tag;
    if (tag == 0) {
        switch (first->codecpar->codec_id) {
        case AV_CODEC_ID_H264: tag = MKTAG('a', 'v', 'c', '1'); break;
        case AV_CODEC_ID_HEVC: tag = MKTAG('h', 'v', 'c', '1'); break;
        case AV_CODEC_ID_VP9: tag = MKTAG('v', 'p', '0', '9'); break;
        case AV_CODEC_ID_AV1: tag = MKTAG('a', 'v', '0', '1'); break;
        default: {
            const AVCodecTag* const tables[] = {avformat_get_mov_video_tags(), nullptr};
            tag = av_codec_get_tag(tables, first->codecpar->codec_id);
        }
        }
    }
    result.fourCC = uint32_t(tag & 0xFF) << 24 | uint32_t((tag >> 8) & 0xFF) << 16 | uint32_t((tag >> 16) & 0xFF) << 8 | uint32_t(tag >> 24);
    return result;
}

QString fourCCHex(uint32_t code) { return QString::number(code, 16).toUpper(); }

QString fourCCDisplay(uint32_t code) {
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint8_t byte = uint8_t(code >> shift);
        if (byte >= 0x80) return QStringLiteral("0x") + fourCCHex(code);
        text += QChar(byte);
    }
    return text;
}

bool isH264OrHevc(uint32_t code) {
    return code == fourCC('a', 'v', 'c', '1') || code == fourCC('a', 'v', 'c', '3') || code == fourCC('h', 'e', 'v', '1') ||
           code == fourCC('h', 'v', 'c', '1');
}

}  // namespace lumenote
