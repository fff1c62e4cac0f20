#include "app/LectureDetailView.h"

#include "app/PipelinePanel.h"
#include "app/TranscriptPanel.h"
#include "app/VideoPlayer.h"
#include "core/LectureFiles.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "export/ExportManager.h"
#include "pipeline/LectureController.h"
#include "pipeline/LectureLoader.h"
#include "pipeline/PlayerControl.h"
#include "screenshots/ScreenshotCaptureService.h"
#include "transcription/WhisperModelManager.h"
#include "workspace/LectureDocument.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace lumenote {
namespace {

// The player a lecture's controller drives: the window's player while that
// lecture is shown, nothing while a run goes on for a lecture no longer shown.
class AttachablePlayer : public PlayerControl {
public:
    void attach(PlayerControl* target) {
        target_ = target;
        if (target_) muted_ ? target_->mute() : target_->unmute();
    }
    void mute() override {
        muted_ = true;
        if (target_) target_->mute();
    }
    void unmute() override {
        muted_ = false;
        if (target_) target_->unmute();
    }
    void seek(double seconds, double before, double after) override {
        if (target_) target_->seek(seconds, before, after);
    }
    double currentTime() const override { return target_ ? target_->currentTime() : 0.0; }

private:
    PlayerControl* target_ = nullptr;
    bool muted_ = false;
};

const QList<ConsolidationMode> kModes{ConsolidationMode::Off, ConsolidationMode::Claude, ConsolidationMode::Ollama};

}  // namespace

struct LectureDetailView::Session {
    LecturePtr lecture;
    ProcessingState state;
    AttachablePlayer player;
    // The lecture's annotations and screenshots as the transcript panel edits them.
    std::unique_ptr<LectureDocument> document;
    std::unique_ptr<LectureController> controller;
    bool loaded = false;
};

LectureDetailView::LectureDetailView(LibraryStore& store, QWidget* parent)
    : LectureDetailView(store, PipelineServices::shared(), parent) {}

LectureDetailView::LectureDetailView(LibraryStore& store, const PipelineServices& services, QWidget* parent)
    : QWidget(parent), store_(store), services_(std::make_unique<PipelineServices>(services)) {
    setObjectName(QStringLiteral("lectureDetailView"));
    player_ = new VideoPlayer(this);
    pipeline_ = new PipelinePanel(this);
    converting_ = new QLabel(this);
    converting_->setObjectName(QStringLiteral("convertingForPlayer"));
    converting_->hide();

    missingBox_ = new QWidget(this);
    missingBox_->setObjectName(QStringLiteral("sourceMissing"));
    missingText_ = new QLabel(missingBox_);
    missingText_->setWordWrap(true);
    redownload_ = new QPushButton(missingBox_);
    redownload_->setObjectName(QStringLiteral("redownload"));
    redownloadError_ = new QLabel(missingBox_);
    redownloadError_->setWordWrap(true);
    redownloadError_->setStyleSheet(QStringLiteral("color: #c0392b;"));
    auto* missingLayout = new QVBoxLayout(missingBox_);
    missingLayout->addWidget(missingText_);
    auto* redownloadRow = new QHBoxLayout;
    redownloadRow->addWidget(redownload_);
    redownloadRow->addStretch();
    missingLayout->addLayout(redownloadRow);
    missingLayout->addWidget(redownloadError_);
    missingBox_->hide();

    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("lectureActions"));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    playerBar_ = new QToolBar(this);
    playerBar_->setObjectName(QStringLiteral("frameAndPageActions"));
    playerBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    modeLabel_ = new QLabel(this);
    mode_ = new QComboBox(this);
    mode_->setObjectName(QStringLiteral("consolidationMode"));
    mode_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (ConsolidationMode mode : kModes) mode_->addItem(QString(), modeRawValue(mode));
    createActions();

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(player_, 1);
    topLayout->addWidget(converting_);
    topLayout->addWidget(missingBox_);
    auto* frameRow = new QHBoxLayout;
    frameRow->addWidget(playerBar_, 1);
    frameRow->addWidget(modeLabel_);
    frameRow->addWidget(mode_);
    topLayout->addLayout(frameRow);
    topLayout->addWidget(toolbar_);
    // Player and actions, the transcript, then the processing log, one above
    // the other: beside the player the action rows would not fit a laptop
    // screen next to the library.
    transcriptHolder_ = new QWidget(this);
    transcriptHolder_->setObjectName(QStringLiteral("transcriptHolder"));
    auto* holderLayout = new QVBoxLayout(transcriptHolder_);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("detailSplitter"));
    split->addWidget(top);
    split->addWidget(transcriptHolder_);
    split->addWidget(pipeline_);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 4);
    split->setStretchFactor(2, 2);
    split->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    // The transcript follows playback every 0.1 s.
    follow_ = new QTimer(this);
    follow_->setInterval(100);
    connect(follow_, &QTimer::timeout, this, [this] {
        if (transcript_) transcript_->setCurrentTime(player_->currentTime());
    });
    follow_->start();

    connect(pipeline_, &PipelinePanel::startRequested, this, &LectureDetailView::beginProcessing);
    connect(redownload_, &QPushButton::clicked, this, [this] {
        if (!shown_) return;
        const QUuid id = shown_->lecture->id();
        [](QPointer<LectureDetailView> self, LectureController* controller, QUuid id) -> QCoro::Task<> {
            QCoro::Task<> download = controller->redownloadSource();
            co_await std::move(download);
            if (self && self->shown_ && self->shown_->lecture->id() == id) {
                self->refresh();
                if (!self->shown_->controller->sourceVideoMissing()) co_await self->openVideo(id);
            }
        }(this, shown_->controller.get(), id);
        refresh();
    });
    connect(mode_, &QComboBox::activated, this, &LectureDetailView::consolidationModeChosen);
    connect(player_, &VideoPlayer::positionChanged, this, [this](double seconds) {
        if (shown_) shown_->state.setPlayerTime(seconds);
    });
    connect(&store_, &LibraryStore::changedInThisProcess, this, &LectureDetailView::refresh);
    connect(&store_, &LibraryStore::changedRemotely, this, &LectureDetailView::refresh);
    connect(&store_, &LibraryStore::changedRemotely, this, [this] {
        if (shown_ && shown_->loaded && !shown_->controller->isRunning()) showArrivedTranscript(shown_->state, shown_->lecture);
    });
    retranslate();
}

