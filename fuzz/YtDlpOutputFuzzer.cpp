// What yt-dlp and ffmpeg print: a chunk of pipe output is split into lines,
// each line moves the download state on, and the status, failure text,
// ffmpeg version and uploader name are read from the same bytes.

#include "FuzzSupport.h"

#include "media/YtDlpOutput.h"

#include <cmath>

using namespace lumenote;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray chunk = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList pieces = splitOutputChunk(chunk);
    DownloadLineState state;
    QStringList log;
    for (const QString& piece : pieces) {
        FUZZ_CHECK(!piece.isEmpty() && !piece.contains(QLatin1Char('\n')));
        applyYtDlpLine(piece, state, &log);
        FUZZ_CHECK(std::isfinite(state.progress) && state.progress >= 0);  // not clamped: estimates pass 100 %
        (void)isDownloadableURL(piece);
        const QString stem = fileNameWithoutExtension(piece);
        FUZZ_CHECK(piece.startsWith(stem));
    }
    if (const std::optional<QString> status = statusFromStderrPieces(pieces)) {
        FUZZ_CHECK(pieces.contains(*status) && !status->startsWith(QLatin1String("[PYI-")));
    }
    (void)downloadFailureText(pieces);

    const QString text = QString::fromUtf8(chunk);
    if (const std::optional<QString> version = parseFFmpegVersion(text)) {
        FUZZ_CHECK(text.contains(*version));
        for (const QChar c : *version) FUZZ_CHECK(!c.isSpace());
    }
    if (const std::optional<QString> uploader = parseUploaderName(chunk)) {
        FUZZ_CHECK(!uploader->isEmpty() && *uploader == uploader->trimmed() && *uploader != QLatin1String("NA"));
    }
    return 0;
}
