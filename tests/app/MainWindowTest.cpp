// The main window over a real library: what the content area shows for the
// selection, the remembered layout, the shortcuts, and dropped files on the
// welcome screen.

#include "app/DesktopSession.h"
#include "app/ImportDialog.h"
#include "app/LectureDetailPane.h"
#include "app/LibrarySidebar.h"
#include "app/MainWindow.h"
#include "app/WelcomeView.h"
#include "core/LibraryModel.h"
#include "core/LibraryStore.h"
#include "QtTestHelpers.h"

#include <QAction>
#include <QMimeData>
#include <QSignalSpy>
#include <QSplitter>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QUrl>

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
