#pragma once

// The stored fields of a Lecture and a LectureFolder, each listed once. The
// one list drives the SQLite columns, the statements that read and write
// them, the loading of blobs, the merging of changes made by another process
// and the documents of the record mirror: adding a field is one line here.

#include "core/Lecture.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"

#include <QJsonValue>
#include <QTimeZone>

#include <algorithm>
#include <limits>

#include <span>
#include <variant>

namespace lumenote {

enum class FieldStorage {
    Key,        // the record's id: primary key, names the mirror document
    Column,     // a column read when the store opens
    RowBlob,    // a blob in the record's row, read on first use
    LargeBlob,  // a blob in lecture_blobs (mirrored as a file of its own)
};

template <class R>
using FieldMember = std::variant<QUuid R::*, QString R::*, std::optional<QString> R::*, QDateTime R::*, double R::*, int R::*,
                                 std::optional<QUuid> R::*, std::optional<bool> R::*, std::optional<QByteArray> R::*>;

template <class R>
struct RecordField {
    const char* name;  // column name and key in the mirror document
    uint32_t bit;      // Lecture::Field bit; 0 for the id and for folder fields
    FieldMember<R> member;
    FieldStorage storage;
    const char* sqlDeclaration;  // none for large blobs
    bool fewValues = false;      // statuses, model ids: equal texts share one string when read
};

struct RecordFields {
    static std::span<const RecordField<Lecture>> lecture();
    static std::span<const RecordField<LectureFolder>> folder();
    // The lecture field with this Lecture::Field bit.
    static const RecordField<Lecture>& lectureField(uint32_t bit);
    // The member of a blob field.
    static std::optional<QByteArray> Lecture::*blobMember(const RecordField<Lecture>& f) {
        return std::get<std::optional<QByteArray> Lecture::*>(f.member);
    }
};

namespace fields {

// Values of one field as SQLite and JSON hold them. Reads return false when
// the stored value has the wrong type (the field is then left unchanged).
template <class R>
void bind(sql::Statement& s, int index, const R& record, const RecordField<R>& f) {
    std::visit(
        [&](auto m) {
            using T = std::remove_cvref_t<decltype(record.*m)>;
            const T& v = record.*m;
            if constexpr (std::is_same_v<T, QUuid>) s.bindText(index, uuidText(v));
            else if constexpr (std::is_same_v<T, QString> || std::is_same_v<T, std::optional<QString>>) s.bindText(index, v);
            else if constexpr (std::is_same_v<T, QDateTime>) s.bindInt(index, v.toMSecsSinceEpoch());
            else if constexpr (std::is_same_v<T, double>) s.bindDouble(index, v);
            else if constexpr (std::is_same_v<T, int>) s.bindInt(index, v);
            else if constexpr (std::is_same_v<T, std::optional<QUuid>>) s.bindText(index, v ? std::optional<QString>(uuidText(*v)) : std::nullopt);
            else if constexpr (std::is_same_v<T, std::optional<bool>>) {
                if (v) s.bindInt(index, *v ? 1 : 0);
                else s.bindNull(index);
            } else s.bindBlob(index, v);
        },
        f.member);
}

template <class R>
void read(const sql::Statement& s, int column, R& record, const RecordField<R>& f, QHash<QByteArray, QString>& pool) {
    std::visit(
        [&](auto m) {
            using T = std::remove_cvref_t<decltype(record.*m)>;
            T& v = record.*m;
            if constexpr (std::is_same_v<T, QUuid>) v = parseUuid(s.text(column)).value_or(QUuid());
            else if constexpr (std::is_same_v<T, QString>) v = f.fewValues ? s.internedText(column, pool).value_or(QString()) : s.text(column);
            else if constexpr (std::is_same_v<T, std::optional<QString>>) v = f.fewValues ? s.internedText(column, pool) : s.optText(column);
            else if constexpr (std::is_same_v<T, QDateTime>) v = QDateTime::fromMSecsSinceEpoch(s.integer(column), Qt::UTC);
            else if constexpr (std::is_same_v<T, double>) v = s.real(column);
            else if constexpr (std::is_same_v<T, int>) v = int(s.integer(column));
            else if constexpr (std::is_same_v<T, std::optional<QUuid>>) v = s.isNull(column) ? std::nullopt : parseUuid(s.text(column));
            else if constexpr (std::is_same_v<T, std::optional<bool>>) v = s.isNull(column) ? std::nullopt : std::optional<bool>(s.integer(column) != 0);
            else v = s.optBlob(column);
        },
        f.member);
}

// Mirror documents: dates as milliseconds since 1970 (UTC), blobs in base64,
// absent optionals as null.
template <class R>
QJsonValue toJson(const R& record, const RecordField<R>& f) {
    return std::visit(
        [&](auto m) -> QJsonValue {
            using T = std::remove_cvref_t<decltype(record.*m)>;
            const T& v = record.*m;
            if constexpr (std::is_same_v<T, QUuid>) return uuidText(v);
            else if constexpr (std::is_same_v<T, QString>) return v;
            else if constexpr (std::is_same_v<T, std::optional<QString>>) return v ? QJsonValue(*v) : QJsonValue();
            else if constexpr (std::is_same_v<T, QDateTime>) return double(v.toMSecsSinceEpoch());
            else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, int>) return v;
            else if constexpr (std::is_same_v<T, std::optional<QUuid>>) return v ? QJsonValue(uuidText(*v)) : QJsonValue();
            else if constexpr (std::is_same_v<T, std::optional<bool>>) return v ? QJsonValue(*v) : QJsonValue();
            else return v ? QJsonValue(QString::fromLatin1(v->toBase64())) : QJsonValue();
        },
        f.member);
}

template <class R>
bool fromJson(const QJsonValue& j, R& record, const RecordField<R>& f) {
    return std::visit(
        [&](auto m) -> bool {
            using T = std::remove_cvref_t<decltype(record.*m)>;
            T& v = record.*m;
            if constexpr (std::is_same_v<T, QUuid>) {
                const auto id = parseUuid(j.toString());
                if (!id) return false;
                v = *id;
            } else if constexpr (std::is_same_v<T, QString>) {
                if (!j.isString()) return false;
                v = j.toString();
            } else if constexpr (std::is_same_v<T, std::optional<QString>>) {
                if (!j.isString() && !j.isNull()) return false;
                v = j.isNull() ? std::nullopt : std::optional<QString>(j.toString());
            } else if constexpr (std::is_same_v<T, QDateTime>) {
                if (!j.isDouble()) return false;
                // Whole milliseconds a qint64 holds; anything else is not a date.
                if (j.toInteger(std::numeric_limits<qint64>::min()) == std::numeric_limits<qint64>::min()) return false;
                v = QDateTime::fromMSecsSinceEpoch(j.toInteger(), Qt::UTC);
            } else if constexpr (std::is_same_v<T, double>) {
                if (!j.isDouble()) return false;
                v = j.toDouble();
            } else if constexpr (std::is_same_v<T, int>) {
                if (!j.isDouble()) return false;
                v = j.toInt();
            } else if constexpr (std::is_same_v<T, std::optional<QUuid>>) {
                if (j.isNull()) v = std::nullopt;
                else if (const auto id = parseUuid(j.toString())) v = id;
                else return false;
            } else if constexpr (std::is_same_v<T, std::optional<bool>>) {
                if (!j.isBool() && !j.isNull()) return false;
                v = j.isNull() ? std::nullopt : std::optional<bool>(j.toBool());
            } else {
                if (!j.isString() && !j.isNull()) return false;
                v = j.isNull() ? std::nullopt : std::optional<QByteArray>(QByteArray::fromBase64(j.toString().toLatin1()));
            }
            return true;
        },
        f.member);
}

template <class R>
void copy(const R& from, R& to, const RecordField<R>& f) {
    std::visit([&](auto m) { to.*m = from.*m; }, f.member);
}

template <class R>
bool equal(const R& a, const R& b, const RecordField<R>& f) {
    return std::visit([&](auto m) { return a.*m == b.*m; }, f.member);
}

// "a, b, c" over the fields of the given storage kinds.
template <class R>
QByteArray columnList(std::span<const RecordField<R>> list, std::initializer_list<FieldStorage> kinds) {
    QByteArray out;
    for (const auto& f : list) {
        if (std::find(kinds.begin(), kinds.end(), f.storage) == kinds.end()) continue;
        if (!out.isEmpty()) out += ", ";
        out += f.name;
    }
    return out;
}

}  // namespace fields

}  // namespace lumenote
