// A transcript as stored in the library or synced from another machine. What
// the decoder accepts encodes and decodes again to the same segments, and
// encoding is stable from then on.

#include "FuzzSupport.h"

#include "core/TranscriptModel.h"

using namespace lumenote;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const std::optional<Transcript> decoded = decodeTranscript(input, &error);
    if (!decoded) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const std::optional<QByteArray> encoded = encodeTranscript(*decoded);
    if (!encoded) return 0;  // a time that is not finite cannot be stored again
    const std::optional<Transcript> again = decodeTranscript(*encoded, &error);
    FUZZ_CHECK(again && *again == *decoded);
    FUZZ_CHECK(encodeTranscript(*again) == encoded);
    return 0;
}
