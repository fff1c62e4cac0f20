#include "engine/Safetensors.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>

#include <nlohmann/json.hpp>

#include "engine/WhisperError.h"

namespace lumenote::engine {

namespace {

// Far above any real header (a large checkpoint's is a few hundred KiB), low enough that a
// corrupt length cannot make us parse gigabytes of data as JSON.
constexpr uint64_t kMaxHeaderBytes = 100ull << 20;

bool parseDType(const std::string& s, DType& out) {
    static const std::pair<const char*, DType> table[] = {
        {"F64", DType::F64}, {"F32", DType::F32}, {"F16", DType::F16}, {"BF16", DType::BF16},
        {"I64", DType::I64}, {"I32", DType::I32}, {"I16", DType::I16}, {"I8", DType::I8},
        {"U8", DType::U8},   {"BOOL", DType::BOOL},
    };
    for (const auto& [name, t] : table) {
        if (s == name) {
            out = t;
            return true;
        }
    }
    return false;
}

}  // namespace

size_t dtypeSize(DType t) {
    switch (t) {
        case DType::F64:
        case DType::I64: return 8;
        case DType::F32:
        case DType::I32: return 4;
        case DType::F16:
        case DType::BF16:
        case DType::I16: return 2;
        case DType::I8:
        case DType::U8:
        case DType::BOOL: return 1;
    }
    return 1;
}

const char* dtypeName(DType t) {
    switch (t) {
        case DType::F64: return "F64";
        case DType::F32: return "F32";
        case DType::F16: return "F16";
        case DType::BF16: return "BF16";
        case DType::I64: return "I64";
        case DType::I32: return "I32";
        case DType::I16: return "I16";
        case DType::I8: return "I8";
        case DType::U8: return "U8";
        case DType::BOOL: return "BOOL";
    }
    return "?";
}

std::string shapeText(const std::vector<int64_t>& shape) {
    std::string s = "[";
    for (size_t i = 0; i < shape.size(); ++i) {
        if (i) s += ", ";
        s += std::to_string(shape[i]);
    }
    return s + "]";
}

int64_t TensorView::elementCount() const {
    int64_t n = 1;
    for (int64_t d : shape) n *= d;
    return n;
}

// ---- MappedFile ----

std::shared_ptr<MappedFile> MappedFile::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw WhisperError(path + ": cannot open (" + std::strerror(errno) + ")");
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw WhisperError(path + ": not a regular file");
    }
    std::shared_ptr<MappedFile> f(new MappedFile());
    f->path_ = path;
    f->size_ = size_t(st.st_size);
    if (f->size_ > 0) {
        void* p = mmap(nullptr, f->size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            const int err = errno;
            ::close(fd);
            throw WhisperError(path + ": cannot map the file (" + std::strerror(err) + ")");
        }
        f->data_ = static_cast<const std::byte*>(p);
        f->mapped_ = true;
    }
    ::close(fd);
    return f;
}

std::shared_ptr<MappedFile> MappedFile::fromBuffer(std::vector<std::byte> buffer, std::string name,
                                                   bool releasable) {
    std::shared_ptr<MappedFile> f(new MappedFile());
    f->releasable_ = releasable;
    f->buffer_ = std::move(buffer);
    f->data_ = f->buffer_.data();
    f->size_ = f->buffer_.size();
    f->path_ = std::move(name);
    return f;
}

MappedFile::~MappedFile() {
    if (mapped_) munmap(const_cast<std::byte*>(data_), size_);
}

void MappedFile::release(const void* p, size_t n) const {
    if ((!mapped_ && !releasable_) || n == 0) return;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + page - 1) / page * page;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + n) / page * page;
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

// ---- SafetensorsFile ----

SafetensorsFile::SafetensorsFile(const std::string& path) : file_(MappedFile::open(path)), path_(path) {
    parse(*file_);
}

SafetensorsFile::SafetensorsFile(std::shared_ptr<MappedFile> file) : file_(std::move(file)), path_(file_->path()) {
    parse(*file_);
}

