#pragma once

// The failures of a consolidation run that reach the user, each with its fixed
// text. Transport failures (unreachable host, time-out) are not wrapped: they
// arrive as a DomainError from the network layer.

#include "core/Error.h"

namespace lumenote {

class ConsolidationError : public Error {
public:
    enum class Kind {
        NetworkError,
        ApiError,
        EmptyTranscript,
        MissingAPIKey,
        MissingOllamaModel,
        InvalidOllamaEndpoint,
        UnexpectedResponse,
        // The caller stopped the run (a failed pipeline run, a closing service).
        Cancelled,
    };

    static ConsolidationError networkError(const QString& message) { return {Kind::NetworkError, message}; }
    static ConsolidationError apiError(const QString& message) { return {Kind::ApiError, message}; }
    static ConsolidationError emptyTranscript() { return {Kind::EmptyTranscript, {}}; }
    static ConsolidationError missingAPIKey() { return {Kind::MissingAPIKey, {}}; }
    static ConsolidationError missingOllamaModel() { return {Kind::MissingOllamaModel, {}}; }
    static ConsolidationError invalidOllamaEndpoint() { return {Kind::InvalidOllamaEndpoint, {}}; }
    static ConsolidationError unexpectedResponse() { return {Kind::UnexpectedResponse, {}}; }
    static ConsolidationError cancelled() { return {Kind::Cancelled, {}}; }

    Kind kind() const noexcept { return kind_; }
    // The payload of networkError and apiError.
    const QString& message() const noexcept { return message_; }

    static QString describe(Kind kind, const QString& message);

private:
    ConsolidationError(Kind kind, QString message)
        : Error(describe(kind, message)), kind_(kind), message_(std::move(message)) {}

    Kind kind_;
    QString message_;
};

}  // namespace lumenote
