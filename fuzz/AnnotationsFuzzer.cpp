// The stored annotation lists (inline notes, margin notes, highlights) and the
// screenshot times, as kept in the library or synced from another machine.
// The first byte picks the decoder; what it accepts encodes and decodes again
// to the same list.

#include "FuzzSupport.h"

#include "core/Annotations.h"
#include "core/Json.h"

#include <cmath>

using namespace lumenote;

namespace {

template <typename T, typename Decode, typename Encode>
void roundTrip(const QByteArray& input, Decode decode, Encode encode) {
    QString error;
    const std::optional<QList<T>> decoded = decode(input, &error);
    if (!decoded) {
        FUZZ_CHECK(!error.isEmpty());
        return;
    }
    const QByteArray encoded = encode(*decoded);
    const std::optional<QList<T>> again = decode(encoded, &error);
    FUZZ_CHECK(again && *again == *decoded);
    FUZZ_CHECK(encode(*again) == encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 4) {
        case 0: roundTrip<UserNote>(input, decodeUserNotes, encodeUserNotes); break;
        case 1: roundTrip<MarginNote>(input, decodeMarginNotes, encodeMarginNotes); break;
        case 2: roundTrip<TextHighlight>(input, decodeHighlights, encodeHighlights); break;
        case 3: roundTrip<double>(input, json::decodeDoubles, json::encodeDoubles); break;
    }
    return 0;
}
