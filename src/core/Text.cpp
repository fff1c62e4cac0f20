#include "core/Text.h"

namespace lumenote {

QString trimSpacesAndTabs(const QString& s) {
    qsizetype begin = 0, end = s.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(s[begin])) ++begin;
    while (end > begin && blank(s[end - 1])) --end;
    return s.mid(begin, end - begin);
}

}  // namespace lumenote
