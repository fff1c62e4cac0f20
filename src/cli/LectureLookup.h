#pragma once

// Finds the lecture a command names: by its id (any letter case, braces
// optional), its exact title, or an unambiguous prefix of its id.

#include "core/Lecture.h"

#include <QList>
#include <QString>

#include <vector>

namespace lumenote::cli {

struct LectureLookup {
    LecturePtr lecture;           // the one lecture named
    QList<LecturePtr> ambiguous;  // several lectures fit the name
};

LectureLookup findLecture(const std::vector<LecturePtr>& lectures, const QString& name);

// The first eight characters of the id, as the listing shows it.
QString shortID(const Lecture& lecture);

}  // namespace lumenote::cli
