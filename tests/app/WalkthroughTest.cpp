// A person's first session, on a real X display (Xvfb): the program starts on
// an empty home; then, in this process, a generated lecture is imported by
// file and by address, the library is arranged, and every settings page is
// opened in every language; a second lecture is processed with the miniature
// model, marked up in the transcript (a highlight, a margin note, an inline
// note), exported again, and its study page read in Chromium. Each screen is
// saved as a PNG in the folder named by LUMENOTE_WALKTHROUGH_DIR for a person
// to look at.

#include "app/DesktopSession.h"
#include "app/ImportDialog.h"
#include "app/LectureDetailPane.h"
#include "app/LectureDetailView.h"
#include "app/PassageAnnotator.h"
#include "app/PipelinePanel.h"
#include "app/TranscriptPanel.h"
#include "app/TranscriptTimelineModel.h"
#include "app/VideoPlayer.h"
#include "app/LibrarySidebar.h"
#include "app/LibraryTreeModel.h"
#include "app/LocalizationManager.h"
#include "app/MainWindow.h"
#include "app/SettingsWindow.h"
#include "core/AppPaths.h"
#include "core/LectureFiles.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "core/ProcessingState.h"
#include "core/Settings.h"
#include "export/ExportManager.h"
#include "media/URLDownloadService.h"
#include "pipeline/LectureController.h"
#include "screenshots/CodecProbe.h"
#include "screenshots/ScreenshotCaptureService.h"
#include "transcription/WhisperModelManager.h"
#include "ChromiumSession.h"
#include "FixtureTools.h"
#include "PipelineFixture.h"
#include "QtTestHelpers.h"
#include "SlideFixtures.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QAction>
#include <QScopeGuard>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

QString outputDir() {
    const QString dir = qEnvironmentVariable("LUMENOTE_WALKTHROUGH_DIR", QDir::tempPath() + "/lumenote-walkthrough");
    QDir().mkpath(dir);
    return dir;
}

// A picture with something on it (not one flat colour).
bool hasContent(const QImage& image) {
    if (image.isNull()) return false;
    const QImage small = image.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) colours.insert(small.pixel(x, y));
    return colours.size() > 8;
}

void save(const QImage& image, const QString& name) {
    EXPECT_TRUE(hasContent(image)) << name.toStdString() << " is empty";
    EXPECT_TRUE(image.save(outputDir() + "/" + name + ".png")) << name.toStdString();
}

void save(QWidget* widget, const QString& name) {
    spinFor(150);  // let layouts and pending paints settle
    save(widget->grab().toImage(), name);
}

// The window as the screen shows it, the video picture included.
void saveScreen(QWidget* window, const QString& name) {
    spinFor(150);
    save(window->screen()->grabWindow(window->winId()).toImage(), name);
}

// Hosts that must not be reached: a closed port on loopback.
void keepOffTheNetwork() {
    for (const char* var : {"LUMENOTE_GITHUB_API_URL", "LUMENOTE_GITHUB_URL", "HF_ENDPOINT", "LUMENOTE_ANTHROPIC_URL"})
        qputenv(var, "http://127.0.0.1:9");
}

TEST(Walkthrough, TheProgramStartsOnAnEmptyHome) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
    const QString binary = qEnvironmentVariable("LUMENOTE_APP_BINARY");
    ASSERT_TRUE(QFileInfo(binary).isExecutable()) << binary.toStdString();
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    for (auto [var, rel] : {std::pair{"XDG_DATA_HOME", ".local/share"}, {"XDG_CACHE_HOME", ".cache"}, {"XDG_CONFIG_HOME", ".config"}}) {
        QDir().mkpath(home.path() + "/" + rel);
        env.insert(var, home.path() + "/" + rel);
    }
    for (const char* var : {"LUMENOTE_GITHUB_API_URL", "LUMENOTE_GITHUB_URL", "HF_ENDPOINT", "LUMENOTE_ANTHROPIC_URL"})
        env.insert(var, "http://127.0.0.1:9");
    env.insert("QT_QPA_PLATFORM", "xcb");
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(binary, {});
    ASSERT_TRUE(app.waitForStarted(10000));

    // The store is made at start-up; the splash closes half a second after "Ready.".
    const QString store = home.path() + "/.local/share/io.corvana.Lumenote/library.sqlite";
    ASSERT_TRUE(spinUntil([&] { return QFileInfo::exists(store); }, 20000)) << "no library store was created";
    spinFor(600);
    save(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), "01-program-with-splash");
    spinFor(3000);
    EXPECT_EQ(app.state(), QProcess::Running) << "the program ended by itself";
    save(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), "02-program-started");
    app.terminate();
    app.waitForFinished(5000);
}

class WalkthroughInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        keepOffTheNetwork();
        // As at start-up: the catalogue of the chosen language before any text.
        LocalizationManager::shared();
        URLDownloadService& tools = URLDownloadService::shared();
        tools.setToolSearchDirectories({bin.path(), "/usr/bin"});
        tools.setPackagedYtDlpPath(QString());
        QString error;
        session = DesktopSession::open(AppPaths::libraryStorePath(), &error);
        ASSERT_TRUE(session) << error.toStdString();
        window = std::make_unique<MainWindow>(*session);
        window->resize(1180, 760);
        window->show();
        ASSERT_TRUE(spinUntil([&] { return window->isVisible(); }));
    }
    void TearDown() override {
        window.reset();
        session.reset();
    }

    QTemporaryDir bin;
    std::unique_ptr<DesktopSession> session;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WalkthroughInProcess, ImportArrangeAndEverySettingsPageInEveryLanguage) {
    save(window.get(), "03-welcome");

    // A generated lecture: two slides with narration.
    const QString video = QString::fromStdString(homeDir()) + "/Videos/Thermodynamics Week 1.mp4";
    QDir().mkpath(QFileInfo(video).absolutePath());
    ASSERT_TRUE(makeLectureVideo(video, {{"The First Law", {"Energy is conserved", "dU = Q - W"}, 2}, {"Entropy", {"Heat flows from hot to cold"}, 2}},
                                 "Energy is conserved. Heat flows from hot to cold."));

    ImportDialog* dialog = window->openImport();
    save(dialog, "04-import-file-tab");
    dialog->importFile(video);
    ASSERT_TRUE(spinUntil([&] { return session->library().selectedLecture() != nullptr; }));
    const LecturePtr lecture = session->library().selectedLecture();
    EXPECT_EQ(lecture->title(), "Thermodynamics Week 1");
    EXPECT_EQ(window->detail()->lecture(), lecture);
    // The keyframe a processed lecture would have, so the row shows its thumbnail.
    lecture->setKeyframeData(makeKeyframeJPEG(renderSlide({"The First Law", {"Energy is conserved", "dU = Q - W"}}, {960, 540})));
    lecture->setDuration(4);
    ASSERT_TRUE(session->store().commit());
    spinFor(400);
    save(window.get(), "05-lecture-imported");

    // The same file again: the duplicate prompt.
    dialog = window->openImport();
    dialog->importFile(video);
    ASSERT_TRUE(spinUntil([&] { return dialog->duplicatePrompt() && dialog->duplicatePrompt()->isVisible(); }));
    save(dialog->duplicatePrompt(), "06-duplicate-prompt");
    dialog->duplicatePrompt()->findChild<QPushButton*>("import.duplicate.cancel")->click();
    ASSERT_TRUE(spinUntil([&] { return !dialog->duplicatePrompt(); }));

    // An address: a stand-in yt-dlp that reports progress, then waits to be stopped.
    ASSERT_TRUE(writeExecutableScript(bin.path() + "/yt-dlp", "#!/bin/sh\n[ \"$1\" = --skip-download ] && { echo 'Physics Department'; exit 0; }\n"
                                                                "echo '[download]  42.0% of 120.00MiB at 5.10MiB/s ETA 00:13'\nexec sleep 30\n"));
    dialog->showTab(ImportDialog::Tab::Address);
    dialog->findChild<QLineEdit*>("urlField")->setText("ftp://lectures.example/thermo-2");
    save(dialog, "07-import-address-invalid");
    dialog->findChild<QLineEdit*>("urlField")->setText("https://lectures.example/thermo-2");
    dialog->downloadAndImport();
    ASSERT_TRUE(spinUntil([&] { return URLDownloadService::shared().progress() > 0.4; }));
    save(dialog, "08-import-address-downloading");
    dialog->findChild<QPushButton*>("stopButton")->click();
    ASSERT_TRUE(spinUntil([&] { return !dialog->controller().isBusy(); }, 15000));
    save(dialog, "09-import-address-stopped");
    dialog->close();

    // Arrange the library: a folder holding the lecture, and an unfiled one.
    const LectureFolderPtr folder = session->library().createFolder("Physics");
    session->library().moveLecture(lecture, folder);
    auto second = Lecture::create("Linear Algebra — Eigenvalues", QString("/nowhere/eigen.mp4"), std::nullopt);
    second->setStatus(LectureStatus::Failed);
    second->setDuration(3725);
    session->store().insert(second);
    ASSERT_TRUE(session->store().commit());
    session->library().refreshLists();
    window->sidebar()->selectLecture(lecture);
    spinFor(400);
    save(window.get(), "10-library-arranged");

    // Every settings page in every language; the window follows each switch.
    LocalizationManager& languages = LocalizationManager::shared();
    const QMetaEnum pages = QMetaEnum::fromType<SettingsWindow::Page>();
    QStringList fileMenuTitles;
    for (LocalizationManager::Language language : LocalizationManager::languages()) {
        const QString code = LocalizationManager::code(language);
        languages.setCurrentLanguage(language);
        spinFor(200);
        fileMenuTitles << window->menuBar()->actions().front()->text();
        window->sidebar()->selectLecture(nullptr);
        save(window.get(), QString("11-%1-welcome").arg(code));
        window->sidebar()->selectLecture(lecture);
        save(window.get(), QString("12-%1-library").arg(code));
        SettingsWindow* settings = window->openSettings();
        settings->resize(820, 600);
        for (int i = 0; i < pages.keyCount(); ++i) {
            settings->showPage(SettingsWindow::Page(pages.value(i)));
            save(settings, QString("13-%1-settings-%2").arg(code, QString::fromLatin1(pages.key(i)).toLower()));
        }
        settings->close();
        spinFor(50);
    }
    languages.setCurrentLanguage(LocalizationManager::Language::english);
    fileMenuTitles.removeDuplicates();
    EXPECT_EQ(fileMenuTitles.size(), 5) << fileMenuTitles.join(", ").toStdString();
}

