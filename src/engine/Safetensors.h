#pragma once

// Read-only access to safetensors files. The file is memory-mapped and every header entry is
// checked against the file before a pointer into it is handed out; files are untrusted.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumenote::engine {

enum class DType { F64, F32, F16, BF16, I64, I32, I16, I8, U8, BOOL };

size_t dtypeSize(DType t);
const char* dtypeName(DType t);

// A whole file mapped read-only, or an in-memory buffer standing in for one.
class MappedFile {
public:
    static std::shared_ptr<MappedFile> open(const std::string& path);
    // With `releasable`, release() frees the buffer's pages as well; what lies there reads as
    // zeros afterwards, so only a buffer built for one model may be releasable.
    static std::shared_ptr<MappedFile> fromBuffer(std::vector<std::byte> buffer, std::string name,
                                                  bool releasable = false);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::byte* data() const { return data_; }
    size_t size() const { return size_; }
    const std::string& path() const { return path_; }
    // Drops the resident pages that lie wholly inside [p, p + n); they are read again from the
    // file if touched later. Used once a tensor has been converted to another precision.
    void release(const void* p, size_t n) const;

private:
    MappedFile() = default;
    const std::byte* data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;
    bool releasable_ = false;
    std::vector<std::byte> buffer_;
    std::string path_;
};

struct TensorView {
    std::string name;
    DType dtype = DType::F32;
    std::vector<int64_t> shape;
    const std::byte* data = nullptr;
    size_t bytes = 0;

    int64_t elementCount() const;
};

class SafetensorsFile {
public:
    // Throws WhisperError naming the file and the problem.
    explicit SafetensorsFile(const std::string& path);
    explicit SafetensorsFile(std::shared_ptr<MappedFile> file);
    // Several files seen as one (a sharded checkpoint); `name` stands for them in messages.
    SafetensorsFile(std::vector<std::shared_ptr<MappedFile>> shards, std::string name);

    // The weights of a model folder: model.safetensors, or the shards that
    // model.safetensors.index.json lists, each memory-mapped. Throws WhisperError.
    static std::shared_ptr<SafetensorsFile> openModel(const std::string& folder);

    const std::string& path() const { return path_; }
    const std::shared_ptr<MappedFile>& file() const { return file_; }
    const std::map<std::string, std::string>& metadata() const { return metadata_; }
    const std::map<std::string, TensorView, std::less<>>& tensors() const { return tensors_; }

    const TensorView* find(std::string_view name) const;
    // The tensor with that name and shape; throws WhisperError when it is missing or differs.
    const TensorView& require(std::string_view name, const std::vector<int64_t>& shape) const;

private:
    void parse(const MappedFile& file);
    std::shared_ptr<MappedFile> file_;  // the first shard; release() works for the pages of any
    std::vector<std::shared_ptr<MappedFile>> shards_;
    std::string path_;
    std::map<std::string, std::string> metadata_;
    std::map<std::string, TensorView, std::less<>> tensors_;
};

// Builds a safetensors file in memory (used by the test-model writer and the golden tests).
class SafetensorsWriter {
public:
    void add(const std::string& name, DType dtype, std::vector<int64_t> shape, const void* data,
             size_t bytes);
    void addF32(const std::string& name, std::vector<int64_t> shape, const float* data);
    void setMetadata(const std::string& key, const std::string& value) { metadata_[key] = value; }
    std::vector<std::byte> serialize() const;
    void write(const std::string& path) const;  // throws WhisperError on I/O failure

private:
    // The JSON header with the data offsets of every entry and the data's total size.
    std::string header(std::vector<uint64_t>& offsets, uint64_t& total) const;
    struct Entry {
        std::string name;
        DType dtype;
        std::vector<int64_t> shape;
        std::vector<std::byte> data;
    };
    std::vector<Entry> entries_;
    std::map<std::string, std::string> metadata_;
};

std::string shapeText(const std::vector<int64_t>& shape);

}  // namespace lumenote::engine
