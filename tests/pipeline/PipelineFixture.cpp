#include "PipelineFixture.h"

#include "consolidation/SecretStore.h"
#include "core/AppPaths.h"
#include "core/Settings.h"
#include "FixtureTools.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace lumenote::test {

QString PipelineTest::dir;
QString PipelineTest::lectureVideo;

namespace {
const QString kSha = QStringLiteral("5c1e0b7ad8d0b2a8a4c1b9f1a1f0e9d8c7b6a5f4");

QByteArray sse(const QString& notes) {
    QByteArray body =
        "event: message_start\n"
        "data: {\"type\":\"message_start\",\"message\":{\"id\":\"msg_01\",\"type\":\"message\",\"role\":\"assistant\",\"content\":[],"
        "\"model\":\"claude-sonnet-4-5\",\"stop_reason\":null,\"usage\":{\"input_tokens\":50,\"output_tokens\":1}}}\n\n"
        "event: content_block_start\n"
        "data: {\"type\":\"content_block_start\",\"index\":0,\"content_block\":{\"type\":\"text\",\"text\":\"\"}}\n\n"
        "event: ping\ndata: {\"type\": \"ping\"}\n\n";
    for (const QString& piece : notes.split(QLatin1Char('\n'))) {
        const QByteArray text = QJsonDocument(QJsonArray{piece + "\n"}).toJson(QJsonDocument::Compact).mid(1).chopped(1);
        body += "event: content_block_delta\ndata: {\"type\":\"content_block_delta\",\"index\":0,\"delta\":{\"type\":\"text_delta\",\"text\":" +
                text + "}}\n\n";
    }
    body += "event: content_block_stop\ndata: {\"type\":\"content_block_stop\",\"index\":0}\n\n"
            "event: message_delta\ndata: {\"type\":\"message_delta\",\"delta\":{\"stop_reason\":\"end_turn\"},\"usage\":{\"output_tokens\":9}}\n\n"
            "event: message_stop\ndata: {\"type\":\"message_stop\"}\n\n";
    return body;
}
}  // namespace

bool installMiniatureModel(const QString& repository, const QStringList& options) {
    return makeTestModel(QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME")) + QStringLiteral("/huggingface/hub/models--openai--") + repository +
                             QStringLiteral("/snapshots/") + kSha,
                         options);
}

void PipelineTest::SetUpTestSuite() {
    dir = QString::fromStdString(homeDir()) + QStringLiteral("/pipeline-fixtures");
    QDir().mkpath(dir);
    // The miniature model stands in for Whisper Tiny in the standard cache.
    ASSERT_TRUE(installMiniatureModel(QStringLiteral("whisper-tiny")));
    // "Base" hears nothing: its transcripts are empty.
    ASSERT_TRUE(installMiniatureModel(QStringLiteral("whisper-base"), {"--shape", "mini", "--mute"}));
    lectureVideo = dir + QStringLiteral("/entropy.mp4");
    ASSERT_TRUE(makeLectureVideo(lectureVideo,
                                 {{"Entropy and the Second Law", {"heat flows from hot to cold", "entropy never decreases"}, 4},
                                  {"Reversible processes", {"quasi-static changes", "no entropy is produced"}, 4},
                                  {"Summary", {"dS >= dQ / T"}, 4}},
                                 "Entropy measures how heat spreads out. The second law says it grows."));
    // No Secret Service in the tests: the key lives in the owner-only file.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumenote-test-bus");
}

void PipelineTest::SetUp() {
    AppPaths::resetForTesting();
    unblockExportRoot();
    QDir(exportRootPath()).removeRecursively();
    QFile::remove(AppPaths::libraryStorePath());
    QString error;
    store = LibraryStore::open(AppPaths::libraryStorePath(), &error);
    ASSERT_TRUE(store) << error.toStdString();
    Settings& s = Settings::shared();
    for (const char* key : {settings_keys::consolidationEnabled, settings_keys::consolidationProvider, settings_keys::markdownExportEnabled,
                            settings_keys::exportRootBookmark, settings_keys::whisperModelFolderPaths})
        s.remove(QLatin1String(key));
    s.setWhisperModelID(kTinyModel);
    anthropic = std::make_unique<TestHttpServer>();
    qputenv("LUMENOTE_ANTHROPIC_URL", anthropic->urlString().toLocal8Bit());
    await(SecretStore::shared().write(kClaudeAPIKeyAccount, QStringLiteral("sk-ant-test-key")));
}

void PipelineTest::TearDown() {
    controller.reset();
    store.reset();
    anthropic.reset();
}

QString PipelineTest::exportRootPath() { return AppPaths::exportRoot(); }

LecturePtr PipelineTest::addLecture(const QString& video, const QString& title) {
    auto lecture = Lecture::create(title, video, std::nullopt);
    store->insert(lecture);
    return lecture;
}

LectureController& PipelineTest::controllerFor(const LecturePtr& lecture) {
    controller = std::make_unique<LectureController>(*store, lecture, state, player);
    return *controller;
}

QStringList PipelineTest::runRecordingStatuses(const std::function<QCoro::Task<>()>& action) {
    QStringList statuses;
    const LecturePtr lecture = controller->lecture();
    auto record = [&] {
        if (statuses.isEmpty() || statuses.last() != lecture->statusRaw()) statuses << lecture->statusRaw();
    };
    record();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, record);
    poll.start(0);
    await(action());
    record();
    return statuses;
}

void PipelineTest::blockExportRoot() {
    QDir(exportRootPath()).removeRecursively();
    QFile f(exportRootPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

void PipelineTest::unblockExportRoot() { QFile::remove(exportRootPath()); }

QStringList PipelineTest::messages() const {
    QStringList out;
    for (const ProcessingMessage& m : state.messages()) out << m.text;
    return out;
}

void PipelineTest::serveNotes() {
    anthropic->route("POST", "/v1/messages", [](const HttpRequest&) {
        HttpResponse r(200);
        r.header("Content-Type", "text/event-stream");
        r.pieces(sse(kNotes), 40, 2);
        return r;
    });
}

void PipelineTest::serveAuthenticationError() {
    anthropic->route("POST", "/v1/messages", [](const HttpRequest&) {
        return HttpResponse::json(401, R"({"type":"error","error":{"type":"authentication_error","message":"invalid x-api-key"}})");
    });
}

}  // namespace lumenote::test
