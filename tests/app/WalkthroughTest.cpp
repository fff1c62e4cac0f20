// A person's first session, on a real X display (Xvfb): the program starts on
// an empty home; then, in this process, a generated lecture is imported by
// file and by address, the library is arranged, and every settings page is
// opened in every language. Each screen is saved as a PNG in the folder named
// by LUMENOTE_WALKTHROUGH_DIR for a person to look at.

#include "app/DesktopSession.h"
#include "app/ImportDialog.h"
#include "app/LectureDetailPane.h"
#include "app/LibrarySidebar.h"
#include "app/LibraryTreeModel.h"
#include "app/LocalizationManager.h"
#include "app/MainWindow.h"
#include "app/SettingsWindow.h"
#include "core/AppPaths.h"
#include "core/LectureFiles.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "media/URLDownloadService.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "SlideFixtures.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaEnum>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeView>

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

}  // namespace
