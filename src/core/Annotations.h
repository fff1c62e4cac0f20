#pragma once

// The user's annotations (inline notes, margin notes, highlights) and their
// stored JSON form. Positions are seconds in the transcript and paragraph
// indices in the notes view; createdAt is seconds since 2001-01-01T00:00:00Z.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace lumenote {

struct UserNote {
    QUuid id;
    double afterTimestamp = 0;
    QString text;
    double createdAt = 0;

    static UserNote create(double afterTimestamp, const QString& text);
    bool operator==(const UserNote&) const = default;
};

struct MarginNote {
    enum class Side { Right, Left };

    QUuid id;
    double passageTimestamp = 0;
    QString anchorText;
    QString noteText;
    Side side = Side::Right;
    double createdAt = 0;

    static MarginNote create(double passageTimestamp, const QString& anchorText, const QString& noteText, Side side);
    bool operator==(const MarginNote&) const = default;
};

struct TextHighlight {
    enum class HighlightColor { Yellow, Green, Blue, Pink };

    QUuid id;
    double passageTimestamp = 0;
    QString anchorText;
    HighlightColor color = HighlightColor::Yellow;
    double createdAt = 0;

    static TextHighlight create(double passageTimestamp, const QString& anchorText, HighlightColor color);
    bool operator==(const TextHighlight&) const = default;
};

QString sideName(MarginNote::Side side);
std::optional<MarginNote::Side> parseSide(const QString& name);
QString colorName(TextHighlight::HighlightColor color);
std::optional<TextHighlight::HighlightColor> parseColor(const QString& name);

// sRGB swatch of a highlight colour, as 0xRRGGBB.
unsigned swatchRgb(TextHighlight::HighlightColor color);

// Each list is one compact JSON array; every key is required when decoding and
// an unknown side or colour fails the whole list.
QByteArray encodeUserNotes(const QList<UserNote>& notes);
std::optional<QList<UserNote>> decodeUserNotes(const QByteArray& bytes, QString* error = nullptr);
QByteArray encodeMarginNotes(const QList<MarginNote>& notes);
std::optional<QList<MarginNote>> decodeMarginNotes(const QByteArray& bytes, QString* error = nullptr);
QByteArray encodeHighlights(const QList<TextHighlight>& highlights);
std::optional<QList<TextHighlight>> decodeHighlights(const QByteArray& bytes, QString* error = nullptr);

// Reads an optional blob: absent or undecodable means an empty list.
template <typename T, typename Decode>
QList<T> decodeOrEmpty(const std::optional<QByteArray>& blob, Decode decode) {
    if (!blob) return {};
    return decode(*blob, nullptr).value_or(QList<T>{});
}

}  // namespace lumenote
