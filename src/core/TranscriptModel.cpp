#include "core/TranscriptModel.h"

#include "core/Json.h"
#include "core/Uuid.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace lumenote {
namespace {

// A word list that does not decode as a whole is dropped, not the segment.
QList<WordTimestamp> decodeWords(const QJsonValue& value) {
    QList<WordTimestamp> words;
    if (!value.isArray()) return words;
    const QJsonArray array = value.toArray();
    words.reserve(array.size());
    for (const QJsonValue& v : array) {
        if (!v.isObject()) return {};
        const QJsonObject o = v.toObject();
        const auto word = json::string(o, QLatin1StringView("word"));
        const auto start = json::number(o, QLatin1StringView("start"));
        const auto end = json::number(o, QLatin1StringView("end"));
        if (!word || !start || !end) return {};
        words.append({*word, *start, *end});
    }
    return words;
}

}  // namespace

std::optional<QByteArray> encodeTranscript(const Transcript& segments, QString* error) {
    QJsonArray array;
    for (const TranscriptSegment& s : segments) {
        if (!std::isfinite(s.startTime) || !std::isfinite(s.endTime))
            return json::fail<QByteArray>(error, QStringLiteral("segment %1 has a time that is not a finite number").arg(uuidText(s.id)));
        QJsonArray words;
        for (const WordTimestamp& w : s.words) {
            if (!std::isfinite(w.start) || !std::isfinite(w.end))
                return json::fail<QByteArray>(error, QStringLiteral("word \"%1\" has a time that is not a finite number").arg(w.word));
            words.append(QJsonObject{{QStringLiteral("word"), w.word}, {QStringLiteral("start"), w.start}, {QStringLiteral("end"), w.end}});
        }
        array.append(QJsonObject{{QStringLiteral("id"), uuidText(s.id)},
                                 {QStringLiteral("text"), s.text},
                                 {QStringLiteral("startTime"), s.startTime},
                                 {QStringLiteral("endTime"), s.endTime},
                                 {QStringLiteral("words"), words}});
    }
    return json::compact(array);
}

std::optional<Transcript> decodeTranscript(const QByteArray& bytes, QString* error) {
    const auto array = json::parseArray(bytes, error);
    if (!array) return std::nullopt;
    Transcript segments;
    segments.reserve(array->size());
    for (qsizetype i = 0; i < array->size(); ++i) {
        const QJsonValue v = array->at(i);
        if (!v.isObject()) return json::fail<Transcript>(error, QStringLiteral("segment %1 is not an object").arg(i));
        const QJsonObject o = v.toObject();
        const auto id = json::uuid(o, QLatin1StringView("id"));
        const auto text = json::string(o, QLatin1StringView("text"));
        const auto start = json::number(o, QLatin1StringView("startTime"));
        const auto end = json::number(o, QLatin1StringView("endTime"));
        if (!id) return json::fail<Transcript>(error, QStringLiteral("segment %1: \"id\" is missing or not a UUID").arg(i));
        if (!text) return json::fail<Transcript>(error, QStringLiteral("segment %1: \"text\" is missing or not a string").arg(i));
        if (!start) return json::fail<Transcript>(error, QStringLiteral("segment %1: \"startTime\" is missing or not a number").arg(i));
        if (!end) return json::fail<Transcript>(error, QStringLiteral("segment %1: \"endTime\" is missing or not a number").arg(i));
        segments.append({*id, *text, *start, *end, decodeWords(o.value(QLatin1StringView("words")))});
    }
    return segments;
}

}  // namespace lumenote
