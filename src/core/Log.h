#pragma once

#include <QString>

#include <functional>

namespace lumenote {

// Diagnostics are single lines on standard output beginning with a bracketed
// tag ("[AppPaths] ..."). There are no levels and no log file.
void logLine(const QString& line);

// Tests capture the lines a component prints. The sink is called in addition
// to standard output, from whatever thread logs (the caller synchronises).
using LogSink = std::function<void(const QString&)>;
void setLogSink(LogSink sink);

// Replaces standard output as the place the lines go (a terminal front end that
// redraws progress bars prints them itself, in step with its own output); none
// restores standard output. The sink above is still called.
void setLogOutput(LogSink output);

}  // namespace lumenote
