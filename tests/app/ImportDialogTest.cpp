// The import screen over a real library store, with a stand-in yt-dlp: files
// and addresses become lectures, the duplicate prompt's answers reach the
// right handler, and failed or stopped downloads leave the library as it was.

#include "app/ImportDialog.h"
#include "core/LibraryStore.h"
#include "MediaTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::test;

namespace {

// Names the file after the address's last part and answers the uploader query.
const char* kSiteYtDlp = R"(if [ "$1" = "--skip-download" ]; then echo 'Prof. Ada'; exit 0; fi
for last; do :; done
name="${last##*/}"
echo "[download] Destination: $dir/$name.mp4"
echo "[download]  50.0% of 1.00MiB"
: > "$dir/$name.mp4")";

class ImportDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearToolSettings();
        QString error;
        store = LibraryStore::open(tmp.path() + "/library.sqlite", &error);
        ASSERT_TRUE(store) << error.toStdString();
        ASSERT_TRUE(tools.writeFFmpeg("6.0"));
        service = makeService({tools.bin()});
        makeDialog();
    }
    void TearDown() override {
        delete dialog;
        clearToolSettings();
    }
    void makeDialog() {
        delete dialog;
        ImportDialog::Callbacks callbacks;
        callbacks.onImport = [this](const LecturePtr& l) { imported << l; };
        callbacks.onReprocess = [this](const LecturePtr& l) { reprocessed << l; };
        dialog = new ImportDialog(*store, *service, callbacks);
        dialog->show();
    }
    template <typename T>
    T* child(const char* name) const {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    void typeAddress(const QString& url) {
        dialog->showTab(ImportDialog::Tab::Address);
        child<QLineEdit>("urlField")->setText(url);
    }

    QTemporaryDir tmp;
    FakeToolFolder tools;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<URLDownloadService> service;
    ImportDialog* dialog = nullptr;
    QList<LecturePtr> imported;
    QList<LecturePtr> reprocessed;
};

TEST_F(ImportDialogTest, AFileBecomesAPendingLectureAndTheScreenCloses) {
    const QString path = tmp.path() + "/Week 3 Entropy.mp4";
    QSignalSpy done(dialog, &ImportDialog::importFinished);
    dialog->importFile(path);
    ASSERT_TRUE(spinUntil([&] { return done.count() == 1; }));
    ASSERT_EQ(store->lectures().size(), 1u);
    const LecturePtr l = store->lectures().front();
    EXPECT_EQ(l->title(), "Week 3 Entropy");
    EXPECT_EQ(l->localFilePath(), path);
    EXPECT_EQ(l->status(), LectureStatus::Pending);
    EXPECT_EQ(imported, QList<LecturePtr>{l});
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ImportDialogTest, TheDuplicatePromptsChoicesReachTheirHandlers) {
    ASSERT_TRUE(tools.writeYtDlp(kSiteYtDlp));
    const QString file = tmp.path() + "/Lecture.mp4";
    auto fromFile = Lecture::create("Lecture", file, std::nullopt);
    store->insert(fromFile);
    auto fromAddress = Lecture::create("talk", tmp.path() + "/old.mp4", QString("https://videos.example/talk"));
    store->insert(fromAddress);

    struct Case {
        const char* what;
        bool address;
        const char* button;
        bool opened, reprocessed, closes;
        QStringList buttons;
    };
    const QStringList fileButtons{"import.duplicate.open.existing", "import.duplicate.reprocess", "import.duplicate.cancel"};
    const QStringList urlButtons{"import.duplicate.open.existing", "import.duplicate.redownload.reprocess", "import.duplicate.cancel"};
    const QList<Case> cases = {
        {"file: open existing", false, "import.duplicate.open.existing", true, false, true, fileButtons},
        {"file: process again", false, "import.duplicate.reprocess", false, true, true, fileButtons},
        {"file: cancel", false, "import.duplicate.cancel", false, false, false, fileButtons},
        {"address: download again and process", true, "import.duplicate.redownload.reprocess", false, true, true, urlButtons},
        {"address: cancel", true, "import.duplicate.cancel", false, false, false, urlButtons},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        makeDialog();
        imported.clear();
        reprocessed.clear();
        if (c.address) {
            typeAddress("https://videos.example/talk");
            dialog->downloadAndImport();
        } else {
            dialog->importFile(file);
        }
        ASSERT_TRUE(spinUntil([&] { return dialog->duplicatePrompt() && dialog->duplicatePrompt()->isVisible(); }));
        QMessageBox* prompt = dialog->duplicatePrompt();
        QStringList names;
        for (QAbstractButton* b : prompt->buttons()) names << b->objectName();
        std::sort(names.begin(), names.end());
        QStringList expected = c.buttons;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        QSignalSpy done(dialog, &ImportDialog::importFinished);
        prompt->findChild<QPushButton*>(QString::fromLatin1(c.button))->click();
        ASSERT_TRUE(spinUntil([&] { return done.count() == 1; }));
        const LecturePtr existing = c.address ? fromAddress : fromFile;
        EXPECT_EQ(imported, c.opened ? QList<LecturePtr>{existing} : QList<LecturePtr>{});
        EXPECT_EQ(reprocessed, c.reprocessed ? QList<LecturePtr>{existing} : QList<LecturePtr>{});
        EXPECT_EQ(dialog->isVisible(), !c.closes);
        EXPECT_EQ(store->lectures().size(), 2u) << "a duplicate never adds a lecture";
    }
    // Downloading again pointed the lecture at the new file.
    EXPECT_EQ(fromAddress->localFilePath(), URLDownloadService::downloadFolder() + "/talk.mp4");
}

