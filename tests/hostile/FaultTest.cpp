// lumenote-cli under faults: a disk that fills up while it writes, and the
// process killed (SIGKILL) at random moments of an export or a model download.
// Whatever happens, the previous export and the library stay whole, nothing
// half-written is left behind, and a download picks up where it stopped.

#include "CliRunner.h"
#include "FakeModelHub.h"
#include "FixtureTools.h"
#include "QtTestHelpers.h"
#include "TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QStorageInfo>

#include <gtest/gtest.h>

#include <chrono>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace lumenote::test;

namespace {

const QString kSha = QStringLiteral("0123456789abcdef0123456789abcdef01234567");

// Small disks are tmpfs mounts in a mount namespace of this process's own
// (a user namespace too when not root), so they vanish with it. Entered before
// main, while the process has one thread.
bool privateMounts = [] {
    if (geteuid() == 0) {
        if (unshare(CLONE_NEWNS) != 0) return false;
    } else {
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        auto write = [](const char* path, const std::string& text) {
            const int fd = ::open(path, O_WRONLY);
            if (fd < 0) return false;
            const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
            ::close(fd);
            return ok;
        };
        write("/proc/self/setgroups", "deny");
        if (!write("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
            !write("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n"))
            return false;
    }
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}();

// A folder on a disk of its own of `bytes` (rounded to pages by tmpfs).
QStringList mounted;
bool mountSmallDisk(const QString& folder, qint64 bytes) {
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) != 0) return false;
    mounted << folder;
    return true;
}
void unmountSmallDisks() {
    while (!mounted.isEmpty()) umount2(QFile::encodeName(mounted.takeLast()).constData(), MNT_DETACH);
}
// Shrinks (or grows) a small disk to what it holds plus `spare` bytes.
bool resizeSmallDisk(const QString& folder, qint64 spare) {
    const QStorageInfo disk(folder);
    const qint64 used = disk.bytesTotal() - disk.bytesFree();
    const QByteArray options = "size=" + QByteArray::number(used + spare);
    return mount(nullptr, QFile::encodeName(folder).constData(), nullptr, MS_REMOUNT, options.constData()) == 0;
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file under `folder` (hidden ones too), by relative path, with its digest.
QMap<QString, QByteArray> contents(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), QCryptographicHash::hash(readBytes(path), QCryptographicHash::Sha256));
    }
    return files;
}

// Every entry of a folder, hidden ones too.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class FaultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = QString::fromStdString(homeDir()) + "/faults";
        QDir().mkpath(root);
        ASSERT_TRUE(makeTestModel(root + "/model"));
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=5:duration=6", "-f", "lavfi", "-i",
                            "sine=frequency=440:sample_rate=16000:duration=6", "-shortest", "-c:v", "libx264", "-preset", "ultrafast",
                            "-c:a", "aac", "-pix_fmt", "yuv420p", root + "/Lecture.mp4"}));
    }

    void SetUp() override {
        home = root + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        cli = std::make_unique<Cli>(home);
    }
    void TearDown() override { unmountSmallDisks(); }

    void placeModel() const {
        const QString snapshot = home + "/.cache/huggingface/hub/models--openai--whisper-small/snapshots/" + kSha;
        QDir().mkpath(snapshot);
        for (const QString& f : QDir(root + "/model").entryList(QDir::Files)) QFile::copy(root + "/model/" + f, snapshot + "/" + f);
    }

    // Processes the lecture; returns its export folder.
    QString processLecture() const {
        const CliResult r = cli->run({"process", root + "/Lecture.mp4"});
        EXPECT_EQ(r.code, 0) << r;
        return QFileInfo(r.last().mid(QStringLiteral("Study page: ").size())).path();
    }

    static QString root;
    QString home;
    std::unique_ptr<Cli> cli;
};
QString FaultTest::root;

