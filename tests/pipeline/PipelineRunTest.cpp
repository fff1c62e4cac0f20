#include "PipelineFixture.h"

#include "core/LectureFiles.h"
#include "core/Settings.h"
#include "core/TranscriptModel.h"
#include "screenshots/ScreenshotCaptureService.h"
#include "FixtureTools.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace lumenote;
using namespace lumenote::test;

namespace {

QStringList filesUnder(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

qint64 wordsBySpaces(const Transcript& t) {
    qint64 n = 0;
    for (const auto& s : t) n += LectureController::countWordsSplitAtSpaces(s.text);
    return n;
}

}  // namespace

TEST_F(PipelineTest, CompleteRunWithNotesAndMarkdown) {
    Settings::shared().setConsolidationEnabled(true);
    Settings::shared().setMarkdownExportEnabled(true);
    serveNotes();
    const LecturePtr lecture = addLecture(lectureVideo);
    LectureController& c = controllerFor(lecture);

    // Transcription and capture run side by side: each starts before the other ends.
    QElapsedTimer clock;
    clock.start();
    qint64 transcriptionStart = -1, transcriptionEnd = -1, captureStart = -1, captureEnd = -1;
    QObject::connect(&state, &ProcessingState::messageAdded, [&](const ProcessingMessage& m) {
        if (m.text.startsWith("Extracting audio") && transcriptionStart < 0) transcriptionStart = clock.nsecsElapsed();
        if (m.text.startsWith("Transcription done")) transcriptionEnd = clock.nsecsElapsed();
    });
    QObject::connect(&state, &ProcessingState::screenshotProgressChanged, [&] {
        if (captureStart < 0 && state.screenshotProgress() > 0) captureStart = clock.nsecsElapsed();
    });
    QObject::connect(&state, &ProcessingState::screenshotsChanged, [&] { captureEnd = clock.nsecsElapsed(); });
    bool mutedWhileTranscribing = false;
    QObject::connect(&state, &ProcessingState::liveTextChanged, [&] { mutedWhileTranscribing |= player.isMuted(); });

    const QStringList statuses = runRecordingStatuses([&] { return c.beginProcessing(); });
    EXPECT_EQ(statuses, (QStringList{"pending", "transcribing", "consolidating", "generating_page", "complete"}));
    EXPECT_FALSE(c.pipelineError()) << c.pipelineErrorText().toStdString();
    // Progress reports carry each window's start: the finished transcription shows as complete.
    EXPECT_EQ(state.transcriptionProgress(), 1.0);

    const Transcript segments = state.transcriptSegments();
    ASSERT_FALSE(segments.isEmpty());
    const QStringList m = messages();
    ASSERT_GE(m.size(), 6) << m.join("\n").toStdString();
    EXPECT_EQ(m.first(), "Starting transcription and screenshot capture…");
    EXPECT_TRUE(m.contains("Extracting audio and loading Whisper Tiny model…")) << m.join("\n").toStdString();
    const QString done = LectureController::transcriptDoneMessage(int(segments.size()), wordsBySpaces(segments));
    EXPECT_TRUE(m.contains(done)) << done.toStdString();
    EXPECT_TRUE(m.contains("Consolidation: starting with Claude API…")) << m.join("\n").toStdString();
    EXPECT_TRUE(m.last().startsWith("Export saved to ~/LumenoteLibrary/")) << m.last().toStdString();
    EXPECT_LT(m.indexOf("Starting transcription and screenshot capture…"), m.indexOf(done));

    ASSERT_GE(transcriptionStart, 0);
    ASSERT_GE(captureStart, 0);
    EXPECT_LT(captureStart, transcriptionEnd) << "capture started only after the transcript was done";
    EXPECT_LT(transcriptionStart, captureEnd) << "transcription started only after capture was done";
    EXPECT_TRUE(mutedWhileTranscribing);
    EXPECT_FALSE(player.isMuted());
    ASSERT_FALSE(player.seeks().isEmpty());

    // The record and its side files.
    EXPECT_EQ(lecture->status(), LectureStatus::Complete);
    EXPECT_EQ(decodeTranscript(*lecture->transcriptData()), segments);
    EXPECT_EQ(readFileBytes(transcriptSideFilePath(lecture->id())), lecture->transcriptData());
    EXPECT_EQ(lecture->transcribedWithModelID(), kTinyModel);
    EXPECT_EQ(lecture->desiredModelID(), kTinyModel);
    EXPECT_EQ(lecture->consolidatedData(), kNotes.toUtf8());
    EXPECT_EQ(readFileBytes(consolidatedSideFilePath(lecture->id())), kNotes.toUtf8());
    EXPECT_EQ(lecture->consolidatedWithModelID(), "claude/claude-sonnet-4-5");
    ASSERT_TRUE(lecture->keyframeData());
    EXPECT_EQ(readFileBytes(keyframeSideFilePath(lecture->id())), lecture->keyframeData());
    const QList<CapturedScreenshot> shots = state.screenshots();
    ASSERT_GE(shots.size(), 2);
    EXPECT_EQ(storedScreenshotTimestamps(*lecture).size(), shots.size());
    EXPECT_EQ(ScreenshotCaptureService::shared().loadScreenshots(lecture->id()).size(), shots.size());

    // The export folder.
    ASSERT_TRUE(c.lastExportFolder());
    const QString folder = *c.lastExportFolder();
    EXPECT_TRUE(QFileInfo(folder).fileName().endsWith(" Entropy 101")) << folder.toStdString();
    const QStringList files = filesUnder(folder);
    EXPECT_TRUE(files.contains("index.html")) << files.join(", ").toStdString();
    EXPECT_TRUE(files.contains("styles.css"));
    EXPECT_TRUE(files.contains("audio.m4a"));
    EXPECT_TRUE(files.contains("Entropy 101.md")) << files.join(", ").toStdString();
    EXPECT_EQ(files.filter(QRegularExpression("^images/\\d{4}_\\d{3}\\.\\d{2}\\.jpg$")).size(), shots.size());
    const QString page = QString::fromUtf8(*readFileBytes(folder + "/index.html"));
    EXPECT_TRUE(page.contains("Heat flows from hot to cold"));
}

TEST_F(PipelineTest, MissingModelFailsBeforeAnythingRuns) {
    const LecturePtr lecture = addLecture(lectureVideo);
    lecture->setDesiredModelID(QStringLiteral("openai_whisper-small"));
    LectureController& c = controllerFor(lecture);
    await(c.beginProcessing());
    EXPECT_EQ(c.pipelineError(), "Whisper Small model is not downloaded. Open ⚙ Settings and tap Download.");
    EXPECT_EQ(messages(), QStringList{"No model on disk — open ⚙ Settings to download Whisper Small first."});
    EXPECT_EQ(lecture->status(), LectureStatus::Failed);
    EXPECT_FALSE(lecture->transcriptData());
    EXPECT_FALSE(player.isMuted());
}

TEST_F(PipelineTest, EmptyTranscriptStillCapturesAndExportsButNeverConsolidates) {
    Settings::shared().setConsolidationEnabled(true);
    serveNotes();
    const LecturePtr lecture = addLecture(lectureVideo);
    lecture->setDesiredModelID(kMuteModel);
    LectureController& c = controllerFor(lecture);
    const QStringList statuses = runRecordingStatuses([&] { return c.beginProcessing(); });
    EXPECT_EQ(statuses, (QStringList{"pending", "transcribing", "generating_page", "complete"}));
    EXPECT_TRUE(messages().contains("Transcription returned no text — the video may contain no speech.")) << messages().join("\n").toStdString();
    EXPECT_TRUE(state.transcriptSegments().isEmpty());
    EXPECT_EQ(lecture->transcriptData(), QByteArray("[]"));
    EXPECT_FALSE(state.screenshots().isEmpty());
    EXPECT_TRUE(c.lastExportFolder());
    EXPECT_EQ(anthropic->requestCount("/v1/messages"), 0);
    EXPECT_FALSE(lecture->consolidatedData());
}

TEST_F(PipelineTest, FailedConsolidationOnlyDropsTheNotes) {
    Settings::shared().setConsolidationEnabled(true);
    serveAuthenticationError();
    const LecturePtr lecture = addLecture(lectureVideo);
    LectureController& c = controllerFor(lecture);
    const QStringList statuses = runRecordingStatuses([&] { return c.beginProcessing(); });
    EXPECT_EQ(statuses.last(), "complete");
    EXPECT_TRUE(statuses.contains("consolidating"));
    EXPECT_TRUE(messages().contains("Consolidation skipped: Claude API returned 401: "
                                    R"({"type":"error","error":{"type":"authentication_error","message":"invalid x-api-key"}})"))
        << messages().join("\n").toStdString();
    EXPECT_FALSE(lecture->consolidatedData());
    EXPECT_FALSE(lecture->consolidatedWithModelID());
    EXPECT_FALSE(c.pipelineError());
}

TEST_F(PipelineTest, FailedExportFailsTheRunAndKeepsWhatWasStored) {
    blockExportRoot();
    const LecturePtr lecture = addLecture(lectureVideo);
    LectureController& c = controllerFor(lecture);
    const QStringList statuses = runRecordingStatuses([&] { return c.beginProcessing(); });
    EXPECT_EQ(statuses.last(), "failed");
    ASSERT_TRUE(c.pipelineError());
    EXPECT_EQ(messages().last(), "Error: " + *c.pipelineError());
    EXPECT_TRUE(lecture->transcriptData());
    EXPECT_TRUE(lecture->screenshotTimestamps());
    EXPECT_FALSE(state.isParallelCapturing());
    EXPECT_EQ(state.liveText(), "");
    EXPECT_FALSE(player.isMuted());
}

TEST_F(PipelineTest, FailedTranscriptionStopsTheCaptureBeforeTheRunEnds) {
    // No audio track: transcription fails at once while the capture has two minutes of video to scan.
    const QString silent = dir + QStringLiteral("/silent.mp4");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=5", "-t", "120", "-an", "-c:v", "libx264", "-preset", "ultrafast",
                        "-pix_fmt", "yuv420p", silent}));
    const LecturePtr lecture = addLecture(silent);
    LectureController& c = controllerFor(lecture);
    await(c.beginProcessing());
    ASSERT_EQ(lecture->status(), LectureStatus::Failed);
    EXPECT_TRUE(messages().last().startsWith("Error: "));
    EXPECT_FALSE(state.isParallelCapturing());

    QSignalSpy progress(&state, &ProcessingState::screenshotProgressChanged);
    QSignalSpy added(&state, &ProcessingState::messageAdded);
    spinUntil([&] { return progress.count() > 0 || added.count() > 0; }, 2500);
    EXPECT_EQ(progress.count(), 0);
    EXPECT_EQ(added.count(), 0);
    EXPECT_TRUE(messages().last().startsWith("Error: "));
}

