#pragma once

// Everything the selected lecture offers below its summary: the player, the
// processing panel and the lecture's actions (re-transcribe with a model
// choice, re-export, the study-notes mode with its two questions, notes made
// now or removed, a frame from the player, re-download, Markdown, the study
// page and its folder). The view owns its questions and pickers; each lecture
// shown gets its own controller and processing state, and a run keeps going
// when another lecture is selected, without touching the player or the
// newly shown state.

#include "core/Lecture.h"

#include <QCoroTask>
#include <QDialog>
#include <QHash>
#include <QPointer>

#include "app/TranscriptPanel.h"
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

class QAction;
class QComboBox;

class QLabel;
class QPushButton;
class QTimer;
class QToolBar;

namespace lumenote {

class LectureController;
class LibraryStore;
class PipelinePanel;
class ProcessingState;

class VideoPlayer;
struct PipelineServices;

class LectureDetailView : public QWidget {
    Q_OBJECT
public:
    explicit LectureDetailView(LibraryStore& store, QWidget* parent = nullptr);
    LectureDetailView(LibraryStore& store, const PipelineServices& services, QWidget* parent = nullptr);
    ~LectureDetailView() override;

    // Shows a lecture (none: nothing). Showing the lecture already shown only refreshes.
    void setLecture(const LecturePtr& lecture);
    LecturePtr lecture() const;
    // Starts a full run of the lecture shown.
    void beginProcessing();

    VideoPlayer* player() const { return player_; }
    PipelinePanel* pipelinePanel() const { return pipeline_; }
    // The shown lecture's transcript, notes and annotations; none without a lecture.
    TranscriptPanel* transcriptPanel() const { return transcript_; }
    LectureController* controller() const;
    ProcessingState* state() const;
    // The question or picker open now, if any.
    QDialog* openDialog() const { return dialog_; }
    // True until the shown lecture's stored products are in its state and its
    // video is in the player (or known to be missing).
    bool isLoading() const { return loading_; }
    // A conversion of the video for the player is running.
    bool isTranscodingForPlayer() const { return transcodingForPlayer_; }

    QAction* retranscribeAction() const { return retranscribe_; }
    QAction* reExportAction() const { return reExport_; }
    QAction* runConsolidationAction() const { return runConsolidation_; }
    QAction* removeNotesAction() const { return removeNotes_; }
    QAction* captureFrameAction() const { return captureFrame_; }
    QAction* markdownAction() const { return markdown_; }
    QAction* openPageAction() const { return openPage_; }
    QAction* showFolderAction() const { return showFolder_; }
    QPushButton* redownloadButton() const { return redownload_; }
    QComboBox* consolidationModePicker() const { return mode_; }

signals:
    // The shown lecture's video is ready in the player, or known to be missing.
    void loaded();

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Session;
    void createActions();
    void retranslate();
    void refresh();
    void showSession(Session* session);
    void releaseIdleSessions();
    QCoro::Task<> load(std::shared_ptr<Session> session);
    QCoro::Task<> openVideo(QUuid lectureID);
    std::optional<QString> exportFolder() const;
    void askRetranscribe();
    void askRemoveNotes();
    void askRunConsolidation();
    void consolidationModeChosen(int index);
    void showDialog(QDialog* dialog);
    // Runs an action of the shown controller, refreshing the view when it ends.
    void run(QCoro::Task<> task);

    LibraryStore& store_;
    std::unique_ptr<PipelineServices> services_;
    VideoPlayer* player_;
    PipelinePanel* pipeline_;
    QLabel* converting_;
    QWidget* missingBox_;
    QLabel* missingText_;
    QLabel* redownloadError_;
    QPushButton* redownload_;
    QToolBar* toolbar_;
    QToolBar* playerBar_;
    QLabel* modeLabel_;
    QComboBox* mode_;
    QAction* retranscribe_ = nullptr;
    QAction* reExport_ = nullptr;
    QAction* runConsolidation_ = nullptr;
    QAction* removeNotes_ = nullptr;
    QAction* captureFrame_ = nullptr;
    QAction* markdown_ = nullptr;
    QAction* openPage_ = nullptr;
    QAction* showFolder_ = nullptr;
    QPointer<QDialog> dialog_;
    QWidget* transcriptHolder_ = nullptr;
    QPointer<TranscriptPanel> transcript_;
    QTimer* follow_ = nullptr;

    // The shown lecture's session and those of runs still going for others.
    QHash<QUuid, std::shared_ptr<Session>> sessions_;
    Session* shown_ = nullptr;
    bool loading_ = false;
    bool transcodingForPlayer_ = false;
};

}  // namespace lumenote
