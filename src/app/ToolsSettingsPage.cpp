#include "app/ToolsSettingsPage.h"

#include "app/LocalizationManager.h"
#include "app/SpeechModelListModel.h"
#include "core/Error.h"
#include "media/URLDownloadService.h"
#include "transcription/WhisperModelManager.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace lumenote {

namespace {

QPushButton* button(QWidget* parent, const char* name) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QProgressBar* progressBar(QWidget* parent, const char* name) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 1000);
    bar->setTextVisible(false);
    bar->setMaximumHeight(8);
    bar->hide();
    return bar;
}

// A tool's box: its state with the two actions beside it, then full-width lines.
void layOutTool(QGroupBox* group, QLabel* status, QPushButton* check, QPushButton* action, std::initializer_list<QWidget*> lines) {
    auto* grid = new QGridLayout(group);
    grid->addWidget(status, 0, 0);
    grid->addWidget(check, 0, 1);
    grid->addWidget(action, 0, 2);
    int row = 1;
    for (QWidget* line : lines) grid->addWidget(line, row++, 0, 1, 3);
    grid->setColumnStretch(0, 1);
}

int permille(double fraction) { return static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000); }

// The text of a tool's version state.
QString statusText(const UpdateStatus& status, const std::optional<QString>& knownVersion, double progress) {
    switch (status.kind()) {
    case UpdateStatus::Kind::UpToDate:
        //% "Up to date (version %1)"
        return qtTrId("settings.tools.status.current").arg(status.version());
    case UpdateStatus::Kind::Available:
        //% "Version %1 is available (installed: %2)"
        return qtTrId("settings.tools.status.available").arg(status.latest(), status.version());
    case UpdateStatus::Kind::Checking:
        //% "Checking for a newer version…"
        return qtTrId("settings.tools.status.checking");
    case UpdateStatus::Kind::Updating:
        //% "Downloading… %1%"
        return qtTrId("settings.tools.status.updating").arg(static_cast<int>(progress * 100));
    case UpdateStatus::Kind::CheckFailed:
        //% "The check failed. Check your connection and try again."
        return qtTrId("settings.tools.status.failed");
    case UpdateStatus::Kind::Unknown:
        break;
    }
    if (knownVersion && !knownVersion->isEmpty())
        //% "Version %1 (not checked in this session)"
        return qtTrId("settings.tools.status.known").arg(*knownVersion);
    //% "Not checked yet"
    return qtTrId("settings.tools.status.unknown");
}

}  // namespace

