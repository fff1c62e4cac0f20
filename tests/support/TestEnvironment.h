#pragma once

#include <string>

namespace lumenote::test {

// The temporary folder that stands in for the user's home in this test run.
// HOME, XDG_DATA_HOME, XDG_CACHE_HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR point
// inside it before any test code runs.
const std::string& homeDir();

// Sets up the isolated environment; called once by the test main.
void setUpIsolatedHome();
// Removes the temporary home unless LUMENOTE_KEEP_TEST_HOME is set.
void tearDownIsolatedHome();

// Source and build trees, from the environment CTest gives (empty when unset).
std::string sourceDir();
std::string binaryDir();

}  // namespace lumenote::test
