// The lecture detail in an offscreen window: the player on a generated video,
// a run started from the panel, every lecture action with its questions, a
// selection that changes while a load or a run is still going, and a missing
// source downloaded again.

#include "app/DesktopSession.h"
#include "app/LectureDetailPane.h"
#include "app/LectureDetailView.h"
#include "app/LocalizationManager.h"
#include "app/MainWindow.h"
#include "app/PipelinePanel.h"
#include "app/VideoPlayer.h"
#include "core/LectureFiles.h"
#include "core/Settings.h"
#include "core/LibraryModel.h"
#include "core/ProcessingState.h"
#include "export/ExportManager.h"
#include "pipeline/ExportFolders.h"
#include "PipelineFixture.h"
#include "TestEnvironment.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace lumenote::test {
namespace {

// Collects the addresses the window asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

QString picturesDir() {
    const QString dir = QString::fromStdString(binaryDir()) + QStringLiteral("/tests/app/detail");
    QDir().mkpath(dir);
    return dir;
}

class LectureDetailViewTest : public PipelineTest {
protected:
    void SetUp() override {
        PipelineTest::SetUp();
        LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::english);
        view = std::make_unique<LectureDetailView>(*store);
        view->resize(1000, 700);
        view->show();
    }
    void TearDown() override {
        // Let runs of lectures no longer shown end before the store goes.
        spinUntil([&] { return !view->controller() || !view->controller()->isRunning(); }, 60000);
        view.reset();
        PipelineTest::TearDown();
    }

