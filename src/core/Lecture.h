#pragma once

// The persisted library records. A Lecture or LectureFolder is owned by the
// LibraryStore once inserted; every setter marks the record dirty and the store
// commits it on the next turn of the event loop. Records are used on the main
// thread only. The three large blobs (transcript, keyframe, consolidated notes)
// are loaded from the store on first read, so listing the library stays cheap.

#include "core/ConsolidationMode.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <memory>
#include <optional>

namespace lumenote {

class LibraryStore;
class Settings;

enum class LectureStatus { Pending, Missing, Transcribing, CapturingScreenshots, Consolidating, GeneratingPage, Complete, Failed };

QString statusRawValue(LectureStatus status);
// Case-sensitive: any other text (also one differing in letter case) is pending.
LectureStatus parseStatus(const QString& raw);
// True for the stages of a run: transcribing, capturing screenshots, consolidating, generating page.
bool isProcessingStatus(LectureStatus status);

// A library row reloads its thumbnail whenever this pair changes.
struct KeyframeTaskID {
    QUuid lectureID;
    qint64 inMemoryByteCount = 0;
    bool operator==(const KeyframeTaskID&) const = default;
};

class Lecture {
public:
    // Fields as stored; the store's columns follow this list.
    enum Field : uint32_t {
        TitleField = 1u << 0,
        LocalFilePathField = 1u << 1,
        SourceURLField = 1u << 2,
        ChannelNameField = 1u << 3,
        DateAddedField = 1u << 4,
        DurationField = 1u << 5,
        StatusRawField = 1u << 6,
        TranscriptDataField = 1u << 7,
        ScreenshotTimestampsField = 1u << 8,
        FolderIDField = 1u << 9,
        KeyframeDataField = 1u << 10,
        NotesDataField = 1u << 11,
        MarginNotesDataField = 1u << 12,
        HighlightsDataField = 1u << 13,
        NotesInlineNotesDataField = 1u << 14,
        NotesMarginNotesDataField = 1u << 15,
        NotesHighlightsDataField = 1u << 16,
        TranscribedWithModelIDField = 1u << 17,
        DesiredModelIDField = 1u << 18,
        ConsolidatedDataField = 1u << 19,
        ConsolidatedWithModelIDField = 1u << 20,
        ConsolidationOverrideField = 1u << 21,
        TranscriptLanguageField = 1u << 22,
    };
    // Blobs kept in a table of their own, read on first use.
    static constexpr uint32_t kLargeBlobFields = TranscriptDataField | KeyframeDataField | ConsolidatedDataField;
    // Small blobs in the lecture's own row, read together on first use (listing
    // the library reads none of them).
    static constexpr uint32_t kRowBlobFields = ScreenshotTimestampsField | NotesDataField | MarginNotesDataField | HighlightsDataField |
                                               NotesInlineNotesDataField | NotesMarginNotesDataField | NotesHighlightsDataField;

    // A new, not yet stored lecture: new id, dateAdded now, duration 0, pending.
    static std::shared_ptr<Lecture> create(const QString& title, const std::optional<QString>& localFilePath,
                                           const std::optional<QString>& sourceURL);

    QUuid id() const { return id_; }
    // Upper-case canonical text of the id: names the side files.
    QString idText() const;

    QString title() const { return title_; }
    void setTitle(const QString& v);
    std::optional<QString> localFilePath() const { return localFilePath_; }
    void setLocalFilePath(const std::optional<QString>& v);
    std::optional<QString> sourceURL() const { return sourceURL_; }
    void setSourceURL(const std::optional<QString>& v);
    std::optional<QString> channelName() const { return channelName_; }
    void setChannelName(const std::optional<QString>& v);
    QDateTime dateAdded() const { return dateAdded_; }
    void setDateAdded(const QDateTime& v);
    double duration() const { return duration_; }
    void setDuration(double v);
    QString statusRaw() const { return statusRaw_; }
    void setStatusRaw(const QString& v);
    std::optional<QByteArray> transcriptData() const;
    void setTranscriptData(const std::optional<QByteArray>& v);
    std::optional<QByteArray> screenshotTimestamps() const;
    void setScreenshotTimestamps(const std::optional<QByteArray>& v);
    std::optional<QUuid> folderID() const { return folderID_; }
    void setFolderID(const std::optional<QUuid>& v);
    std::optional<QByteArray> keyframeData() const;
    void setKeyframeData(const std::optional<QByteArray>& v);
    std::optional<QByteArray> notesData() const;
    void setNotesData(const std::optional<QByteArray>& v);
    std::optional<QByteArray> marginNotesData() const;
    void setMarginNotesData(const std::optional<QByteArray>& v);
    std::optional<QByteArray> highlightsData() const;
    void setHighlightsData(const std::optional<QByteArray>& v);
    std::optional<QByteArray> notesInlineNotesData() const;
    void setNotesInlineNotesData(const std::optional<QByteArray>& v);
    std::optional<QByteArray> notesMarginNotesData() const;
    void setNotesMarginNotesData(const std::optional<QByteArray>& v);
    std::optional<QByteArray> notesHighlightsData() const;
    void setNotesHighlightsData(const std::optional<QByteArray>& v);
    std::optional<QString> transcribedWithModelID() const { return transcribedWithModelID_; }
    void setTranscribedWithModelID(const std::optional<QString>& v);
    std::optional<QString> desiredModelID() const { return desiredModelID_; }
    void setDesiredModelID(const std::optional<QString>& v);
    std::optional<QByteArray> consolidatedData() const;
    void setConsolidatedData(const std::optional<QByteArray>& v);
    std::optional<QString> consolidatedWithModelID() const { return consolidatedWithModelID_; }
    void setConsolidatedWithModelID(const std::optional<QString>& v);
    std::optional<bool> consolidationOverride() const { return consolidationOverride_; }
    void setConsolidationOverride(const std::optional<bool>& v);
    // Language code of the transcript ("en", "de", ...), chosen or detected; none for lectures
    // transcribed before languages were recorded.
    std::optional<QString> transcriptLanguage() const { return transcriptLanguage_; }
    void setTranscriptLanguage(const std::optional<QString>& v);

