#pragma once

// The codec of a video's first video stream as a four-character code, and the
// rule for which codes can be decoded here without converting the file first.

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace lumenote {

struct CodecProbeResult {
    int videoTracks = 0;
    // 1 when the first video stream names a codec, else 0.
    int formatDescriptions = 0;
    // Most significant byte first: 'avc1' is 0x61766331.
    std::optional<uint32_t> fourCC;
    // This FFmpeg build has a decoder for the stream's codec.
    bool hasDecoder = false;
};

// Opens the file with FFmpeg. The code is the container's tag when it has one,
// else the usual code of the codec (H.264 "avc1", HEVC "hvc1", VP9 "vp09",
// AV1 "av01", others by their QuickTime tag).
CodecProbeResult probeVideoCodec(const QString& path);

// The four bytes as ASCII text, or "0x" and upper-case hexadecimal when a byte
// is not ASCII.
QString fourCCDisplay(uint32_t code);
// Upper-case hexadecimal without leading zeros.
QString fourCCHex(uint32_t code);
constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 | uint32_t(uint8_t(c)) << 8 | uint32_t(uint8_t(d));
}

// H.264 ("avc1", "avc3") and HEVC ("hev1", "hvc1").
bool isH264OrHevc(uint32_t code);

}  // namespace lumenote
