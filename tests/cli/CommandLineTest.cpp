// The command line's rules without running the program: parsing, naming a
// lecture, and fitting a progress bar into the terminal.

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/LectureLookup.h"

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::cli;

namespace {

Invocation parse(const QStringList& args) { return parseCommandLine(args); }

QString usageError(const QStringList& args) {
    try {
        parseCommandLine(args);
    } catch (const UsageError& e) {
        return e.line();
    }
    return QStringLiteral("(accepted)");
}

}  // namespace

TEST(CommandLine, ReadsCommandsOptionsAndArguments) {
    Invocation inv = parse({"-v", "process", "talk.mp4", "--model", "openai_whisper-tiny", "--consolidate=claude", "--markdown"});
    ASSERT_NE(inv.command, nullptr);
    EXPECT_EQ(inv.command->name, "process");
    EXPECT_TRUE(inv.verbose);
    EXPECT_EQ(inv.arguments, QStringList{"talk.mp4"});
    EXPECT_EQ(inv.value("model"), "openai_whisper-tiny");
    EXPECT_EQ(inv.value("consolidate"), "claude");
    EXPECT_TRUE(inv.has("markdown"));
    EXPECT_FALSE(inv.has("reprocess"));

    // Subcommands, "--" before a name that starts with a dash, and "-" as a value.
    inv = parse({"library", "delete", "--", "-odd title-", "second"});
    EXPECT_EQ(inv.command->name, "library delete");
    EXPECT_EQ(inv.arguments, (QStringList{"-odd title-", "second"}));
    inv = parse({"settings", "set", "consolidationPrompt", "-"});
    EXPECT_EQ(inv.arguments, (QStringList{"consolidationPrompt", "-"}));
}

TEST(CommandLine, HelpIsFoundForEveryCommandAndGroup) {
    for (const CommandSpec& c : commands()) {
        const Invocation inv = parse(c.name.split(' ') + QStringList{"--help"});
        EXPECT_TRUE(inv.help) << c.name.toStdString();
        EXPECT_EQ(inv.helpTopic, c.name);
        EXPECT_TRUE(helpText(c.name).startsWith("Usage: lumenote-cli " + c.name)) << c.name.toStdString();
    }
    for (const QString& g : commandGroups()) {
        EXPECT_EQ(parse({g, "--help"}).helpTopic, g);
        EXPECT_EQ(parse({"help", g}).helpTopic, g);
        for (const CommandSpec& c : commands()) {
            if (c.group() == g) {
                EXPECT_TRUE(helpText(g).contains(c.summary)) << c.name.toStdString();
            }
        }
    }
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(helpText({}).contains("Exit status: 0 done, 1 failed, 2 usage error."));
}

TEST(CommandLine, UsageErrorsNameTheProblemAndTheHelpToRead) {
    EXPECT_EQ(usageError({}), "missing command (see 'lumenote-cli --help')");
    EXPECT_EQ(usageError({"frobnicate"}), "unknown command 'frobnicate' (see 'lumenote-cli --help')");
    EXPECT_EQ(usageError({"library"}),
              "'library' needs a subcommand: list, stats, folders, move, delete, reconcile (see 'lumenote-cli library --help')");
    EXPECT_EQ(usageError({"models", "fetch"}),
              "'models' has no subcommand 'fetch' (list, select, download, check) (see 'lumenote-cli models --help')");
    EXPECT_EQ(usageError({"process"}), "'process' needs <video-file-or-address>... (see 'lumenote-cli process --help')");
    EXPECT_EQ(usageError({"reexport", "a", "b"}), "too many arguments for 'reexport': b (see 'lumenote-cli reexport --help')");
    EXPECT_EQ(usageError({"process", "a.mp4", "--consolidate", "gpt"}),
              "'--consolidate' must be one of off|claude|ollama, not 'gpt' (see 'lumenote-cli process --help')");
    EXPECT_EQ(usageError({"process", "a.mp4", "--model"}), "'--model' needs a value (ID) (see 'lumenote-cli process --help')");
    EXPECT_EQ(usageError({"process", "a.mp4", "--fast"}), "unknown option '--fast' (see 'lumenote-cli process --help')");
    EXPECT_EQ(usageError({"process", "a.mp4", "--markdown=yes"}), "'--markdown' takes no value (see 'lumenote-cli process --help')");
    EXPECT_EQ(usageError({"help", "nothing"}), "no command 'nothing' (see 'lumenote-cli --help')");
}

