#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace lumenote {

// Canonical 36-character form with upper-case hexadecimal digits and no braces:
// the form stored in JSON and used to name a lecture's side files.
QString uuidText(const QUuid& id);

// Parses the canonical form (either letter case); none for anything else,
// including the braced form and the nil UUID text of another length.
std::optional<QUuid> parseUuid(const QString& text);

}  // namespace lumenote
