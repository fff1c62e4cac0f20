#include "app/ImportDialog.h"

#include "core/LibraryStore.h"
#include "media/URLDownloadService.h"

#include <QCoroSignal>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace lumenote {
namespace {

QLabel* wrappedLabel(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setWordWrap(true);
    return l;
}

QLabel* errorLabel(QWidget* parent) {
    QLabel* l = wrappedLabel(parent);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(0xd0, 0x3b, 0x3b));
    l->setPalette(p);
    l->hide();
    return l;
}

QString duplicateActionText(DuplicateAction action) {
    switch (action) {
    case DuplicateAction::OpenExisting:
        //% "Open Existing"
        return qtTrId("import.duplicate.open.existing");
    case DuplicateAction::Reprocess:
        //% "Process Again"
        return qtTrId("import.duplicate.reprocess");
    case DuplicateAction::RedownloadAndReprocess:
        //% "Download Again and Process"
        return qtTrId("import.duplicate.redownload.reprocess");
    case DuplicateAction::Cancel: break;
    }
    //% "Cancel"
    return qtTrId("import.duplicate.cancel");
}

QMessageBox::ButtonRole duplicateActionRole(DuplicateAction action) {
    switch (action) {
    case DuplicateAction::OpenExisting: return QMessageBox::AcceptRole;
    case DuplicateAction::Cancel: return QMessageBox::RejectRole;
    default: return QMessageBox::ActionRole;
    }
}

}  // namespace

ImportDialog::ImportDialog(LibraryStore& store, URLDownloadService& downloader, Callbacks callbacks, QWidget* parent)
    : QDialog(parent), downloader_(downloader) {
    setObjectName(QStringLiteral("importDialog"));
    ImportController::Handlers handlers;
    handlers.onImport = std::move(callbacks.onImport);
    handlers.onReprocess = std::move(callbacks.onReprocess);
    handlers.resolveDuplicate = [this](DuplicatePrompt prompt) { return askDuplicate(std::move(prompt)); };
    controller_ = new ImportController(store, downloader, std::move(handlers), this);

    // File tab
    auto* filePage = new QWidget(this);
    fileMessage_ = wrappedLabel(filePage);
    chooseButton_ = new QPushButton(filePage);
    chooseButton_->setObjectName(QStringLiteral("chooseFileButton"));
    connect(chooseButton_, &QPushButton::clicked, this, &ImportDialog::chooseFile);
    fileError_ = errorLabel(filePage);
    auto* fileLayout = new QVBoxLayout(filePage);
    fileLayout->addStretch();
    fileLayout->addWidget(fileMessage_);
    fileLayout->addWidget(chooseButton_, 0, Qt::AlignLeft);
    fileLayout->addWidget(fileError_);
    fileLayout->addStretch();

    // Address tab: the download form, or what to do without yt-dlp.
    auto* addressPage = new QWidget(this);
    addressStack_ = new QStackedWidget(addressPage);
    auto* form = new QWidget(addressStack_);
    urlLabel_ = wrappedLabel(form);
    urlField_ = new QLineEdit(form);
    urlField_->setObjectName(QStringLiteral("urlField"));
    urlField_->setClearButtonEnabled(true);
    urlHint_ = wrappedLabel(form);
    urlHint_->setForegroundRole(QPalette::PlaceholderText);
    progress_ = new QProgressBar(form);
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    statusLabel_ = wrappedLabel(form);
    statusLabel_->setObjectName(QStringLiteral("downloadStatus"));
    stopButton_ = new QPushButton(form);
    stopButton_->setObjectName(QStringLiteral("stopButton"));
    connect(stopButton_, &QPushButton::clicked, this, [this] {
        stopRequested_ = true;
        controller_->cancelDownload();
    });
    errorLabel_ = errorLabel(form);
    errorLabel_->setObjectName(QStringLiteral("downloadError"));
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progress_, 1);
    progressRow->addWidget(stopButton_);
    auto* formLayout = new QVBoxLayout(form);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->addWidget(urlLabel_);
    formLayout->addWidget(urlField_);
    formLayout->addWidget(urlHint_);
    formLayout->addSpacing(8);
    formLayout->addLayout(progressRow);
    formLayout->addWidget(statusLabel_);
    formLayout->addWidget(errorLabel_);
    formLayout->addStretch();

    auto* missing = new QWidget(addressStack_);
    noDownloaderTitle_ = wrappedLabel(missing);
    QFont bold = noDownloaderTitle_->font();
    bold.setWeight(QFont::DemiBold);
    noDownloaderTitle_->setFont(bold);
    noDownloaderMessage_ = wrappedLabel(missing);
    retryButton_ = new QPushButton(missing);
    retryButton_->setObjectName(QStringLiteral("retryButton"));
    connect(retryButton_, &QPushButton::clicked, this, [this] {
        controller_->checkYtDlpInstalled();
        updateAddressState();
    });
    auto* missingLayout = new QVBoxLayout(missing);
    missingLayout->addStretch();
    missingLayout->addWidget(noDownloaderTitle_);
    missingLayout->addWidget(noDownloaderMessage_);
    missingLayout->addWidget(retryButton_, 0, Qt::AlignLeft);
    missingLayout->addStretch();
    addressStack_->addWidget(form);
    addressStack_->addWidget(missing);
    auto* addressLayout = new QVBoxLayout(addressPage);
    addressLayout->addWidget(addressStack_);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(filePage, QString());
    tabs_->addTab(addressPage, QString());

    buttons_ = new QDialogButtonBox(this);
    downloadButton_ = buttons_->addButton(QString(), QDialogButtonBox::AcceptRole);
    downloadButton_->setObjectName(QStringLiteral("downloadButton"));
    cancelButton_ = buttons_->addButton(QString(), QDialogButtonBox::RejectRole);
    connect(downloadButton_, &QPushButton::clicked, this, &ImportDialog::downloadAndImport);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    // Accept comes only from a finished import.
    disconnect(buttons_, &QDialogButtonBox::accepted, this, nullptr);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons_);
    setMinimumSize(480, 300);

    connect(urlField_, &QLineEdit::textChanged, this, [this](const QString& text) {
        controller_->setUrlText(text);
        updateAddressState();
    });
    connect(urlField_, &QLineEdit::returnPressed, this, &ImportDialog::downloadAndImport);
    connect(controller_, &ImportController::stateChanged, this, &ImportDialog::updateAddressState);
    connect(&downloader_, &URLDownloadService::downloadStateChanged, this, &ImportDialog::updateAddressState);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == int(Tab::Address)) controller_->checkYtDlpInstalled();
        updateAddressState();
        if (index == int(Tab::Address)) urlField_->setFocus();
    });
    retranslate();
    updateAddressState();
}