ToolsSettingsPage::ToolsSettingsPage(QWidget* parent)
    : SettingsPage(parent),
      tools_(URLDownloadService::shared()),
      manager_(WhisperModelManager::shared()),
      ytDlpPathFound_(tools_.ytDlpPath()),
      ffmpegPathFound_(tools_.ffmpegPath()) {
    setObjectName(QStringLiteral("toolsPage"));
    heading_ = createHeading();

    // yt-dlp
    ytDlpGroup_ = new QGroupBox(QStringLiteral("yt-dlp"), this);
    ytDlpPath_ = createNote(ytDlpGroup_, "ytDlpPath");
    ytDlpStatus_ = createNote(ytDlpGroup_, "ytDlpStatus", false);
    ytDlpLastCheck_ = createNote(ytDlpGroup_, "ytDlpLastCheck");
    ytDlpCheck_ = button(ytDlpGroup_, "ytDlpCheck");
    ytDlpUpdate_ = button(ytDlpGroup_, "ytDlpUpdate");
    ytDlpProgress_ = progressBar(ytDlpGroup_, "ytDlpProgress");
    layOutTool(ytDlpGroup_, ytDlpStatus_, ytDlpCheck_, ytDlpUpdate_, {ytDlpPath_, ytDlpLastCheck_, ytDlpProgress_});

    // ffmpeg
    ffmpegGroup_ = new QGroupBox(QStringLiteral("ffmpeg"), this);
    ffmpegPath_ = createNote(ffmpegGroup_, "ffmpegPath");
    ffmpegStatus_ = createNote(ffmpegGroup_, "ffmpegStatus", false);
    ffmpegLastCheck_ = createNote(ffmpegGroup_, "ffmpegLastCheck");
    ffmpegCheck_ = button(ffmpegGroup_, "ffmpegCheck");
    ffmpegInstall_ = button(ffmpegGroup_, "ffmpegInstall");
    ffmpegProgress_ = progressBar(ffmpegGroup_, "ffmpegProgress");
    layOutTool(ffmpegGroup_, ffmpegStatus_, ffmpegCheck_, ffmpegInstall_, {ffmpegPath_, ffmpegLastCheck_, ffmpegProgress_});

    // Speech models
    modelsGroup_ = new QGroupBox(this);
    modelsDescription_ = createNote(modelsGroup_, "modelsDescription");
    models_ = new SpeechModelListModel(manager_, this);
    modelView_ = new QTreeView(modelsGroup_);
    modelView_->setObjectName(QStringLiteral("speechModelList"));
    modelView_->setModel(models_);
    modelView_->setRootIsDecorated(false);
    modelView_->setAllColumnsShowFocus(true);
    modelView_->setSelectionMode(QAbstractItemView::SingleSelection);
    modelView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    modelView_->header()->setStretchLastSection(true);
    modelView_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    modelView_->setMinimumHeight(150);
    download_ = button(modelsGroup_, "modelDownload");
    use_ = button(modelsGroup_, "modelUse");
    delete_ = button(modelsGroup_, "modelDelete");
    modelsCheck_ = button(modelsGroup_, "modelsCheck");
    modelProgress_ = progressBar(modelsGroup_, "modelProgress");
    modelsStatus_ = createNote(modelsGroup_, "modelsStatus");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(download_);
    buttons->addWidget(use_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(modelsCheck_);
    auto* mg = new QVBoxLayout(modelsGroup_);
    mg->addWidget(modelsDescription_);
    mg->addWidget(modelView_, 1);
    mg->addLayout(buttons);
    mg->addWidget(modelProgress_);
    mg->addWidget(modelsStatus_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(ytDlpGroup_);
    layout->addWidget(ffmpegGroup_);
    layout->addWidget(modelsGroup_, 1);

    connect(ytDlpCheck_, &QPushButton::clicked, this, [this] { tools_.checkForUpdates(); });
    connect(ytDlpUpdate_, &QPushButton::clicked, this, [this] { tools_.updateYtDlp(); });
    connect(ffmpegCheck_, &QPushButton::clicked, this, [this] { tools_.checkFFmpegUpdates(); });
    connect(ffmpegInstall_, &QPushButton::clicked, this, [this] { tools_.installFFmpeg(); });
    connect(&tools_, &URLDownloadService::toolStateChanged, this, [this] {
        // A finished update or installation may have put a tool in place.
        const bool busy = tools_.isInstallingFFmpeg() || tools_.updateStatus().kind() == UpdateStatus::Kind::Updating;
        if (wasBusy_ && !busy) {
            ytDlpPathFound_ = tools_.ytDlpPath();
            ffmpegPathFound_ = tools_.ffmpegPath();
        }
        wasBusy_ = busy;
        updateYtDlp();
        updateFFmpeg();
    });

    connect(modelView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { updateModelActions(); });
    connect(models_, &QAbstractItemModel::dataChanged, this, [this] { updateModelActions(); });
    connect(download_, &QPushButton::clicked, this, [this] {
        if (manager_.isDownloading()) {
            manager_.cancelDownload();
        } else if (const QString id = currentModelID(); !id.isEmpty()) {
            manager_.download(id);  // reports through the manager's state
        }
    });
    connect(use_, &QPushButton::clicked, this, [this] {
        if (const QString id = currentModelID(); !id.isEmpty()) manager_.setSelectedModelID(id);
    });
    connect(delete_, &QPushButton::clicked, this, [this] { deleteCurrentModel(); });
    connect(modelsCheck_, &QPushButton::clicked, this, [this] { manager_.checkForUpdates(); });
    for (auto signal : {&WhisperModelManager::lastErrorChanged, &WhisperModelManager::isCheckingForUpdatesChanged,
                        &WhisperModelManager::lastUpdateCheckChanged, &WhisperModelManager::downloadProgressChanged,
                        &WhisperModelManager::isDownloadingChanged})
        connect(&manager_, signal, this, [this] { updateModelActions(); });

    retranslate();
}

void ToolsSettingsPage::pageShown() {
    ytDlpPathFound_ = tools_.ytDlpPath();
    ffmpegPathFound_ = tools_.ffmpegPath();
    models_->refresh();
    tools_.startDueUpdateChecks();
    if (manager_.isUpdateCheckDue() && !manager_.isCheckingForUpdates()) manager_.checkForUpdates();
    updateYtDlp();
    updateFFmpeg();
    updateModelActions();
}

QString ToolsSettingsPage::dateText(const std::optional<QDateTime>& when) const {
    if (!when || !when->isValid())
        //% "Never checked"
        return qtTrId("settings.tools.last.check.never");
    const QLocale locale(LocalizationManager::code(LocalizationManager::shared().currentLanguage()));
    //% "Last checked: %1"
    return qtTrId("settings.tools.last.check").arg(locale.toString(when->toLocalTime(), QLocale::ShortFormat));
}

void ToolsSettingsPage::updateYtDlp() {
    const std::optional<QString>& path = ytDlpPathFound_;
    //% "Not found. Install yt-dlp with your package manager to import from web addresses."
    ytDlpPath_->setText(path ? *path : qtTrId("settings.tools.ytdlp.missing"));
    QString status = statusText(tools_.updateStatus(), tools_.lastKnownVersion(), tools_.binaryUpdateProgress());
    if (!tools_.ytDlpUpdateError().isEmpty() && tools_.updateStatus().kind() == UpdateStatus::Kind::CheckFailed)
        status += QLatin1Char('\n') + tools_.ytDlpUpdateError();
    ytDlpStatus_->setText(status);
    ytDlpLastCheck_->setText(dateText(tools_.lastUpdateCheck()));
    const auto kind = tools_.updateStatus().kind();
    const bool busy = tools_.isCheckingForUpdates() || kind == UpdateStatus::Kind::Updating;
    ytDlpCheck_->setEnabled(!busy && path.has_value());
    ytDlpUpdate_->setEnabled(kind == UpdateStatus::Kind::Available);
    ytDlpProgress_->setVisible(kind == UpdateStatus::Kind::Updating);
    ytDlpProgress_->setValue(permille(tools_.binaryUpdateProgress()));
}

void ToolsSettingsPage::updateFFmpeg() {
    const std::optional<QString>& path = ffmpegPathFound_;
    //% "Not found. Lumenote needs ffmpeg for web videos and for videos it must convert."
    ffmpegPath_->setText(path ? *path : qtTrId("settings.tools.ffmpeg.missing"));
    QString status = statusText(tools_.ffmpegUpdateStatus(), tools_.ffmpegLastKnownVersion(), tools_.ffmpegBinaryUpdateProgress());
    if (!tools_.ffmpegInstallError().isEmpty() && tools_.ffmpegUpdateStatus().kind() == UpdateStatus::Kind::CheckFailed)
        status += QLatin1Char('\n') + tools_.ffmpegInstallError();
    ffmpegStatus_->setText(status);
    ffmpegLastCheck_->setText(dateText(tools_.ffmpegLastUpdateCheck()));
    const auto kind = tools_.ffmpegUpdateStatus().kind();
    const bool busy = tools_.isCheckingFFmpegUpdates() || tools_.isInstallingFFmpeg();
    ffmpegCheck_->setEnabled(!busy && path.has_value());
    if (path)
        //% "Update"
        ffmpegInstall_->setText(qtTrId("settings.tools.update"));
    else
        //% "Install"
        ffmpegInstall_->setText(qtTrId("settings.tools.install"));
    ffmpegInstall_->setEnabled(!busy && (!path || kind == UpdateStatus::Kind::Available));
    ffmpegProgress_->setVisible(tools_.isInstallingFFmpeg());
    ffmpegProgress_->setValue(permille(tools_.ffmpegBinaryUpdateProgress()));
}

QString ToolsSettingsPage::currentModelID() const {
    const QModelIndex current = modelView_->selectionModel()->currentIndex();
    return current.isValid() ? current.siblingAtColumn(0).data(SpeechModelListModel::IdRole).toString() : QString();
}

void ToolsSettingsPage::updateModelActions() {
    const QModelIndex current = modelView_->selectionModel()->currentIndex();
    const bool downloaded = current.isValid() && current.data(SpeechModelListModel::IsDownloadedRole).toBool();
    const bool selected = current.isValid() && current.data(SpeechModelListModel::IsSelectedRole).toBool();
    const bool downloading = manager_.isDownloading();
    const bool updateAvailable = current.isValid() && manager_.updateStatus(currentModelID()) == WhisperModelManager::UpdateStatus::available;
    if (downloading)
        //% "Stop Download"
        download_->setText(qtTrId("settings.tools.models.stop"));
    else if (updateAvailable)
        //% "Download Update"
        download_->setText(qtTrId("settings.tools.models.update"));
    else
        //% "Download"
        download_->setText(qtTrId("settings.tools.models.download"));
    download_->setEnabled(downloading || (current.isValid() && (!downloaded || updateAvailable)));
    use_->setEnabled(downloaded && !selected);
    delete_->setEnabled(downloaded && current.data(SpeechModelListModel::IsDownloadingRole).toBool() == false);
    modelsCheck_->setEnabled(!manager_.isCheckingForUpdates());
    modelProgress_->setVisible(downloading);
    modelProgress_->setValue(permille(manager_.downloadProgress()));

    QString status;
    if (!manager_.lastError().isEmpty()) {
        //% "The last download failed: %1"
        status = qtTrId("settings.tools.models.error").arg(manager_.lastError());
    } else if (manager_.isCheckingForUpdates()) {
        //% "Checking the model repository for newer revisions…"
        status = qtTrId("settings.tools.models.checking");
    } else {
        const QDateTime last = manager_.lastUpdateCheck();
        status = dateText(last.isValid() ? std::optional<QDateTime>(last) : std::nullopt);
    }
    modelsStatus_->setText(status);
}

void ToolsSettingsPage::deleteCurrentModel() {
    const QString id = currentModelID();
    if (id.isEmpty()) return;
    const QString name = WhisperModelManager::displayName(id);
    QMessageBox box(QMessageBox::Question,
                    //% "Delete the %1 model?"
                    qtTrId("settings.tools.models.delete.title").arg(name),
                    //% "The %1 model is removed from this computer. You can download it again at any time."
                    qtTrId("settings.tools.models.delete.text").arg(name), QMessageBox::NoButton, this);
    //% "Delete"
    QPushButton* confirm = box.addButton(qtTrId("settings.tools.models.delete"), QMessageBox::DestructiveRole);
    //% "Cancel"
    box.addButton(qtTrId("settings.cancel"), QMessageBox::RejectRole);
    box.setObjectName(QStringLiteral("deleteModelConfirmation"));
    box.exec();
    if (box.clickedButton() != confirm) return;
    try {
        manager_.deleteModel(id);
    } catch (const Error& e) {
        QMessageBox::warning(this, name, e.description());
    }
    models_->refresh();
    updateModelActions();
}

void ToolsSettingsPage::retranslate() {
    //% "Tools"
    heading_->setText(qtTrId("settings.tab.tools"));
    //% "Check Now"
    ytDlpCheck_->setText(qtTrId("settings.tools.check"));
    //% "Update"
    ytDlpUpdate_->setText(qtTrId("settings.tools.update"));
    //% "Check Now"
    ffmpegCheck_->setText(qtTrId("settings.tools.check"));
    //% "Speech models"
    modelsGroup_->setTitle(qtTrId("settings.tools.models.title"));
    //% "Transcription runs on this computer with the checked model. Larger models are more accurate but slower."
    modelsDescription_->setText(qtTrId("settings.tools.models.description"));
    //% "Use This Model"
    use_->setText(qtTrId("settings.tools.models.use"));
    //% "Delete…"
    delete_->setText(qtTrId("settings.tools.models.delete.button"));
    //% "Check for Updates"
    modelsCheck_->setText(qtTrId("settings.tools.models.check"));
    models_->retranslate();
    updateYtDlp();
    updateFFmpeg();
    updateModelActions();
}

}  // namespace lumenote
