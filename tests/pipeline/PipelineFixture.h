#pragma once

// Shared set-up for the pipeline tests: a miniature speech model in the
// Hugging Face cache, generated lecture videos, a library store, and a local
// server that answers like the Anthropic Messages API.

#include "core/Lecture.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "pipeline/LectureController.h"
#include "pipeline/PlayerControl.h"
#include "QtTestHelpers.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace lumenote::test {

inline const QString kTinyModel = QStringLiteral("openai_whisper-tiny");
// A model that hears nothing (every transcript comes out empty).
inline const QString kMuteModel = QStringLiteral("openai_whisper-base");
inline const QString kNotes = QStringLiteral("## Entropy\n\n- Heat flows from hot to cold\n- Entropy grows");

// Writes the miniature model into the Hugging Face cache as the snapshot of
// `repository` ("whisper-tiny" stands in for Whisper Tiny); `options` go to make-test-model.
bool installMiniatureModel(const QString& repository, const QStringList& options = {"--shape", "mini"});

class PipelineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A new pending lecture for a fixture video, stored in the library.
    LecturePtr addLecture(const QString& video, const QString& title = QStringLiteral("Entropy 101"));
    // The controller of a lecture, with its own processing state and player.
    LectureController& controllerFor(const LecturePtr& lecture);
    // Runs an action while recording every status the lecture passes through
    // (the action is started inside, after the first status is noted).
    QStringList runRecordingStatuses(const std::function<QCoro::Task<>()>& action);
    // Puts a file where the export root should be, so that no export folder can be made.
    static void blockExportRoot();
    static void unblockExportRoot();
    QStringList messages() const;
    static QString exportRootPath();

    // The Anthropic stand-in: streams kNotes, or answers 401.
    void serveNotes();
    void serveAuthenticationError();

    static QString dir;
    static QString lectureVideo;  // slides with narration
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<TestHttpServer> anthropic;
    ProcessingState state;
    HeadlessPlayer player;
    std::unique_ptr<LectureController> controller;
};

}  // namespace lumenote::test
