// Two simulated machines, each with its own home and its own Syncthing
// instance, sharing one folder over loopback.

#include "../export/ChromiumSession.h"
#include "FixtureTools.h"
#include "core/Annotations.h"
#include "core/LibraryStore.h"
#include "QtTestHelpers.h"
#include "SyncthingPair.h"
#include "TestEnvironment.h"
#include "../consolidation/ConsolidationTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

#include "core/LectureFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace lumenote;
using namespace lumenote::test;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray randomBytes(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

QString cliPath() { return QString::fromStdString(binaryDir()) + "/src/cli/lumenote-cli"; }

struct CliRun {
    int code = -1;
    QString out;
    QString err;
    QString last() const {
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        return lines.value(lines.size() - 1);
    }
};

std::ostream& operator<<(std::ostream& os, const CliRun& r) {
    return os << "exit " << r.code << "\n--- stdout\n" << r.out.toStdString() << "--- stderr\n" << r.err.toStdString();
}

// One simulated machine: a home of its own, running lumenote-cli there. Nothing
// it runs may leave the machine: the model hub and Anthropic point at loopback.
class Machine {
public:
    explicit Machine(const QString& home) : home_(home), env_(isolatedMachineEnvironment(home)) {}
    void set(const QString& name, const QString& value) { env_.insert(name, value); }
    const QString& home() const { return home_; }

    // Starts lumenote-cli; finish() waits for it. Two machines can run at once.
    std::unique_ptr<QProcess> start(const QStringList& args, const QByteArray& input = {}) const {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env_);
        p->setWorkingDirectory(home_);
        p->start(cliPath(), args);
        p->waitForStarted(10000);
        if (!input.isEmpty()) p->write(input);
        p->closeWriteChannel();
        return p;
    }
    static CliRun finish(QProcess& p, int timeoutMs = 60000) {
        // Stand-in servers answer on this thread's event loop.
        if (!spinUntil([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
            p.kill();
            p.waitForFinished(5000);
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    CliRun run(const QStringList& args, const QByteArray& input = {}) const { return finish(*start(args, input)); }

    QString libraryFile() const { return home_ + "/.local/share/io.corvana.Lumenote/library.sqlite"; }

    // An edit made through the library store, as the desktop application makes
    // it, written to the machine's records in its sync folder.
    void editLecture(const QString& syncFolder, const QString& id, const std::function<void(Lecture&)>& edit) const {
        QString error;
        const auto store = LibraryStore::open(libraryFile(), &error);
        ASSERT_TRUE(store) << error.toStdString();
        ASSERT_TRUE(store->attachMirror(syncFolder + "/Lumenote/Records", &error)) << error.toStdString();
        const LecturePtr lecture = store->lecture(QUuid(id));
        ASSERT_TRUE(lecture) << id.toStdString();
        edit(*lecture);
        ASSERT_TRUE(store->commit(&error)) << error.toStdString();
    }
    // A lecture's highlights and margin notes as the machine's store holds them.
    std::pair<QList<TextHighlight>, QList<MarginNote>> annotations(const QString& id) const {
        QString error;
        const auto store = LibraryStore::open(libraryFile(), &error);
        const LecturePtr lecture = store ? store->lecture(QUuid(id)) : nullptr;
        if (!lecture) return {};
        return {decodeOrEmpty<TextHighlight>(lecture->highlightsData(), decodeHighlights),
                decodeOrEmpty<MarginNote>(lecture->marginNotesData(), decodeMarginNotes)};
    }

    // `library list --json`, as text for readable comparisons.
    QString library() const { return run({"library", "list", "--json"}).out; }
    QJsonObject lecture(const QString& title) const {
        for (const QJsonValue& v : QJsonDocument::fromJson(library().toUtf8()).array())
            if (v["title"].toString() == title) return v.toObject();
        return {};
    }

private:
    QString home_;
    QProcessEnvironment env_;
};

// Relative files a page refers to (images, audio, style sheet) that are not there.
QStringList missingAssets(const QString& page) {
    QStringList missing;
    const QString html = QString::fromUtf8(readFileBytes(page).value_or(QByteArray()));
    static const QRegularExpression ref(R"re((?:src|href)="([^"#:]+)")re");
    for (auto it = ref.globalMatch(html); it.hasNext();) {
        const QString rel = it.next().captured(1);
        if (!QFile::exists(QFileInfo(page).absolutePath() + "/" + rel)) missing << rel;
    }
    return missing;
}

class SyncthingTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = QString::fromStdString(homeDir()) + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir(root).removeRecursively();
        pair = std::make_unique<SyncthingPair>(root);
    }
    void TearDown() override {
        if (HasFailure()) std::cerr << pair->diagnostics().toStdString() << "\n";
        pair.reset();
    }

    QString root;
    std::unique_ptr<SyncthingPair> pair;
};

}  // namespace

TEST_F(SyncthingTest, CarriesFilesBothWaysOverLoopbackOnly) {
    pair->start();
    const QString folderA = root + "/machine-a/Sync";
    const QString folderB = root + "/machine-b/Sync";
    pair->share("lumenote-test", folderA, folderB);

    // Nothing but the loopback listener, and no way out: no discovery, relays or NAT.
    for (auto [peer, other] : {std::pair{&pair->a(), &pair->b()}, std::pair{&pair->b(), &pair->a()}}) {
        const QJsonObject status = peer->get("/rest/system/status").toObject();
        EXPECT_EQ(status["connectionServiceStatus"].toObject().keys(), QStringList{peer->listenAddress()});
        const QJsonObject options = peer->get("/rest/config/options").toObject();
        for (const char* off : {"globalAnnounceEnabled", "localAnnounceEnabled", "relaysEnabled", "natEnabled"})
            EXPECT_FALSE(options[off].toBool(true)) << off;
        EXPECT_EQ(options["urAccepted"].toInt(), -1);
        EXPECT_EQ(options["autoUpgradeIntervalH"].toInt(), 0);
        const QJsonObject link = peer->get("/rest/system/connections")["connections"][other->deviceId()].toObject();
        EXPECT_TRUE(link["address"].toString().startsWith("127.0.0.1:")) << link["address"].toString().toStdString();
    }

    // A's new file reaches B byte for byte, in a subfolder.
    const QByteArray first = randomBytes(300 * 1024);
    writeBytes(folderA + "/Lumenote/Records/one.bin", first);
    pair->waitUntilInSync();
    EXPECT_EQ(readFileBytes(folderB + "/Lumenote/Records/one.bin").value_or(QByteArray()), first);

    // B changes it (same size, same second) and adds another; both come back to A.
    QByteArray changed = first;
    changed[1000] = char(~changed[1000]);
    writeBytes(folderB + "/Lumenote/Records/one.bin", changed);
    writeBytes(folderB + "/Lumenote/Records/two.json", "{\"b\": true}\n");
    pair->waitUntilInSync();
    EXPECT_EQ(readFileBytes(folderA + "/Lumenote/Records/one.bin").value_or(QByteArray()), changed);
    EXPECT_EQ(readFileBytes(folderA + "/Lumenote/Records/two.json").value_or(QByteArray()), "{\"b\": true}\n");

    // A deletion travels too.
    ASSERT_TRUE(QFile::remove(folderA + "/Lumenote/Records/two.json"));
    pair->waitUntilInSync();
    EXPECT_FALSE(QFile::exists(folderB + "/Lumenote/Records/two.json"));

    // Stopping leaves no process behind.
    const qint64 pids[] = {pair->a().processId(), pair->b().processId()};
    pair->stop();
    for (qint64 pid : pids) EXPECT_NE(::kill(pid_t(pid), 0), 0) << "syncthing " << pid << " still running";
}

TEST_F(SyncthingTest, CarriesALectureAndEditsMadeOnBothMachinesAtOnce) {
    // The lecture: one narrated slide, made here.
    const QString video = root + "/The Water Cycle.mp4";
    ASSERT_TRUE(makeLectureVideo(video, {{"The Water Cycle", {"Evaporation", "Condensation"}, 4}},
                                 "Water evaporates from the sea and falls again as rain.", 320, 180));
    const QString model = root + "/model";
    ASSERT_TRUE(makeTestModel(model));

    pair->start();
    const QString syncA = root + "/machine-a/Sync";
    const QString syncB = root + "/machine-b/Sync";
    pair->share("lumenote", syncA, syncB);
    Machine a(root + "/machine-a/home");
    Machine b(root + "/machine-b/home");
    for (auto [m, folder] : {std::pair{&a, syncA}, std::pair{&b, syncB}})
        ASSERT_EQ(m->run({"settings", "set", "cloudSyncFolder", folder}).code, 0);
    // A holds the (miniature) speech model; B never transcribes.
    const QString snapshot = a.home() + "/.cache/huggingface/hub/models--openai--whisper-small/snapshots/" + QString(40, 'a');
    QDir().mkpath(snapshot);
    for (const QString& f : QDir(model).entryList(QDir::Files)) ASSERT_TRUE(QFile::copy(model + "/" + f, snapshot + "/" + f));

    // Processed on A...
    CliRun r = a.run({"process", video});
    ASSERT_EQ(r.code, 0) << r;
    ASSERT_TRUE(r.last().startsWith("Study page: " + syncA + "/")) << r;
    const QString pageOnA = r.last().mid(12);
    const QJsonObject onA = a.lecture("The Water Cycle");
    ASSERT_EQ(onA["status"].toString(), "complete") << r;
    const QString id = onA["id"].toString();

    // ...reaches B complete, with its transcript and a page that opens there.
    pair->waitUntilInSync();
    ASSERT_EQ(b.run({"sync", "now"}).code, 0);
    EXPECT_EQ(QJsonDocument(b.lecture("The Water Cycle")).toJson().toStdString(), QJsonDocument(onA).toJson().toStdString());
    const CliRun transcriptA = a.run({"subtitles", id, "--format", "vtt"});
    const CliRun transcriptB = b.run({"subtitles", id, "--format", "vtt"});
    EXPECT_EQ(transcriptB.code, 0) << transcriptB;
    EXPECT_TRUE(transcriptB.out.startsWith("WEBVTT\n\n00:00:")) << transcriptB;
    EXPECT_EQ(transcriptB.out, transcriptA.out);
    const QString pageOnB = syncB + pageOnA.mid(syncA.size());
    EXPECT_TRUE(QString::fromUtf8(readFileBytes(pageOnB).value_or(QByteArray())).contains("<h1 class=\"lecture-title\">The Water Cycle</h1>"));
    EXPECT_EQ(missingAssets(pageOnB), QStringList{});
    {
        // In a browser on B: the words, the pictures and the audio are all there.
        ChromiumSession browser;
        QString error;
        ASSERT_TRUE(browser.start(&error)) << error.toStdString();
        ASSERT_TRUE(browser.navigate(QUrl::fromLocalFile(pageOnB).toString()));
        EXPECT_EQ(browser.evaluate("document.querySelector('.lecture-title').textContent").toString(), "The Water Cycle");
        EXPECT_GT(browser.evaluate("document.querySelectorAll('.word').length").toInt(), 0);
        browser.evaluate("document.querySelectorAll('img').forEach(i => i.loading = 'eager')");
        const QString pictures = "[...document.images].filter(i => i.getAttribute('src'))";
        EXPECT_TRUE(browser.waitFor(pictures + ".every(i => i.complete && i.naturalWidth > 0)"));
        EXPECT_GT(browser.evaluate(pictures + ".length").toInt(), 0);
        EXPECT_TRUE(browser.waitFor("lnAudio.readyState >= 1 && Math.abs(lnAudio.duration - 4) < 0.5"))
            << browser.evaluate("lnAudio.duration").toDouble();
        EXPECT_TRUE(browser.pageErrors().isEmpty()) << browser.pageErrors().join('\n').toStdString();
    }
    r = b.run({"reexport", id});
    EXPECT_EQ(r.code, 0) << r;
    EXPECT_EQ(r.last(), "Study page: " + pageOnB) << r;
    EXPECT_EQ(missingAssets(pageOnB), QStringList{});

    // B files it in a folder.
    ASSERT_EQ(b.run({"library", "move", id, "Science"}).code, 0);
    pair->waitUntilInSync();
    ASSERT_EQ(a.run({"sync", "now"}).code, 0);
    ASSERT_EQ(a.lecture("The Water Cycle")["folder"].toString(), "Science");

    // At once, while apart: A moves the lecture into a new folder and
    // highlights a phrase; B renames the old folder and, later, writes a
    // margin note on the same lecture.
    pair->setSharingPaused(true);
    auto renaming = b.start({"library", "folders", "rename", "Science", "Natural Science"});
    r = a.run({"library", "move", id, "Earth Science"});
    EXPECT_EQ(r.code, 0) << r;
    const TextHighlight highlight = TextHighlight::create(0, "Water evaporates", TextHighlight::HighlightColor::Green);
    const MarginNote note = MarginNote::create(0, "falls again", "rain is the return leg", MarginNote::Side::Right);
    a.editLecture(syncA, id, [&](Lecture& l) { l.setHighlightsData(encodeHighlights({highlight})); });
    b.editLecture(syncB, id, [&](Lecture& l) { l.setMarginNotesData(encodeMarginNotes({note})); });
    r = Machine::finish(*renaming);
    EXPECT_EQ(r.code, 0) << r;
    pair->setSharingPaused(false);

    // Both machines end with all four edits. Each merges what arrived and
    // writes back what it changed, until the two agree and no conflict copy is left.
    const QStringList records{syncA + "/Lumenote/Records", syncB + "/Lumenote/Records"};
    const auto conflictCopies = [&] {
        QStringList copies;
        for (const QString& folder : records) copies += QDir(folder).entryList({"*sync-conflict*"}, QDir::Files);
        return copies;
    };
    int conflictsResolved = 0;
    bool agreed = false;
    for (int round = 0; round < 4 && !agreed; ++round) {
        pair->waitUntilInSync();
        conflictsResolved = 0;
        for (Machine* m : {&a, &b}) {
            r = m->run({"sync", "now"});
            ASSERT_EQ(r.code, 0) << r;
            conflictsResolved += QRegularExpression("\\nConflicts resolved: +(\\d+)").match(r.out).captured(1).toInt();
        }
        pair->waitUntilInSync();
        agreed = conflictCopies().isEmpty() && a.library() == b.library() && a.annotations(id) == b.annotations(id);
    }
    EXPECT_TRUE(agreed) << "conflict copies left: " << conflictCopies().join(", ").toStdString();
    EXPECT_EQ(a.library().toStdString(), b.library().toStdString());
    EXPECT_EQ(a.lecture("The Water Cycle")["folder"].toString(), "Earth Science");
    const CliRun foldersA = a.run({"library", "folders"});
    EXPECT_TRUE(foldersA.out.contains("Natural Science")) << foldersA;
    EXPECT_EQ(foldersA.out, b.run({"library", "folders"}).out);
    // Both wrote the lecture's document while apart: Syncthing kept one version
    // as a conflict copy, which the mirror merged and removed.
    EXPECT_GE(conflictsResolved, 1);
    for (Machine* m : {&a, &b}) {
        const auto [highlights, marginNotes] = m->annotations(id);
        EXPECT_EQ(encodeHighlights(highlights).toStdString(), encodeHighlights({highlight}).toStdString()) << m->home().toStdString();
        EXPECT_EQ(encodeMarginNotes(marginNotes).toStdString(), encodeMarginNotes({note}).toStdString()) << m->home().toStdString();
    }
}
