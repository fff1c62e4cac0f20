#pragma once

// Errors that cross a service boundary are exceptions derived from Error; the
// description is the text a user sees. Coroutines propagate them to the
// awaiting caller, which turns them into a message, a status or a log line.

#include <QString>

#include <exception>

namespace lumenote {

class Error : public std::exception {
public:
    explicit Error(QString description) : description_(std::move(description)), utf8_(description_.toUtf8()) {}
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString description_;
    QByteArray utf8_;
};

// A lower-level failure: a domain naming its source ("TranscriptionService"),
// a numeric code and a description.
class DomainError : public Error {
public:
    DomainError(QString domain, int code, QString description)
        : Error(std::move(description)), domain_(std::move(domain)), code_(code) {}
    const QString& domain() const noexcept { return domain_; }
    int code() const noexcept { return code_; }

private:
    QString domain_;
    int code_;
};

}  // namespace lumenote
