// model.safetensors.index.json of a sharded checkpoint, beside two fixed
// shards. Read by the engine when it loads the weights and by the model cache
// when it decides whether a folder is complete; a folder the engine loads is
// never reported as missing weights.

#include "FuzzSupport.h"

#include "engine/Safetensors.h"
#include "engine/WhisperError.h"
#include "hub/WhisperRepository.h"

using namespace lumenote;
using namespace lumenote::engine;
using namespace lumenote::fuzz;

namespace {

const std::string& modelFolder() {
    static const std::string folder = [] {
        const std::string f = scratchFolder();
        const float values[6] = {1, 2, 3, 4, 5, 6};
        SafetensorsWriter first;
        first.addF32("model.encoder.conv1.weight", {2, 2}, values);
        first.addF32("model.encoder.conv1.bias", {2}, values + 4);
        first.write(f + "/model-00001-of-00002.safetensors");
        SafetensorsWriter second;
        second.addF32("model.decoder.embed_tokens.weight", {3, 2}, values);
        second.write(f + "/model-00002-of-00002.safetensors");
        writeFile(f + "/config.json", "{}");
        writeFile(f + "/tokenizer.json", "{}");
        return f;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = modelFolder();
    writeFile(folder + "/model.safetensors.index.json", bytes(data, size));

    const QStringList missing = hub::missingModelFiles(QString::fromStdString(folder));
    std::shared_ptr<SafetensorsFile> weights;
    try {
        weights = SafetensorsFile::openModel(folder);
    } catch (const WhisperError&) {
        return 0;
    }
    FUZZ_CHECK(missing.isEmpty());
    for (const auto& [name, t] : weights->tensors()) FUZZ_CHECK(t.bytes == size_t(t.elementCount()) * dtypeSize(t.dtype));
    return 0;
}
