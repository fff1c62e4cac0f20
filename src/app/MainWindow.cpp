#include "app/MainWindow.h"

#include "app/DesktopSession.h"
#include "app/FeedbackMail.h"
#include "app/ImportDialog.h"
#include "app/LectureDetailPane.h"
#include "app/LectureDetailView.h"
#include "app/LibrarySidebar.h"
#include "app/LocalizationManager.h"
#include "app/SettingsWindow.h"
#include "app/TranscriptPanel.h"
#include "app/WelcomeView.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "core/Settings.h"
#include "media/URLDownloadService.h"
#include "pipeline/LectureController.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLocale>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QUndoStack>

namespace lumenote {

MainWindow::MainWindow(DesktopSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
    setObjectName(QStringLiteral("mainWindow"));
    sidebar_ = new LibrarySidebar(session.library(), session.store(), this);
    welcome_ = new WelcomeView(this);
    detail_ = new LectureDetailPane(session.library(), session.store(), this);
    content_ = new QStackedWidget(this);
    content_->addWidget(welcome_);
    content_->addWidget(detail_);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("mainSplitter"));
    splitter_->addWidget(sidebar_);
    splitter_->addWidget(content_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setChildrenCollapsible(false);
    sidebar_->setMinimumWidth(240);
    setCentralWidget(splitter_);

    connect(welcome_, &WelcomeView::importRequested, this, &MainWindow::openImport);
    connect(welcome_, &WelcomeView::videoDropped, this, &MainWindow::importDroppedFile);
    connect(&session.library(), &LibraryModel::selectionChanged, this, &MainWindow::showSelection);
    auto refreshDetail = [this] {
        if (content_->currentWidget() == detail_) detail_->refresh();
    };
    connect(&session.store(), &LibraryStore::changedInThisProcess, this, refreshDetail);
    connect(&session.store(), &LibraryStore::changedRemotely, this, refreshDetail);

    // Dates and numbers follow the interface language.
    auto applyLocale = [] { QLocale::setDefault(QLocale(LocalizationManager::code(LocalizationManager::shared().currentLanguage()))); };
    applyLocale();
    connect(&LocalizationManager::shared(), &LocalizationManager::currentLanguageChanged, this, applyLocale);

    createActions();
    retranslate();
    restoreWindowState();
    session.library().shown();
    showSelection();
}

MainWindow::~MainWindow() = default;

void MainWindow::createActions() {
    fileMenu_ = menuBar()->addMenu(QString());
    editMenu_ = menuBar()->addMenu(QString());
    helpMenu_ = menuBar()->addMenu(QString());

    importAction_ = fileMenu_->addAction(QString(), this, &MainWindow::openImport);
    importAction_->setShortcut(QKeySequence::Open);
    newFolderAction_ = fileMenu_->addAction(QString(), sidebar_, &LibrarySidebar::newFolder);
    newFolderAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    fileMenu_->addSeparator();
    quitAction_ = fileMenu_->addAction(QString(), this, &QWidget::close);
    // The platform theme may leave Quit without a key; Ctrl+Q is the Linux convention.
    quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction_->setMenuRole(QAction::QuitRole);

    QUndoStack* undo = sidebar_->undoStack();
    undoAction_ = editMenu_->addAction(QString(), undo, &QUndoStack::undo);
    undoAction_->setShortcut(QKeySequence::Undo);
    redoAction_ = editMenu_->addAction(QString(), undo, &QUndoStack::redo);
    redoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(undo, &QUndoStack::indexChanged, this, &MainWindow::updateUndoTexts);
    connect(undo, &QUndoStack::cleanChanged, this, &MainWindow::updateUndoTexts);
    // Inside the transcript panel its own undo, redo and find take the keys.
    connect(qApp, &QApplication::focusChanged, this, &MainWindow::updateUndoTexts);
    editMenu_->addSeparator();
    findAction_ = editMenu_->addAction(QString(), sidebar_, &LibrarySidebar::focusFilter);
    findAction_->setShortcut(QKeySequence::Find);
    editMenu_->addSeparator();
    settingsAction_ = editMenu_->addAction(QString(), this, &MainWindow::openSettings);
    settingsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settingsAction_->setMenuRole(QAction::PreferencesRole);

    helpAction_ = helpMenu_->addAction(QString(), this, &MainWindow::openHelp);
    helpAction_->setShortcut(QKeySequence::HelpContents);
    feedbackAction_ = helpMenu_->addAction(QString(), this, &MainWindow::sendFeedback);
}

void MainWindow::retranslate() {
    setWindowTitle(QStringLiteral("Lumenote"));
    //% "&File"
    fileMenu_->setTitle(qtTrId("menu.file"));
    //% "&Edit"
    editMenu_->setTitle(qtTrId("menu.edit"));
    //% "&Help"
    helpMenu_->setTitle(qtTrId("menu.help"));
    //% "&Import Lecture…"
    importAction_->setText(qtTrId("menu.file.import"));
    //% "&New Folder"
    newFolderAction_->setText(qtTrId("menu.file.new.folder"));
    //% "&Quit"
    quitAction_->setText(qtTrId("menu.file.quit"));
    //% "&Find Lecture"
    findAction_->setText(qtTrId("menu.edit.find"));
    //% "&Settings…"
    settingsAction_->setText(qtTrId("menu.edit.settings"));
    //% "Lumenote &Help"
    helpAction_->setText(qtTrId("menu.help.contents"));
    //% "Send &Feedback…"
    feedbackAction_->setText(qtTrId("menu.help.feedback"));
    updateUndoTexts();
}

void MainWindow::updateUndoTexts() {
    const QUndoStack* undo = sidebar_->undoStack();
    const QWidget* focus = QApplication::focusWidget();
    const QWidget* transcript = detail_->view()->transcriptPanel();
    const bool inTranscript = focus && transcript && (focus == transcript || transcript->isAncestorOf(focus));
    undoAction_->setEnabled(!inTranscript && undo->canUndo());
    redoAction_->setEnabled(!inTranscript && undo->canRedo());
    findAction_->setEnabled(!inTranscript);
    QString undoText, redoText;
    if (undo->canUndo()) {
        //% "&Undo %1"
        undoText = qtTrId("menu.edit.undo.named").arg(undo->undoText());
    } else {
        //% "&Undo"
        undoText = qtTrId("menu.edit.undo");
    }
    if (undo->canRedo()) {
        //% "&Redo %1"
        redoText = qtTrId("menu.edit.redo.named").arg(undo->redoText());
    } else {
        //% "&Redo"
        redoText = qtTrId("menu.edit.redo");
    }
    undoAction_->setText(undoText);
    redoAction_->setText(redoText);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QMainWindow::changeEvent(event);
}

void MainWindow::showSelection() {
    const LecturePtr lecture = session_.library().selectedLecture();
    detail_->setLecture(lecture);
    content_->setCurrentWidget(lecture ? static_cast<QWidget*>(detail_) : welcome_);
}

ImportDialog* MainWindow::openImport() {
    if (!import_) {
        ImportDialog::Callbacks callbacks;
        callbacks.onImport = [this](const LecturePtr& lecture) { sidebar_->selectLecture(lecture); };
        callbacks.onReprocess = [this](const LecturePtr& lecture) {
            sidebar_->selectLecture(lecture);
            startProcessing(lecture);
        };
        import_ = new ImportDialog(session_.store(), URLDownloadService::shared(), std::move(callbacks), this);
        import_->setAttribute(Qt::WA_DeleteOnClose);
        import_->setWindowModality(Qt::WindowModal);
    }
    import_->show();
    import_->raise();
    import_->activateWindow();
    return import_;
}

void MainWindow::importDroppedFile(const QString& path) {
    ImportDialog* dialog = openImport();
    dialog->showTab(ImportDialog::Tab::File);
    dialog->importFile(path);
}

SettingsWindow* MainWindow::openSettings() {
    if (!settings_) {
        settings_ = new SettingsWindow(this);
        settings_->setAttribute(Qt::WA_DeleteOnClose);
        settings_->setLibraryStore(&session_.store());
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
    return settings_;
}

// Runs go through the detail of the selected lecture, with its player and panel.
void MainWindow::startProcessing(const LecturePtr& lecture) {
    if (!lecture) return;
    sidebar_->selectLecture(lecture);
    showSelection();
    LectureDetailView* view = detail_->view();
    if (view->lecture() != lecture) return;
    if (view->controller()->isRunning()) {
        //% "“%1” is still being processed; try again when it has finished."
        statusBar()->showMessage(qtTrId("main.processing.busy").arg(lecture->title()), 8000);
        return;
    }
    view->beginProcessing();
}

void MainWindow::openHelp() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kDocumentationUrl))); }

void MainWindow::sendFeedback() {
    const QString version = QApplication::applicationVersion();
    QDesktopServices::openUrl(feedbackMailUrl(version, SystemSummary::current(version)));
}

QString MainWindow::windowStatePath() { return QFileInfo(Settings::filePath()).absolutePath() + QStringLiteral("/window-state.ini"); }

void MainWindow::restoreWindowState() {
    QSettings state(windowStatePath(), QSettings::IniFormat);
    if (!restoreGeometry(state.value(QStringLiteral("geometry")).toByteArray())) resize(1120, 720);
    if (!splitter_->restoreState(state.value(QStringLiteral("splitter")).toByteArray())) splitter_->setSizes({320, 800});
}

void MainWindow::saveWindowState() const {
    QSettings state(windowStatePath(), QSettings::IniFormat);
    state.setValue(QStringLiteral("geometry"), saveGeometry());
    state.setValue(QStringLiteral("splitter"), splitter_->saveState());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    saveWindowState();
    session_.save();
    QMainWindow::closeEvent(event);
}

}  // namespace lumenote
