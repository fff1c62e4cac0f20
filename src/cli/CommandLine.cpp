#include "cli/CommandLine.h"

#include <QSet>

namespace lumenote::cli {

namespace {

const QString kLectureNaming = QStringLiteral(
    "A lecture is named by its id, an unambiguous prefix of its id (as 'library list' shows it), or its exact title.");

QList<CommandSpec> buildCommands() {
    QList<CommandSpec> c;
    c.append({QStringLiteral("process"), QStringLiteral("<video-file-or-address>..."),
              QStringLiteral("Import lecture videos and turn each into its study page"),
              QStringLiteral("Imports a local video file or a web address (downloaded with yt-dlp), transcribes it with the\n"
                             "Whisper model, captures the slides, optionally condenses the transcript into study notes, and\n"
                             "exports the HTML study page. Each step is printed as it happens; on a terminal a progress bar\n"
                             "shows every running stage. The last line is the path of the study page.\n"
                             "\n"
                             "A model that is not on disk yet is downloaded first. A source that is already in the library\n"
                             "is not imported twice: it is reported, and processed again only with --reprocess (a lecture\n"
                             "from a web address is then downloaded again).\n"
                             "\n"
                             "Several inputs are processed one after the other, with a summary at the end of which\n"
                             "completed and which failed and why.\n"
                             "\n"
                             "Exit status: 0 when every lecture is complete, 1 when any failed, 2 for usage errors."),
              {{QStringLiteral("model"), QStringLiteral("ID"), QStringLiteral("Whisper model to use (see 'models list'); kept for this lecture")},
               {QStringLiteral("language"), QStringLiteral("CODE"),
                QStringLiteral("Spoken language (en, de, fr, ...), or auto to detect it; for this run (default: the transcriptionLanguage setting)")},
               {QStringLiteral("consolidate"), QStringLiteral("off|claude|ollama"),
                QStringLiteral("Study notes for this lecture (default: the consolidation settings)")},
               {QStringLiteral("folder"), QStringLiteral("NAME"), QStringLiteral("Put the lecture into this library folder (created when missing)")},
               {QStringLiteral("markdown"), {}, QStringLiteral("Also write the Markdown version, for this run only")},
               {QStringLiteral("reprocess"), {}, QStringLiteral("Process a lecture of the same source again")},
               {QStringLiteral("json"), {}, QStringLiteral("Print a JSON array of results (progress goes to standard error)")}},
              1, -1});
    c.append({QStringLiteral("reexport"), QStringLiteral("<lecture>"), QStringLiteral("Rebuild a lecture's study page from what is stored"),
              kLectureNaming + QStringLiteral("\nA failed re-export keeps the lecture complete and exits with status 1."),
              {},
              1, 1});
    c.append({QStringLiteral("retranscribe"), QStringLiteral("<lecture>"),
              QStringLiteral("Transcribe a lecture again and rebuild its page (the screenshots stay)"),
              kLectureNaming + QStringLiteral("\nUses the lecture's model, or the selected one; a missing model is downloaded first."),
              {},
              1, 1});
    c.append({QStringLiteral("consolidate"), QStringLiteral("<lecture>"),
              QStringLiteral("Make a lecture's study notes now and rebuild its page, or remove them"),
              kLectureNaming + QStringLiteral("\nWithout --provider the lecture's own choice (or the settings) decides between Claude and Ollama.\n"
                                              "The Claude API key is set with 'lumenote-cli settings set claudeAPIKey'."),
              {{QStringLiteral("provider"), QStringLiteral("claude|ollama"),
                QStringLiteral("Consolidate with this provider from now on (a global setting, as in the app)")},
               {QStringLiteral("remove"), {}, QStringLiteral("Remove the notes and rebuild the page without them")}},
              1, 1});
    c.append({QStringLiteral("markdown"), QStringLiteral("<lecture>"),
              QStringLiteral("Write the Markdown version of a lecture"),
              kLectureNaming + QStringLiteral("\nThe file goes to the Markdown folder of the settings, else beside the study page."),
              {},
              1, 1});

    c.append({QStringLiteral("watch"), QStringLiteral("<folder>"), QStringLiteral("Process every video that appears in a folder"),
              QStringLiteral("Keeps running: each video (mp4, mov, m4v, mkv, webm) that appears in the folder is processed as\n"
                             "with 'process' once it has stopped growing, and the result is logged. Videos already in the\n"
                             "library (the same path) are skipped, so a restarted watch does not process anything twice.\n"
                             "Ctrl-C or a termination request stops it; a lecture being processed then is marked failed."),
              {{QStringLiteral("folder"), QStringLiteral("NAME"), QStringLiteral("Put the lectures into this library folder (created when missing)")},
               {QStringLiteral("markdown"), {}, QStringLiteral("Also write the Markdown version of each")}},
              1, 1});
    c.append({QStringLiteral("search"), QStringLiteral("<query>..."), QStringLiteral("Find words and phrases in every lecture"),
              QStringLiteral("Searches the transcripts, the study notes, your notes, margin notes and highlights. All words\n"
                             "must occur; \"quoted words\" must occur as a phrase; word* matches every word that begins so.\n"
                             "Letter case and accents do not matter. Each hit shows the lecture, the time and the passage with\n"
                             "the match between ** marks, and a link that opens the study page at that moment.\n"
                             "\n"
                             "Exit status: 0 when something was found, 1 when nothing was, 2 for usage errors."),
              {{QStringLiteral("lecture"), QStringLiteral("LECTURE"), QStringLiteral("Search this lecture only")},
               {QStringLiteral("json"), {}, QStringLiteral("Print a JSON array of hits instead")}},
              1, -1});
    c.append({QStringLiteral("subtitles"), QStringLiteral("<lecture>"), QStringLiteral("Write a lecture's subtitles or plain-text transcript"),
              kLectureNaming + QStringLiteral("\nCues hold at most two lines of 42 characters and last at most seven seconds. Without --out the\n"
                                              "text goes to standard output. With the setting exportSubtitles every export also writes\n"
                                              "subtitles.srt, subtitles.vtt and transcript.txt beside the study page."),
              {{QStringLiteral("format"), QStringLiteral("srt|vtt|txt"), QStringLiteral("SubRip (default), WebVTT or plain text")},
               {QStringLiteral("out"), QStringLiteral("FILE"), QStringLiteral("Write to this file")}},
              1, 1});
    c.append({QStringLiteral("library list"), {}, QStringLiteral("List the lectures"),
              QStringLiteral("One line per lecture: short id, status, duration, folder and title."),
              {{QStringLiteral("json"), {}, QStringLiteral("Print a JSON array instead")}},
              0, 0});
    c.append({QStringLiteral("library stats"), {}, QStringLiteral("Show the library's totals"),
              QStringLiteral("Lectures, total duration, and the words and screenshots of the complete lectures."),
              {{QStringLiteral("json"), {}, QStringLiteral("Print a JSON object instead")}},
              0, 0});
    c.append({QStringLiteral("library folders"), QStringLiteral("[create NAME | rename NAME NEW | delete NAME]"),
              QStringLiteral("List, create, rename or delete library folders"),
              QStringLiteral("Without arguments, lists the folders with their lecture counts. Deleting a folder moves its\n"
                             "lectures (and their exports) out of it, unless --with-lectures deletes them too."),
              {{QStringLiteral("with-lectures"), {}, QStringLiteral("With delete: also delete the folder's lectures")}},
              0, 3});
    c.append({QStringLiteral("library move"), QStringLiteral("<lecture> [<folder>]"),
              QStringLiteral("Move a lecture into a folder (created when missing), or out of its folder"),
              kLectureNaming + QStringLiteral("\nThe lecture's export folder moves with it."),
              {{QStringLiteral("unfiled"), {}, QStringLiteral("Take the lecture out of its folder")}},
              1, 2});
    c.append({QStringLiteral("library delete"), QStringLiteral("[<lecture>...]"),
              QStringLiteral("Delete lectures with their exports and stored files"),
              kLectureNaming +
                  QStringLiteral("\nDeleting one lecture also removes its downloaded video from the download cache; --all and\n"
                                 "--unprocessed leave cached videos in place."),
              {{QStringLiteral("all"), {}, QStringLiteral("Delete every lecture (needs --yes)")},
               {QStringLiteral("unprocessed"), {}, QStringLiteral("Delete every lecture that is not complete (needs --yes)")},
               {QStringLiteral("yes"), {}, QStringLiteral("Confirm --all or --unprocessed")}},
              0, -1});
    c.append({QStringLiteral("library reconcile"), {}, QStringLiteral("Bring statuses and folders in line with the exports on disk"),
              QStringLiteral("A complete lecture whose export folder is gone becomes missing (when its video is on this\n"
                             "machine); a missing one whose export is back becomes complete; export folders found in a\n"
                             "folder directory put their lectures into that library folder."),
              {},
              0, 0});

    c.append({QStringLiteral("sync status"), {}, QStringLiteral("Show what the record mirror in the sync folder did last"),
              QStringLiteral("With the setting cloudSyncFolder, every lecture and folder is mirrored as a document in\n"
                             "<sync folder>/Lumenote/Records, which a sync client (Syncthing, Nextcloud, Dropbox) carries\n"
                             "to your other machines. Shows the folder, the last export and import, the documents still\n"
                             "pending (not yet written, or not yet readable) and the conflict copies merged so far."),
              {{QStringLiteral("json"), {}, QStringLiteral("Print a JSON object instead")}},
              0, 0});
    c.append({QStringLiteral("sync now"), {}, QStringLiteral("Merge the sync folder's changes and write the pending ones now"),
              QStringLiteral("What the desktop application does whenever the sync folder changes."),
              {},
              0, 0});

    c.append({QStringLiteral("models list"), {}, QStringLiteral("List the Whisper models"),
              QStringLiteral("'*' marks the selected model; downloaded models show their folder."), {}, 0, 0});
    c.append({QStringLiteral("models select"), QStringLiteral("<id>"), QStringLiteral("Choose the default Whisper model"), {}, {}, 1, 1});
    c.append({QStringLiteral("models download"), QStringLiteral("[<id>]"),
              QStringLiteral("Download a Whisper model (default: the selected one)"),
              QStringLiteral("Files go into the Hugging Face cache (~/.cache/huggingface/hub, or $HF_HUB_CACHE)."), {}, 0, 1});
    c.append({QStringLiteral("models check"), {}, QStringLiteral("Check the downloaded models for newer revisions"), {}, {}, 0, 0});

    c.append({QStringLiteral("tools status"), {}, QStringLiteral("Show where yt-dlp and ffmpeg are and their versions"), {}, {}, 0, 0});
    c.append({QStringLiteral("tools check"), {}, QStringLiteral("Check yt-dlp and ffmpeg for newer versions"), {}, {}, 0, 0});
    c.append({QStringLiteral("tools update"), QStringLiteral("[yt-dlp|ffmpeg]"),
              QStringLiteral("Update the private yt-dlp (default), or install or update the private ffmpeg"), {}, {}, 0, 1});

    c.append({QStringLiteral("cache list"), {}, QStringLiteral("List the downloaded videos"),
              QStringLiteral("Files still used by a lecture are marked in use; leftover partial downloads are marked incomplete."),
              {},
              0, 0});
    c.append({QStringLiteral("cache clean"), QStringLiteral("[<file>...]"),
              QStringLiteral("Delete downloaded videos that no lecture uses (all, or the named ones)"),
              QStringLiteral("Files in use are never deleted. Lectures that used deleted videos need them downloaded again\n"
                             "before they can be reprocessed."),
              {},
              0, -1});

    c.append({QStringLiteral("settings get"), QStringLiteral("[<key>]"),
              QStringLiteral("Show one setting, or all of them"),
              QStringLiteral("Values are shown with their defaults applied; '(default)' marks keys that are not stored.\n"
                             "claudeAPIKey shows only whether a key is stored."),
              {},
              0, 1});
    c.append({QStringLiteral("settings set"), QStringLiteral("<key> [<value>|-]"),
              QStringLiteral("Store a setting"),
              QStringLiteral("'-' reads the value from standard input. Dictionaries are JSON objects, dates ISO 8601,\n"
                             "booleans true or false. claudeAPIKey is read from standard input only (never from the\n"
                             "command line) and is never printed. 'lumenote-cli settings get' lists every key with its value."),
              {},
              1, 2});
    c.append({QStringLiteral("settings unset"), QStringLiteral("<key>"), QStringLiteral("Remove a stored setting (back to its default)"), {}, {},
              1, 1});
    return c;
}

const QHash<QString, QString>& groupSummaries() {
    static const QHash<QString, QString> g{
        {QStringLiteral("library"), QStringLiteral("Manage the library: lectures, folders, totals, exports")},
        {QStringLiteral("models"), QStringLiteral("Whisper models: list, select, download, check")},
        {QStringLiteral("tools"), QStringLiteral("External tools (yt-dlp, ffmpeg): status, check, update")},
        {QStringLiteral("cache"), QStringLiteral("Downloaded videos: list, clean")},
        {QStringLiteral("settings"), QStringLiteral("Settings: get, set, unset")},
        {QStringLiteral("sync"), QStringLiteral("The library in the sync folder: status, now")},
    };
    return g;
}

bool isGroup(const QString& word) { return groupSummaries().contains(word); }

QString usageLine(const CommandSpec& c) {
    QString line = QStringLiteral("lumenote-cli ") + c.name;
    if (!c.arguments.isEmpty()) line += QLatin1Char(' ') + c.arguments;
    if (!c.options.isEmpty()) line += QStringLiteral(" [options]");
    return line;
}

QString optionLines(const QList<OptionSpec>& options) {
    QStringList rows;
    int width = 0;
    QStringList heads;
    for (const OptionSpec& o : options) {
        QString head = QStringLiteral("--") + o.name;
        if (!o.isFlag()) head += QLatin1Char(' ') + o.valueName;
        heads << head;
        width = std::max(width, int(head.size()));
    }
    for (int i = 0; i < options.size(); ++i) rows << QStringLiteral("  ") + heads[i].leftJustified(width + 2) + options[i].help;
    return rows.join(QLatin1Char('\n'));
}

}  // namespace

QString UsageError::line() const {
    const QString topic = command_.isEmpty() ? QString() : command_ + QLatin1Char(' ');
    return message_ + QStringLiteral(" (see 'lumenote-cli %1--help')").arg(topic);
}

std::optional<QString> Invocation::value(const QString& option) const {
    const auto it = options.constFind(option);
    if (it == options.constEnd()) return std::nullopt;
    return it.value();
}

const QList<CommandSpec>& commands() {
    static const QList<CommandSpec> all = buildCommands();
    return all;
}

const CommandSpec* findCommand(const QString& name) {
    for (const CommandSpec& c : commands())
        if (c.name == name) return &c;
    return nullptr;
}

QStringList commandGroups() {
    QStringList groups;
    for (const CommandSpec& c : commands())
        if (c.name.contains(QLatin1Char(' ')) && !groups.contains(c.group())) groups << c.group();
    return groups;
}

namespace {
QStringList subcommandsOf(const QString& group) {
    QStringList subs;
    for (const CommandSpec& c : commands())
        if (c.group() == group && c.name.contains(QLatin1Char(' '))) subs << c.name.section(QLatin1Char(' '), 1);
    return subs;
}
}  // namespace

Invocation parseCommandLine(const QStringList& args) {
    Invocation inv;
    int i = 0;
    // Options before the command.
    for (; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-v") || a == QLatin1String("--verbose")) {
            inv.verbose = true;
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            inv.help = true;
        } else if (a == QLatin1String("--version")) {
            inv.version = true;
        } else if (a.startsWith(QLatin1Char('-'))) {
            throw UsageError(QStringLiteral("unknown option '%1'").arg(a));
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        if (inv.help || inv.version) return inv;
        throw UsageError(QStringLiteral("missing command"));
    }

    QString name = args[i++];
    if (name == QLatin1String("help")) {
        inv.help = true;
        QStringList topic;
        for (; i < args.size(); ++i) topic << args[i];
        inv.helpTopic = topic.join(QLatin1Char(' '));
        if (!inv.helpTopic.isEmpty() && !findCommand(inv.helpTopic) && !isGroup(inv.helpTopic))
            throw UsageError(QStringLiteral("no command '%1'").arg(inv.helpTopic));
        return inv;
    }
    if (isGroup(name)) {
        const QString group = name;
        // Help for the group itself.
        if (i >= args.size() || args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h")) {
            if (i < args.size() || inv.help) {
                inv.help = true;
                inv.helpTopic = group;
                return inv;
            }
            throw UsageError(QStringLiteral("'%1' needs a subcommand: %2").arg(group, subcommandsOf(group).join(QStringLiteral(", "))), group);
        }
        name = group + QLatin1Char(' ') + args[i++];
        if (!findCommand(name))
            throw UsageError(QStringLiteral("'%1' has no subcommand '%2' (%3)")
                                 .arg(group, name.section(QLatin1Char(' '), 1), subcommandsOf(group).join(QStringLiteral(", "))),
                             group);
    }
    inv.command = findCommand(name);
    if (!inv.command) throw UsageError(QStringLiteral("unknown command '%1'").arg(name));
    if (inv.help) {
        inv.helpTopic = inv.command->name;
        return inv;
    }

    bool optionsEnded = false;
    for (; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            inv.arguments << a;
            continue;
        }
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            inv.help = true;
            inv.helpTopic = inv.command->name;
            return inv;
        }
        if (a == QLatin1String("-v") || a == QLatin1String("--verbose")) {
            inv.verbose = true;
            continue;
        }
        if (!a.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("unknown option '%1'").arg(a), inv.command->name);
        QString optName = a.mid(2);
        std::optional<QString> inlineValue;
        if (const qsizetype eq = optName.indexOf(QLatin1Char('=')); eq >= 0) {
            inlineValue = optName.mid(eq + 1);
            optName = optName.left(eq);
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& o : inv.command->options)
            if (o.name == optName) spec = &o;
        if (!spec) throw UsageError(QStringLiteral("unknown option '--%1'").arg(optName), inv.command->name);
        if (spec->isFlag()) {
            if (inlineValue) throw UsageError(QStringLiteral("'--%1' takes no value").arg(optName), inv.command->name);
            inv.options.insert(optName, QString());
            continue;
        }
        QString value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= args.size()) throw UsageError(QStringLiteral("'--%1' needs a value (%2)").arg(optName, spec->valueName), inv.command->name);
            value = args[++i];
        }
        // A value chosen from a list ("off|claude|ollama") must be one of them.
        if (spec->valueName.contains(QLatin1Char('|')) && !spec->valueName.split(QLatin1Char('|')).contains(value))
            throw UsageError(QStringLiteral("'--%1' must be one of %2, not '%3'").arg(optName, spec->valueName, value), inv.command->name);
        inv.options.insert(optName, value);
    }

    const CommandSpec& c = *inv.command;
    if (inv.arguments.size() < c.minArguments)
        throw UsageError(QStringLiteral("'%1' needs %2").arg(c.name, c.arguments), c.name);
    if (c.maxArguments >= 0 && inv.arguments.size() > c.maxArguments)
        throw UsageError(QStringLiteral("too many arguments for '%1': %2").arg(c.name, inv.arguments.mid(c.maxArguments).join(QLatin1Char(' '))),
                         c.name);
    return inv;
}

