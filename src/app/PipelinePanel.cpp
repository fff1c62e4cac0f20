#include "app/PipelinePanel.h"

#include "app/LibraryItemDelegate.h"
#include "core/ProcessingState.h"
#include "pipeline/LectureController.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace lumenote {
namespace {

int percent(double fraction) { return int(std::lround(std::clamp(fraction, 0.0, 1.0) * 100.0)); }

}  // namespace

PipelinePanel::PipelinePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pipelinePanel"));
    title_ = new QLabel(this);
    QFont bold = title_->font();
    bold.setWeight(QFont::DemiBold);
    title_->setFont(bold);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("pipelineStatus"));
    start_ = new QPushButton(this);
    start_->setObjectName(QStringLiteral("startProcessing"));
    transcriptionLabel_ = new QLabel(this);
    transcription_ = new QProgressBar(this);
    transcription_->setObjectName(QStringLiteral("transcriptionProgress"));
    screenshotsLabel_ = new QLabel(this);
    screenshots_ = new QProgressBar(this);
    screenshots_->setObjectName(QStringLiteral("screenshotProgress"));
    for (QProgressBar* bar : {transcription_, screenshots_}) bar->setRange(0, 100);
    liveText_ = new QLabel(this);
    liveText_->setObjectName(QStringLiteral("liveText"));
    liveText_->setWordWrap(true);
    // The words being heard wrap within the panel; a long run without spaces
    // is cut off rather than widening the window.
    liveText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont italic = liveText_->font();
    italic.setItalic(true);
    liveText_->setFont(italic);
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("pipelineError"));
    error_->setWordWrap(true);
    error_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->setStyleSheet(QStringLiteral("color: #c0392b;"));
    log_ = new QListWidget(this);
    log_->setObjectName(QStringLiteral("pipelineLog"));
    log_->setWordWrap(true);
    log_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    log_->setMinimumHeight(48);

    auto* head = new QHBoxLayout;
    head->addWidget(title_);
    head->addWidget(status_, 1);
    head->addWidget(start_);
    auto* bars = new QGridLayout;
    bars->addWidget(transcriptionLabel_, 0, 0);
    bars->addWidget(transcription_, 0, 1);
    bars->addWidget(screenshotsLabel_, 1, 0);
    bars->addWidget(screenshots_, 1, 1);
    bars->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(head);
    layout->addLayout(bars);
    layout->addWidget(liveText_);
    layout->addWidget(error_);
    layout->addWidget(log_, 1);

    connect(start_, &QPushButton::clicked, this, &PipelinePanel::startRequested);
    liveText_->hide();
    retranslate();
    syncLog();
    refresh();
}

void PipelinePanel::setController(LectureController* controller, ProcessingState* state) {
    if (controller_) disconnect(controller_, nullptr, this, nullptr);
    if (state_) disconnect(state_, nullptr, this, nullptr);
    controller_ = controller;
    state_ = state;
    log_->clear();
    if (controller_) {
        connect(controller_, &LectureController::pipelineErrorChanged, this, &PipelinePanel::refresh);
        connect(controller_, &LectureController::isRunningChanged, this, &PipelinePanel::refresh);
        connect(controller_, &LectureController::stateChanged, this, &PipelinePanel::refresh);
    }
    if (state_) {
        connect(state_, &ProcessingState::transcriptionProgressChanged, this, &PipelinePanel::refresh);
        connect(state_, &ProcessingState::screenshotProgressChanged, this, &PipelinePanel::refresh);
        connect(state_, &ProcessingState::liveTextChanged, this, &PipelinePanel::refresh);
        connect(state_, &ProcessingState::messagesChanged, this, [this] {
            syncLog();
            refresh();  // a run's steps change the status as they log
        });
    }
    syncLog();
    refresh();
}

// New lines are appended as they come; a reset state empties the log.
void PipelinePanel::syncLog() {
    if (!state_) return;
    const QList<ProcessingMessage>& messages = state_->messages();
    if (messages.size() < log_->count()) log_->clear();
    const QLocale locale;
    for (qsizetype i = log_->count(); i < messages.size(); ++i) {
        const ProcessingMessage& m = messages[i];
        auto* item = new QListWidgetItem(locale.toString(m.timestamp.time(), QLocale::LongFormat).section(QLatin1Char(' '), 0, 0) +
                                         QStringLiteral("  ") + m.text);
        item->setData(Qt::UserRole, m.id);
        item->setToolTip(locale.toString(m.timestamp, QLocale::LongFormat));
        log_->addItem(item);
    }
    if (log_->count() > 0) log_->scrollToBottom();
}

void PipelinePanel::refresh() {
    const LecturePtr lecture = controller_ ? controller_->lecture() : LecturePtr();
    const LectureStatus status = lecture ? lecture->status() : LectureStatus::Pending;
    status_->setText(lecture ? LibraryItemDelegate::statusText(status) : QString());
    const bool startable = status == LectureStatus::Pending || status == LectureStatus::Missing || status == LectureStatus::Failed;
    if (startable) {
        //% "Start Processing"
        start_->setText(qtTrId("detail.action.begin.processing"));
    } else {
        //% "Process Again"
        start_->setText(qtTrId("detail.action.processing"));
    }
    start_->setEnabled(lecture && lecture->localFilePath() && !controller_->isRunning());
    const QString error = controller_ ? controller_->pipelineErrorText() : QString();
    error_->setText(error);
    error_->setVisible(!error.isEmpty());
    transcription_->setValue(state_ ? percent(state_->transcriptionProgress()) : 0);
    screenshots_->setValue(state_ ? percent(state_->screenshotProgress()) : 0);
    // The bars show a run's progress; without one and without values they are hidden.
    const bool showBars = (controller_ && controller_->isRunning()) || transcription_->value() > 0 || screenshots_->value() > 0;
    for (QWidget* w : {static_cast<QWidget*>(transcriptionLabel_), static_cast<QWidget*>(transcription_),
                       static_cast<QWidget*>(screenshotsLabel_), static_cast<QWidget*>(screenshots_)})
        w->setVisible(showBars);
    const QString live = state_ ? state_->liveText() : QString();
    liveText_->setText(live);
    liveText_->setVisible(!live.isEmpty());
}

void PipelinePanel::retranslate() {
    //% "Processing"
    title_->setText(qtTrId("detail.pipeline.title"));
    //% "Transcription"
    transcriptionLabel_->setText(qtTrId("detail.pipeline.transcription"));
    //% "Screenshots"
    screenshotsLabel_->setText(qtTrId("detail.pipeline.screenshots"));
    refresh();
}

void PipelinePanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

}  // namespace lumenote
