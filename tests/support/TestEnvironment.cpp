#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

namespace lumenote::test {
namespace {
std::string g_home;

std::string envOr(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string(fallback);
}
}  // namespace

const std::string& homeDir() { return g_home; }

void setUpIsolatedHome() {
    namespace fs = std::filesystem;
    std::string tmpl = (fs::temp_directory_path() / "lumenote-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary home");
    g_home = tmpl;
    const std::pair<const char*, const char*> dirs[] = {
        {"XDG_DATA_HOME", ".local/share"},
        {"XDG_CACHE_HOME", ".cache"},
        {"XDG_CONFIG_HOME", ".config"},
        {"XDG_RUNTIME_DIR", "runtime"},
    };
    setenv("HOME", g_home.c_str(), 1);
    for (const auto& [var, rel] : dirs) {
        fs::path p = fs::path(g_home) / rel;
        fs::create_directories(p);
        if (std::string(var) == "XDG_RUNTIME_DIR") fs::permissions(p, fs::perms::owner_all);
        setenv(var, p.c_str(), 1);
    }
    // Model caches and hosts must never come from the developer's own environment.
    unsetenv("HF_HOME");
    unsetenv("HF_HUB_CACHE");
    unsetenv("HF_ENDPOINT");
}

void tearDownIsolatedHome() {
    if (g_home.empty() || std::getenv("LUMENOTE_KEEP_TEST_HOME")) return;
    std::error_code ec;
    std::filesystem::remove_all(g_home, ec);
}

std::string sourceDir() { return envOr("LUMENOTE_SOURCE_DIR", ""); }
std::string binaryDir() { return envOr("LUMENOTE_BINARY_DIR", ""); }

}  // namespace lumenote::test
