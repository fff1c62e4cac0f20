#include "core/Json.h"

#include "core/Uuid.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace lumenote::json {

std::optional<QJsonArray> parseArray(const QByteArray& bytes, QString* error) {
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &pe);
    if (pe.error != QJsonParseError::NoError) return fail<QJsonArray>(error, QStringLiteral("invalid JSON: ") + pe.errorString());
    if (!doc.isArray()) return fail<QJsonArray>(error, QStringLiteral("the top level is not an array"));
    return doc.array();
}

QByteArray compact(const QJsonArray& array) { return QJsonDocument(array).toJson(QJsonDocument::Compact); }

std::optional<QString> string(const QJsonObject& o, QLatin1StringView key) {
    const QJsonValue v = o.value(key);
    if (!v.isString()) return std::nullopt;
    return v.toString();
}

std::optional<double> number(const QJsonObject& o, QLatin1StringView key) {
    const QJsonValue v = o.value(key);
    if (!v.isDouble()) return std::nullopt;
    return v.toDouble();
}

std::optional<QUuid> uuid(const QJsonObject& o, QLatin1StringView key) {
    const QJsonValue v = o.value(key);
    if (!v.isString()) return std::nullopt;
    return parseUuid(v.toString());
}

QByteArray encodeDoubles(const QList<double>& values) {
    QJsonArray a;
    for (double v : values) a.append(v);
    return compact(a);
}

std::optional<QList<double>> decodeDoubles(const QByteArray& bytes, QString* error) {
    const auto array = parseArray(bytes, error);
    if (!array) return std::nullopt;
    QList<double> out;
    out.reserve(array->size());
    for (const QJsonValue& v : *array) {
        if (!v.isDouble()) return fail<QList<double>>(error, QStringLiteral("an element is not a number"));
        out.append(v.toDouble());
    }
    return out;
}

}  // namespace lumenote::json
