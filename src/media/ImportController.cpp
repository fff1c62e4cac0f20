#include "media/ImportController.h"

#include "core/LibraryStore.h"
#include "media/URLDownloadService.h"
#include "media/YtDlpOutput.h"

#include <QFileInfo>
#include <QPointer>

namespace lumenote {

using namespace Qt::StringLiterals;

namespace {

bool hasSourceURL(const Lecture& lecture) { return lecture.sourceURL() && !lecture.sourceURL()->isEmpty(); }

}  // namespace

QString DuplicatePrompt::messageKey() const {
    return isAddressDuplicate ? u"import.duplicate.message.url"_s : u"import.duplicate.message.file"_s;
}

QList<DuplicateAction> DuplicatePrompt::actions() const {
    return {DuplicateAction::OpenExisting,
            isAddressDuplicate ? DuplicateAction::RedownloadAndReprocess : DuplicateAction::Reprocess,
            DuplicateAction::Cancel};
}

QString DuplicatePrompt::actionKey(DuplicateAction action) {
    switch (action) {
    case DuplicateAction::OpenExisting: return u"import.duplicate.open.existing"_s;
    case DuplicateAction::Reprocess: return u"import.duplicate.reprocess"_s;
    case DuplicateAction::RedownloadAndReprocess: return u"import.duplicate.redownload.reprocess"_s;
    case DuplicateAction::Cancel: break;
    }
    return u"import.duplicate.cancel"_s;
}

ImportController::ImportController(LibraryStore& store, URLDownloadService& downloader, Handlers handlers, QObject* parent)
    : QObject(parent), store_(store), downloader_(downloader), handlers_(std::move(handlers)) {}

ImportOutcome ImportController::failed(const QString& message) {
    return ImportOutcome{ImportOutcome::Kind::Failed, nullptr, message};
}

bool ImportController::endDownload(bool succeeded, const QString& failure) {
    busy_ = false;
    if (!succeeded) errorMessage_ = failure.isEmpty() ? u"Download failed."_s : failure;
    emit stateChanged();
    return succeeded;
}

void ImportController::setUrlText(const QString& text) {
    urlText_ = text;
    isValidURL_ = isDownloadableURL(text);
    // A finished or failed earlier attempt no longer describes this address.
    const auto phase = downloader_.phase();
    if (phase == URLDownloadService::Phase::Complete || phase == URLDownloadService::Phase::Failed) downloader_.resetPhase();
    emit stateChanged();
}

bool ImportController::checkYtDlpInstalled() {
    ytDlpInstalled_ = downloader_.ytDlpPath().has_value();
    emit stateChanged();
    return ytDlpInstalled_;
}

void ImportController::setDuplicate(LecturePtr lecture) {
    duplicateLecture_ = std::move(lecture);
    emit stateChanged();
}

LecturePtr ImportController::findByLocalFilePath(const LibraryStore& store, const QString& path) {
    for (const LecturePtr& l : store.lectures()) {
        if (l->localFilePath() && *l->localFilePath() == path) return l;
    }
    return nullptr;
}

LecturePtr ImportController::findBySourceURL(const LibraryStore& store, const QString& url) {
    for (const LecturePtr& l : store.lectures()) {
        if (l->sourceURL() && *l->sourceURL() == url) return l;
    }
    return nullptr;
}

bool ImportController::isAcceptedVideoFile(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == QLatin1String("mp4") || ext == QLatin1String("mov") || ext == QLatin1String("m4v");
}

QString ImportController::videoFileNameFilter() { return u"Videos (*.mp4 *.MP4 *.mov *.MOV *.m4v *.M4V)"_s; }

QCoro::Task<ImportOutcome> ImportController::importFile(QString path) {
    if (path.isEmpty()) co_return ImportOutcome{};
    if (LecturePtr existing = findByLocalFilePath(store_, path)) co_return co_await resolveDuplicate(existing);

    LecturePtr lecture = Lecture::create(fileNameWithoutExtension(QFileInfo(path).fileName()), path, std::nullopt);
    store_.insert(lecture);
    if (handlers_.onImport) handlers_.onImport(lecture);
    co_return ImportOutcome{ImportOutcome::Kind::Imported, lecture, {}};
}

QCoro::Task<ImportOutcome> ImportController::importURL() {
    if (!isValidURL_) co_return failed(DownloadError::invalidURL().description());
    if (busy_) co_return ImportOutcome{};
    const QString url = urlText_;
    // The screen may close while the download runs; nothing is touched then.
    const QPointer<ImportController> self(this);
    if (LecturePtr existing = findBySourceURL(store_, url)) co_return co_await resolveDuplicate(existing);

    busy_ = true;
    errorMessage_.clear();
    emit stateChanged();

    // yt-dlp needs ffmpeg to merge separate streams. A failed install is no
    // reason to stop: the download then takes a pre-merged format.
    if (!downloader_.ffmpegPath()) co_await downloader_.installFFmpeg();
    if (!self) co_return ImportOutcome{};

    QCoro::Task<std::optional<QString>> uploaderQuery = downloader_.fetchUploaderName(url);
    std::optional<DownloadResult> result;
    QString failure;
    try {
        result = co_await downloader_.download(url, false);
    } catch (const Error& e) {
        failure = e.description();
    }
    const std::optional<QString> uploader = co_await std::move(uploaderQuery);
    if (!self) co_return ImportOutcome{};

    if (!endDownload(result.has_value(), failure)) co_return failed(errorMessage_);

    // The same video reached through another address ends in the same file.
    if (LecturePtr existing = findByLocalFilePath(store_, result->path)) co_return co_await resolveDuplicate(existing);

    LecturePtr lecture = Lecture::create(result->title, result->path, url);
    lecture->setChannelName(uploader);
    store_.insert(lecture);
    if (handlers_.onImport) handlers_.onImport(lecture);
    co_return ImportOutcome{ImportOutcome::Kind::Imported, lecture, {}};
}

void ImportController::cancelDownload() { downloader_.cancel(); }

QCoro::Task<ImportOutcome> ImportController::resolveDuplicate(LecturePtr existing) {
    const QPointer<ImportController> self(this);
    setDuplicate(existing);
    DuplicatePrompt prompt{existing, hasSourceURL(*existing)};
    DuplicateAction action = DuplicateAction::Cancel;
    if (handlers_.resolveDuplicate) action = co_await handlers_.resolveDuplicate(prompt);
    if (!self) co_return ImportOutcome{};
    setDuplicate(nullptr);

    switch (action) {
    case DuplicateAction::OpenExisting:
        if (handlers_.onImport) handlers_.onImport(existing);
        co_return ImportOutcome{ImportOutcome::Kind::OpenedExisting, existing, {}};
    case DuplicateAction::Reprocess:
        if (handlers_.onReprocess) handlers_.onReprocess(existing);
        co_return ImportOutcome{ImportOutcome::Kind::Reprocessing, existing, {}};
    case DuplicateAction::RedownloadAndReprocess: break;
    case DuplicateAction::Cancel: co_return ImportOutcome{ImportOutcome::Kind::Cancelled, existing, {}};
    }

    if (!hasSourceURL(*existing)) co_return failed(u"This lecture has no web address to download it from again."_s);
    busy_ = true;
    errorMessage_.clear();
    emit stateChanged();
    std::optional<DownloadResult> result;
    QString failure;
    try {
        const QString sourceURL = *existing->sourceURL();
        result = co_await downloader_.download(sourceURL, true);
    } catch (const Error& e) {
        failure = e.description();
    }
    if (!self) co_return ImportOutcome{};
    // A failed download leaves the existing lecture as it was.
    if (!endDownload(result.has_value(), failure)) co_return failed(errorMessage_);
    if (existing->isDeleted()) co_return failed(u"The lecture was removed from the library during the download."_s);
    existing->setLocalFilePath(result->path);
    if (handlers_.onReprocess) handlers_.onReprocess(existing);
    co_return ImportOutcome{ImportOutcome::Kind::Reprocessing, existing, {}};
}

}  // namespace lumenote
