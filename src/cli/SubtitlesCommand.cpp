// subtitles <lecture>: the transcript as SRT, WebVTT or plain text.

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Session.h"
#include "core/LectureFiles.h"
#include "core/TranscriptModel.h"
#include "export/Subtitles.h"

#include <QFileInfo>

namespace lumenote::cli {

QCoro::Task<int> runSubtitles(Session& session) {
    const Invocation& inv = session.invocation;
    const QString formatName = inv.value(QStringLiteral("format")).value_or(QStringLiteral("srt"));
    const auto format = parseSubtitleFormat(formatName);
    if (!format) throw UsageError(QStringLiteral("unknown format '%1' (one of srt, vtt, txt)").arg(formatName), inv.command->name);
    const std::optional<QString> out = inv.value(QStringLiteral("out"));
    if (out && out->trimmed().isEmpty()) throw UsageError(QStringLiteral("the output file name is empty"), inv.command->name);

    const LecturePtr lecture = session.lecture(inv.arguments[0]);
    const std::optional<QByteArray> data = lecture->transcriptData();
    const std::optional<Transcript> transcript = data ? decodeTranscript(*data) : std::nullopt;
    if (!transcript || transcript->isEmpty()) throw CommandFailure(QStringLiteral("%1 has no transcript yet").arg(describeLecture(*lecture)));
    const QString text = subtitleText(*format, *transcript);
    if (!out) {
        session.console.print(text.trimmed());
        co_return kExitDone;
    }
    QString error;
    if (!writeFileAtomically(*out, text.toUtf8(), &error)) throw CommandFailure(QStringLiteral("could not write %1: %2").arg(*out, error));
    session.console.print(QStringLiteral("Subtitles: %1").arg(QFileInfo(*out).absoluteFilePath()));
    co_return kExitDone;
}

}  // namespace lumenote::cli
