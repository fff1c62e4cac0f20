#include "core/RecordFields.h"

namespace lumenote {

std::span<const RecordField<Lecture>> RecordFields::lecture() {
    using L = Lecture;
    using S = FieldStorage;
    // New fields go at the end with a column default, so that older files open
    // with the record defaults.
    static const RecordField<Lecture> list[] = {
        {"id", 0, &L::id_, S::Key, "TEXT PRIMARY KEY NOT NULL"},
        {"title", L::TitleField, &L::title_, S::Column, "TEXT NOT NULL DEFAULT ''"},
        {"localFilePath", L::LocalFilePathField, &L::localFilePath_, S::Column, "TEXT"},
        {"sourceURL", L::SourceURLField, &L::sourceURL_, S::Column, "TEXT"},
        {"channelName", L::ChannelNameField, &L::channelName_, S::Column, "TEXT"},
        {"dateAdded", L::DateAddedField, &L::dateAdded_, S::Column, "INTEGER NOT NULL DEFAULT 0"},
        {"duration", L::DurationField, &L::duration_, S::Column, "REAL NOT NULL DEFAULT 0"},
        {"statusRaw", L::StatusRawField, &L::statusRaw_, S::Column, "TEXT NOT NULL DEFAULT 'pending'", true},
        {"transcriptData", L::TranscriptDataField, &L::transcriptData_, S::LargeBlob, nullptr},
        {"screenshotTimestamps", L::ScreenshotTimestampsField, &L::screenshotTimestamps_, S::RowBlob, "BLOB"},
        {"folderID", L::FolderIDField, &L::folderID_, S::Column, "TEXT"},
        {"keyframeData", L::KeyframeDataField, &L::keyframeData_, S::LargeBlob, nullptr},
        {"notesData", L::NotesDataField, &L::notesData_, S::RowBlob, "BLOB"},
        {"marginNotesData", L::MarginNotesDataField, &L::marginNotesData_, S::RowBlob, "BLOB"},
        {"highlightsData", L::HighlightsDataField, &L::highlightsData_, S::RowBlob, "BLOB"},
        {"notesInlineNotesData", L::NotesInlineNotesDataField, &L::notesInlineNotesData_, S::RowBlob, "BLOB"},
        {"notesMarginNotesData", L::NotesMarginNotesDataField, &L::notesMarginNotesData_, S::RowBlob, "BLOB"},
        {"notesHighlightsData", L::NotesHighlightsDataField, &L::notesHighlightsData_, S::RowBlob, "BLOB"},
        {"transcribedWithModelID", L::TranscribedWithModelIDField, &L::transcribedWithModelID_, S::Column, "TEXT", true},
        {"desiredModelID", L::DesiredModelIDField, &L::desiredModelID_, S::Column, "TEXT", true},
        {"consolidatedData", L::ConsolidatedDataField, &L::consolidatedData_, S::LargeBlob, nullptr},
        {"consolidatedWithModelID", L::ConsolidatedWithModelIDField, &L::consolidatedWithModelID_, S::Column, "TEXT", true},
        {"consolidationOverride", L::ConsolidationOverrideField, &L::consolidationOverride_, S::Column, "INTEGER"},
        {"transcriptLanguage", L::TranscriptLanguageField, &L::transcriptLanguage_, S::Column, "TEXT", true},
    };
    return list;
}

std::span<const RecordField<LectureFolder>> RecordFields::folder() {
    using F = LectureFolder;
    using S = FieldStorage;
    static const RecordField<LectureFolder> list[] = {
        {"id", 0, &F::id_, S::Key, "TEXT PRIMARY KEY NOT NULL"},
        {"name", 0, &F::name_, S::Column, "TEXT NOT NULL DEFAULT ''"},
        {"dateCreated", 0, &F::dateCreated_, S::Column, "INTEGER NOT NULL DEFAULT 0"},
        {"sortOrder", 0, &F::sortOrder_, S::Column, "INTEGER NOT NULL DEFAULT 0"},
    };
    return list;
}

const RecordField<Lecture>& RecordFields::lectureField(uint32_t bit) {
    for (const auto& f : lecture())
        if (f.bit == bit) return f;
    Q_ASSERT_X(false, "RecordFields::lectureField", "not a single field bit");
    return lecture().front();
}

}  // namespace lumenote