TEST(LectureLookup, NamesALectureByIdTitleOrUnambiguousPrefix) {
    const LecturePtr a = Lecture::create("Thermodynamics 1", QString("/v/a.mp4"), std::nullopt);
    const LecturePtr b = Lecture::create("Thermodynamics 2", QString("/v/b.mp4"), std::nullopt);
    const LecturePtr twin1 = Lecture::create("Review", QString("/v/c.mp4"), std::nullopt);
    const LecturePtr twin2 = Lecture::create("Review", QString("/v/d.mp4"), std::nullopt);
    const std::vector<LecturePtr> all{a, b, twin1, twin2};

    EXPECT_EQ(findLecture(all, a->idText()).lecture, a);
    EXPECT_EQ(findLecture(all, a->idText().toLower()).lecture, a);
    EXPECT_EQ(findLecture(all, "{" + b->idText() + "}").lecture, b);
    EXPECT_EQ(findLecture(all, "Thermodynamics 2").lecture, b);
    EXPECT_EQ(findLecture(all, shortID(*a).toLower()).lecture, a);
    // Titles match exactly: no trimming, no letter case folding.
    EXPECT_EQ(findLecture(all, "thermodynamics 2").lecture, nullptr);
    EXPECT_EQ(findLecture(all, "Thermodynamics").lecture, nullptr);
    // Two lectures with one title, or a prefix of several ids, name none.
    const LectureLookup twins = findLecture(all, "Review");
    EXPECT_EQ(twins.lecture, nullptr);
    EXPECT_EQ(twins.ambiguous.size(), 2);
    const LectureLookup everyone = findLecture(all, "");
    EXPECT_EQ(everyone.lecture, nullptr);
    EXPECT_TRUE(everyone.ambiguous.isEmpty());

    // A title that looks like an id prefix still names its lecture.
    const LecturePtr hex = Lecture::create(a->idText().left(4), QString("/v/e.mp4"), std::nullopt);
    EXPECT_EQ(findLecture({a, hex}, a->idText().left(4)).lecture, hex);
}

TEST(Console, BarsFitTheTerminalAndKeepTheEndOfLongText) {
    const QString half = Console::renderBar("Transcription", 0.5, {}, 80);
    EXPECT_TRUE(half.startsWith("Transcription  ["));
    EXPECT_TRUE(half.endsWith("]  50%"));
    EXPECT_EQ(half.count(QChar(0x2588)), 15);
    EXPECT_EQ(half.count(QChar(0x2591)), 15);

    const QString live = Console::renderBar("Transcription", 0.25, "the first words and then the latest words", 72);
    EXPECT_LE(live.size(), 72);
    EXPECT_TRUE(live.endsWith("the latest words")) << live.toStdString();
    EXPECT_TRUE(live.contains(QChar(0x2026)));

    EXPECT_TRUE(Console::renderBar("Export", 1.7, {}, 80).endsWith("100%"));
    EXPECT_TRUE(Console::renderBar("Export", std::nan(""), {}, 80).endsWith("  0%"));
    EXPECT_LE(Console::renderBar("Screenshots", 0.3, "detail", 12).size(), 12);
    EXPECT_TRUE(Console::renderBar("Transcription", 0.5, "live words", 100, "~0:10 left").contains(" 50% ~0:10 left  live words"));

    // The time left, from the speed since the bar appeared.
    const struct {
        double elapsed, start, fraction;
        const char* text;
    } remaining[] = {
        {10, 0, 0.5, "~0:10 left"},     {10, 0.4, 0.5, "~0:50 left"},  {600, 0, 0.25, "~30:00 left"}, {60, 0, 0.02, "~49:00 left"},
        {3, 0, 0.01, ""},                {2, 0, 0.5, ""},               {100, 0.3, 0.3, ""},           {100, 0, 1.0, ""},
        {1000, 0, 0.1, "~2:30:00 left"}, {7, 0, 0.7, "~0:05 left"},
    };
    for (const auto& r : remaining) EXPECT_EQ(Console::remainingText(r.elapsed, r.start, r.fraction), r.text) << r.elapsed << " " << r.fraction;
}