ImportDialog::~ImportDialog() {
    // Closing the screen stops its download.
    if (controller_->isBusy()) controller_->cancelDownload();
}

void ImportDialog::retranslate() {
    //% "Import Lecture"
    setWindowTitle(qtTrId("import.title"));
    //% "Video File"
    tabs_->setTabText(int(Tab::File), qtTrId("import.tab.file"));
    //% "Web Address"
    tabs_->setTabText(int(Tab::Address), qtTrId("import.tab.url"));
    //% "Choose a lecture video on this computer (MP4, MOV or M4V). It stays where it is; Lumenote keeps a reference to it."
    fileMessage_->setText(qtTrId("import.file.message"));
    //% "Choose File…"
    chooseButton_->setText(qtTrId("import.file.choose"));
    //% "yt-dlp is not installed"
    noDownloaderTitle_->setText(qtTrId("import.url.no.downloader.label"));
    //% "Downloading from a web address needs yt-dlp. Install it with your package manager (for example “sudo apt install yt-dlp”), then check again."
    noDownloaderMessage_->setText(qtTrId("import.url.no.downloader.message"));
    //% "Check Again"
    retryButton_->setText(qtTrId("import.url.no.downloader.retry"));
    //% "Address of the lecture video"
    urlLabel_->setText(qtTrId("import.url.label"));
    //% "https://www.example.com/lecture"
    urlField_->setPlaceholderText(qtTrId("import.url.placeholder"));
    //% "Stop"
    stopButton_->setText(qtTrId("import.url.stop"));
    //% "Download and Import"
    downloadButton_->setText(qtTrId("import.footer.download.import"));
    //% "Cancel"
    cancelButton_->setText(qtTrId("import.footer.cancel"));
    updateAddressState();
}

void ImportDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void ImportDialog::showTab(Tab tab) { tabs_->setCurrentIndex(int(tab)); }

