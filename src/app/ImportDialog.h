#pragma once

// The import screen: a file tab and a web-address tab over ImportController.
// The address tab checks the address as it is typed, shows the download's
// progress with yt-dlp's phases, can stop it and keeps the failure text. When
// the source is already in the library the duplicate prompt offers to open
// the existing lecture, to process it again (or download it again first), or
// to go back.

#include "media/ImportController.h"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace lumenote {

class LibraryStore;
class URLDownloadService;

class ImportDialog : public QDialog {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(const LecturePtr&)> onImport;
        std::function<void(const LecturePtr&)> onReprocess;
    };
    ImportDialog(LibraryStore& store, URLDownloadService& downloader, Callbacks callbacks, QWidget* parent = nullptr);
    ~ImportDialog() override;

    enum class Tab { File, Address };
    void showTab(Tab tab);

    // The chosen (or dropped) file; the file chooser ends here.
    void importFile(const QString& path);
    // The address tab's "Download and Import".
    void downloadAndImport();

    ImportController& controller() { return *controller_; }
    // The duplicate prompt while it is open.
    QMessageBox* duplicatePrompt() const { return prompt_; }
    // The outcome of the last import attempt.
    const ImportOutcome& lastOutcome() const { return lastOutcome_; }

signals:
    // An import attempt ended (also when it changed nothing).
    void importFinished();

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void chooseFile();
    void updateAddressState();
    void finish(const ImportOutcome& outcome);
    QCoro::Task<DuplicateAction> askDuplicate(DuplicatePrompt prompt);
    QCoro::Task<> runFileImport(QString path);
    QCoro::Task<> runAddressImport();

    URLDownloadService& downloader_;
    ImportController* controller_;
    ImportOutcome lastOutcome_;
    QMessageBox* prompt_ = nullptr;
    // The user pressed Stop during the current download.
    bool stopRequested_ = false;

    QTabWidget* tabs_;
    QLabel* fileMessage_;
    QPushButton* chooseButton_;
    QLabel* fileError_;
    QStackedWidget* addressStack_;
    QLabel* noDownloaderTitle_;
    QLabel* noDownloaderMessage_;
    QPushButton* retryButton_;
    QLabel* urlLabel_;
    QLineEdit* urlField_;
    QLabel* urlHint_;
    QProgressBar* progress_;
    QLabel* statusLabel_;
    QPushButton* stopButton_;
    QLabel* errorLabel_;
    QDialogButtonBox* buttons_;
    QPushButton* downloadButton_;
    QPushButton* cancelButton_;
};

}  // namespace lumenote