TEST_F(PipelineTest, OllamaNotesWithoutAModelNameKeepTheEarlierName) {
    TestHttpServer ollama;
    Settings& s = Settings::shared();
    s.setConsolidationEnabled(true);
    s.setConsolidationProvider(ConsolidationProvider::Ollama);
    s.setConsolidationOllamaEndpoint(ollama.urlString());
    s.setConsolidationOllamaModel(QStringLiteral("llama3.2"));
    // The model setting is cleared while the notes stream in.
    ollama.route("POST", "/api/chat", [&](const HttpRequest&) {
        s.setConsolidationOllamaModel(QString());
        HttpResponse r(200);
        r.header("Content-Type", "application/x-ndjson");
        r.pieces(R"({"message":{"role":"assistant","content":"## Entropy"},"done":false})"
                 "\n"
                 R"({"message":{"role":"assistant","content":""},"done":true})"
                 "\n",
                 30, 2);
        return r;
    });
    const LecturePtr lecture = addLecture(lectureVideo);
    lecture->setConsolidatedWithModelID(QStringLiteral("claude/claude-sonnet-4-5"));
    LectureController& c = controllerFor(lecture);
    await(c.beginProcessing());
    ASSERT_EQ(lecture->status(), LectureStatus::Complete) << messages().join("\n").toStdString();
    EXPECT_EQ(lecture->consolidatedData(), QByteArray("## Entropy"));
    // The name is the model that wrote the notes, taken when the consolidation started.
    EXPECT_EQ(lecture->consolidatedWithModelID(), "ollama/llama3.2");
    s.remove(QLatin1String(settings_keys::consolidationOllamaModel));
    s.remove(QLatin1String(settings_keys::consolidationOllamaEndpoint));
}