    void showAndWait(const LecturePtr& lecture) {
        view->setLecture(lecture);
        ASSERT_TRUE(spinUntil([&] { return !view->isLoading(); }, 30000));
    }
    bool waitIdle(int ms = 120000) {
        return spinUntil([&] { return !view->controller()->isRunning(); }, ms);
    }
    // Presses the button of the open question that has this role.
    void answer(const QString& objectName, QDialogButtonBox::ButtonRole role) {
        ASSERT_TRUE(spinUntil([&] { return view->openDialog() && view->openDialog()->isVisible(); }));
        QDialog* dialog = view->openDialog();
        ASSERT_EQ(dialog->objectName(), objectName);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ASSERT_TRUE(buttons);
        for (QAbstractButton* button : buttons->buttons())
            if (buttons->buttonRole(button) == role) {
                button->click();
                return;
            }
        FAIL() << "no button of role " << role << " in " << objectName.toStdString();
    }
    QStringList viewMessages() const {
        QStringList out;
        for (const ProcessingMessage& m : view->state()->messages()) out << m.text;
        return out;
    }
    QString page() const {
        const auto folder = ExportManager::shared().existingLectureFolder(*view->lecture(), std::nullopt);
        if (!folder) return {};
        QFile file(*folder + "/index.html");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::unique_ptr<LectureDetailView> view;
};

TEST_F(LectureDetailViewTest, PlayerFollowsSeeksKeysAndSpeed) {
    VideoPlayer& player = *view->player();
    player.setSource(lectureVideo);
    ASSERT_TRUE(spinUntil([&] { return player.duration() > 0; }, 20000)) << "the generated video did not open";
    EXPECT_NEAR(player.duration(), 12.0, 0.6);

    player.seek(6.0, 0.5, 0.5);
    EXPECT_TRUE(spinUntil([&] { return std::abs(player.currentTime() - 6.0) < 0.05; }));

    // The arrow keys move five seconds and stop at either end.
    struct Step {
        double from;
        Qt::Key key;
        double to;
    };
    for (const Step& step : {Step{6.0, Qt::Key_Right, 11.0}, Step{6.0, Qt::Key_Left, 1.0}, Step{2.0, Qt::Key_Left, 0.0},
                             Step{10.0, Qt::Key_Right, player.duration()}}) {
        player.seek(step.from, 0, 0);
        spinUntil([&] { return std::abs(player.currentTime() - step.from) < 0.05; });
        QTest::keyClick(&player, step.key);
        EXPECT_TRUE(spinUntil([&] { return std::abs(player.currentTime() - step.to) < 0.05; }))
            << step.from << " → " << player.currentTime() << ", expected " << step.to;
    }

    // Space plays and pauses.
    player.seek(0, 0, 0);
    QTest::keyClick(&player, Qt::Key_Space);
    EXPECT_TRUE(spinUntil([&] { return player.isPlaying() && player.currentTime() > 0.3; }));
    QTest::keyClick(&player, Qt::Key_Space);
    EXPECT_TRUE(spinUntil([&] { return !player.isPlaying(); }));

    // Speeds snap to the offered ones.
    for (auto [asked, got] : {std::pair{1.6, 1.5}, {0.5, 0.75}, {3.0, 2.0}, {1.25, 1.25}}) {
        player.setPlaybackRate(asked);
        EXPECT_DOUBLE_EQ(player.playbackRate(), got) << asked;
    }

    player.mute();
    EXPECT_TRUE(player.isMuted());
    player.unmute();
    EXPECT_FALSE(player.isMuted());
}

TEST_F(LectureDetailViewTest, EveryActionFromTheWindow) {
    UrlCatcher desktop;
    const LecturePtr lecture = addLecture(lectureVideo);
    showAndWait(lecture);
    EXPECT_EQ(view->player()->source(), lectureVideo);
    EXPECT_FALSE(view->reExportAction()->isEnabled());
    EXPECT_FALSE(view->openPageAction()->isEnabled());

    // A run started from the panel mutes the player while it listens.
    bool mutedWhileTranscribing = false;
    QTimer poll;
    bool pictured = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!pictured && lecture->isProcessing() && (view->state()->transcriptionProgress() > 0 || view->state()->screenshotProgress() > 0))
            pictured = view->grab().save(picturesDir() + "/detail-running.png");
        if (lecture->status() == LectureStatus::Transcribing) mutedWhileTranscribing |= view->player()->isMuted();
    });
    poll.start(0);
    view->pipelinePanel()->startButton()->click();
    EXPECT_FALSE(view->pipelinePanel()->startButton()->isEnabled());
    ASSERT_TRUE(waitIdle());
    poll.stop();
    ASSERT_EQ(lecture->status(), LectureStatus::Complete) << viewMessages().join('\n').toStdString();
    EXPECT_TRUE(mutedWhileTranscribing);
    EXPECT_FALSE(view->player()->isMuted());
    EXPECT_GT(view->pipelinePanel()->log()->count(), 3);
    EXPECT_TRUE(view->openPageAction()->isEnabled());
    view->controller()->setRevealsWrittenFiles(false);

    // Open Study Page hands the written page to the desktop.
    view->openPageAction()->trigger();
    ASSERT_EQ(desktop.urls.size(), 1);
    EXPECT_TRUE(desktop.urls[0].toLocalFile().endsWith("/index.html"));
    EXPECT_TRUE(QFileInfo::exists(desktop.urls[0].toLocalFile()));

    // Turning notes on for a finished lecture asks to make them now.
    serveNotes();
    QComboBox* mode = view->consolidationModePicker();
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    EXPECT_EQ(lecture->consolidationMode(), ConsolidationMode::Claude);
    answer("runConsolidationAlert", QDialogButtonBox::AcceptRole);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(lecture->consolidatedData(), kNotes.toUtf8());
    EXPECT_TRUE(page().contains("Heat flows from hot to cold"));
    EXPECT_TRUE(view->removeNotesAction()->isEnabled());

    // Turning them off asks to strip them; keeping them leaves everything.
    mode->setCurrentIndex(0);
    emit mode->activated(0);
    answer("removeNotesAlert", QDialogButtonBox::RejectRole);
    EXPECT_TRUE(lecture->consolidatedData());
    view->removeNotesAction()->trigger();
    answer("removeNotesAlert", QDialogButtonBox::DestructiveRole);
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(consolidatedBytes(*lecture));
    EXPECT_FALSE(page().contains("Heat flows from hot to cold"));
    EXPECT_FALSE(view->removeNotesAction()->isEnabled());

    // A frame from the player joins the screenshots in time order.
    const qsizetype shots = view->state()->screenshots().size();
    view->player()->seek(5.0, 0, 0);
    spinUntil([&] { return std::abs(view->player()->currentTime() - 5.0) < 0.05; });
    view->captureFrameAction()->trigger();
    ASSERT_TRUE(spinUntil([&] { return !view->controller()->isCapturingFrame() && view->state()->screenshots().size() == shots + 1; }, 30000))
        << viewMessages().join('\n').toStdString();
    EXPECT_TRUE(viewMessages().last().startsWith("Frame captured at 0:05"));
    EXPECT_TRUE(view->state()->isModifiedSinceExport());

    view->reExportAction()->trigger();
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(view->state()->isModifiedSinceExport());

    // Re-transcription offers the models and runs the one picked.
    view->retranscribeAction()->trigger();
    ASSERT_TRUE(spinUntil([&] { return view->openDialog() != nullptr; }));
    auto* models = view->openDialog()->findChild<QComboBox*>("retranscribeModel");
    ASSERT_TRUE(models);
    EXPECT_EQ(models->currentData().toString(), kTinyModel);
    EXPECT_GT(models->count(), 1);
    answer("retranscribeDialog", QDialogButtonBox::AcceptRole);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(lecture->status(), LectureStatus::Complete);
    EXPECT_EQ(lecture->transcribedWithModelID(), kTinyModel);
    EXPECT_EQ(view->state()->screenshots().size(), shots + 1);  // kept

    // Markdown goes next to the page.
    Settings::shared().setMarkdownExportEnabled(true);
    view->markdownAction()->trigger();
    ASSERT_TRUE(spinUntil([&] { return !view->controller()->isExportingMarkdown(); }, 30000));
    const auto folder = ExportManager::shared().existingLectureFolder(*lecture, std::nullopt);
    ASSERT_TRUE(folder);
    EXPECT_FALSE(QDir(*folder).entryList({"*.md"}).isEmpty()) << viewMessages().join('\n').toStdString();

    ExportFolders folders(ExportManager::shared());
    LibraryModel library(*store, folders);
    LectureDetailPane pane(library, *store);
    pane.resize(1100, 800);
    pane.setLecture(lecture);
    pane.show();
    spinUntil([&] { return !pane.view()->isLoading() && pane.view()->player()->duration() > 0; }, 30000);
    EXPECT_TRUE(pane.grab().save(picturesDir() + "/detail-complete-en.png"));
    // Every text follows a change of language.
    const QString english = pane.view()->reExportAction()->text();
    const QString start = pane.view()->pipelinePanel()->startButton()->text();
    LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::german);
    EXPECT_TRUE(spinUntil([&] { return pane.view()->reExportAction()->text() != english; }));
    EXPECT_NE(pane.view()->pipelinePanel()->startButton()->text(), start);
    EXPECT_TRUE(pane.grab().save(picturesDir() + "/detail-complete-de.png"));
    LocalizationManager::shared().setCurrentLanguage(LocalizationManager::Language::english);
    spinFor(50);
}