LectureDetailView::~LectureDetailView() {
    // The panel draws the shown session's document: it goes first.
    delete transcript_;
    for (const auto& session : std::as_const(sessions_)) session->player.attach(nullptr);
}

void LectureDetailView::createActions() {
    auto add = [this](const char* name, void (LectureDetailView::*slot)()) {
        QAction* action = toolbar_->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    auto runAction = [this](QToolBar* bar, const char* name, QCoro::Task<> (LectureController::*call)()) {
        QAction* action = bar->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, call] {
            if (shown_) run((shown_->controller.get()->*call)());
        });
        return action;
    };
    retranscribe_ = add("retranscribe", &LectureDetailView::askRetranscribe);
    reExport_ = runAction(toolbar_, "reExport", &LectureController::reExport);
    runConsolidation_ = add("runConsolidation", &LectureDetailView::askRunConsolidation);
    removeNotes_ = add("removeNotes", &LectureDetailView::askRemoveNotes);
    toolbar_->addSeparator();
    markdown_ = toolbar_->addAction(QString());
    markdown_->setObjectName(QStringLiteral("exportMarkdown"));
    connect(markdown_, &QAction::triggered, this, [this] {
        if (!shown_) return;
        run([](LectureController* controller) -> QCoro::Task<> {
            QCoro::Task<std::optional<QString>> writing = controller->exportMarkdown();
            co_await std::move(writing);
        }(shown_->controller.get()));
    });
    captureFrame_ = runAction(playerBar_, "captureFrame", &LectureController::captureCurrentFrame);
    playerBar_->addSeparator();
    openPage_ = playerBar_->addAction(QString());
    openPage_->setObjectName(QStringLiteral("openStudyPage"));
    connect(openPage_, &QAction::triggered, this, [this] {
        if (const auto folder = exportFolder())
            QDesktopServices::openUrl(QUrl::fromLocalFile(*folder + QStringLiteral("/index.html")));
    });
    showFolder_ = playerBar_->addAction(QString());
    showFolder_->setObjectName(QStringLiteral("showInFolder"));
    connect(showFolder_, &QAction::triggered, this, [this] {
        if (const auto folder = exportFolder()) ExportManager::revealInFileManager(*folder + QStringLiteral("/index.html"));
    });
}

LecturePtr LectureDetailView::lecture() const { return shown_ ? shown_->lecture : LecturePtr(); }
LectureController* LectureDetailView::controller() const { return shown_ ? shown_->controller.get() : nullptr; }
ProcessingState* LectureDetailView::state() const { return shown_ ? &shown_->state : nullptr; }