// Double-clicks the word that starts at `position` in the annotator's text,
// as a person selects a word, and returns the selection.
QString doubleClickWord(PassageAnnotator& annotator, int position) {
    QTextEdit* text = annotator.textView();
    QTextCursor cursor(text->document());
    cursor.setPosition(position + 1);
    const QPoint at = text->cursorRect(cursor).center();
    QTest::mouseDClick(text->viewport(), Qt::LeftButton, {}, at);
    spinFor(50);
    return annotator.selectedText();
}

// Where the words of a passage start: runs of letters or digits at least two long.
QList<int> wordStarts(const QString& text) {
    QList<int> starts;
    for (int i = 0; i < text.size();) {
        int j = i;
        while (j < text.size() && text[j].isLetterOrNumber()) ++j;
        if (j - i >= 2) starts << i;
        i = j == i ? i + 1 : j;
    }
    return starts;
}

TEST_F(WalkthroughInProcess, ProcessMarkUpReexportAndReadTheStudyPage) {
    ASSERT_TRUE(installMiniatureModel(QStringLiteral("whisper-tiny")));
    WhisperModelManager::shared().setSelectedModelID(kTinyModel);  // as picked in the settings
    Settings::shared().setConsolidationEnabled(false);
    const QString video = QString::fromStdString(homeDir()) + "/Videos/Entropy Week 2.mp4";
    QDir().mkpath(QFileInfo(video).absolutePath());
    ASSERT_TRUE(makeLectureVideo(video, {{"Entropy", {"Heat flows from hot to cold"}, 3}, {"The Second Law", {"Entropy never decreases"}, 3}},
                                 "Entropy measures how heat spreads out. The second law says it grows."));

    ImportDialog* dialog = window->openImport();
    dialog->importFile(video);
    ASSERT_TRUE(spinUntil([&] {
        const LecturePtr selected = session->library().selectedLecture();
        return selected && selected->title() == "Entropy Week 2";
    }));
    dialog->close();
    const LecturePtr lecture = session->library().selectedLecture();
    LectureDetailView* detail = window->detail()->view();
    ASSERT_TRUE(spinUntil([&] { return detail->lecture() == lecture && !detail->isLoading(); }, 20000));
    window->activateWindow();

    // The window keeps the size it was given through the run and the editing:
    // neither the words heard so far nor the editors may grow it past the screen.
    const QSize size = window->size();
    QSize largest = size;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { largest = largest.expandedTo(window->size()); });
    watch.start(0);

    // Processing from the panel's start button.
    detail->pipelinePanel()->startButton()->click();
    ASSERT_TRUE(spinUntil([&] { return lecture->status() != LectureStatus::Pending && !detail->controller()->isRunning(); }, 120000));
    QStringList log;
    for (const ProcessingMessage& m : detail->state()->messages()) log << m.text;
    ASSERT_EQ(lecture->status(), LectureStatus::Complete) << log.join('\n').toStdString();
    TranscriptPanel* panel = detail->transcriptPanel();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(spinUntil([&] { return !panel->model().timeline().blocks.isEmpty(); }));
    saveScreen(window.get(), "20-lecture-processed");
    // Before it plays, the video shows its first picture rather than a black frame.
    VideoPlayer* player = detail->player();
    const QPoint playerAt = player->mapTo(window.get(), QPoint(0, 0));
    EXPECT_TRUE(spinUntil([&] {
        return hasContent(window->screen()->grabWindow(window->winId(), playerAt.x(), playerAt.y(), player->width(), player->height() * 3 / 4).toImage());
    }));

    // A click on the first passage opens it in the annotator.
    QListView* column = panel->timelineView();
    const int passageRow = panel->model().rowOfBlock(0);
    ASSERT_GE(passageRow, 0);
    column->scrollTo(panel->model().index(passageRow));
    QTest::mouseClick(column->viewport(), Qt::LeftButton, {}, column->visualRect(panel->model().index(passageRow)).center());
    PassageAnnotator& annotator = *panel->transcriptAnnotator();
    ASSERT_TRUE(spinUntil([&] { return annotator.hasPassage() && annotator.isVisible(); }));
    const QString passage = annotator.textView()->toPlainText();
    const QList<int> starts = wordStarts(passage);
    ASSERT_GE(starts.size(), 2) << "the passage has too few words to mark up: " << passage.toStdString();

    // A highlight on the first word, in pink.
    const QString highlighted = doubleClickWord(annotator, starts[0]);
    ASSERT_FALSE(highlighted.isEmpty());
    annotator.highlightButton()->click();
    ASSERT_TRUE(annotator.colorPicker()->isVisible());
    annotator.colorButton(TextHighlight::HighlightColor::Pink)->click();
    ASSERT_TRUE(spinUntil([&] { return lecture->highlightsData().has_value(); }));
    saveScreen(window.get(), "21-highlight-added");

    // A margin note on the last word that reads differently from the highlighted
    // one and that the passage holds nowhere earlier, on the left.
    int anchorStart = -1;
    for (int start : starts) {
        int end = start;
        while (end < passage.size() && passage[end].isLetterOrNumber()) ++end;
        const QString word = passage.mid(start, end - start);
        if (word.compare(highlighted, Qt::CaseInsensitive) != 0 && passage.indexOf(word, 0, Qt::CaseInsensitive) == start) anchorStart = start;
    }
    ASSERT_GE(anchorStart, 0) << "no second word to anchor a note on: " << passage.toStdString();
    const QString anchored = doubleClickWord(annotator, anchorStart);
    ASSERT_FALSE(anchored.isEmpty());
    annotator.marginButton()->click();
    ASSERT_TRUE(annotator.marginEditor()->isVisible());
    EXPECT_EQ(annotator.anchorField()->text(), anchored);
    const QString marginText = QStringLiteral("Compare with the Carnot cycle");
    QTest::keyClicks(annotator.noteField(), marginText);
    annotator.sidePicker()->setCurrentIndex(1);  // left
    // The pane brings the editor into view, its buttons included.
    EXPECT_TRUE(spinUntil([&] { return !annotator.submitButton()->visibleRegion().isEmpty(); }));
    saveScreen(window.get(), "22-margin-note-editor");
    annotator.submitButton()->click();
    ASSERT_TRUE(spinUntil([&] { return lecture->marginNotesData().has_value(); }));
    EXPECT_EQ(annotator.chips().size(), 2);
    saveScreen(window.get(), "23-margin-note-added");

    // An inline note through the insert zone after the passage.
    const QModelIndex zone = panel->model().index(passageRow + 1);
    column->scrollTo(zone);
    QTest::mouseClick(column->viewport(), Qt::LeftButton, {}, column->visualRect(zone).center());
    ASSERT_TRUE(spinUntil([&] { return panel->inlineNoteField()->isVisible(); }));
    const QString inlineText = QStringLiteral("Ask in the tutorial why entropy grows");
    QTest::keyClicks(panel->inlineNoteField(), inlineText);
    EXPECT_TRUE(spinUntil([&] { return !panel->inlineNoteSave()->visibleRegion().isEmpty(); }));
    saveScreen(window.get(), "24-inline-note-editor");
    panel->inlineNoteSave()->click();
    ASSERT_TRUE(spinUntil([&] { return lecture->notesData().has_value(); }));
    EXPECT_TRUE(detail->state()->isModifiedSinceExport());
    EXPECT_TRUE(panel->reexportHint()->isVisible());
    saveScreen(window.get(), "25-inline-note-added");

    // Exported again from the lecture's action.
    ASSERT_TRUE(detail->reExportAction()->isEnabled());
    detail->reExportAction()->trigger();
    ASSERT_TRUE(spinUntil([&] { return !detail->controller()->isRunning() && !detail->state()->isModifiedSinceExport(); }, 60000));
    saveScreen(window.get(), "26-exported-again");
    watch.stop();
    EXPECT_EQ(largest, size);

    // The study page shows all three.
    const auto folder = ExportManager::shared().existingLectureFolder(*lecture, std::nullopt);
    ASSERT_TRUE(folder);
    ChromiumSession browser;
    QString error;
    ASSERT_TRUE(browser.start(&error)) << error.toStdString();
    browser.setViewport(1280, 900);
    ASSERT_TRUE(browser.navigate(QUrl::fromLocalFile(*folder + "/index.html").toString()));
    auto text = [&](const QString& selector) {
        return browser.evaluate(QStringLiteral("[...document.querySelectorAll('#view-transcript %1')].map(e => e.textContent).join(' ')").arg(selector))
            .toString()
            .simplified();
    };
    EXPECT_EQ(text("mark.hl-pink"), highlighted);
    EXPECT_EQ(text(".margin-notes--left .margin-note"), marginText);
    EXPECT_EQ(text(".user-note-text"), inlineText);
    EXPECT_EQ(text(".margin-anchor"), anchored);
    EXPECT_TRUE(browser.saveScreenshot(outputDir() + "/27-study-page.png"));
    EXPECT_TRUE(browser.pageErrors().isEmpty()) << browser.pageErrors().join('\n').toStdString();
}

