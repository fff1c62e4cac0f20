#pragma once

// The library edits that can be taken back: renaming a folder and moving
// lectures between folders (by menu or by dragging). Records are named by id,
// so a command still applies after the tree has been rebuilt. Deletions are
// not commands: they remove files, and ask first instead.

#include "core/Lecture.h"

#include <QList>
#include <QUndoCommand>
#include <QUuid>

#include <optional>

namespace lumenote {

class LibraryModel;
class LibraryStore;

class RenameFolderCommand : public QUndoCommand {
public:
    RenameFolderCommand(LibraryModel& library, LibraryStore& store, const LectureFolderPtr& folder, const QString& newName);
    void redo() override;
    void undo() override;

private:
    LibraryModel& library_;
    LibraryStore& store_;
    QUuid folderID_;
    QString oldName_;
    QString newName_;
};

class MoveLecturesCommand : public QUndoCommand {
public:
    // `target` none: out of every folder.
    MoveLecturesCommand(LibraryModel& library, LibraryStore& store, const QList<LecturePtr>& lectures, const LectureFolderPtr& target);
    void redo() override;
    void undo() override;
    // Whether any lecture would change folder.
    bool changesAnything() const { return !moves_.isEmpty(); }

private:
    void moveTo(const QUuid& lectureID, const std::optional<QUuid>& folderID);

    LibraryModel& library_;
    LibraryStore& store_;
    struct Move {
        QUuid lecture;
        std::optional<QUuid> from;
    };
    QList<Move> moves_;
    std::optional<QUuid> target_;
};

}  // namespace lumenote
