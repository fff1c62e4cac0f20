#pragma once

#include <QString>

namespace lumenote {

// Removes spaces and tabs at both ends, keeping line breaks.
QString trimSpacesAndTabs(const QString& text);

}  // namespace lumenote
