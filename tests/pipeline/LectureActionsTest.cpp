#include "PipelineFixture.h"

#include "core/LectureFiles.h"
#include "core/Settings.h"
#include "screenshots/ScreenshotCaptureService.h"
#include "workspace/LectureDocument.h"
#include "FixtureTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace lumenote;
using namespace lumenote::test;

namespace {

QString pageOf(const LectureController& c) { return QString::fromUtf8(readFileBytes(*c.lastExportFolder() + "/index.html").value_or("")); }

}  // namespace

// One processed lecture goes through every action in turn.
TEST_F(PipelineTest, ActionsOnAProcessedLecture) {
    const LecturePtr lecture = addLecture(lectureVideo);
    LectureController& c = controllerFor(lecture);
    await(c.beginProcessing());
    ASSERT_EQ(lecture->status(), LectureStatus::Complete) << c.pipelineErrorText().toStdString();
    const int shots = int(state.screenshots().size());

    // Re-export rebuilds the page and clears the modified flag.
    state.setIsModifiedSinceExport(true);
    EXPECT_EQ(runRecordingStatuses([&] { return c.reExport(); }), (QStringList{"complete", "generating_page", "complete"}));
    EXPECT_FALSE(state.isModifiedSinceExport());
    EXPECT_TRUE(messages().last().startsWith("Export saved to "));

    // A failed re-export reports and leaves the lecture complete.
    blockExportRoot();
    await(c.reExport());
    EXPECT_EQ(lecture->status(), LectureStatus::Complete);
    ASSERT_TRUE(c.pipelineError());
    EXPECT_EQ(messages().last(), "Re-export failed: " + *c.pipelineError());
    unblockExportRoot();

    // Choosing a provider on a complete lecture without notes offers to run it.
    using Alert = LectureController::ConsolidationAlert;
    EXPECT_EQ(c.setConsolidationMode(ConsolidationMode::Ollama), Alert::RunNow);
    EXPECT_EQ(Settings::shared().rawValue("consolidationProvider").toString(), "ollama");
    EXPECT_EQ(lecture->consolidationOverride(), true);
    EXPECT_EQ(c.setConsolidationMode(ConsolidationMode::Claude), Alert::RunNow);

    serveNotes();
    EXPECT_EQ(runRecordingStatuses([&] { return c.runConsolidationNow(); }), (QStringList{"complete", "consolidating", "generating_page", "complete"}));
    EXPECT_EQ(lecture->consolidatedData(), kNotes.toUtf8());
    EXPECT_EQ(lecture->consolidatedWithModelID(), "claude/claude-sonnet-4-5");
    EXPECT_TRUE(pageOf(c).contains("Heat flows from hot to cold"));

    // With notes present, choosing a provider asks nothing; switching off offers to strip them.
    EXPECT_EQ(c.setConsolidationMode(ConsolidationMode::Ollama), Alert::None);
    EXPECT_EQ(c.setConsolidationMode(ConsolidationMode::Off), Alert::RemoveNotes);
    EXPECT_EQ(lecture->consolidationOverride(), false);
    await(c.removeConsolidatedNotes());
    EXPECT_FALSE(lecture->consolidatedData());
    EXPECT_FALSE(lecture->consolidatedWithModelID());
    EXPECT_EQ(lecture->status(), LectureStatus::Complete);
    EXPECT_FALSE(pageOf(c).contains("Heat flows from hot to cold"));
    // Removed notes stay removed: no side file brings them back on the next export or alert.
    EXPECT_FALSE(consolidatedBytes(*lecture));
    await(c.reExport());
    EXPECT_FALSE(pageOf(c).contains("Heat flows from hot to cold"));
    EXPECT_EQ(c.setConsolidationMode(ConsolidationMode::Off), Alert::None);

    // A manual frame joins the screenshots in time order.
    player.setCurrentTime(5.0);
    await(c.captureCurrentFrame());
    EXPECT_EQ(messages().last(), "Frame captured at 0:05 — added to transcript.");
    ASSERT_EQ(state.screenshots().size(), shots + 1);
    EXPECT_TRUE(std::is_sorted(state.screenshots().begin(), state.screenshots().end(),
                               [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; }));
    EXPECT_TRUE(state.isModifiedSinceExport());
    EXPECT_EQ(storedScreenshotTimestamps(*lecture).size(), shots + 1);

    // With the lecture open as a document, a captured frame is an edit that undo takes back.
    {
        LectureDocument document(lecture, state);
        c.setDocument(&document);
        player.setCurrentTime(7.0);
        await(c.captureCurrentFrame());
        EXPECT_EQ(messages().last(), "Frame captured at 0:07 — added to transcript.");
        EXPECT_EQ(state.screenshots().size(), shots + 2);
        EXPECT_EQ(storedScreenshotTimestamps(*lecture).size(), shots + 2);
        ASSERT_EQ(document.undoStack().count(), 1);
        document.undoStack().undo();
        EXPECT_EQ(state.screenshots().size(), shots + 1);
        EXPECT_EQ(storedScreenshotTimestamps(*lecture).size(), shots + 1);
        document.waitForFileWrites();
        EXPECT_EQ(ScreenshotCaptureService::shared().loadScreenshots(lecture->id()).size(), shots + 1);
    }

    // Re-transcription keeps the screenshots and exports again.
    lecture->setDesiredModelID(kTinyModel);
    EXPECT_EQ(runRecordingStatuses([&] { return c.retranscribe(); }), (QStringList{"complete", "transcribing", "generating_page", "complete"}));
    EXPECT_EQ(state.screenshots().size(), shots + 1);
    EXPECT_FALSE(state.isModifiedSinceExport());
    EXPECT_FALSE(state.transcriptSegments().isEmpty());

    // The Markdown twin goes beside the page.
    const std::optional<QString> md = await(c.exportMarkdown());
    ASSERT_TRUE(md);
    EXPECT_EQ(QFileInfo(*md).fileName(), "Entropy 101.md");
    EXPECT_TRUE(QFileInfo::exists(*md));

    // Once the state shows another lecture, its contents never reach this lecture's export.
    state.showLecture(QUuid::createUuid());
    state.setTranscriptSegments({{QUuid::createUuid(), QStringLiteral("Words of another lecture"), 0, 2, {}}});
    await(c.reExport());
    EXPECT_EQ(lecture->status(), LectureStatus::Complete);
    EXPECT_FALSE(pageOf(c).contains("Words of another lecture"));
    EXPECT_TRUE(pageOf(c).contains("class=\"word\""));
    EXPECT_EQ(state.transcriptSegments().size(), 1);
    await(c.captureCurrentFrame());
    EXPECT_TRUE(state.screenshots().isEmpty());
    EXPECT_EQ(storedScreenshotTimestamps(*lecture).size(), shots + 1);
}