TEST_F(FaultTest, AFullDiskFailsTheExportAndKeepsThePreviousOne) {
    ASSERT_TRUE(privateMounts) << "no mount namespace for small disks";
    const QString disk = home + "/exports";
    ASSERT_TRUE(mountSmallDisk(disk, 16 << 20));
    placeModel();
    ASSERT_EQ(cli->run({"settings", "set", "exportRootBookmark", disk}).code, 0);
    const QString folder = processLecture();
    ASSERT_TRUE(folder.startsWith(disk)) << folder.toStdString();
    const QMap<QString, QByteArray> before = contents(folder);
    const QStringList beside = entries(QFileInfo(folder).path());

    // Room for a little, not for a new page, images and audio.
    ASSERT_TRUE(resizeSmallDisk(disk, 8 << 10));
    const CliResult r = cli->run({"reexport", "Lecture"});
    EXPECT_EQ(r.code, 1) << r;
    ASSERT_EQ(r.errLines().size(), 1) << r;
    EXPECT_TRUE(r.err.contains("No space left on device")) << r;
    EXPECT_TRUE(r.err.contains("the disk mounted at " + disk)) << r;
    EXPECT_EQ(contents(folder), before) << "the previous export is whole";
    EXPECT_EQ(entries(QFileInfo(folder).path()), beside) << "nothing half-written is left beside it";
    EXPECT_EQ(cli->lecture("Lecture")["title"].toString(), "Lecture") << "the library is intact";

    // With room again, the next export runs to its end.
    ASSERT_TRUE(resizeSmallDisk(disk, 16 << 20));
    EXPECT_EQ(cli->run({"reexport", "Lecture"}).code, 0);
    EXPECT_EQ(entries(QFileInfo(folder).path()), beside);
}

TEST_F(FaultTest, AFullDiskStopsAudioExtractionAndTheLibraryCommitCleanly) {
    ASSERT_TRUE(privateMounts) << "no mount namespace for small disks";
    placeModel();
    const QString firstPage = processLecture() + "/index.html";
    ASSERT_TRUE(QFile::exists(firstPage));

    // The audio for the speech engine goes to the temporary folder.
    const QString temp = home + "/tmp";
    ASSERT_TRUE(mountSmallDisk(temp, 64 << 10));
    cli->set("TMPDIR", temp);
    QFile::copy(root + "/Lecture.mp4", home + "/Second.mp4");
    CliResult r = cli->run({"process", home + "/Second.mp4"});
    EXPECT_EQ(r.code, 1) << r;
    ASSERT_EQ(r.errLines().size(), 1) << r;
    EXPECT_TRUE(r.err.contains("No space left on device")) << r;
    EXPECT_TRUE(r.err.contains("the disk mounted at " + temp)) << r;
    EXPECT_TRUE(entries(temp).isEmpty()) << entries(temp).join(", ").toStdString();
    EXPECT_EQ(cli->lecture("Second")["status"].toString(), "failed");
    cli->set("TMPDIR", root);

    // The library's own disk full: the import is not saved, the rest stays.
    const QString data = home + "/.local/share/io.corvana.Lumenote";
    const QString copy = home + "/data-before";
    ASSERT_EQ(runProgram("cp", {"-a", data, copy}), 0);
    ASSERT_TRUE(mountSmallDisk(data, 16 << 20));
    ASSERT_EQ(runProgram("cp", {"-a", copy + "/.", data}), 0);
    ASSERT_TRUE(resizeSmallDisk(data, 0));
    QFile::copy(root + "/Lecture.mp4", home + "/Third.mp4");
    r = cli->run({"process", home + "/Third.mp4"});
    EXPECT_EQ(r.code, 1) << r;
    ASSERT_GE(r.errLines().size(), 1) << r;
    // Refused when the store opens (no room for its shared-memory file) or when it saves.
    EXPECT_TRUE(r.err.contains("the library could not be saved: ") || r.err.contains("Cannot open the library database")) << r;
    EXPECT_TRUE(r.err.contains("the disk mounted at " + data)) << r;
    ASSERT_TRUE(resizeSmallDisk(data, 16 << 20));
    EXPECT_EQ(cli->lecture("Lecture")["status"].toString(), "complete") << "the library is intact";
    EXPECT_TRUE(cli->lecture("Third").isEmpty());
    EXPECT_TRUE(QFile::exists(firstPage));
}