TEST_F(LectureDetailViewTest, AnotherSelectionNeverTakesAnEarlierLoadOrRun) {
    const LecturePtr first = addLecture(lectureVideo, "First");
    const LecturePtr second = addLecture(lectureVideo, "Second");
    showAndWait(first);
    view->beginProcessing();
    ASSERT_TRUE(spinUntil([&] { return first->status() == LectureStatus::Transcribing; }));
    LectureController* firstController = view->controller();

    // While the first lecture's run goes on, the second one is shown: its own
    // state, an enabled start button, and a player the run no longer drives.
    showAndWait(second);
    EXPECT_NE(view->controller(), firstController);
    EXPECT_EQ(view->state()->lectureID(), second->id());
    EXPECT_TRUE(view->pipelinePanel()->startButton()->isEnabled());
    EXPECT_FALSE(view->player()->isMuted());
    ASSERT_TRUE(spinUntil([&] { return first->status() == LectureStatus::Complete || first->status() == LectureStatus::Failed; }, 120000));
    EXPECT_EQ(first->status(), LectureStatus::Complete);
    EXPECT_EQ(second->status(), LectureStatus::Pending);
    EXPECT_TRUE(view->state()->transcriptSegments().isEmpty());
    EXPECT_FALSE(view->player()->isMuted());
    EXPECT_FALSE(transcriptBytes(*second));

    // Back on the first, its stored products load; switching away before that
    // load ends leaves the second's state alone, and a re-export there writes
    // nothing of the first.
    view->setLecture(first);
    view->setLecture(second);
    ASSERT_TRUE(spinUntil([&] { return !view->isLoading(); }, 30000));
    spinFor(300);
    EXPECT_EQ(view->state()->lectureID(), second->id());
    EXPECT_TRUE(view->state()->transcriptSegments().isEmpty());
    EXPECT_TRUE(view->state()->screenshots().isEmpty());
    EXPECT_FALSE(view->reExportAction()->isEnabled());
    showAndWait(first);
    EXPECT_FALSE(view->state()->transcriptSegments().isEmpty());
    EXPECT_TRUE(viewMessages().join('\n').contains("Transcript loaded"));
}