TEST_F(ImportDialogTest, AnAddressIsCheckedWhileTypingAndDownloadedIntoANewLecture) {
    ASSERT_TRUE(tools.writeYtDlp(kSiteYtDlp));
    auto* download = child<QPushButton>("downloadButton");
    struct Typed {
        const char* text;
        bool enabled;
    };
    for (const Typed& t : {Typed{"ftp://videos.example/a", false}, Typed{"videos.example/a", false}, Typed{"", false},
                           Typed{"http://videos.example/a", true}, Typed{"https://videos.example/lecture-7", true}}) {
        SCOPED_TRACE(t.text);
        typeAddress(t.text);
        EXPECT_EQ(download->isEnabled(), t.enabled);
        EXPECT_EQ(download->isVisible(), true);
    }
    QSignalSpy done(dialog, &ImportDialog::importFinished);
    download->click();
    ASSERT_TRUE(spinUntil([&] { return done.count() == 1; }));
    ASSERT_EQ(store->lectures().size(), 1u);
    const LecturePtr l = store->lectures().front();
    EXPECT_EQ(l->title(), "lecture-7");
    EXPECT_EQ(l->sourceURL(), QString("https://videos.example/lecture-7"));
    EXPECT_EQ(l->channelName(), QString("Prof. Ada"));
    EXPECT_EQ(imported, QList<LecturePtr>{l});
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ImportDialogTest, FailedAndStoppedDownloadsShowWhyAndAddNothing) {
    struct Case {
        const char* what;
        const char* script;
        bool stop;
        QString error;
    };
    const QList<Case> cases = {
        {"yt-dlp fails", "if [ \"$1\" = \"--skip-download\" ]; then exit 1; fi\necho 'ERROR: Unsupported URL' >&2\nexit 1", false,
         "ERROR: Unsupported URL"},
        {"the user stops it", "if [ \"$1\" = \"--skip-download\" ]; then exit 1; fi\necho \"[download]  10.0% of 5.00MiB\"\nexec sleep 30",
         true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        makeDialog();
        ASSERT_TRUE(tools.writeYtDlp(c.script));
        typeAddress("https://videos.example/x");
        QSignalSpy done(dialog, &ImportDialog::importFinished);
        dialog->downloadAndImport();
        if (c.stop) {
            auto* stop = child<QPushButton>("stopButton");
            ASSERT_TRUE(spinUntil([&] { return stop->isVisible() && stop->isEnabled() && service->progress() > 0; }));
            EXPECT_FALSE(child<QLabel>("downloadStatus")->text().isEmpty());
            stop->click();
        }
        ASSERT_TRUE(spinUntil([&] { return done.count() == 1; }, 20000));
        auto* error = child<QLabel>("downloadError");
        EXPECT_TRUE(error->isVisible());
        EXPECT_EQ(error->text(), c.stop ? qtTrId("import.url.stopped") : c.error);
        EXPECT_FALSE(error->text().isEmpty());
        EXPECT_TRUE(store->lectures().empty());
        EXPECT_TRUE(imported.isEmpty());
        EXPECT_TRUE(dialog->isVisible());
        // Typing again starts afresh.
        child<QLineEdit>("urlField")->setText("https://videos.example/y");
        EXPECT_TRUE(child<QPushButton>("downloadButton")->isEnabled());
    }
}

TEST_F(ImportDialogTest, WithoutYtDlpTheAddressTabSaysSoAndChecksAgain) {
    dialog->showTab(ImportDialog::Tab::Address);
    auto* stack = child<QPushButton>("retryButton")->parentWidget()->parentWidget();
    ASSERT_TRUE(qobject_cast<QStackedWidget*>(stack));
    EXPECT_EQ(static_cast<QStackedWidget*>(stack)->currentIndex(), 1);
    ASSERT_TRUE(tools.writeYtDlp(kSiteYtDlp));
    child<QPushButton>("retryButton")->click();
    EXPECT_EQ(static_cast<QStackedWidget*>(stack)->currentIndex(), 0);
}

}  // namespace