TEST_F(PipelineTest, PlayerFollowsTranscriptionInThreeSecondSteps) {
    const LecturePtr lecture = addLecture(lectureVideo);
    LectureController& c = controllerFor(lecture);
    for (double t : {1.0, 2.5, 4.2, 7.0, 7.3}) c.onTranscriptionPosition(t);
    EXPECT_EQ(player.seeks(), (QList<double>{1.0, 4.2, 7.3}));
}

TEST(PipelineTexts, MessagesCountAndTimes) {
    EXPECT_EQ(LectureController::transcriptDoneMessage(1, 2), "Transcription done — 1 segment, ~2 words.");
    EXPECT_EQ(LectureController::transcriptDoneMessage(12, 1500), "Transcription done — 12 segments, ~1500 words.");
    EXPECT_EQ(LectureController::countWordsSplitAtSpaces("two  words"), 2);
    EXPECT_EQ(LectureController::countWordsSplitAtSpaces("two\nwords"), 1);
    EXPECT_EQ(LectureController::countWordsSplitAtSpaces("tab\tand space"), 2);
    EXPECT_EQ(LectureController::countWordsSplitAtSpaces(" "), 0);
    EXPECT_EQ(LectureController::frameTimeText(5.9), "0:05");
    EXPECT_EQ(LectureController::frameTimeText(754), "12:34");
    EXPECT_EQ(LectureController::frameTimeText(3725), "1:02:05");
    EXPECT_EQ(LectureController::frameTimeText(std::nan("")), "—");
}
