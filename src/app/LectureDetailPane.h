#pragma once

// The selected lecture's summary beside the library: its title, processing
// status, source and where its study page is, above its player, processing
// and actions.

#include "core/Lecture.h"

#include <QWidget>

class QLabel;

namespace lumenote {

class LectureDetailView;
class LibraryModel;
class LibraryStore;

class LectureDetailPane : public QWidget {
    Q_OBJECT
public:
    LectureDetailPane(LibraryModel& library, LibraryStore& store, QWidget* parent = nullptr);

    void setLecture(const LecturePtr& lecture);
    LecturePtr lecture() const { return lecture_; }
    // Reads the lecture's fields again.
    void refresh();
    // The player, processing and actions of the lecture shown.
    LectureDetailView* view() const { return view_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    LibraryModel& library_;
    LecturePtr lecture_;
    QLabel* title_;
    QLabel* status_;
    QLabel* source_;
    QLabel* exportPath_;
    LectureDetailView* view_;
};

}  // namespace lumenote
