#pragma once

// Small helpers shared by the stored JSON forms (transcript, annotations,
// screenshot times): strict typed reads and compact writes.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace lumenote::json {

// Parses bytes whose top level must be an array; none (with *error set) otherwise.
std::optional<QJsonArray> parseArray(const QByteArray& bytes, QString* error);

// Compact serialisation of an array (no indentation, numbers in their shortest
// form that reads back to the same double).
QByteArray compact(const QJsonArray& array);

// Typed field reads: none when the key is missing or holds another type.
std::optional<QString> string(const QJsonObject& o, QLatin1StringView key);
std::optional<double> number(const QJsonObject& o, QLatin1StringView key);
std::optional<QUuid> uuid(const QJsonObject& o, QLatin1StringView key);

// Sets *error (when given) and returns none, for one-line failure paths.
template <typename T>
std::optional<T> fail(QString* error, const QString& message) {
    if (error) *error = message;
    return std::nullopt;
}

// Screenshot times: a JSON array of doubles.
QByteArray encodeDoubles(const QList<double>& values);
std::optional<QList<double>> decodeDoubles(const QByteArray& bytes, QString* error = nullptr);

}  // namespace lumenote::json
