#include "core/ProcessingState.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace lumenote;

TEST(ProcessingState, AddMessageStampsAndSignals) {
    ProcessingState st;
    QSignalSpy added(&st, &ProcessingState::messageAdded);
    st.addMessage("Transcribing…");
    st.addMessage("Transcribing…");
    ASSERT_EQ(st.messages().size(), 2);
    EXPECT_EQ(added.count(), 2);
    EXPECT_NE(st.messages()[0].id, st.messages()[1].id);
    EXPECT_EQ(st.messages()[1].text, "Transcribing…");
    EXPECT_LE(qAbs(st.messages()[0].timestamp.secsTo(QDateTime::currentDateTime())), 2);
}

TEST(ProcessingState, ResetClearsEverything) {
    ProcessingState st;
    st.addMessage("a");
    st.setTranscriptSegments({{QUuid::createUuid(), "t", 0, 1, {}}});
    st.setLiveText("live");
    st.setScreenshots({CapturedScreenshot::make(QImage(4, 4, QImage::Format_RGB32), 1)});
    st.setScreenshotProgress(0.5);
    st.setTranscriptionProgress(0.7);
    st.setIsParallelCapturing(true);
    st.setIsModifiedSinceExport(true);
    st.setExportStatus("Writing");
    st.setNotes({UserNote::create(1, "n")});
    st.setMarginNotes({MarginNote::create(1, "a", "b", MarginNote::Side::Left)});
    st.setTextHighlights({TextHighlight::create(1, "a", TextHighlight::HighlightColor::Blue)});
    st.setNotesInlineNotes({UserNote::create(1, "n")});
    st.setNotesMarginNotes({MarginNote::create(1, "a", "b", MarginNote::Side::Left)});
    st.setNotesHighlights({TextHighlight::create(1, "a", TextHighlight::HighlightColor::Blue)});
    st.setPlayerTime(42);

    QSignalSpy flag(&st, &ProcessingState::isModifiedSinceExportChanged);
    st.reset();
    EXPECT_TRUE(st.messages().isEmpty());
    EXPECT_TRUE(st.transcriptSegments().isEmpty());
    EXPECT_EQ(st.liveText(), "");
    EXPECT_TRUE(st.screenshots().isEmpty());
    EXPECT_EQ(st.screenshotProgress(), 0);
    EXPECT_EQ(st.transcriptionProgress(), 0);
    EXPECT_FALSE(st.isParallelCapturing());
    EXPECT_FALSE(st.isModifiedSinceExport());
    EXPECT_EQ(st.exportStatus(), "");
    EXPECT_TRUE(st.notes().isEmpty() && st.marginNotes().isEmpty() && st.textHighlights().isEmpty());
    EXPECT_TRUE(st.notesInlineNotes().isEmpty() && st.notesMarginNotes().isEmpty() && st.notesHighlights().isEmpty());
    EXPECT_EQ(st.playerTime(), 0);
    EXPECT_EQ(flag.count(), 1);
}

TEST(ProcessingState, RemoveScreenshotKeepsOrderAndAlwaysMarksModified) {
    ProcessingState st;
    QList<CapturedScreenshot> shots;
    for (double t : {1.0, 2.0, 3.0}) shots.append(CapturedScreenshot::make(QImage(2, 2, QImage::Format_RGB32), t));
    shots.append({shots[1].id, QImage(), 4.0});  // a second entry with the same id
    st.setScreenshots(shots);

    st.removeScreenshot(shots[1].id);
    ASSERT_EQ(st.screenshots().size(), 2);
    EXPECT_EQ(st.screenshots()[0].timestamp, 1.0);
    EXPECT_EQ(st.screenshots()[1].timestamp, 3.0);
    EXPECT_TRUE(st.isModifiedSinceExport());

    st.setIsModifiedSinceExport(false);
    st.removeScreenshot(QUuid::createUuid());
    EXPECT_EQ(st.screenshots().size(), 2);
    EXPECT_TRUE(st.isModifiedSinceExport());
    // The display image is the same bitmap.
    EXPECT_EQ(st.screenshots()[0].displayImage().cacheKey(), st.screenshots()[0].image.cacheKey());
}