void LectureDetailView::setLecture(const LecturePtr& lecture) {
    if (lecture && shown_ && shown_->lecture == lecture) {
        refresh();
        return;
    }
    if (dialog_) dialog_->reject();
    if (shown_) shown_->player.attach(nullptr);
    player_->setSource(QString());
    player_->unmute();
    delete transcript_;
    shown_ = nullptr;
    loading_ = false;
    transcodingForPlayer_ = false;
    releaseIdleSessions();
    if (!lecture) {
        pipeline_->setController(nullptr, nullptr);
        refresh();
        return;
    }
    std::shared_ptr<Session>& session = sessions_[lecture->id()];
    if (!session) {
        session = std::make_shared<Session>();
        session->lecture = lecture;
        session->document = std::make_unique<LectureDocument>(lecture, session->state);
        session->controller = std::make_unique<LectureController>(store_, lecture, session->state, session->player, *services_);
        // A frame captured from the player is an undoable edit of the document.
        session->controller->setDocument(session->document.get());
        LectureController* controller = session->controller.get();
        connect(controller, &LectureController::isRunningChanged, this, [this, controller] {
            if (shown_ && shown_->controller.get() == controller) refresh();
            // Later: the controller is still inside the run that just ended.
            else if (!controller->isRunning()) QMetaObject::invokeMethod(this, &LectureDetailView::releaseIdleSessions, Qt::QueuedConnection);
        });
        connect(controller, &LectureController::stateChanged, this, [this, controller] {
            if (shown_ && shown_->controller.get() == controller) refresh();
        });
    }
    showSession(session.get());
    if (session->loaded) {
        openVideo(lecture->id());
    } else {
        load(session);
    }
}

void LectureDetailView::showSession(Session* session) {
    shown_ = session;
    session->player.attach(player_);
    delete transcript_;
    transcript_ = new TranscriptPanel(*session->document, session->state, transcriptHolder_);
    transcriptHolder_->layout()->addWidget(transcript_);
    connect(transcript_, &TranscriptPanel::seekRequested, this, [this](double seconds) { player_->seek(seconds, 0, 0); });
    pipeline_->setController(session->controller.get(), &session->state);
    refresh();
}

// Sessions of lectures no longer shown go once their runs have ended.
void LectureDetailView::releaseIdleSessions() {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (it->get() != shown_ && !(*it)->controller->isRunning()) it = sessions_.erase(it);
        else ++it;
    }
}

QCoro::Task<> LectureDetailView::load(std::shared_ptr<Session> session) {
    // The session is held by this frame: a load overtaken by another selection
    // fills only its own lecture's state, which nobody shows any more.
    QPointer<LectureDetailView> self(this);
    loading_ = true;
    QCoro::Task<> reading = loadLectureIntoState(session->state, session->lecture, *services_->screenshots);
    co_await std::move(reading);
    if (!self || self->shown_ != session.get()) co_return;
    QCoro::Task<> probing = session->controller->videoShown();
    co_await std::move(probing);
    if (!self || self->shown_ != session.get()) co_return;
    session->loaded = true;
    co_await self->openVideo(session->lecture->id());
}

QCoro::Task<> LectureDetailView::openVideo(QUuid lectureID) {
    QPointer<LectureDetailView> self(this);
    auto stillShown = [self, lectureID] { return self && self->shown_ && self->shown_->lecture->id() == lectureID; };
    if (!stillShown()) co_return;
    LectureController* controller = shown_->controller.get();
    const LecturePtr lecture = shown_->lecture;
    loading_ = true;
    if (controller->sourceVideoMissing()) {
        player_->setSource(QString());
    } else {
        const QString source = lecture->localFilePath().value_or(QString());
        // The status comes only when a conversion starts (not for a video the
        // player reads as it is).
        QCoro::Task<QString> preparing = services_->screenshots->ensurePlayableFile(source, [self, stillShown](const QString&) {
            if (!stillShown()) return;
            self->transcodingForPlayer_ = true;
            self->refresh();
        });
        const QString playable = co_await std::move(preparing);
        if (!stillShown()) co_return;
        transcodingForPlayer_ = false;
        // A converted file takes the source's place.
        if (playable != source && QFileInfo::exists(playable)) lecture->setLocalFilePath(playable);
        player_->setSource(playable);
    }
    loading_ = false;
    refresh();
    emit loaded();
}

void LectureDetailView::beginProcessing() {
    if (!shown_ || shown_->controller->isRunning()) return;
    run(shown_->controller->beginProcessing());
}

void LectureDetailView::run(QCoro::Task<> task) {
    refresh();
    [](QPointer<LectureDetailView> self, QCoro::Task<> action) -> QCoro::Task<> {
        co_await std::move(action);
        if (self) self->refresh();
    }(this, std::move(task));
}

