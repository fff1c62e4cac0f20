#include "core/Annotations.h"
#include "core/Lecture.h"
#include "core/ProcessingState.h"
#include "core/TranscriptModel.h"
#include "pipeline/LectureLoader.h"
#include "QtTestHelpers.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSemaphore>

using namespace lumenote;
using lumenote::test::await;

namespace {

LecturePtr lectureSaying(const QString& text) {
    LecturePtr l = Lecture::create(text, std::nullopt, std::nullopt);
    l->setTranscriptData(*encodeTranscript({{QUuid::createUuid(), text, 0, 2, {}}}));
    l->setNotesData(encodeUserNotes({UserNote::create(0, text + " note")}));
    return l;
}

}  // namespace

// Selecting B while A still loads: A's load finishes last and must leave B's state alone.
TEST(LectureLoader, AnOvertakenLoadWritesNothing) {
    const LecturePtr a = lectureSaying(QStringLiteral("alpha")), b = lectureSaying(QStringLiteral("beta"));
    ProcessingState state;
    QSemaphore releaseA;
    auto slowShots = [&releaseA](const QUuid&) {
        releaseA.acquire();
        return QList<CapturedScreenshot>{CapturedScreenshot::make(QImage(8, 8, QImage::Format_RGB32), 1.0)};
    };
    auto noShots = [](const QUuid&) { return QList<CapturedScreenshot>{}; };

    QCoro::Task<> loadingA = loadLectureIntoState(state, a, slowShots);
    await(loadLectureIntoState(state, b, noShots));
    releaseA.release();
    await(std::move(loadingA));

    EXPECT_EQ(state.lectureID(), b->id());
    ASSERT_EQ(state.transcriptSegments().size(), 1);
    EXPECT_EQ(state.transcriptSegments()[0].text, "beta");
    ASSERT_EQ(state.notes().size(), 1);
    EXPECT_EQ(state.notes()[0].text, "beta note");
    EXPECT_TRUE(state.screenshots().isEmpty());
    ASSERT_EQ(state.messages().size(), 1);
    EXPECT_EQ(state.messages()[0].text, "Transcript loaded — 1 segments.");

    // The same holds when the state is reset by something else (a run starting).
    QCoro::Task<> again = loadLectureIntoState(state, a, slowShots);
    state.reset();
    releaseA.release();
    await(std::move(again));
    EXPECT_TRUE(state.transcriptSegments().isEmpty());
    EXPECT_TRUE(state.notes().isEmpty());
}
