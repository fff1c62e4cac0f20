#pragma once

// A thin layer over SQLite's C interface shared by the library store and the
// record mirror: prepared statements that finalise themselves, typed binds
// and reads, and one-line statement execution.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <sqlite3.h>

#include <optional>

namespace lumenote::sql {

inline QString sqliteError(sqlite3* db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

// Prepared statement with RAII finalisation.
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    int step() { return sqlite3_step(stmt_); }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

    void bindText(int i, const QString& s) {
        const QByteArray b = s.toUtf8();
        sqlite3_bind_text(stmt_, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    void bindText(int i, const std::optional<QString>& s) {
        if (s) bindText(i, *s);
        else sqlite3_bind_null(stmt_, i);
    }
    void bindBlob(int i, const std::optional<QByteArray>& b) {
        if (!b) sqlite3_bind_null(stmt_, i);
        else sqlite3_bind_blob(stmt_, i, b->constData(), int(b->size()), SQLITE_TRANSIENT);
    }
    void bindInt(int i, qint64 v) { sqlite3_bind_int64(stmt_, i, v); }
    void bindDouble(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
    void bindNull(int i) { sqlite3_bind_null(stmt_, i); }

    bool isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    QString text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, c)) : QString();
    }
    std::optional<QString> optText(int c) const {
        // sqlite3_column_text gives null exactly for SQL NULL (an empty text is "").
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        if (!p) return std::nullopt;
        return QString::fromUtf8(p, sqlite3_column_bytes(stmt_, c));
    }
    // For columns that hold a handful of distinct values (statuses, model ids):
    // equal texts share one string instead of allocating one per row.
    std::optional<QString> internedText(int c, QHash<QByteArray, QString>& pool) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        if (!p) return std::nullopt;
        const QByteArray key = QByteArray::fromRawData(p, sqlite3_column_bytes(stmt_, c));
        auto it = pool.constFind(key);
        if (it == pool.constEnd()) it = pool.insert(QByteArray(key.constData(), key.size()), QString::fromUtf8(key));
        return *it;
    }
    std::optional<QByteArray> optBlob(int c) const {
        if (isNull(c)) return std::nullopt;
        const void* p = sqlite3_column_blob(stmt_, c);
        return QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(stmt_, c));
    }
    qint64 integer(int c) const { return sqlite3_column_int64(stmt_, c); }
    double real(int c) const { return sqlite3_column_double(stmt_, c); }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

inline bool exec(sqlite3* db, const char* sql, QString* error) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    if (error) *error = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db));
    sqlite3_free(msg);
    return false;
}

}  // namespace lumenote::sql
