#pragma once

// The Help menu's documentation page and the feedback mail: a new message in
// the user's mail program with the version in the subject and a short system
// summary below a thank-you note.

#include <QString>
#include <QUrl>

namespace lumenote {

inline constexpr const char* kDocumentationUrl = "https://corvana.io/lumenote/help";
inline constexpr const char* kFeedbackAddress = "feedback@corvana.io";

struct SystemSummary {
    QString app;      // name, version and build
    QString os;       // distribution and version
    QString machine;  // hardware model
    QString cpu;      // processor model
    QString ram;      // installed memory, in GB
    static SystemSummary current(const QString& version);
};

QString feedbackSubject(const QString& version);
// Three empty lines, a rule, the thank-you paragraph, the system lines and a closing rule.
QString feedbackBody(const SystemSummary& system);
QUrl feedbackMailUrl(const QString& version, const SystemSummary& system);

}  // namespace lumenote
