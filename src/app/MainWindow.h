#pragma once

// The application's one window: the library sidebar beside the selected
// lecture's detail (the welcome screen while nothing is selected), the menus
// with the standard shortcuts, and the import and settings windows it opens.
// Size, position and the sidebar's width are remembered between runs.

#include "core/Lecture.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QSplitter;
class QStackedWidget;

namespace lumenote {

class DesktopSession;
class ImportDialog;
class LectureDetailPane;
class LibrarySidebar;
class SettingsWindow;
class WelcomeView;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(DesktopSession& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    LibrarySidebar* sidebar() const { return sidebar_; }
    WelcomeView* welcome() const { return welcome_; }
    LectureDetailPane* detail() const { return detail_; }
    QSplitter* splitter() const { return splitter_; }

    // Opens (or raises) the import screen.
    ImportDialog* openImport();
    // Opens (or raises) the settings window.
    SettingsWindow* openSettings();
    // Imports a dropped video through the import screen (duplicate prompt included).
    void importDroppedFile(const QString& path);
    // Processes a lecture now (the duplicate prompt's reprocess choices).
    void startProcessing(const LecturePtr& lecture);

    // Where the window's size and splitter are kept.
    static QString windowStatePath();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void retranslate();
    void updateUndoTexts();
    void showSelection();
    void restoreWindowState();
    void saveWindowState() const;
    void openHelp();
    void sendFeedback();

    DesktopSession& session_;
    LibrarySidebar* sidebar_;
    QStackedWidget* content_;
    WelcomeView* welcome_;
    LectureDetailPane* detail_;
    QSplitter* splitter_;
    QPointer<ImportDialog> import_;
    QPointer<SettingsWindow> settings_;

    QMenu* fileMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QAction* importAction_ = nullptr;
    QAction* newFolderAction_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* findAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    QAction* feedbackAction_ = nullptr;
};

}  // namespace lumenote