    LectureStatus status() const { return parseStatus(statusRaw_); }
    void setStatus(LectureStatus s) { setStatusRaw(statusRawValue(s)); }
    bool isProcessing() const { return isProcessingStatus(status()); }
    // Off/Claude/Ollama from the override and the global settings.
    ConsolidationMode consolidationMode(const Settings& settings) const;
    ConsolidationMode consolidationMode() const;
    KeyframeTaskID keyframeTaskID() const;

    // True once removed from its store (a holder across an await can check).
    bool isDeleted() const { return deleted_; }
    LibraryStore* store() const { return store_; }

    Lecture(const Lecture&) = delete;
    Lecture& operator=(const Lecture&) = delete;

private:
    friend class LibraryStore;
    friend class RecordMirror;
    friend struct RecordFields;
    explicit Lecture(const QUuid& id) : id_(id) {}
    void markDirty(uint32_t field);
    void ensureBlobLoaded(uint32_t field) const;

    QUuid id_;
    QString title_;
    std::optional<QString> localFilePath_;
    std::optional<QString> sourceURL_;
    std::optional<QString> channelName_;
    QDateTime dateAdded_;
    double duration_ = 0;
    QString statusRaw_ = QStringLiteral("pending");
    mutable std::optional<QByteArray> transcriptData_;
    mutable std::optional<QByteArray> screenshotTimestamps_;
    std::optional<QUuid> folderID_;
    mutable std::optional<QByteArray> keyframeData_;
    mutable std::optional<QByteArray> notesData_;
    mutable std::optional<QByteArray> marginNotesData_;
    mutable std::optional<QByteArray> highlightsData_;
    mutable std::optional<QByteArray> notesInlineNotesData_;
    mutable std::optional<QByteArray> notesMarginNotesData_;
    mutable std::optional<QByteArray> notesHighlightsData_;
    std::optional<QString> transcribedWithModelID_;
    std::optional<QString> desiredModelID_;
    mutable std::optional<QByteArray> consolidatedData_;
    std::optional<QString> consolidatedWithModelID_;
    std::optional<bool> consolidationOverride_;
    std::optional<QString> transcriptLanguage_;

    // Blobs not yet read from the store (bits of kLargeBlobFields and kRowBlobFields).
    mutable uint32_t unloadedBlobs_ = 0;
    // Byte count of the stored keyframe while it is not loaded.
    qint64 storedKeyframeSize_ = 0;
    uint32_t dirty_ = 0;
    bool deleted_ = false;
    LibraryStore* store_ = nullptr;  // cleared when removed or when the store closes
};

using LecturePtr = std::shared_ptr<Lecture>;

class LectureFolder {
public:
    static std::shared_ptr<LectureFolder> create(const QString& name, int sortOrder = 0);

    QUuid id() const { return id_; }
    QString name() const { return name_; }
    void setName(const QString& v);
    QDateTime dateCreated() const { return dateCreated_; }
    void setDateCreated(const QDateTime& v);
    int sortOrder() const { return sortOrder_; }
    void setSortOrder(int v);

    bool isDeleted() const { return deleted_; }

    LectureFolder(const LectureFolder&) = delete;
    LectureFolder& operator=(const LectureFolder&) = delete;

private:
    friend class LibraryStore;
    friend class RecordMirror;
    friend struct RecordFields;
    explicit LectureFolder(const QUuid& id) : id_(id) {}
    void markDirty();

    QUuid id_;
    QString name_;
    QDateTime dateCreated_;
    int sortOrder_ = 0;
    bool dirty_ = false;
    bool deleted_ = false;
    LibraryStore* store_ = nullptr;
};

using LectureFolderPtr = std::shared_ptr<LectureFolder>;

}  // namespace lumenote
