#include "core/Lecture.h"

#include "core/LibraryStore.h"
#include "core/RecordFields.h"
#include "core/Settings.h"
#include "core/Uuid.h"

namespace lumenote {

namespace {
constexpr LectureStatus kAllStatuses[] = {LectureStatus::Pending,       LectureStatus::Missing,
                                          LectureStatus::Transcribing,  LectureStatus::CapturingScreenshots,
                                          LectureStatus::Consolidating, LectureStatus::GeneratingPage,
                                          LectureStatus::Complete,      LectureStatus::Failed};
}

QString statusRawValue(LectureStatus status) {
    switch (status) {
    case LectureStatus::Pending: return QStringLiteral("pending");
    case LectureStatus::Missing: return QStringLiteral("missing");
    case LectureStatus::Transcribing: return QStringLiteral("transcribing");
    case LectureStatus::CapturingScreenshots: return QStringLiteral("capturing_screenshots");
    case LectureStatus::Consolidating: return QStringLiteral("consolidating");
    case LectureStatus::GeneratingPage: return QStringLiteral("generating_page");
    case LectureStatus::Complete: return QStringLiteral("complete");
    case LectureStatus::Failed: return QStringLiteral("failed");
    }
    return QStringLiteral("pending");
}

LectureStatus parseStatus(const QString& raw) {
    for (LectureStatus s : kAllStatuses)
        if (statusRawValue(s) == raw) return s;
    return LectureStatus::Pending;
}

bool isProcessingStatus(LectureStatus status) {
    switch (status) {
    case LectureStatus::Transcribing:
    case LectureStatus::CapturingScreenshots:
    case LectureStatus::Consolidating:
    case LectureStatus::GeneratingPage: return true;
    default: return false;
    }
}

std::shared_ptr<Lecture> Lecture::create(const QString& title, const std::optional<QString>& localFilePath,
                                         const std::optional<QString>& sourceURL) {
    std::shared_ptr<Lecture> l(new Lecture(QUuid::createUuid()));
    l->title_ = title;
    l->localFilePath_ = localFilePath;
    l->sourceURL_ = sourceURL;
    l->dateAdded_ = QDateTime::currentDateTimeUtc();
    return l;
}

QString Lecture::idText() const { return uuidText(id_); }

void Lecture::markDirty(uint32_t field) {
    // The row is written whole, so its small blobs must be known first.
    if (unloadedBlobs_ & kRowBlobFields) ensureBlobLoaded(kRowBlobFields);
    dirty_ |= field;
    if (store_ && !deleted_) store_->scheduleCommit(this);
}

void Lecture::ensureBlobLoaded(uint32_t field) const {
    if (!(unloadedBlobs_ & field)) return;
    if (field & kRowBlobFields) {
        unloadedBlobs_ &= ~kRowBlobFields;
        if (store_) store_->loadRowBlobs(*this);
        return;
    }
    unloadedBlobs_ &= ~field;
    const_cast<Lecture*>(this)->*RecordFields::blobMember(RecordFields::lectureField(field)) = store_ ? store_->loadBlob(id_, field) : std::nullopt;
}

#define LUMENOTE_SETTER(Name, member, Type, FieldBit)   \
    void Lecture::Name(const Type& v) {                 \
        member = v;                                     \
        markDirty(FieldBit);                            \
    }

LUMENOTE_SETTER(setTitle, title_, QString, TitleField)
LUMENOTE_SETTER(setLocalFilePath, localFilePath_, std::optional<QString>, LocalFilePathField)
LUMENOTE_SETTER(setSourceURL, sourceURL_, std::optional<QString>, SourceURLField)
LUMENOTE_SETTER(setChannelName, channelName_, std::optional<QString>, ChannelNameField)
LUMENOTE_SETTER(setDateAdded, dateAdded_, QDateTime, DateAddedField)
LUMENOTE_SETTER(setStatusRaw, statusRaw_, QString, StatusRawField)
LUMENOTE_SETTER(setFolderID, folderID_, std::optional<QUuid>, FolderIDField)
LUMENOTE_SETTER(setTranscribedWithModelID, transcribedWithModelID_, std::optional<QString>, TranscribedWithModelIDField)
LUMENOTE_SETTER(setDesiredModelID, desiredModelID_, std::optional<QString>, DesiredModelIDField)
LUMENOTE_SETTER(setConsolidatedWithModelID, consolidatedWithModelID_, std::optional<QString>, ConsolidatedWithModelIDField)
LUMENOTE_SETTER(setConsolidationOverride, consolidationOverride_, std::optional<bool>, ConsolidationOverrideField)
LUMENOTE_SETTER(setTranscriptLanguage, transcriptLanguage_, std::optional<QString>, TranscriptLanguageField)
#undef LUMENOTE_SETTER

void Lecture::setDuration(double v) {
    duration_ = v;
    markDirty(DurationField);
}

// A large blob written before it was ever read needs no load; the row's small
// blobs are read first, since the row is written whole.
#define LUMENOTE_BLOB(Getter, Setter, member, FieldBit)       \
    std::optional<QByteArray> Lecture::Getter() const {       \
        ensureBlobLoaded(FieldBit);                           \
        return member;                                        \
    }                                                         \
    void Lecture::Setter(const std::optional<QByteArray>& v) { \
        if (FieldBit & kRowBlobFields)                        \
            ensureBlobLoaded(kRowBlobFields);                 \
        else                                                  \
            unloadedBlobs_ &= ~FieldBit;                      \
        member = v;                                           \
        markDirty(FieldBit);                                  \
    }

LUMENOTE_BLOB(transcriptData, setTranscriptData, transcriptData_, TranscriptDataField)
LUMENOTE_BLOB(keyframeData, setKeyframeData, keyframeData_, KeyframeDataField)
LUMENOTE_BLOB(consolidatedData, setConsolidatedData, consolidatedData_, ConsolidatedDataField)
LUMENOTE_BLOB(screenshotTimestamps, setScreenshotTimestamps, screenshotTimestamps_, ScreenshotTimestampsField)
LUMENOTE_BLOB(notesData, setNotesData, notesData_, NotesDataField)
LUMENOTE_BLOB(marginNotesData, setMarginNotesData, marginNotesData_, MarginNotesDataField)
LUMENOTE_BLOB(highlightsData, setHighlightsData, highlightsData_, HighlightsDataField)
LUMENOTE_BLOB(notesInlineNotesData, setNotesInlineNotesData, notesInlineNotesData_, NotesInlineNotesDataField)
LUMENOTE_BLOB(notesMarginNotesData, setNotesMarginNotesData, notesMarginNotesData_, NotesMarginNotesDataField)
LUMENOTE_BLOB(notesHighlightsData, setNotesHighlightsData, notesHighlightsData_, NotesHighlightsDataField)
#undef LUMENOTE_BLOB

ConsolidationMode Lecture::consolidationMode(const Settings& settings) const {
    if (!consolidationOverride_) return settings.globalConsolidationMode();
    if (!*consolidationOverride_) return ConsolidationMode::Off;
    return settings.consolidationProvider() == ConsolidationProvider::Ollama ? ConsolidationMode::Ollama : ConsolidationMode::Claude;
}

ConsolidationMode Lecture::consolidationMode() const { return consolidationMode(Settings::shared()); }

KeyframeTaskID Lecture::keyframeTaskID() const {
    if (unloadedBlobs_ & KeyframeDataField) return {id_, storedKeyframeSize_};
    return {id_, keyframeData_ ? keyframeData_->size() : 0};
}

std::shared_ptr<LectureFolder> LectureFolder::create(const QString& name, int sortOrder) {
    std::shared_ptr<LectureFolder> f(new LectureFolder(QUuid::createUuid()));
    f->name_ = name;
    f->dateCreated_ = QDateTime::currentDateTimeUtc();
    f->sortOrder_ = sortOrder;
    return f;
}

void LectureFolder::markDirty() {
    dirty_ = true;
    if (store_ && !deleted_) store_->scheduleCommit(this);
}

void LectureFolder::setName(const QString& v) {
    name_ = v;
    markDirty();
}
void LectureFolder::setDateCreated(const QDateTime& v) {
    dateCreated_ = v;
    markDirty();
}
void LectureFolder::setSortOrder(int v) {
    sortOrder_ = v;
    markDirty();
}

}  // namespace lumenote
