#pragma once

// Shared by the fuzz targets: an invariant check that stops the run with a
// message (libFuzzer then saves the input), and the input split into parts.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

namespace lumenote::fuzz {

inline std::string_view bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Parts of an input separated by NUL bytes (a file per part, or a text and its
// options); seeds are written with the same separator.
inline std::vector<std::string_view> splitParts(std::string_view input) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t nul = input.find('\0', start);
        if (nul == std::string_view::npos) {
            parts.push_back(input.substr(start));
            return parts;
        }
        parts.push_back(input.substr(start, nul - start));
        start = nul + 1;
    }
}

// A private folder for targets whose parser reads files by name; created once
// per process (in TMPDIR) and removed at exit.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        std::error_code ec;
        const auto base = std::filesystem::temp_directory_path(ec);
        std::string pattern = ((ec ? std::filesystem::path("/tmp") : base) / "lumenote-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        static std::string kept = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(kept, ignored);
        });
        return pattern;
    }();
    return folder;
}

inline void writeFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    FUZZ_CHECK(out.good());
}

inline void removeFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace lumenote::fuzz