// A web video in VP9, which this FFmpeg decodes but players elsewhere often
// cannot: the player here is told it reads only H.264 and HEVC, so the video
// is converted before it plays, as it would be where VP9 does not play.
TEST_F(WalkthroughInProcess, AVideoThePlayerCannotReadIsConvertedBeforeItPlays) {
    H264Transcoder& transcoder = PipelineServices::shared().screenshots->transcoder();
    transcoder.setDecodableRule([](const CodecProbeResult&) { return false; });
    const auto restore = qScopeGuard([&] { transcoder.setDecodableRule({}); });
    const QString folder = QString::fromStdString(homeDir()) + "/Videos/web";
    QDir().mkpath(folder);
    const QString webm = folder + "/Entropy lecture.webm";
    ASSERT_TRUE(ffmpeg({"-v", "error", "-f", "lavfi", "-i", "testsrc=size=320x180:rate=15:duration=2", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=2", "-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-c:a",
                        "libopus", "-shortest", "-y", webm}));
    ASSERT_EQ(probeVideoCodec(webm).fourCC, 0x76703039u);  // 'vp09'
    const LecturePtr lecture = Lecture::create("Entropy on the web", webm, std::nullopt);
    session->store().insert(lecture);
    ASSERT_TRUE(session->store().commit());
    session->library().refreshLists();

    // While it converts, the pane says so.
    LectureDetailView* detail = window->detail()->view();
    auto* converting = detail->findChild<QLabel*>("convertingForPlayer");
    ASSERT_TRUE(converting);
    bool sawConverting = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (sawConverting || !detail->isTranscodingForPlayer() || !converting->isVisible()) return;
        sawConverting = true;
        EXPECT_EQ(converting->text(), qtTrId("detail.converting"));
        saveScreen(window.get(), "30-converting-for-the-player");
    });
    poll.start(0);
    window->sidebar()->selectLecture(lecture);
    ASSERT_TRUE(spinUntil([&] { return detail->lecture() == lecture && !detail->isLoading(); }, 60000));
    poll.stop();
    EXPECT_TRUE(sawConverting);
    EXPECT_FALSE(detail->isTranscodingForPlayer());
    EXPECT_FALSE(converting->isVisible());

    // The H.264 file takes the source's place, and it plays.
    const QString converted = folder + "/Entropy lecture_h264.mp4";
    EXPECT_EQ(detail->player()->source(), converted);
    EXPECT_EQ(lecture->localFilePath(), converted);
    EXPECT_FALSE(QFileInfo::exists(webm));
    EXPECT_EQ(probeVideoCodec(converted).fourCC, 0x61766331u);  // 'avc1'
    ASSERT_TRUE(spinUntil([&] { return detail->player()->duration() > 1.5; }, 20000));
    detail->player()->togglePlayback();
    EXPECT_TRUE(spinUntil([&] { return detail->player()->currentTime() > 0.5; }, 10000));
    saveScreen(window.get(), "31-converted-video-playing");
    detail->player()->togglePlayback();
}

}  // namespace