SafetensorsFile::SafetensorsFile(std::vector<std::shared_ptr<MappedFile>> shards, std::string name)
    : shards_(std::move(shards)), path_(std::move(name)) {
    if (shards_.empty()) throw WhisperError(path_ + ": no weight files");
    file_ = shards_.front();
    for (const auto& f : shards_) parse(*f);
}

std::shared_ptr<SafetensorsFile> SafetensorsFile::openModel(const std::string& folder) {
    const std::string single = folder + "/model.safetensors";
    const std::string indexPath = folder + "/model.safetensors.index.json";
    struct stat st {};
    if (::stat(single.c_str(), &st) == 0 || ::stat(indexPath.c_str(), &st) != 0) {
        return std::make_shared<SafetensorsFile>(single);
    }
    std::ifstream in(indexPath, std::ios::binary);
    nlohmann::json index;
    try {
        index = nlohmann::json::parse(in);
    } catch (const std::exception& e) {
        throw WhisperError(indexPath + ": not valid JSON (" + e.what() + ")");
    }
    const auto map = index.is_object() ? index.find("weight_map") : index.end();
    if (map == index.end() || !map->is_object() || map->empty()) {
        throw WhisperError(indexPath + ": no \"weight_map\" of tensor names to files");
    }
    // Each shard once, in the order the index first names it.
    std::vector<std::string> names;
    for (auto it = map->begin(); it != map->end(); ++it) {
        if (!it.value().is_string()) throw WhisperError(indexPath + ": the file of tensor '" + it.key() + "' is not a string");
        const std::string file = it.value().get<std::string>();
        if (file.empty() || file.find('/') != std::string::npos || file == "." || file == "..") {
            throw WhisperError(indexPath + ": tensor '" + it.key() + "' names the file \"" + file +
                               "\", which is not a file of the model folder");
        }
        if (std::find(names.begin(), names.end(), file) == names.end()) names.push_back(file);
    }
    std::vector<std::shared_ptr<MappedFile>> shards;
    for (const std::string& n : names) shards.push_back(MappedFile::open(folder + "/" + n));
    auto set = std::make_shared<SafetensorsFile>(std::move(shards), indexPath);
    // Every tensor the index lists must be where it says.
    for (auto it = map->begin(); it != map->end(); ++it) {
        const TensorView* t = set->find(it.key());
        const std::string file = it.value().get<std::string>();
        if (!t) throw WhisperError(indexPath + ": tensor '" + it.key() + "' is not in " + file);
        const auto& shard = set->shards_[size_t(std::find(names.begin(), names.end(), file) - names.begin())];
        if (t->data < shard->data() || t->data + t->bytes > shard->data() + shard->size()) {
            throw WhisperError(indexPath + ": tensor '" + it.key() + "' is not in " + file);
        }
    }
    return set;
}

