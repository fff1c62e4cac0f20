// A safetensors file as it arrives from a model repository: the 8-byte header
// length, the JSON header and the tensor table it describes. Every tensor the
// reader accepts lies inside the file with as many bytes as its shape needs,
// and writing the accepted tensors again reads back the same table.

#include "FuzzSupport.h"

#include "engine/Safetensors.h"
#include "engine/WhisperError.h"

#include <cstring>

using namespace lumenote::engine;

namespace {

std::shared_ptr<MappedFile> buffer(const uint8_t* data, size_t size) {
    std::vector<std::byte> bytes(size);
    if (size) std::memcpy(bytes.data(), data, size);
    return MappedFile::fromBuffer(std::move(bytes), "model.safetensors");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto file = buffer(data, size);
    std::unique_ptr<SafetensorsFile> parsed;
    try {
        parsed = std::make_unique<SafetensorsFile>(file);
    } catch (const WhisperError&) {
        return 0;
    }

    const std::byte* begin = file->data();
    const std::byte* end = begin + file->size();
    SafetensorsWriter writer;
    for (const auto& [name, t] : parsed->tensors()) {
        FUZZ_CHECK(name == t.name);
        FUZZ_CHECK(t.bytes == 0 || (t.data >= begin + 8 && t.data + t.bytes <= end));
        FUZZ_CHECK(t.bytes % dtypeSize(t.dtype) == 0);
        for (int64_t d : t.shape) FUZZ_CHECK(d >= 0);
        const int64_t count = t.elementCount();
        FUZZ_CHECK(count >= 0 && uint64_t(count) * dtypeSize(t.dtype) == t.bytes);
        FUZZ_CHECK(parsed->find(name) == &t);
        (void)shapeText(t.shape);
        writer.add(t.name, t.dtype, t.shape, t.data, t.bytes);
    }
    for (const auto& [key, value] : parsed->metadata()) writer.setMetadata(key, value);

    SafetensorsFile again(MappedFile::fromBuffer(writer.serialize(), "again.safetensors"));
    FUZZ_CHECK(again.metadata() == parsed->metadata());
    FUZZ_CHECK(again.tensors().size() == parsed->tensors().size());
    for (const auto& [name, t] : parsed->tensors()) {
        const TensorView* u = again.find(name);
        FUZZ_CHECK(u && u->dtype == t.dtype && u->shape == t.shape && u->bytes == t.bytes);
        FUZZ_CHECK(t.bytes == 0 || std::memcmp(u->data, t.data, t.bytes) == 0);
    }
    return 0;
}