QString helpText(const QString& topic) {
    if (const CommandSpec* c = findCommand(topic)) {
        QString text = QStringLiteral("Usage: ") + usageLine(*c) + QStringLiteral("\n\n") + c->summary + QStringLiteral(".\n");
        if (!c->details.isEmpty()) text += QLatin1Char('\n') + c->details + QLatin1Char('\n');
        QList<OptionSpec> options = c->options;
        options.append({QStringLiteral("help"), {}, QStringLiteral("Show this help")});
        text += QStringLiteral("\nOptions:\n") + optionLines(options) + QLatin1Char('\n');
        return text;
    }
    if (isGroup(topic)) {
        QString text = QStringLiteral("Usage: lumenote-cli %1 <subcommand> [arguments] [options]\n\n%2.\n\nSubcommands:\n")
                           .arg(topic, groupSummaries().value(topic));
        int width = 0;
        for (const CommandSpec& c : commands())
            if (c.group() == topic) width = std::max(width, int((c.name.section(QLatin1Char(' '), 1) + QLatin1Char(' ') + c.arguments).size()));
        for (const CommandSpec& c : commands()) {
            if (c.group() != topic) continue;
            const QString head = (c.name.section(QLatin1Char(' '), 1) + QLatin1Char(' ') + c.arguments).trimmed();
            text += QStringLiteral("  ") + head.leftJustified(width + 2) + c.summary + QLatin1Char('\n');
        }
        text += QStringLiteral("\nRun 'lumenote-cli %1 <subcommand> --help' for details.\n").arg(topic);
        return text;
    }
    QString text = QStringLiteral(
        "lumenote-cli: turns recorded lectures into study pages without the desktop application.\n"
        "\n"
        "Usage: lumenote-cli [--verbose] <command> [arguments] [options]\n"
        "\n"
        "Commands:\n");
    QStringList heads, summaries;
    QSet<QString> groupsShown;
    for (const CommandSpec& c : commands()) {
        if (c.name.contains(QLatin1Char(' '))) {
            const QString g = c.group();
            if (groupsShown.contains(g)) continue;
            groupsShown.insert(g);
            heads << g + QLatin1Char(' ') + subcommandsOf(g).join(QLatin1Char('|'));
            summaries << groupSummaries().value(g);
        } else {
            heads << c.name + QLatin1Char(' ') + c.arguments;
            summaries << c.summary;
        }
    }
    int width = 0;
    for (const QString& h : heads) width = std::max(width, int(h.size()));
    for (int i = 0; i < heads.size(); ++i) text += QStringLiteral("  ") + heads[i].leftJustified(width + 2) + summaries[i] + QLatin1Char('\n');
    text += QStringLiteral(
        "\n"
        "%1\n"
        "Run 'lumenote-cli <command> --help' for a command's arguments and options.\n"
        "\n"
        "Options:\n"
        "  -v, --verbose  Also print the services' diagnostic lines (\"[tag] ...\")\n"
        "  -h, --help     Show help\n"
        "  --version      Print the version\n"
        "\n"
        "Exit status: 0 done, 1 failed, 2 usage error.\n")
                .arg(kLectureNaming);
    return text;
}

}  // namespace lumenote::cli