void SafetensorsFile::parse(const MappedFile& mapped) {
    const std::string& path = mapped.path();
    const size_t size = mapped.size();
    if (size < 8) {
        throw WhisperError(path + ": truncated safetensors file (" + std::to_string(size) +
                           " bytes, the 8-byte header length is missing)");
    }
    uint64_t headerLen = 0;
    std::memcpy(&headerLen, mapped.data(), 8);  // little-endian on every platform we build for
    if (headerLen > kMaxHeaderBytes || headerLen > size - 8) {
        throw WhisperError(path + ": truncated or corrupt safetensors file (header claims " +
                           std::to_string(headerLen) + " bytes, file has " +
                           std::to_string(size - 8) + " after the length)");
    }
    const char* headerText = reinterpret_cast<const char*>(mapped.data() + 8);
    nlohmann::json header;
    try {
        header = nlohmann::json::parse(headerText, headerText + headerLen);
    } catch (const std::exception& e) {
        throw WhisperError(path + ": safetensors header is not valid JSON (" + e.what() + ")");
    }
    if (!header.is_object()) throw WhisperError(path + ": safetensors header is not a JSON object");

    const std::byte* dataBegin = mapped.data() + 8 + headerLen;
    const uint64_t dataSize = size - 8 - headerLen;

    for (auto it = header.begin(); it != header.end(); ++it) {
        const std::string& name = it.key();
        const nlohmann::json& entry = it.value();
        if (name == "__metadata__") {
            if (!entry.is_object()) throw WhisperError(path + ": __metadata__ is not an object");
            for (auto m = entry.begin(); m != entry.end(); ++m) {
                if (!m.value().is_string()) {
                    throw WhisperError(path + ": __metadata__ value '" + m.key() + "' is not a string");
                }
                metadata_[m.key()] = m.value().get<std::string>();
            }
            continue;
        }
        const std::string where = path + ": tensor '" + name + "'";
        if (!entry.is_object()) throw WhisperError(where + " has no description object");
        const auto dt = entry.find("dtype");
        const auto sh = entry.find("shape");
        const auto off = entry.find("data_offsets");
        if (dt == entry.end() || !dt->is_string()) throw WhisperError(where + " has no dtype");
        if (sh == entry.end() || !sh->is_array()) throw WhisperError(where + " has no shape");
        if (off == entry.end() || !off->is_array() || off->size() != 2) {
            throw WhisperError(where + " has no data_offsets pair");
        }
        TensorView v;
        v.name = name;
        if (!parseDType(dt->get<std::string>(), v.dtype)) {
            throw WhisperError(where + " has unknown dtype " + dt->get<std::string>());
        }
        // Element count with overflow checks: shapes come from the file.
        uint64_t count = 1;
        for (const auto& d : *sh) {
            if (!d.is_number_unsigned() && !(d.is_number_integer() && d.get<int64_t>() >= 0)) {
                throw WhisperError(where + " has an invalid shape " + sh->dump());
            }
            const uint64_t dim = d.get<uint64_t>();
            // Beside a zero, any size keeps the count in range; shapes are signed.
            if (dim > uint64_t(std::numeric_limits<int64_t>::max())) {
                throw WhisperError(where + " has an invalid shape " + sh->dump());
            }
            if (dim != 0 && count > std::numeric_limits<uint64_t>::max() / dim) {
                throw WhisperError(where + " has a shape too large " + sh->dump());
            }
            count *= dim;
            v.shape.push_back(int64_t(dim));
        }
        const auto& b = (*off)[0];
        const auto& e = (*off)[1];
        if (!b.is_number_unsigned() || !e.is_number_unsigned()) {
            throw WhisperError(where + " has invalid data_offsets " + off->dump());
        }
        const uint64_t begin = b.get<uint64_t>();
        const uint64_t end = e.get<uint64_t>();
        if (begin > end || end > dataSize) {
            throw WhisperError(where + " has data_offsets " + off->dump() +
                               " outside the file's data section of " + std::to_string(dataSize) +
                               " bytes (truncated file?)");
        }
        const uint64_t elemSize = dtypeSize(v.dtype);
        if (count > std::numeric_limits<uint64_t>::max() / elemSize || count * elemSize != end - begin) {
            throw WhisperError(where + " holds " + std::to_string(end - begin) + " bytes but its " +
                               dtypeName(v.dtype) + " shape " + sh->dump() + " needs " +
                               std::to_string(count * elemSize));
        }
        v.data = dataBegin + begin;
        v.bytes = size_t(end - begin);
        if (!tensors_.emplace(name, std::move(v)).second) {
            throw WhisperError(where + " is stored in more than one weight file");
        }
    }
}

const TensorView* SafetensorsFile::find(std::string_view name) const {
    const auto it = tensors_.find(name);
    return it == tensors_.end() ? nullptr : &it->second;
}

const TensorView& SafetensorsFile::require(std::string_view name,
                                           const std::vector<int64_t>& shape) const {
    const TensorView* t = find(name);
    if (!t) throw WhisperError(path() + ": missing tensor '" + std::string(name) + "'");
    if (t->shape != shape) {
        throw WhisperError(path() + ": tensor '" + std::string(name) + "' has shape " +
                           shapeText(t->shape) + ", the model configuration needs " +
                           shapeText(shape));
    }
    return *t;
}