TEST_F(PipelineTest, ActionsWithNothingStoredDoNothing) {
    const LecturePtr lecture = addLecture(lectureVideo);
    LectureController& c = controllerFor(lecture);
    await(c.reExport());
    await(c.runConsolidationNow());
    EXPECT_EQ(lecture->status(), LectureStatus::Pending);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_FALSE(await(c.exportMarkdown()));
    // Without a model, re-transcription only reports the error line.
    lecture->setDesiredModelID(QStringLiteral("openai_whisper-medium"));
    await(c.retranscribe());
    EXPECT_EQ(c.pipelineError(), "Whisper Medium model is not downloaded. Open ⚙ Settings and tap Download.");
    EXPECT_EQ(lecture->status(), LectureStatus::Pending);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(PipelineTest, RedownloadFetchesTheSourceAgain) {
    TestHttpServer site;
    const QByteArray video = *readFileBytes(lectureVideo);
    site.route("GET", "/lecture.mp4", [video](const HttpRequest&) { return HttpResponse::text(200, video, "video/mp4"); });
    site.route("HEAD", "/lecture.mp4", [video](const HttpRequest&) { return HttpResponse::text(200, video, "video/mp4"); });
    auto lecture = Lecture::create("Downloaded", QStringLiteral("/gone/lecture.mp4"), site.urlString() + "/lecture.mp4");
    store->insert(lecture);
    LectureController& c = controllerFor(lecture);
    await(c.videoShown());
    EXPECT_TRUE(c.sourceVideoMissing());
    await(c.redownloadSource());
    EXPECT_FALSE(c.redownloadError()) << c.redownloadError().value_or("").toStdString();
    ASSERT_TRUE(lecture->localFilePath());
    EXPECT_TRUE(QFileInfo::exists(*lecture->localFilePath()));
    EXPECT_FALSE(c.sourceVideoMissing());
    EXPECT_NEAR(lecture->duration(), 12.0, 0.5);
}
