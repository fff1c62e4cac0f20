#include "cli/Session.h"

#include "core/LectureFiles.h"

#include "cli/Console.h"
#include "cli/LectureLookup.h"
#include "core/AppPaths.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "export/ExportManager.h"
#include "pipeline/ExportFolders.h"

#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace lumenote::cli {

Session::Session(Console& c, const Invocation& inv) : console(c), invocation(inv) {}

Session::~Session() {
    library_.reset();
    if (store_) {
        QString why;
        if (store_->hasChanges() && !store_->commit(&why))
            console.error(QStringLiteral("the library could not be saved: ") + withFullDiskNamed(why, store_->path()));
    }
}

LibraryStore& Session::store() {
    if (!store_) {
        QString why;
        store_ = LibraryStore::open(AppPaths::libraryStorePath(), &why);
        if (!store_) throw CommandFailure(why);
    }
    return *store_;
}

LibraryModel& Session::library() {
    if (!library_) {
        LibraryStore& s = store();
        exportFolders_ = std::make_unique<ExportFolders>(ExportManager::shared());
        library_ = std::make_unique<LibraryModel>(s, *exportFolders_);
        library_->refreshLists();
    }
    return *library_;
}

LecturePtr Session::lecture(const QString& name) {
    const LectureLookup found = findLecture(store().lectures(), name);
    if (found.lecture) return found.lecture;
    if (found.ambiguous.isEmpty())
        throw CommandFailure(QStringLiteral("no lecture named '%1' (give its id, an id prefix or its exact title; see 'library list')").arg(name));
    QStringList names;
    for (const LecturePtr& l : found.ambiguous.mid(0, 5)) names << describeLecture(*l);
    if (found.ambiguous.size() > 5) names << QStringLiteral("…");
    throw CommandFailure(QStringLiteral("'%1' fits %2 lectures: %3; give more of the id")
                             .arg(name)
                             .arg(found.ambiguous.size())
                             .arg(names.join(QStringLiteral(", "))));
}

LectureFolderPtr Session::folder(const QString& name, bool create) {
    for (const LectureFolderPtr& f : store().folders())
        if (f->name() == name) return f;
    if (!create) return nullptr;
    LectureFolderPtr created = library().createFolder(name);
    if (created) console.print(QStringLiteral("Created folder '%1'.").arg(created->name()));
    return created;
}

std::optional<QString> Session::folderName(const Lecture& lecture) { return library().folderNameOf(lecture); }

void Session::commit() {
    if (!store_) return;
    QString why;
    if (!store_->commit(&why)) throw CommandFailure(QStringLiteral("the library could not be saved: ") + withFullDiskNamed(why, store_->path()));
}

void Session::interrupt() {
    console.removeAllBars();
    if (onInterrupt) onInterrupt();
    if (store_) {
        QString why;
        if (store_->hasChanges() && !store_->commit(&why))
            console.error(QStringLiteral("the library could not be saved: ") + withFullDiskNamed(why, store_->path()));
    }
    console.error(QStringLiteral("interrupted"));
    // Workers may still be busy; nothing else needs to run.
    std::fflush(stdout);
    std::_Exit(130);
}

QString describeLecture(const Lecture& lecture) { return QStringLiteral("'%1' (%2)").arg(lecture.title(), shortID(lecture)); }

}  // namespace lumenote::cli
