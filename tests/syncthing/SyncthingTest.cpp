// Two simulated machines, each with its own home and its own Syncthing
// instance, sharing one folder over loopback.

#include "QtTestHelpers.h"
#include "SyncthingPair.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <csignal>

using namespace lumenote::test;

namespace {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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
    EXPECT_EQ(readBytes(folderB + "/Lumenote/Records/one.bin"), first);

    // B changes it (same size, same second) and adds another; both come back to A.
    QByteArray changed = first;
    changed[1000] = char(~changed[1000]);
    writeBytes(folderB + "/Lumenote/Records/one.bin", changed);
    writeBytes(folderB + "/Lumenote/Records/two.json", "{\"b\": true}\n");
    pair->waitUntilInSync();
    EXPECT_EQ(readBytes(folderA + "/Lumenote/Records/one.bin"), changed);
    EXPECT_EQ(readBytes(folderA + "/Lumenote/Records/two.json"), "{\"b\": true}\n");

    // A deletion travels too.
    ASSERT_TRUE(QFile::remove(folderA + "/Lumenote/Records/two.json"));
    pair->waitUntilInSync();
    EXPECT_FALSE(QFile::exists(folderB + "/Lumenote/Records/two.json"));

    // Stopping leaves no process behind.
    const qint64 pids[] = {pair->a().processId(), pair->b().processId()};
    pair->stop();
    for (qint64 pid : pids) EXPECT_NE(::kill(pid_t(pid), 0), 0) << "syncthing " << pid << " still running";
}