TEST_F(FaultTest, AFullDiskStopsAModelDownloadWithoutLeftovers) {
    ASSERT_TRUE(privateMounts) << "no mount namespace for small disks";
    FakeModelHub hub;
    hub.publishFolder("openai/whisper-tiny", kSha, root + "/model");
    cli->set("HF_ENDPOINT", hub.endpoint().toString());
    const QString cache = home + "/.cache";
    ASSERT_TRUE(mountSmallDisk(cache, 512 << 10));
    const CliResult r = cli->run({"models", "download", "openai_whisper-tiny"});
    EXPECT_EQ(r.code, 1) << r;
    ASSERT_EQ(r.errLines().size(), 1) << r;
    EXPECT_TRUE(r.err.contains("disk space") || r.err.contains("No space left on device")) << r;
    EXPECT_TRUE(r.err.contains(cache)) << "the disk is named";
    const auto files = [&cache] {
        QStringList found;
        QDirIterator it(cache, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) found << it.next();
        return found;
    };
    EXPECT_TRUE(files().isEmpty()) << files().join(", ").toStdString();

    // Room enough at the start; the disk fills while the model file comes in.
    ASSERT_TRUE(resizeSmallDisk(cache, 4 << 20));
    hub.pace("model.safetensors", 64 * 1024, 20);
    std::unique_ptr<QProcess> p = cli->start({"models", "download", "openai_whisper-tiny"});
    ASSERT_TRUE(spinUntil([&] { return !hub.rangesRequested("model.safetensors").isEmpty(); }, 20000));
    {
        QFile filler(cache + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    ASSERT_TRUE(spinUntil([&] { return p->state() == QProcess::NotRunning; }, 60000));
    const QString err = QString::fromUtf8(p->readAllStandardError());
    EXPECT_EQ(p->exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("No space left on device (the disk mounted at " + cache)) << err.toStdString();
    QFile::remove(cache + "/filler");
    EXPECT_TRUE(files().filter(".incomplete").isEmpty()) << "the partial file is removed: " << files().join(", ").toStdString();
}

TEST_F(FaultTest, AKilledExportLeavesTheOldOrTheNewNeverAMixture) {
    placeModel();
    // Many screenshots make a longer export, so that more kills fall inside it.
    ASSERT_EQ(cli->run({"settings", "set", "screenshotMaxInterval", "1"}).code, 0);
    const QString folder = processLecture();
    // How long a whole export takes here, so that the kills fall inside one.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(cli->run({"reexport", "Lecture"}).code, 0);
    const int wholeMs = int(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());

    // The export in place is marked before each kill, so that each of its
    // files tells whether the killed run replaced it.
    const QByteArray mark = "\n<!-- from the old export -->\n";
    QRandomGenerator random(18);
    int sawOld = 0, sawNew = 0;
    for (int seed = 0; seed < 12; ++seed) {
        QStringList owned{"index.html", "styles.css", "audio.m4a"};
        for (const QString& image : QDir(folder + "/images").entryList(QDir::Files)) owned << "images/" + image;
        ASSERT_GE(owned.size(), 4);
        for (const QString& f : owned) {
            QFile file(folder + "/" + f);
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write(mark);
        }
        const QMap<QString, QByteArray> old = contents(folder);

        std::unique_ptr<QProcess> p = cli->start({"reexport", "Lecture"});
        // Spread from early in the run to past its end (a loaded machine runs it slower), with jitter.
        spinFor(int(wholeMs * (0.3 + 0.08 * seed) * (0.9 + 0.2 * random.generateDouble())));
        p->kill();
        p->waitForFinished(10000);
        const QMap<QString, QByteArray> now = contents(folder);
        if (now == old) {
            ++sawOld;
            continue;
        }
        ++sawNew;
        for (const QString& f : owned)
            EXPECT_FALSE(readBytes(folder + "/" + f).endsWith(mark)) << f.toStdString() << " is from the old export beside new files";
        EXPECT_TRUE(readBytes(folder + "/index.html").trimmed().endsWith("</html>")) << "a whole page";
        EXPECT_GT(QFileInfo(folder + "/audio.m4a").size(), qint64(mark.size()));
    }
    std::cout << "  a whole export: " << wholeMs << " ms; kills that left the old export: " << sawOld << ", the new one: " << sawNew << "\n";
    // The library opens, and the next export runs to its end and clears what the killed ones left.
    const CliResult r = cli->run({"reexport", "Lecture"});
    EXPECT_EQ(r.code, 0) << r;
    const QStringList beside = entries(QFileInfo(folder).path());
    EXPECT_EQ(beside, QStringList{QFileInfo(folder).fileName()}) << beside.join(", ").toStdString();
}

TEST_F(FaultTest, AKilledModelDownloadResumes) {
    FakeModelHub hub;
    hub.publishFolder("openai/whisper-tiny", kSha, root + "/model");
    cli->set("HF_ENDPOINT", hub.endpoint().toString());
    const QString model = "model.safetensors";
    const qint64 size = QFileInfo(root + "/model/" + model).size();
    hub.pace(model, 32 * 1024, 10);  // about two thirds of a second for the whole file

    QRandomGenerator random(18);
    const QString blobs = home + "/.cache/huggingface/hub/models--openai--whisper-tiny/blobs";
    qint64 partialBefore = 0;
    int resumed = 0;
    for (int seed = 0; seed < 4; ++seed) {
        std::unique_ptr<QProcess> p = cli->start({"models", "download", "openai_whisper-tiny"});
        // Until the model file is under way, then a random moment later.
        spinUntil([&] { return !hub.rangesRequested(model).isEmpty() && hub.rangesRequested(model).size() > seed; }, 10000);
        spinFor(int(random.bounded(20, 300)));
        p->kill();
        p->waitForFinished(10000);
        qint64 partial = 0;
        for (const QFileInfo& f : QDir(blobs).entryInfoList({"*.incomplete"}, QDir::Files)) partial = std::max(partial, f.size());
        if (seed > 0 && partialBefore > 0) {
            const QByteArray range = hub.rangesRequested(model).value(seed);
            if (range == "bytes=" + QByteArray::number(partialBefore) + "-") ++resumed;
        }
        partialBefore = partial;
        EXPECT_LE(partial, size);
    }
    EXPECT_GE(resumed, 1) << "a restarted download asks for the rest only";

    hub.pace(model, 1 << 20, 0);
    const CliResult r = cli->run({"models", "download", "openai_whisper-tiny"});
    ASSERT_EQ(r.code, 0) << r;
    const QString snapshot = home + "/.cache/huggingface/hub/models--openai--whisper-tiny/snapshots/" + kSha;
    EXPECT_EQ(readBytes(snapshot + "/" + model), readBytes(root + "/model/" + model));
    EXPECT_TRUE(QDir(blobs).entryList({"*.incomplete"}, QDir::Files).isEmpty());
}

// The file behind a lecture replaced by another recording. Before the lecture
// was made from it, the new file is simply what is processed; afterwards the
// actions that would mix the lecture's products with it refuse and say why,
// until the lecture is processed again.
TEST_F(FaultTest, AReplacedSourceVideoIsNoticed) {
    placeModel();
    const QString source = home + "/Talk.mp4";
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=5:duration=3", "-f", "lavfi", "-i",
                        "sine=frequency=220:sample_rate=16000:duration=3", "-shortest", "-c:v", "libx264", "-preset", "ultrafast",
                        "-c:a", "aac", "-pix_fmt", "yuv420p", home + "/Other.mp4"}));
    // Imported while broken, replaced before it was ever processed.
    {
        QFile broken(source);
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("not yet");
    }
    EXPECT_EQ(cli->run({"process", source}).code, 1);
    ASSERT_TRUE(QFile::remove(source) && QFile::copy(root + "/Lecture.mp4", source));
    CliResult r = cli->run({"process", source, "--reprocess"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_NEAR(cli->lecture("Talk")["duration"].toDouble(), 6, 0.5);
    const QString folder = QFileInfo(r.last().mid(QStringLiteral("Study page: ").size())).path();
    const QMap<QString, QByteArray> made = contents(folder);

    // Replaced after it was made: re-export and re-transcription refuse.
    ASSERT_TRUE(QFile::remove(source) && QFile::copy(home + "/Other.mp4", source));
    for (const char* action : {"reexport", "retranscribe"}) {
        r = cli->run({action, "Talk"});
        EXPECT_EQ(r.code, 1) << r;
        ASSERT_EQ(r.errLines().size(), 1) << r;
        EXPECT_TRUE(r.err.contains("The video file Talk.mp4 is not the one this lecture was made from (it runs 0:03, the lecture 0:06)"))
            << r;
    }
    EXPECT_EQ(contents(folder), made) << "the page made from the first recording stays";
    EXPECT_NEAR(cli->lecture("Talk")["duration"].toDouble(), 6, 0.5);
    EXPECT_EQ(cli->lecture("Talk")["status"].toString(), "complete");

    // Processed again, the lecture is the new recording's.
    r = cli->run({"process", source, "--reprocess"});
    ASSERT_EQ(r.code, 0) << r;
    EXPECT_NEAR(cli->lecture("Talk")["duration"].toDouble(), 3, 0.5);
    EXPECT_EQ(cli->run({"reexport", "Talk"}).code, 0);
}

}  // namespace