std::optional<QString> LectureDetailView::exportFolder() const {
    if (!shown_) return std::nullopt;
    const Lecture& lecture = *shown_->lecture;
    std::optional<QString> folderName;
    if (const auto id = lecture.folderID())
        if (const LectureFolderPtr folder = store_.folder(*id)) folderName = folder->name();
    return services_->exports->existingLectureFolder(lecture, folderName);
}

void LectureDetailView::showDialog(QDialog* dialog) {
    if (dialog_) dialog_->reject();
    dialog_ = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void LectureDetailView::askRetranscribe() {
    if (!shown_) return;
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("retranscribeDialog"));
    //% "Transcribe Again?"
    dialog->setWindowTitle(qtTrId("detail.retranscribe.confirm.title"));
    //% "The transcript is made again with the model chosen below. Screenshots stay as they are; highlights and notes whose words change may no longer find their place."
    auto* message = new QLabel(qtTrId("detail.retranscribe.confirm.message"), dialog);
    message->setWordWrap(true);
    auto* models = new QComboBox(dialog);
    models->setObjectName(QStringLiteral("retranscribeModel"));
    WhisperModelManager* manager = services_->models;
    for (const WhisperModelManager::Model& model : WhisperModelManager::models()) {
        //% "%1 (not downloaded)"
        const QString missing = qtTrId("detail.retranscribe.model.missing");
        const QString name = manager->isDownloaded(model.id) ? model.displayName : missing.arg(model.displayName);
        models->addItem(name, model.id);
    }
    const QString current = shown_->controller->chooseModel().id;
    if (models->findData(current) < 0) models->addItem(current, current);
    models->setCurrentIndex(models->findData(current));
    //% "Model:"
    auto* modelLabel = new QLabel(qtTrId("detail.retranscribe.model"), dialog);
    auto* buttons = new QDialogButtonBox(dialog);
    //% "Transcribe Again"
    buttons->addButton(qtTrId("detail.retranscribe.confirm.proceed"), QDialogButtonBox::AcceptRole);
    //% "Cancel"
    buttons->addButton(qtTrId("detail.retranscribe.confirm.cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(modelLabel);
    modelRow->addWidget(models, 1);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(message);
    layout->addLayout(modelRow);
    layout->addWidget(buttons);
    const LecturePtr lecture = shown_->lecture;
    connect(dialog, &QDialog::accepted, this, [this, lecture, models] {
        if (!shown_ || shown_->lecture != lecture) return;
        lecture->setDesiredModelID(models->currentData().toString());
        run(shown_->controller->retranscribe());
    });
    showDialog(dialog);
}

void LectureDetailView::askRemoveNotes() {
    if (!shown_) return;
    //% "Remove Consolidated Notes?"
    const QString title = qtTrId("detail.alert.strip.title");
    //% "The existing consolidated notes will be removed from the HTML output. You can re-enable consolidation to regenerate them."
    const QString text = qtTrId("detail.alert.strip.message");
    auto* box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("removeNotesAlert"));
    //% "Remove from HTML"
    QPushButton* remove = box->addButton(qtTrId("detail.alert.strip.confirm"), QMessageBox::DestructiveRole);
    //% "Keep Notes"
    box->addButton(qtTrId("detail.alert.strip.keep"), QMessageBox::RejectRole);
    const LecturePtr lecture = shown_->lecture;
    connect(box, &QMessageBox::buttonClicked, this, [this, lecture, remove](QAbstractButton* clicked) {
        if (clicked != remove || !shown_ || shown_->lecture != lecture) return;
        run(shown_->controller->removeConsolidatedNotes());
    });
    showDialog(box);
}

void LectureDetailView::askRunConsolidation() {
    if (!shown_) return;
    //% "Run Consolidation Now?"
    const QString title = qtTrId("detail.alert.run.title");
    //% "A transcript is ready. Would you like to generate consolidated notes now?"
    const QString text = qtTrId("detail.alert.run.message");
    auto* box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("runConsolidationAlert"));
    //% "Run Consolidation"
    QPushButton* start = box->addButton(qtTrId("detail.alert.run.confirm"), QMessageBox::AcceptRole);
    //% "Not Now"
    box->addButton(qtTrId("detail.alert.run.later"), QMessageBox::RejectRole);
    const LecturePtr lecture = shown_->lecture;
    connect(box, &QMessageBox::buttonClicked, this, [this, lecture, start](QAbstractButton* clicked) {
        if (clicked != start || !shown_ || shown_->lecture != lecture) return;
        run(shown_->controller->runConsolidationNow());
    });
    showDialog(box);
}