// The import prompt's reprocess goes through the same detail as the start button.
TEST_F(LectureDetailViewTest, ReprocessFromTheWindowRunsInTheDetail) {
    QTemporaryDir tmp;
    QString error;
    auto session = DesktopSession::open(tmp.path() + "/library.sqlite", &error);
    ASSERT_TRUE(session) << error.toStdString();
    auto lecture = Lecture::create("Week 1", lectureVideo, std::nullopt);
    session->store().insert(lecture);
    MainWindow window(*session);
    window.startProcessing(lecture);
    LectureDetailView* detail = window.detail()->view();
    EXPECT_EQ(detail->lecture(), lecture);
    ASSERT_TRUE(detail->controller()->isRunning());
    window.startProcessing(lecture);  // a second request while it runs is turned away
    EXPECT_TRUE(window.statusBar()->currentMessage().contains("Week 1"));
    ASSERT_TRUE(spinUntil([&] { return !detail->controller()->isRunning(); }, 120000));
    EXPECT_EQ(lecture->status(), LectureStatus::Complete);
    EXPECT_TRUE(detail->reExportAction()->isEnabled());
}

TEST_F(LectureDetailViewTest, MissingSourceOffersDownloadAgain) {
    TestHttpServer site;
    const QByteArray video = *readFileBytes(lectureVideo);
    site.route("GET", "/lecture.mp4", [video](const HttpRequest&) { return HttpResponse::text(200, video, "video/mp4"); });
    site.route("HEAD", "/lecture.mp4", [video](const HttpRequest&) { return HttpResponse::text(200, video, "video/mp4"); });
    auto lecture = Lecture::create("Downloaded", QStringLiteral("/gone/lecture.mp4"), site.urlString() + "/lecture.mp4");
    store->insert(lecture);
    showAndWait(lecture);
    EXPECT_TRUE(view->controller()->sourceVideoMissing());
    EXPECT_FALSE(view->player()->isVisibleTo(view.get()));
    ASSERT_TRUE(view->redownloadButton()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->captureFrameAction()->isEnabled());

    view->redownloadButton()->click();
    ASSERT_TRUE(spinUntil([&] { return !view->player()->source().isEmpty(); }, 60000))
        << view->controller()->redownloadError().value_or("").toStdString();
    EXPECT_TRUE(QFileInfo::exists(*lecture->localFilePath()));
    EXPECT_EQ(view->player()->source(), *lecture->localFilePath());
    EXPECT_TRUE(view->player()->isVisibleTo(view.get()));
}

}  // namespace
}  // namespace lumenote::test

#include "LectureDetailViewTest.moc"
