// JSON answers of the outside services: the Hugging Face model API, the
// GitHub release feed of yt-dlp, the ffmpeg build-info service, and the model
// lists of Ollama and Anthropic. The first byte picks the reader.

#include "FuzzSupport.h"

#include "consolidation/ModelCatalogue.h"
#include "hub/HubClient.h"
#include "media/YtDlpOutput.h"

using namespace lumenote;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 5) {
        case 0:
            try {
                const hub::RepoInfo info = hub::parseRepoInfo(body, QStringLiteral("openai/whisper-tiny"));
                FUZZ_CHECK(!info.sha.isEmpty());
                for (const QString& file : info.files) FUZZ_CHECK(!file.isEmpty());
            } catch (const hub::HubError& e) {
                FUZZ_CHECK(e.kind() == hub::HubError::Kind::invalidResponse && !e.message().isEmpty());
            }
            break;
        case 1:
            if (const std::optional<QString> tag = parseReleaseTag(body)) FUZZ_CHECK(body.size() >= 2);
            break;
        case 2:
            (void)parseFFmpegBuildInfo(body);
            break;
        case 3: {
            const Parsed<QStringList> tags = parseOllamaTags(body);
            if (const QString* error = std::get_if<QString>(&tags)) FUZZ_CHECK(!error->isEmpty());
            else
                for (const QString& name : std::get<QStringList>(tags)) (void)modelDisplayName(QStringLiteral("ollama/") + name);
            break;
        }
        case 4: {
            const Parsed<QList<ClaudeModel>> models = parseClaudeModels(body);
            if (const QString* error = std::get_if<QString>(&models)) {
                FUZZ_CHECK(!error->isEmpty());
            } else {
                const QList<ClaudeModel>& list = std::get<QList<ClaudeModel>>(models);
                const std::optional<QString> replacement = replacementClaudeModel(QStringLiteral("claude-none"), list);
                FUZZ_CHECK(replacement.has_value() == !list.isEmpty());
                for (const ClaudeModel& m : list) (void)modelDisplayName(QStringLiteral("claude/") + m.id);
            }
            break;
        }
    }
    return 0;
}
