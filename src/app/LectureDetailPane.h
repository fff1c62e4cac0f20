#pragma once

// The selected lecture's summary beside the library: its title, processing
// status, source and where its study page is.

#include "core/Lecture.h"

#include <QWidget>

class QLabel;

namespace lumenote {

class LibraryModel;

class LectureDetailPane : public QWidget {
    Q_OBJECT
public:
    explicit LectureDetailPane(LibraryModel& library, QWidget* parent = nullptr);

    void setLecture(const LecturePtr& lecture);
    LecturePtr lecture() const { return lecture_; }
    // Reads the lecture's fields again.
    void refresh();

protected:
    void changeEvent(QEvent* event) override;

private:
    LibraryModel& library_;
    LecturePtr lecture_;
    QLabel* title_;
    QLabel* status_;
    QLabel* source_;
    QLabel* exportPath_;
};

}  // namespace lumenote
