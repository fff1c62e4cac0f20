#include "app/LectureDetailPane.h"

#include "app/LectureDetailView.h"
#include "app/LibraryItemDelegate.h"
#include "core/LibraryModel.h"
#include "export/ExportManager.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace lumenote {

namespace {

// Gives the pane's content the visible height, or its minimum height when
// that is more (then it scrolls). A resizable QScrollArea would give it the
// preferred height of its wrapped labels' layout and scroll needlessly.
class FittingScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    void setContent(QWidget* content) {
        setWidget(content);
        content->installEventFilter(this);
        fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QScrollArea::resizeEvent(event);
        fit();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget() && event->type() == QEvent::LayoutRequest) QTimer::singleShot(0, this, [this] { fit(); });
        return QScrollArea::eventFilter(watched, event);
    }

private:
    void fit() {
        QWidget* content = widget();
        if (!content) return;
        const int needed = content->minimumSizeHint().height();
        const int room = maximumViewportSize().height();
        // The vertical bar takes width only when the content cannot fit.
        const int width = maximumViewportSize().width() - (needed > room ? verticalScrollBar()->sizeHint().width() : 0);
        content->resize(width, std::max(room, needed));
    }
};

}  // namespace

LectureDetailPane::LectureDetailPane(LibraryModel& library, LibraryStore& store, QWidget* parent)
    : QWidget(parent), library_(library), view_(new LectureDetailView(store, this)) {
    setObjectName(QStringLiteral("lectureDetail"));
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("detailTitle"));
    title_->setWordWrap(true);
    title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont titleFont = title_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setWeight(QFont::DemiBold);
    title_->setFont(titleFont);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("detailStatus"));
    source_ = new QLabel(this);
    source_->setWordWrap(true);
    source_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    exportPath_ = new QLabel(this);
    exportPath_->setObjectName(QStringLiteral("detailExportPath"));
    exportPath_->setWordWrap(true);
    exportPath_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    exportPath_->setOpenExternalLinks(true);

    // Player, transcript with its editors, and the processing log fill the
    // pane; on a screen too short for all of them the pane scrolls instead of
    // growing the window past the screen.
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(title_);
    layout->addWidget(status_);
    layout->addSpacing(8);
    layout->addWidget(source_);
    layout->addWidget(exportPath_);
    layout->addWidget(view_, 1);
    auto* scroll = new FittingScrollArea(this);
    scroll->setObjectName(QStringLiteral("detailScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setContent(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    // An editor that opens below the visible part (a note, a margin note)
    // takes the focus: bring it, and the group it belongs to, into view.
    connect(qApp, &QApplication::focusChanged, this, [scroll, content](QWidget*, QWidget* now) {
        if (!now || !content->isAncestorOf(now)) return;
        // Once the editor's layout has settled.
        QTimer::singleShot(0, scroll, [scroll, content, focused = QPointer<QWidget>(now)] {
            if (!focused) return;
            QWidget* shown = focused;
            const int room = scroll->viewport()->height();
            while (shown->parentWidget() && shown->parentWidget() != content && shown->parentWidget()->height() <= room)
                shown = shown->parentWidget();
            scroll->ensureWidgetVisible(shown, 0, 8);
        });
    });
}

void LectureDetailPane::setLecture(const LecturePtr& lecture) {
    lecture_ = lecture;
    view_->setLecture(lecture && !lecture->isDeleted() ? lecture : LecturePtr());
    refresh();
}

void LectureDetailPane::refresh() {
    if (!lecture_ || lecture_->isDeleted()) {
        title_->clear();
        status_->clear();
        source_->clear();
        exportPath_->clear();
        return;
    }
    const Lecture& l = *lecture_;
    title_->setText(l.title());
    //% "Status: %1"
    status_->setText(qtTrId("detail.status").arg(LibraryItemDelegate::statusText(l.status())));
    if (l.sourceURL()) {
        //% "Downloaded from %1"
        source_->setText(qtTrId("detail.source.url").arg(*l.sourceURL()));
    } else if (l.localFilePath()) {
        //% "Video file: %1"
        source_->setText(qtTrId("detail.source.file").arg(ExportManager::displayPath(*l.localFilePath())));
    } else {
        source_->clear();
    }
    const auto folder = ExportManager::shared().existingLectureFolder(l, library_.folderNameOf(l));
    if (folder) {
        const QString link = QStringLiteral("<a href=\"%1\">%2</a>")
                                 .arg(QUrl::fromLocalFile(*folder).toString(QUrl::FullyEncoded), ExportManager::displayPath(*folder).toHtmlEscaped());
        //% "Study page: %1"
        exportPath_->setText(qtTrId("detail.export.path").arg(link));
    } else {
        //% "Not exported yet. The study page will be written to %1."
        exportPath_->setText(qtTrId("detail.export.none")
                                 .arg(ExportManager::displayPath(ExportManager::shared().lectureFolderPath(l, library_.folderNameOf(l))).toHtmlEscaped()));
    }
}

void LectureDetailPane::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) refresh();
    QWidget::changeEvent(event);
}

}  // namespace lumenote
