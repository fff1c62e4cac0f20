// A consolidation reply as the server streams it: bytes cut into arbitrary
// pieces become lines, each read as a server-sent event (Claude) and as a
// line of newline-delimited JSON (Ollama). The first byte seeds where the
// pieces are cut; however they are cut, the lines are the same.

#include "FuzzSupport.h"

#include "consolidation/ConsolidationProtocol.h"
#include "consolidation/HttpStream.h"

using namespace lumenote;
using namespace lumenote::consolidation;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint32_t cut = data[0] | 1u;
    const QByteArray body(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    LineBuffer whole;
    QList<QByteArray> expected = whole.append(body);
    const QByteArray expectedRest = whole.takeRest();

    LineBuffer pieces;
    QList<QByteArray> lines;
    for (qsizetype at = 0; at < body.size();) {
        cut = cut * 1103515245u + 12345u;  // the same cuts for the same input
        const qsizetype n = std::min<qsizetype>(body.size() - at, 1 + (cut >> 16) % 17);
        lines += pieces.append(body.mid(at, n));
        at += n;
    }
    FUZZ_CHECK(lines == expected);
    FUZZ_CHECK(pieces.takeRest() == expectedRest);

    qsizetype kept = expectedRest.size();
    for (const QByteArray& line : expected) {
        FUZZ_CHECK(!line.contains('\n'));
        kept += line.size();
        const StreamLine claude = parseClaudeLine(line);
        if (claude.text) FUZZ_CHECK(!claude.text->isEmpty() && !claude.endOfStream);
        (void)parseOllamaLine(line);
    }
    if (!expectedRest.isEmpty()) {
        (void)parseClaudeLine(expectedRest);
        (void)parseOllamaLine(expectedRest);
    }
    // Only line breaks, the carriage returns before them and one at the very
    // end are dropped.
    const bool endsInReturn = body.endsWith('\r');
    FUZZ_CHECK(kept == body.size() - body.count('\n') - body.count("\r\n") - (endsInReturn ? 1 : 0));
    return 0;
}