void ImportDialog::updateAddressState() {
    const bool onAddress = tabs_->currentIndex() == int(Tab::Address);
    const bool busy = controller_->isBusy();
    addressStack_->setCurrentIndex(controller_->ytDlpInstalled() || busy ? 0 : 1);
    downloadButton_->setVisible(onAddress);
    downloadButton_->setEnabled(controller_->canDownload());
    urlField_->setReadOnly(busy);
    chooseButton_->setEnabled(!busy);
    const QString text = urlField_->text();
    if (text.isEmpty() || controller_->isValidURL()) {
        urlHint_->clear();
    } else {
        //% "Enter a web address that begins with http:// or https://."
        urlHint_->setText(qtTrId("import.url.invalid"));
    }
    const bool downloading = busy || downloader_.phase() == URLDownloadService::Phase::Downloading;
    progress_->setVisible(downloading);
    stopButton_->setVisible(downloading);
    stopButton_->setEnabled(downloader_.isDownloadRunning());
    statusLabel_->setVisible(downloading);
    if (downloading) {
        progress_->setValue(int(downloader_.progress() * 1000));
        QString status = downloader_.statusText();
        if (status.isEmpty()) {
            //% "Preparing the download…"
            status = qtTrId("import.url.preparing");
        }
        statusLabel_->setText(status);
    }
    QString error = controller_->errorMessage();
    if (!error.isEmpty() && stopRequested_) {
        //% "The download was stopped."
        error = qtTrId("import.url.stopped");
    } else if (error == QLatin1String("Download failed.")) {
        //% "The download failed."
        error = qtTrId("import.url.failed");
    }
    errorLabel_->setText(error);
    errorLabel_->setVisible(!error.isEmpty() && !busy);
}

void ImportDialog::chooseFile() {
    //% "Choose a Lecture Video"
    const QString path = QFileDialog::getOpenFileName(this, qtTrId("import.file.chooser.title"), QString(), ImportController::videoFileNameFilter());
    if (!path.isEmpty()) importFile(path);
}

void ImportDialog::importFile(const QString& path) { runFileImport(path); }

void ImportDialog::downloadAndImport() {
    if (controller_->canDownload()) runAddressImport();
}

QCoro::Task<> ImportDialog::runFileImport(QString path) {
    QPointer<ImportDialog> self(this);
    fileError_->hide();
    const ImportOutcome outcome = co_await controller_->importFile(path);
    if (self) finish(outcome);
}

QCoro::Task<> ImportDialog::runAddressImport() {
    QPointer<ImportDialog> self(this);
    stopRequested_ = false;
    const ImportOutcome outcome = co_await controller_->importURL();
    if (self) finish(outcome);
}

void ImportDialog::finish(const ImportOutcome& outcome) {
    lastOutcome_ = outcome;
    if (outcome.kind == ImportOutcome::Kind::Failed && tabs_->currentIndex() == int(Tab::File)) {
        fileError_->setText(outcome.errorMessage);
        fileError_->show();
    }
    updateAddressState();
    emit importFinished();
    if (outcome.closesScreen()) accept();
}

QCoro::Task<DuplicateAction> ImportDialog::askDuplicate(DuplicatePrompt prompt) {
    QPointer<ImportDialog> self(this);
    auto* box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("duplicatePrompt"));
    box->setIcon(QMessageBox::Question);
    //% "Already in Your Library"
    const QString title = qtTrId("import.duplicate.title");
    box->setWindowTitle(title);
    box->setText(title);
    QString message;
    if (prompt.isAddressDuplicate) {
        //% "“%1” was already downloaded from this address. Open it, or download it again and process it anew?"
        message = qtTrId("import.duplicate.message.url").arg(prompt.existing->title());
    } else {
        //% "“%1” was already imported from this file. Open it, or process it again?"
        message = qtTrId("import.duplicate.message.file").arg(prompt.existing->title());
    }
    box->setInformativeText(message);
    QHash<QAbstractButton*, DuplicateAction> actions;
    for (DuplicateAction action : prompt.actions()) {
        QPushButton* b = box->addButton(duplicateActionText(action), duplicateActionRole(action));
        b->setObjectName(DuplicatePrompt::actionKey(action));
        actions.insert(b, action);
        if (action == DuplicateAction::OpenExisting) box->setDefaultButton(b);
    }
    prompt_ = box;
    box->open();
    co_await qCoro(box, &QMessageBox::finished);
    if (!self) co_return DuplicateAction::Cancel;
    const DuplicateAction action = actions.value(box->clickedButton(), DuplicateAction::Cancel);
    prompt_ = nullptr;
    box->deleteLater();
    co_return action;
}

}  // namespace lumenote
