#pragma once

#include <stdexcept>
#include <string>

namespace lumenote::engine {

// The one error type the engine throws. The message is meant for people: it names the file and
// the problem (a broken model file, an unreadable WAV, an unset model folder), and callers pass
// it on unchanged.
class WhisperError : public std::runtime_error {
public:
    explicit WhisperError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace lumenote::engine
