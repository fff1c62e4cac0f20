#include "core/AppPaths.h"
#include "core/Lecture.h"
#include "core/LectureFiles.h"
#include "core/Settings.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

using namespace lumenote;

TEST(LectureStatus, RawValuesParseCaseSensitively) {
    const std::pair<LectureStatus, const char*> expected[] = {
        {LectureStatus::Pending, "pending"},       {LectureStatus::Missing, "missing"},
        {LectureStatus::Transcribing, "transcribing"}, {LectureStatus::CapturingScreenshots, "capturing_screenshots"},
        {LectureStatus::Consolidating, "consolidating"}, {LectureStatus::GeneratingPage, "generating_page"},
        {LectureStatus::Complete, "complete"},     {LectureStatus::Failed, "failed"},
    };
    for (const auto& [status, raw] : expected) {
        EXPECT_EQ(statusRawValue(status), raw);
        EXPECT_EQ(parseStatus(raw), status);
    }
    for (const char* other : {"Complete", "FAILED", "", " complete", "capturingScreenshots", "done"})
        EXPECT_EQ(parseStatus(other), LectureStatus::Pending) << other;

    const std::set<LectureStatus> processing{LectureStatus::Transcribing, LectureStatus::CapturingScreenshots,
                                             LectureStatus::Consolidating, LectureStatus::GeneratingPage};
    for (const auto& [status, raw] : expected) EXPECT_EQ(isProcessingStatus(status), processing.count(status) == 1) << raw;
}

TEST(Lecture, CreationDefaults) {
    const auto l = Lecture::create("Thermodynamics 3", "/videos/t3.mp4", std::nullopt);
    EXPECT_FALSE(l->id().isNull());
    EXPECT_EQ(l->idText(), l->id().toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(l->title(), "Thermodynamics 3");
    EXPECT_EQ(l->localFilePath(), "/videos/t3.mp4");
    EXPECT_FALSE(l->sourceURL());
    EXPECT_LE(qAbs(l->dateAdded().secsTo(QDateTime::currentDateTimeUtc())), 2);
    EXPECT_EQ(l->duration(), 0);
    EXPECT_EQ(l->statusRaw(), "pending");
    EXPECT_FALSE(l->folderID());
    EXPECT_FALSE(l->transcriptData());
    EXPECT_FALSE(l->keyframeData());
    EXPECT_FALSE(l->consolidationOverride());
    EXPECT_FALSE(l->channelName());
    EXPECT_EQ(l->keyframeTaskID(), (KeyframeTaskID{l->id(), 0}));
    l->setKeyframeData(QByteArray(1234, 'x'));
    EXPECT_EQ(l->keyframeTaskID().inMemoryByteCount, 1234);
    l->setStatus(LectureStatus::Missing);
    EXPECT_EQ(l->statusRaw(), "missing");
    EXPECT_FALSE(l->isProcessing());
}

TEST(Lecture, ConsolidationModeFollowsOverrideThenGlobalSettings) {
    Settings& s = Settings::shared();
    const auto l = Lecture::create("x", std::nullopt, std::nullopt);
    struct Case {
        std::optional<bool> override;
        bool enabled;
        const char* provider;
        ConsolidationMode expected;
    } cases[] = {
        {std::nullopt, false, "ollama", ConsolidationMode::Off},
        {std::nullopt, true, "claude", ConsolidationMode::Claude},
        {std::nullopt, true, "ollama", ConsolidationMode::Ollama},
        {std::nullopt, true, "Ollama", ConsolidationMode::Claude},
        {false, true, "ollama", ConsolidationMode::Off},
        {true, false, "claude", ConsolidationMode::Claude},
        {true, false, "ollama", ConsolidationMode::Ollama},
        {true, true, "something", ConsolidationMode::Claude},
    };
    for (const Case& c : cases) {
        l->setConsolidationOverride(c.override);
        s.setConsolidationEnabled(c.enabled);
        s.setRawValue("consolidationProvider", c.provider);
        EXPECT_EQ(l->consolidationMode(s), c.expected) << (c.override ? int(*c.override) : -1) << c.enabled << c.provider;
    }
    s.remove("consolidationEnabled");
    s.remove("consolidationProvider");
}

TEST(LectureFiles, BlobsFallBackToSideFilesAndKeyframeIs480x270Jpeg) {
    AppPaths::resetForTesting();
    const auto l = Lecture::create("x", std::nullopt, std::nullopt);
    EXPECT_FALSE(storedTranscript(*l));
    EXPECT_FALSE(consolidatedBytes(*l));

    // Side files stand in for blobs that have not arrived yet.
    ASSERT_TRUE(writeFileAtomically(transcriptSideFilePath(l->id()), R"([{"id":"6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDEF","text":"side","startTime":0,"endTime":1}])"));
    ASSERT_TRUE(writeFileAtomically(consolidatedSideFilePath(l->id()), "## Notes"));
    EXPECT_TRUE(transcriptSideFilePath(l->id()).endsWith("/transcripts/" + l->idText() + ".json"));
    ASSERT_TRUE(storedTranscript(*l));
    EXPECT_EQ(storedTranscript(*l)->at(0).text, "side");
    EXPECT_EQ(storedConsolidatedNotes(*l), "## Notes");
    // The blob wins once present; a blob that does not decode reads as no transcript.
    l->setTranscriptData(QByteArray("[]"));
    EXPECT_EQ(storedTranscript(*l)->size(), 0);
    l->setTranscriptData(QByteArray("garbage"));
    EXPECT_FALSE(storedTranscript(*l));

    l->setScreenshotTimestamps(QByteArray("[0.25,61.5]"));
    EXPECT_EQ(storedScreenshotTimestamps(*l), (QList<double>{0.25, 61.5}));
    l->setScreenshotTimestamps(QByteArray("[\"x\"]"));
    EXPECT_TRUE(storedScreenshotTimestamps(*l).isEmpty());

    EXPECT_FALSE(makeKeyframeIfMissing(*l, {}));
    QImage shot(1920, 1080, QImage::Format_RGB32);
    shot.fill(Qt::red);
    ASSERT_TRUE(makeKeyframeIfMissing(*l, {CapturedScreenshot::make(shot, 0.25), CapturedScreenshot::make(QImage(), 3)}));
    const QByteArray jpeg = *l->keyframeData();
    QBuffer buf(const_cast<QByteArray*>(&jpeg));
    QImageReader reader(&buf, "JPEG");
    EXPECT_EQ(reader.size(), QSize(480, 270));
    const QImage decoded = reader.read();
    EXPECT_GT(qRed(decoded.pixel(240, 135)), 200);
    EXPECT_EQ(readFileBytes(keyframeSideFilePath(l->id())), jpeg);
    // An existing keyframe is kept.
    EXPECT_FALSE(makeKeyframeIfMissing(*l, {CapturedScreenshot::make(shot, 1)}));
    EXPECT_EQ(l->keyframeData(), jpeg);
}
