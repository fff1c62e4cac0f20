#include "app/LibraryCommands.h"

#include "core/LibraryModel.h"
#include "core/LibraryStore.h"

namespace lumenote {

RenameFolderCommand::RenameFolderCommand(LibraryModel& library, LibraryStore& store, const LectureFolderPtr& folder, const QString& newName)
    : library_(library), store_(store), folderID_(folder->id()), oldName_(folder->name()), newName_(newName.trimmed()) {
    //% "Rename Folder"
    setText(qtTrId("sidebar.undo.rename.folder"));
    setObsolete(newName_.isEmpty() || newName_ == oldName_);
}

void RenameFolderCommand::redo() { library_.renameFolder(store_.folder(folderID_), newName_); }

void RenameFolderCommand::undo() { library_.renameFolder(store_.folder(folderID_), oldName_); }

MoveLecturesCommand::MoveLecturesCommand(LibraryModel& library, LibraryStore& store, const QList<LecturePtr>& lectures,
                                         const LectureFolderPtr& target)
    : library_(library), store_(store), target_(target ? std::optional<QUuid>(target->id()) : std::nullopt) {
    for (const LecturePtr& l : lectures) {
        const LectureFolderPtr current = library.folderOf(*l);
        const std::optional<QUuid> from = current ? std::optional<QUuid>(current->id()) : std::nullopt;
        if (from != target_) moves_.append({l->id(), from});
    }
    if (target) {
        //% "Move to Folder"
        setText(qtTrId("sidebar.undo.move.to.folder"));
    } else {
        setText(qtTrId("sidebar.lecture.remove.from.folder"));
    }
}

void MoveLecturesCommand::moveTo(const QUuid& lectureID, const std::optional<QUuid>& folderID) {
    const LecturePtr lecture = store_.lecture(lectureID);
    if (!lecture || lecture->isDeleted()) return;
    // A folder deleted since then: the lecture goes back to the top level.
    library_.moveLecture(lecture, folderID ? store_.folder(*folderID) : nullptr);
}

void MoveLecturesCommand::redo() {
    for (const Move& m : moves_) moveTo(m.lecture, target_);
}

void MoveLecturesCommand::undo() {
    for (auto it = moves_.crbegin(); it != moves_.crend(); ++it) moveTo(it->lecture, it->from);
}

}  // namespace lumenote