void LectureDetailView::consolidationModeChosen(int index) {
    if (!shown_ || index < 0 || index >= kModes.size()) return;
    const auto alert = shown_->controller->setConsolidationMode(kModes[index]);
    refresh();  // the picker shows the stored mode again
    if (alert == LectureController::ConsolidationAlert::RemoveNotes) askRemoveNotes();
    else if (alert == LectureController::ConsolidationAlert::RunNow) askRunConsolidation();
}

void LectureDetailView::refresh() {
    LectureController* controller = this->controller();
    const LecturePtr lecture = this->lecture();
    const bool running = controller && controller->isRunning();
    const bool idle = controller && !running;
    const bool missing = controller && controller->sourceVideoMissing();
    const bool hasTranscript = lecture && transcriptBytes(*lecture).has_value();
    const bool hasNotes = lecture && consolidatedBytes(*lecture).has_value();
    const std::optional<QString> folder = exportFolder();

    retranscribe_->setEnabled(idle && !missing && lecture->localFilePath().has_value());
    reExport_->setEnabled(idle && hasTranscript);
    runConsolidation_->setEnabled(idle && hasTranscript);
    removeNotes_->setEnabled(idle && hasNotes);
    captureFrame_->setEnabled(idle && !missing && !loading_ && !controller->isCapturingFrame());
    markdown_->setEnabled(controller && folder && hasTranscript && !controller->isExportingMarkdown());
    openPage_->setEnabled(folder.has_value());
    showFolder_->setEnabled(folder.has_value());
    mode_->setEnabled(idle);
    if (lecture) {
        const QSignalBlocker block(mode_);
        mode_->setCurrentIndex(int(kModes.indexOf(lecture->consolidationMode())));
    }

    converting_->setVisible(transcodingForPlayer_);
    player_->setVisible(!missing);
    missingBox_->setVisible(missing);
    const bool canDownload = lecture && !lecture->sourceURL().value_or(QString()).isEmpty();
    redownload_->setVisible(canDownload);
    redownload_->setEnabled(canDownload && !controller->isRedownloading());
    const QString downloadError = controller ? controller->redownloadError().value_or(QString()) : QString();
    redownloadError_->setText(downloadError);
    redownloadError_->setVisible(!downloadError.isEmpty());
    if (controller && controller->isRedownloading()) {
        //% "Downloading…"
        redownload_->setText(qtTrId("detail.redownload.busy"));
    } else {
        //% "Download Again"
        redownload_->setText(qtTrId("detail.redownload"));
    }
    pipeline_->refresh();
}

void LectureDetailView::retranslate() {
    //% "Transcribe Again…"
    retranscribe_->setText(qtTrId("detail.action.retranscribe"));
    //% "Re-export"
    reExport_->setText(qtTrId("detail.action.reexport"));
    //% "Rebuild the study page from the stored transcript, screenshots, notes and annotations."
    reExport_->setToolTip(qtTrId("detail.action.reexport.help"));
    //% "Make Study Notes Now"
    runConsolidation_->setText(qtTrId("detail.action.consolidate"));
    //% "Remove Study Notes…"
    removeNotes_->setText(qtTrId("detail.action.remove.notes"));
    //% "Add Frame to Transcript"
    captureFrame_->setText(qtTrId("player.add.to.transcript"));
    //% "Adds the frame shown in the player to the screenshots."
    captureFrame_->setToolTip(qtTrId("player.add.to.transcript.help"));
    //% "Write Markdown"
    markdown_->setText(qtTrId("detail.action.markdown"));
    //% "Write a Markdown version of this lecture to the folder configured in Settings → Markdown."
    markdown_->setToolTip(qtTrId("detail.action.markdown.help"));
    //% "Open Study Page"
    openPage_->setText(qtTrId("detail.action.open.page"));
    //% "Show in Folder"
    showFolder_->setText(qtTrId("detail.action.show.folder"));
    //% "Study notes:"
    modeLabel_->setText(qtTrId("detail.consolidation.mode"));
    //% "Off"
    mode_->setItemText(0, qtTrId("detail.consolidation.mode.off"));
    //% "Claude"
    mode_->setItemText(1, qtTrId("detail.consolidation.mode.claude"));
    //% "Ollama"
    mode_->setItemText(2, qtTrId("detail.consolidation.mode.ollama"));
    //% "Converting the video so that it can be played…"
    converting_->setText(qtTrId("detail.converting"));
    //% "The video file of this lecture is no longer where it was."
    missingText_->setText(qtTrId("detail.source.missing"));
    refresh();
}

void LectureDetailView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

}  // namespace lumenote
