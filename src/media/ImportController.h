#pragma once

// Turns a local video file or a web address into a new lecture in the library,
// and stops the same source from being imported twice. Independent of any
// widget: the import dialog and `lumenote-cli` both drive it. The caller
// answers the duplicate prompt (the dialog from the user, the CLI from flags),
// selects imported lectures (onImport) and starts processing at once for the
// prompt's reprocess choices (onReprocess, provided by the pipeline).
// A controller destroyed while an import runs (the dialog was closed) leaves
// the rest of that import without effect: no lecture, no handler call.

#include "core/Lecture.h"

#include <QList>
#include <QObject>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <optional>

namespace lumenote {

class LibraryStore;
class URLDownloadService;

enum class DuplicateAction {
    OpenExisting,            // select the lecture already in the library
    Reprocess,               // process it again from its file
    RedownloadAndReprocess,  // download its address again, then process it
    Cancel,                  // back to the import screen
};

// What the duplicate prompt shows.
struct DuplicatePrompt {
    LecturePtr existing;
    // The existing lecture came from a web address: the prompt uses the address
    // message and offers re-downloading instead of reprocessing the file.
    bool isAddressDuplicate = false;

    QString titleKey() const { return QStringLiteral("import.duplicate.title"); }
    QString messageKey() const;
    // The buttons, in order, with their text keys.
    QList<DuplicateAction> actions() const;
    static QString actionKey(DuplicateAction action);
};

// Answers the prompt; may suspend while a dialog is open.
using DuplicateResolver = std::function<QCoro::Task<DuplicateAction>(DuplicatePrompt)>;

struct ImportOutcome {
    enum class Kind {
        Imported,        // a new lecture was created and handed to onImport
        OpenedExisting,  // the duplicate was handed to onImport
        Reprocessing,    // the duplicate was handed to onReprocess
        Cancelled,       // the duplicate prompt was cancelled; nothing changed
        Failed,          // nothing changed; `errorMessage` says why
        Ignored,         // nothing to do (empty selection, an import already running)
    };
    Kind kind = Kind::Ignored;
    LecturePtr lecture;
    QString errorMessage;

    // The import screen closes after these.
    bool closesScreen() const { return kind == Kind::Imported || kind == Kind::OpenedExisting || kind == Kind::Reprocessing; }
};

class ImportController : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        // A new lecture, or an existing one the user chose to open: select it.
        // It stays pending until the user starts processing.
        std::function<void(const LecturePtr&)> onImport;
        // An existing lecture to process again now: the pipeline starts a run.
        std::function<void(const LecturePtr&)> onReprocess;
        // Asked when the source is already in the library; without one the
        // prompt counts as cancelled.
        DuplicateResolver resolveDuplicate;
    };

    ImportController(LibraryStore& store, URLDownloadService& downloader, Handlers handlers, QObject* parent = nullptr);

    // ---- Address tab ----
    QString urlText() const { return urlText_; }
    // Re-checks the address; a finished or failed earlier download goes back to idle.
    void setUrlText(const QString& text);
    bool isValidURL() const { return isValidURL_; }
    bool ytDlpInstalled() const { return ytDlpInstalled_; }
    // Looks for yt-dlp again (when the address tab is shown, and its retry).
    bool checkYtDlpInstalled();
    // Whether "Download and import" is available.
    bool canDownload() const { return isValidURL_ && ytDlpInstalled_ && !busy_; }
    bool isBusy() const { return busy_; }
    // The address tab's failure text after a failed download.
    QString errorMessage() const { return errorMessage_; }
    // The lecture the duplicate prompt is showing, while it is open.
    LecturePtr duplicateLecture() const { return duplicateLecture_; }

    // Imports the chosen file (the first of a selection); an empty path is ignored.
    QCoro::Task<ImportOutcome> importFile(QString path);
    // Downloads `urlText` and imports the video.
    QCoro::Task<ImportOutcome> importURL();
    // Stops the running download.
    void cancelDownload();

    // Dropped files are accepted with the extensions mp4, mov and m4v (any case).
    static bool isAcceptedVideoFile(const QString& path);
    // The file chooser's filter for MPEG-4, QuickTime and m4v movies.
    static QString videoFileNameFilter();

    // The first lecture whose field equals the text exactly (no path
    // normalisation: a symbolic link or another letter case is another source).
    static LecturePtr findByLocalFilePath(const LibraryStore& store, const QString& path);
    static LecturePtr findBySourceURL(const LibraryStore& store, const QString& url);

signals:
    void stateChanged();

private:
    QCoro::Task<ImportOutcome> resolveDuplicate(LecturePtr existing);
    void setDuplicate(LecturePtr lecture);
    static ImportOutcome failed(const QString& message);
    // Clears the busy flag; a failure's text (or a generic one) becomes the error message.
    bool endDownload(bool succeeded, const QString& failure);

    LibraryStore& store_;
    URLDownloadService& downloader_;
    Handlers handlers_;
    QString urlText_;
    bool isValidURL_ = false;
    bool ytDlpInstalled_ = false;
    bool busy_ = false;
    QString errorMessage_;
    LecturePtr duplicateLecture_;
};

}  // namespace lumenote
