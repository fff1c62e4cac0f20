#include "cli/LectureLookup.h"

#include <QRegularExpression>

namespace lumenote::cli {

QString shortID(const Lecture& lecture) { return lecture.idText().left(8); }

LectureLookup findLecture(const std::vector<LecturePtr>& lectures, const QString& name) {
    LectureLookup result;
    QString key = name.trimmed();
    if (key.isEmpty()) return result;

    // The whole id.
    const QUuid asUuid(key.startsWith(QLatin1Char('{')) ? key : QLatin1Char('{') + key + QLatin1Char('}'));
    if (!asUuid.isNull())
        for (const LecturePtr& l : lectures)
            if (l->id() == asUuid) {
                result.lecture = l;
                return result;
            }

    // The exact title (before prefixes, so that a title made of hex digits still names its lecture).
    QList<LecturePtr> byTitle;
    for (const LecturePtr& l : lectures)
        if (l->title() == name) byTitle << l;
    if (byTitle.size() == 1) {
        result.lecture = byTitle.first();
        return result;
    }
    if (byTitle.size() > 1) {
        result.ambiguous = byTitle;
        return result;
    }

    // A prefix of the id's canonical text.
    static const QRegularExpression idChars(QStringLiteral("^\\{?[0-9A-Fa-f-]+$"));
    if (!idChars.match(key).hasMatch()) return result;
    if (key.startsWith(QLatin1Char('{'))) key.remove(0, 1);
    key = key.toUpper();
    QList<LecturePtr> byPrefix;
    for (const LecturePtr& l : lectures)
        if (l->idText().startsWith(key)) byPrefix << l;
    if (byPrefix.size() == 1)
        result.lecture = byPrefix.first();
    else
        result.ambiguous = byPrefix;
    return result;
}

}  // namespace lumenote::cli