// ---- SafetensorsWriter ----

void SafetensorsWriter::add(const std::string& name, DType dtype, std::vector<int64_t> shape,
                            const void* data, size_t bytes) {
    Entry e{name, dtype, std::move(shape), std::vector<std::byte>(bytes)};
    if (bytes) std::memcpy(e.data.data(), data, bytes);
    entries_.push_back(std::move(e));
}

void SafetensorsWriter::addF32(const std::string& name, std::vector<int64_t> shape, const float* data) {
    int64_t n = 1;
    for (int64_t d : shape) n *= d;
    add(name, DType::F32, std::move(shape), data, size_t(n) * 4);
}

namespace {

// Header text (padded so the data section starts 64-byte aligned) and each entry's offset.
std::string buildHeader(const std::map<std::string, std::string>& metadata,
                        const std::vector<std::string>& names, const std::vector<DType>& dtypes,
                        const std::vector<std::vector<int64_t>>& shapes,
                        const std::vector<size_t>& sizes, std::vector<uint64_t>& offsets,
                        uint64_t& total) {
    nlohmann::ordered_json header = nlohmann::ordered_json::object();
    if (!metadata.empty()) header["__metadata__"] = metadata;
    uint64_t offset = 0;
    offsets.clear();
    for (size_t i = 0; i < names.size(); ++i) {
        offset = (offset + 63) / 64 * 64;  // keep every tensor 64-byte aligned
        offsets.push_back(offset);
        header[names[i]] = {{"dtype", dtypeName(dtypes[i])},
                            {"shape", shapes[i]},
                            {"data_offsets", {offset, offset + sizes[i]}}};
        offset += sizes[i];
    }
    total = offset;
    std::string text = header.dump();
    while ((8 + text.size()) % 64 != 0) text.push_back(' ');
    return text;
}

}  // namespace

std::string SafetensorsWriter::header(std::vector<uint64_t>& offsets, uint64_t& total) const {
    std::vector<std::string> names;
    std::vector<DType> dtypes;
    std::vector<std::vector<int64_t>> shapes;
    std::vector<size_t> sizes;
    for (const auto& e : entries_) {
        names.push_back(e.name);
        dtypes.push_back(e.dtype);
        shapes.push_back(e.shape);
        sizes.push_back(e.data.size());
    }
    return buildHeader(metadata_, names, dtypes, shapes, sizes, offsets, total);
}

std::vector<std::byte> SafetensorsWriter::serialize() const {
    std::vector<uint64_t> offsets;
    uint64_t total = 0;
    const std::string text = header(offsets, total);
    std::vector<std::byte> out(8 + text.size() + size_t(total));
    const uint64_t len = text.size();
    std::memcpy(out.data(), &len, 8);
    std::memcpy(out.data() + 8, text.data(), text.size());
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].data.empty()) {
            std::memcpy(out.data() + 8 + text.size() + offsets[i], entries_[i].data.data(),
                        entries_[i].data.size());
        }
    }
    return out;
}

void SafetensorsWriter::write(const std::string& path) const {
    std::vector<uint64_t> offsets;
    uint64_t total = 0;
    const std::string text = header(offsets, total);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw WhisperError(path + ": cannot create file");
    const uint64_t len = text.size();
    out.write(reinterpret_cast<const char*>(&len), 8);
    out.write(text.data(), std::streamsize(text.size()));
    uint64_t pos = 0;
    static const char zeros[64] = {};
    for (size_t i = 0; i < entries_.size(); ++i) {
        out.write(zeros, std::streamsize(offsets[i] - pos));
        out.write(reinterpret_cast<const char*>(entries_[i].data.data()),
                  std::streamsize(entries_[i].data.size()));
        pos = offsets[i] + entries_[i].data.size();
    }
    if (!out) throw WhisperError(path + ": write failed");
}

}  // namespace lumenote::engine
