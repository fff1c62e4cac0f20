// The main window over a real library: what the content area shows for the
// selection, the remembered layout, the shortcuts, and dropped files on the
// welcome screen.

#include "app/AppLauncher.h"
#include "app/DesktopSession.h"
#include "app/FeedbackMail.h"
#include "app/ImportDialog.h"
#include "app/LectureDetailPane.h"
#include "app/LibrarySidebar.h"
#include "app/MainWindow.h"
#include "app/WelcomeView.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "QtTestHelpers.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QMimeData>
#include <QSignalSpy>
#include <QSplitter>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(MainWindow::windowStatePath());
        QString error;
        session = DesktopSession::open(tmp.path() + "/library.sqlite", &error);
        ASSERT_TRUE(session) << error.toStdString();
    }
    QTemporaryDir tmp;
    std::unique_ptr<DesktopSession> session;
};

TEST_F(MainWindowTest, TheContentFollowsTheSelection) {
    auto lecture = Lecture::create("Week 1", tmp.path() + "/w1.mp4", std::nullopt);
    session->store().insert(lecture);
    MainWindow window(*session);
    auto* content = qobject_cast<QStackedWidget*>(window.detail()->parentWidget());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->currentWidget(), window.welcome());
    window.sidebar()->selectLecture(lecture);
    EXPECT_EQ(content->currentWidget(), window.detail());
    EXPECT_EQ(window.detail()->lecture(), lecture);
    session->library().deleteLecture(lecture);
    EXPECT_EQ(content->currentWidget(), window.welcome());
}

TEST_F(MainWindowTest, SizeAndSidebarWidthAreRemembered) {
    QList<int> sizes;
    {
        MainWindow window(*session);
        window.resize(1000, 640);
        window.show();
        window.splitter()->setSizes({410, 590});
        sizes = window.splitter()->sizes();
        window.close();
    }
    MainWindow again(*session);
    again.show();
    EXPECT_EQ(again.size(), QSize(1000, 640));
    EXPECT_EQ(again.splitter()->sizes(), sizes);
}

TEST_F(MainWindowTest, EachStandardShortcutBelongsToOneAction) {
    MainWindow window(*session);
    QMap<QString, int> uses;
    for (QAction* a : window.findChildren<QAction*>())
        if (!a->shortcut().isEmpty()) ++uses[a->shortcut().toString(QKeySequence::PortableText)];
    for (const char* key : {"Ctrl+O", "Ctrl+,", "Ctrl+F", "Ctrl+Q", "F1"}) EXPECT_EQ(uses.value(key), 1) << key;
}

TEST_F(MainWindowTest, OnlyVideoFilesDroppedOnTheWelcomeScreenAreImported) {
    const QString video = tmp.path() + "/Dropped Lecture.MOV";
    struct Case {
        QList<QUrl> urls;
        QString expected;
    };
    const QList<Case> cases = {
        {{QUrl::fromLocalFile(tmp.path() + "/notes.pdf"), QUrl::fromLocalFile(video)}, video},
        {{QUrl::fromLocalFile(tmp.path() + "/notes.pdf")}, {}},
        {{QUrl("https://videos.example/a.mp4")}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(firstAcceptedVideo(c.urls), c.expected);

    MainWindow window(*session);
    window.importDroppedFile(video);
    ASSERT_TRUE(spinUntil([&] { return session->library().selectedLecture() != nullptr; }));
    EXPECT_EQ(session->library().selectedLecture()->title(), "Dropped Lecture");
    EXPECT_EQ(session->library().selectedLecture()->localFilePath(), video);
}

}  // namespace

namespace {

TEST(AppLauncherTest, ALibraryThatCannotBeOpenedIsReportedAndLeftAsItIs) {
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/library.sqlite";
    const QByteArray garbage = QByteArray("this is not a database, but someone's only copy of it\n").repeated(200);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    // The store may still be opening when the first poll runs: keep looking until the box is up.
    QString shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text() + "\n" + box->informativeText();
            box->close();
            closer.stop();
        }
    });
    closer.start(20);
    AppLauncher launcher;
    EXPECT_FALSE(launcher.start(path));
    EXPECT_EQ(launcher.window(), nullptr);
    EXPECT_TRUE(shown.contains(path)) << shown.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), garbage);
    EXPECT_FALSE(QFileInfo::exists(path + "-wal"));
}

}  // namespace

namespace {

TEST(FeedbackMailTest, SubjectAndBodySurviveTheMailtoAddressWhateverTheSystemSays) {
    const SystemSummary system{"Lumenote 1.2.3 (x86_64-little_endian-lp64)", "Debian GNU/Linux 12 (bookworm)", "Tuxedo & Sons Model+7 (x86_64)",
                               "Intel(R) Xeon(R) Processor @ 2.1GHz; 100% sure?", "24 GB"};
    const QUrl url = feedbackMailUrl("1.2.3", system);
    ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
    EXPECT_EQ(url.scheme(), "mailto");
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), QString("Feedback — Lumenote 1.2.3"));
    const QStringList lines = query.queryItemValue("body", QUrl::FullyDecoded).split('\n');
    ASSERT_GE(lines.size(), 10);
    EXPECT_EQ(lines.mid(0, 3), QStringList({"", "", ""}));
    const QString rule(40, QChar(0x2500));
    EXPECT_EQ(lines[3], rule);
    EXPECT_EQ(lines.back(), rule);
    for (const QString& expected : {"App: " + system.app, "OS: " + system.os, "Machine: " + system.machine, "CPU: " + system.cpu, QString("RAM: 24 GB")})
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString();
    EXPECT_EQ(query.queryItems().size(), 2) << "a value must not split the query";
}

}  // namespace
