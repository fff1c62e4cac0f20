#pragma once

// The command line of lumenote-cli: the commands with their arguments and
// options, parsing, and the help texts. No I/O here.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace lumenote::cli {

struct OptionSpec {
    QString name;       // without the leading dashes
    QString valueName;  // empty for a flag
    QString help;
    bool isFlag() const { return valueName.isEmpty(); }
};

struct CommandSpec {
    QString name;       // "process", "library list", ...
    QString arguments;  // "<lecture>", shown after the name
    QString summary;    // one line
    QString details;    // paragraphs shown by --help
    QList<OptionSpec> options;
    int minArguments = 0;
    int maxArguments = 0;  // -1: any number
    QString group() const { return name.section(QLatin1Char(' '), 0, 0); }
};

// Exit statuses.
enum ExitStatus : int { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

// A command line that does not fit the commands: exit status 2. `command`
// names the command whose help the message points to (empty: the top level).
class UsageError : public std::runtime_error {
public:
    UsageError(QString message, QString command = {})
        : std::runtime_error(message.toStdString()), message_(std::move(message)), command_(std::move(command)) {}
    const QString& message() const { return message_; }
    const QString& command() const { return command_; }
    // "<message> (see 'lumenote-cli <command> --help')"
    QString line() const;

private:
    QString message_;
    QString command_;
};

struct Invocation {
    const CommandSpec* command = nullptr;  // none for the top-level help and --version
    QString helpTopic;                     // set when help was asked for: "", a group or a command name
    bool help = false;
    bool version = false;
    bool verbose = false;
    QStringList arguments;
    QHash<QString, QString> options;  // flags map to ""

    bool has(const QString& option) const { return options.contains(option); }
    std::optional<QString> value(const QString& option) const;
};

const QList<CommandSpec>& commands();
const CommandSpec* findCommand(const QString& name);
// The groups with subcommands ("library", "models", ...).
QStringList commandGroups();

// Parses the arguments after the program name. Throws UsageError.
Invocation parseCommandLine(const QStringList& arguments);

// The first raw argument that is not valid UTF-8, shown with its stray bytes
// as \xNN; none when every argument is text. Qt would replace those bytes, so
// such a file name could be neither opened nor stored.
std::optional<QString> firstNonUtf8Argument(int argc, const char* const* argv);

// Help for the top level (empty topic), a group, or one command.
QString helpText(const QString& topic);

}  // namespace lumenote::cli
