#pragma once

// What every command shares: the console, the parsed command line, and the
// library (opened on first use at the usual place, with the export folders
// and the library operations over it).

#include "cli/CommandLine.h"
#include "core/Lecture.h"

#include <QString>

#include <functional>

#include <memory>
#include <stdexcept>

namespace lumenote {
class LibraryModel;
class LibraryStore;
class ExportFolders;
}  // namespace lumenote

namespace lumenote::cli {

class Console;

// A failure the command reports as one line on standard error (exit status 1).
class CommandFailure : public std::runtime_error {
public:
    explicit CommandFailure(QString message) : std::runtime_error(message.toStdString()), message_(std::move(message)) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

class Session {
public:
    Session(Console& console, const Invocation& invocation);
    ~Session();

    Console& console;
    const Invocation& invocation;

    // The library store; throws CommandFailure when the file cannot be opened.
    LibraryStore& store();
    // The library operations (lists refreshed).
    LibraryModel& library();
    // The lecture `name` stands for; throws CommandFailure when none or several fit.
    LecturePtr lecture(const QString& name);
    // The library folder of this exact name; created (and said so) when missing
    // and `create` is set, else none.
    LectureFolderPtr folder(const QString& name, bool create);
    // The name of the lecture's library folder, if any.
    std::optional<QString> folderName(const Lecture& lecture);
    // Writes pending library changes; throws CommandFailure when that fails.
    void commit();

    // Ctrl-C or a termination request: runs `onInterrupt` (a running lecture
    // action marks its lecture), saves the library and ends the program.
    std::function<void()> onInterrupt;
    [[noreturn]] void interrupt();

private:
    std::unique_ptr<LibraryStore> store_;
    std::unique_ptr<ExportFolders> exportFolders_;
    std::unique_ptr<LibraryModel> library_;
};

// Lecture summary for messages: "'Title' (1A2B3C4D)".
QString describeLecture(const Lecture& lecture);

}  // namespace lumenote::cli
