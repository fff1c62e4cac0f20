#include "core/Annotations.h"

#include "core/Json.h"
#include "core/ReferenceDate.h"
#include "core/Uuid.h"

#include <QJsonArray>
#include <QJsonObject>

namespace lumenote {
namespace {

using json::fail;

template <typename T, typename DecodeOne>
std::optional<QList<T>> decodeList(const QByteArray& bytes, QString* error, DecodeOne decodeOne) {
    const auto array = json::parseArray(bytes, error);
    if (!array) return std::nullopt;
    QList<T> out;
    out.reserve(array->size());
    for (qsizetype i = 0; i < array->size(); ++i) {
        QString why;
        std::optional<T> value = array->at(i).isObject() ? decodeOne(array->at(i).toObject(), &why) : std::nullopt;
        if (!value) return fail<QList<T>>(error, QStringLiteral("element %1: %2").arg(i).arg(why.isEmpty() ? QStringLiteral("not an object") : why));
        out.append(std::move(*value));
    }
    return out;
}

QString missing(const char* key) { return QStringLiteral("\"%1\" is missing or has the wrong type").arg(QLatin1String(key)); }

}  // namespace

UserNote UserNote::create(double afterTimestamp, const QString& text) {
    return {QUuid::createUuid(), afterTimestamp, text, referenceSecondsNow()};
}

MarginNote MarginNote::create(double passageTimestamp, const QString& anchorText, const QString& noteText, Side side) {
    return {QUuid::createUuid(), passageTimestamp, anchorText, noteText, side, referenceSecondsNow()};
}

TextHighlight TextHighlight::create(double passageTimestamp, const QString& anchorText, HighlightColor color) {
    return {QUuid::createUuid(), passageTimestamp, anchorText, color, referenceSecondsNow()};
}

QString sideName(MarginNote::Side side) { return side == MarginNote::Side::Left ? QStringLiteral("left") : QStringLiteral("right"); }

std::optional<MarginNote::Side> parseSide(const QString& name) {
    if (name == QLatin1String("right")) return MarginNote::Side::Right;
    if (name == QLatin1String("left")) return MarginNote::Side::Left;
    return std::nullopt;
}

QString colorName(TextHighlight::HighlightColor color) {
    switch (color) {
    case TextHighlight::HighlightColor::Yellow: return QStringLiteral("yellow");
    case TextHighlight::HighlightColor::Green: return QStringLiteral("green");
    case TextHighlight::HighlightColor::Blue: return QStringLiteral("blue");
    case TextHighlight::HighlightColor::Pink: return QStringLiteral("pink");
    }
    return QStringLiteral("yellow");
}

std::optional<TextHighlight::HighlightColor> parseColor(const QString& name) {
    using C = TextHighlight::HighlightColor;
    for (C c : {C::Yellow, C::Green, C::Blue, C::Pink})
        if (colorName(c) == name) return c;
    return std::nullopt;
}

unsigned swatchRgb(TextHighlight::HighlightColor color) {
    switch (color) {
    case TextHighlight::HighlightColor::Yellow: return 0xFDE047;
    case TextHighlight::HighlightColor::Green: return 0x86EFAC;
    case TextHighlight::HighlightColor::Blue: return 0x93C5FD;
    case TextHighlight::HighlightColor::Pink: return 0xF9A8D4;
    }
    return 0xFDE047;
}

QByteArray encodeUserNotes(const QList<UserNote>& notes) {
    QJsonArray a;
    for (const UserNote& n : notes)
        a.append(QJsonObject{{QStringLiteral("id"), uuidText(n.id)},
                             {QStringLiteral("afterTimestamp"), n.afterTimestamp},
                             {QStringLiteral("text"), n.text},
                             {QStringLiteral("createdAt"), n.createdAt}});
    return json::compact(a);
}

std::optional<QList<UserNote>> decodeUserNotes(const QByteArray& bytes, QString* error) {
    return decodeList<UserNote>(bytes, error, [](const QJsonObject& o, QString* why) -> std::optional<UserNote> {
        const auto id = json::uuid(o, QLatin1StringView("id"));
        const auto after = json::number(o, QLatin1StringView("afterTimestamp"));
        const auto text = json::string(o, QLatin1StringView("text"));
        const auto created = json::number(o, QLatin1StringView("createdAt"));
        if (!id) return fail<UserNote>(why, missing("id"));
        if (!after) return fail<UserNote>(why, missing("afterTimestamp"));
        if (!text) return fail<UserNote>(why, missing("text"));
        if (!created) return fail<UserNote>(why, missing("createdAt"));
        return UserNote{*id, *after, *text, *created};
    });
}

QByteArray encodeMarginNotes(const QList<MarginNote>& notes) {
    QJsonArray a;
    for (const MarginNote& n : notes)
        a.append(QJsonObject{{QStringLiteral("id"), uuidText(n.id)},
                             {QStringLiteral("passageTimestamp"), n.passageTimestamp},
                             {QStringLiteral("anchorText"), n.anchorText},
                             {QStringLiteral("noteText"), n.noteText},
                             {QStringLiteral("side"), sideName(n.side)},
                             {QStringLiteral("createdAt"), n.createdAt}});
    return json::compact(a);
}

std::optional<QList<MarginNote>> decodeMarginNotes(const QByteArray& bytes, QString* error) {
    return decodeList<MarginNote>(bytes, error, [](const QJsonObject& o, QString* why) -> std::optional<MarginNote> {
        const auto id = json::uuid(o, QLatin1StringView("id"));
        const auto passage = json::number(o, QLatin1StringView("passageTimestamp"));
        const auto anchor = json::string(o, QLatin1StringView("anchorText"));
        const auto note = json::string(o, QLatin1StringView("noteText"));
        const auto sideText = json::string(o, QLatin1StringView("side"));
        const auto created = json::number(o, QLatin1StringView("createdAt"));
        if (!id) return fail<MarginNote>(why, missing("id"));
        if (!passage) return fail<MarginNote>(why, missing("passageTimestamp"));
        if (!anchor) return fail<MarginNote>(why, missing("anchorText"));
        if (!note) return fail<MarginNote>(why, missing("noteText"));
        if (!sideText) return fail<MarginNote>(why, missing("side"));
        if (!created) return fail<MarginNote>(why, missing("createdAt"));
        const auto side = parseSide(*sideText);
        if (!side) return fail<MarginNote>(why, QStringLiteral("unknown side \"%1\"").arg(*sideText));
        return MarginNote{*id, *passage, *anchor, *note, *side, *created};
    });
}

QByteArray encodeHighlights(const QList<TextHighlight>& highlights) {
    QJsonArray a;
    for (const TextHighlight& h : highlights)
        a.append(QJsonObject{{QStringLiteral("id"), uuidText(h.id)},
                             {QStringLiteral("passageTimestamp"), h.passageTimestamp},
                             {QStringLiteral("anchorText"), h.anchorText},
                             {QStringLiteral("color"), colorName(h.color)},
                             {QStringLiteral("createdAt"), h.createdAt}});
    return json::compact(a);
}

std::optional<QList<TextHighlight>> decodeHighlights(const QByteArray& bytes, QString* error) {
    return decodeList<TextHighlight>(bytes, error, [](const QJsonObject& o, QString* why) -> std::optional<TextHighlight> {
        const auto id = json::uuid(o, QLatin1StringView("id"));
        const auto passage = json::number(o, QLatin1StringView("passageTimestamp"));
        const auto anchor = json::string(o, QLatin1StringView("anchorText"));
        const auto colorText = json::string(o, QLatin1StringView("color"));
        const auto created = json::number(o, QLatin1StringView("createdAt"));
        if (!id) return fail<TextHighlight>(why, missing("id"));
        if (!passage) return fail<TextHighlight>(why, missing("passageTimestamp"));
        if (!anchor) return fail<TextHighlight>(why, missing("anchorText"));
        if (!colorText) return fail<TextHighlight>(why, missing("color"));
        if (!created) return fail<TextHighlight>(why, missing("createdAt"));
        const auto color = parseColor(*colorText);
        if (!color) return fail<TextHighlight>(why, QStringLiteral("unknown color \"%1\"").arg(*colorText));
        return TextHighlight{*id, *passage, *anchor, *color, *created};
    });
}

}  // namespace lumenote
