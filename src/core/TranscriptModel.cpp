#include "core/TranscriptModel.h"

#include "core/Json.h"
#include "core/Uuid.h"

#include <simdjson.h>

#include <charconv>
#include <cmath>
#include <string_view>

// Transcripts are the largest stored values and are read whenever a lecture is
// opened, so they get a fast path: simdjson to read, a direct writer to write.
// Numbers use the shortest form that reads back to the same double.

namespace lumenote {
namespace {

void appendNumber(QByteArray& out, double v) {
    // "-0" would read back as the integer 0; keep the sign with a fraction.
    if (v == 0 && std::signbit(v)) {
        out.append("-0.0");
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

void appendString(QByteArray& out, const QString& s) {
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = s.toUtf8();
    out.append('"');
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        default:
            if (c < 0x20) {
                const char esc[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
                out.append(esc, 6);
            } else {
                out.append(ch);
            }
        }
    }
    out.append('"');
}

QString toQString(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// A word list that does not decode as a whole is dropped, not the segment.
QList<WordTimestamp> decodeWords(simdjson::dom::object segment) {
    simdjson::dom::array array;
    if (segment["words"].get_array().get(array)) return {};
    QList<WordTimestamp> words;
    words.reserve(qsizetype(array.size()));
    for (simdjson::dom::element v : array) {
        simdjson::dom::object o;
        std::string_view word;
        double start, end;
        if (v.get_object().get(o) || o["word"].get_string().get(word) || o["start"].get_double().get(start) ||
            o["end"].get_double().get(end))
            return {};
        words.append({toQString(word), start, end});
    }
    return words;
}

}  // namespace

std::optional<QByteArray> encodeTranscript(const Transcript& segments, QString* error) {
    QByteArray out;
    qsizetype words = 0;
    for (const TranscriptSegment& s : segments) words += s.words.size();
    out.reserve(segments.size() * 160 + words * 64 + 2);
    out.append('[');
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const TranscriptSegment& s = segments[i];
        if (!std::isfinite(s.startTime) || !std::isfinite(s.endTime))
            return json::fail<QByteArray>(error, QStringLiteral("segment %1 has a time that is not a finite number").arg(uuidText(s.id)));
        if (i) out.append(',');
        out.append("{\"id\":\"").append(uuidText(s.id).toLatin1()).append("\",\"text\":");
        appendString(out, s.text);
        out.append(",\"startTime\":");
        appendNumber(out, s.startTime);
        out.append(",\"endTime\":");
        appendNumber(out, s.endTime);
        out.append(",\"words\":[");
        for (qsizetype w = 0; w < s.words.size(); ++w) {
            const WordTimestamp& word = s.words[w];
            if (!std::isfinite(word.start) || !std::isfinite(word.end))
                return json::fail<QByteArray>(error, QStringLiteral("word \"%1\" has a time that is not a finite number").arg(word.word));
            if (w) out.append(',');
            out.append("{\"word\":");
            appendString(out, word.word);
            out.append(",\"start\":");
            appendNumber(out, word.start);
            out.append(",\"end\":");
            appendNumber(out, word.end);
            out.append('}');
        }
        out.append("]}");
    }
    out.append(']');
    return out;
}

std::optional<Transcript> decodeTranscript(const QByteArray& bytes, QString* error) {
    thread_local simdjson::dom::parser parser;
    simdjson::dom::element doc;
    if (const auto e = parser.parse(bytes.constData(), size_t(bytes.size())).get(doc))
        return json::fail<Transcript>(error, QStringLiteral("invalid JSON: ") + QString::fromUtf8(simdjson::error_message(e)));
    simdjson::dom::array array;
    if (doc.get_array().get(array)) return json::fail<Transcript>(error, QStringLiteral("the top level is not an array"));

    Transcript segments;
    segments.reserve(qsizetype(array.size()));
    qsizetype i = 0;
    for (simdjson::dom::element v : array) {
        simdjson::dom::object o;
        if (v.get_object().get(o)) return json::fail<Transcript>(error, QStringLiteral("segment %1 is not an object").arg(i));
        std::string_view idText, text;
        double start, end;
        std::optional<QUuid> id;
        if (!o["id"].get_string().get(idText) && idText.size() == 36) id = parseUuid(toQString(idText));
        if (!id) return json::fail<Transcript>(error, QStringLiteral("segment %1: \"id\" is missing or not a UUID").arg(i));
        if (o["text"].get_string().get(text))
            return json::fail<Transcript>(error, QStringLiteral("segment %1: \"text\" is missing or not a string").arg(i));
        if (o["startTime"].get_double().get(start))
            return json::fail<Transcript>(error, QStringLiteral("segment %1: \"startTime\" is missing or not a number").arg(i));
        if (o["endTime"].get_double().get(end))
            return json::fail<Transcript>(error, QStringLiteral("segment %1: \"endTime\" is missing or not a number").arg(i));
        segments.append({*id, toQString(text), start, end, decodeWords(o)});
        ++i;
    }
    return segments;
}

}  // namespace lumenote
