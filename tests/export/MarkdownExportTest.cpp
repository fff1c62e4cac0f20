#include "LectureFixture.h"
#include "TestEnvironment.h"
#include "core/Error.h"
#include "core/Settings.h"
#include "export/MarkdownExportManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

using namespace lumenote;
using MD = MarkdownExportManager;

namespace {

MD::LectureInfo info(const QString& title) {
    return {title, QDateTime(QDate(2025, 3, 4), QTime(10, 0)), 3725.9, QStringLiteral("https://example.org/v?id=1"), std::nullopt};
}

MD::Options options() {
    MD::Options o;
    o.processedAt = QDateTime(QDate(2025, 3, 5), QTime(8, 0), Qt::UTC);
    o.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return o;
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("jpeg");
}

}  // namespace

TEST(MarkdownExport, NamesAndImageTimes) {
    EXPECT_EQ(MD::sanitize(QStringLiteral(" Lecture 3: \"Heat\" / Work? ")), QStringLiteral("Lecture 3- -Heat- - Work-"));
    EXPECT_EQ(MD::fileName(QStringLiteral("Lecture 3: \"Heat\"")), QStringLiteral("Lecture 3- -Heat-.md"));
    EXPECT_EQ(MD::fileName(QStringLiteral("  ")), QStringLiteral("Lecture.md"));
    EXPECT_EQ(MD::lectureDirName(info(QStringLiteral("a:b"))), QStringLiteral("2025-03-04 a-b"));
    EXPECT_EQ(MD::imageTimestamp(QStringLiteral("0003_012.50.jpg")), 12.5);
    EXPECT_EQ(MD::imageTimestamp(QStringLiteral("0003_12.jpg")), 12.0);
    EXPECT_FALSE(MD::imageTimestamp(QStringLiteral("slide.jpg")).has_value());
    EXPECT_FALSE(MD::imageTimestamp(QStringLiteral("a_b_1.00.jpg")).has_value());
    EXPECT_FALSE(MD::imageTimestamp(QStringLiteral("0001_abc.jpg")).has_value());
}

TEST(MarkdownExport, ScreenshotsMatchTheNearestImageWithinFifteenHundredths) {
    const QStringList files = {"0001_012.30.jpg", "0002_020.00.jpg", "0003_030.10.jpg", "0004_030.20.jpg", "notes.txt"};
    const QList<MD::Entry> entries = MD::imageEntries({12.34, 20.0, 30.14, 45.0}, files);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], (MD::Entry{12.34, MD::Entry::Kind::Image, "0001_012.30.jpg"}));
    EXPECT_EQ(entries[1].value, QStringLiteral("0002_020.00.jpg"));
    EXPECT_EQ(entries[2].value, QStringLiteral("0003_030.10.jpg"));
    // 0.16 s away is too far.
    EXPECT_TRUE(MD::imageEntries({12.34}, {"0001_012.50.jpg"}).isEmpty());
}

TEST(MarkdownExport, DocumentLayout) {
    MD::LectureInfo lecture = info(QStringLiteral("Lecture 3: \"Heat\""));
    lecture.consolidatedWithModelID = QStringLiteral("claude/claude-sonnet-4-5");
    MD::Options opts = options();
    opts.notesModelName = QStringLiteral("Claude · Claude Sonnet 4.5 (Recommended)");
    const QList<TranscriptSegment> segments = {fixture::makeSegment("First passage.", 0, 5), fixture::makeSegment("Second passage.", 5.5, 9),
                                               fixture::makeSegment("Third passage.", 9.6, 4000)};
    QList<MD::Entry> entries = MD::transcriptEntries(segments);
    entries.append({5.5, MD::Entry::Kind::Image, "0001_005.50.jpg"});
    const QString md = MD::buildDocument(lecture, entries, QStringLiteral("\n## Key ideas\n\nEntropy grows.\n\n"), opts);
    const QString expected = QStringLiteral(
        "---\n"
        "title: \"Lecture 3: \\\"Heat\\\"\"\n"
        "date: 2025-03-04\n"
        "duration: \"01:02:05\"\n"
        "source: \"https://example.org/v?id=1\"\n"
        "processed: \"2025-03-05T08:00:00Z\"\n"
        "tags:\n"
        "  - lumenote\n"
        "---\n\n"
        "# Lecture 3: \"Heat\"\n\n"
        "*Processed with [Lumenote](https://corvana.io/lumenote) · March 4, 2025*\n\n"
        "---\n\n## Notes\n\n"
        "*Consolidated notes generated with Claude · Claude Sonnet 4.5 (Recommended).*\n\n"
        "## Key ideas\n\nEntropy grows.\n\n"
        "---\n\n## Transcript\n\n"
        "\n### 0:00\n\nFirst passage.\n\n"
        "\n### 0:05\n\nSecond passage.\n\n"
        "![](images/0001_005.50.jpg)\n\n"
        "\n### 0:09\n\nThird passage.\n\n");
    EXPECT_EQ(md, expected);
}

TEST(MarkdownExport, HeadingsAtMostOncePerSecondAndNoNotesSection) {
    MD::LectureInfo lecture = info(QStringLiteral("Short"));
    lecture.sourceURL = QString();
    lecture.duration = 59.9;
    MD::Options opts = options();
    opts.obsidianSyntax = true;
    const QList<MD::Entry> entries = {{0.5, MD::Entry::Kind::Text, "Two."}, {0.0, MD::Entry::Kind::Text, "One."},
                                      {3700, MD::Entry::Kind::Text, "Late."}, {3700, MD::Entry::Kind::Image, "0001_3700.00.jpg"}};
    const QString md = MD::buildDocument(lecture, entries, QStringLiteral("  \n "), opts);
    EXPECT_TRUE(md.contains(QStringLiteral("duration: \"00:59\"\n")));
    EXPECT_FALSE(md.contains(QStringLiteral("source:")));
    EXPECT_FALSE(md.contains(QStringLiteral("## Notes")));
    EXPECT_TRUE(md.contains(QStringLiteral("*\n\n---\n\n## Transcript\n\n\n### 0:00\n\nOne.\n\nTwo.\n\n\n### 1:01:40\n\nLate.\n\n![[images/0001_3700.00.jpg]]\n\n")));
}

TEST(MarkdownExport, WritesIntoTheExportFolderOrAChosenFolderWithItsImages) {
    QTemporaryDir dir;
    const QString htmlFolder = dir.path() + "/exports/2025-03-04 Heat";
    touch(htmlFolder + "/images/0001_001.00.jpg");
    touch(htmlFolder + "/images/.hidden");
    const QList<TranscriptSegment> segments = {fixture::makeSegment("Hello there.", 0, 2)};
    Settings& settings = Settings::shared();

    settings.setMarkdownExportDirectoryBookmark(std::nullopt);
    QString path = MD::exportMarkdown(info(QStringLiteral("Heat: basics")), segments, {1.0}, std::nullopt, htmlFolder);
    EXPECT_EQ(path, htmlFolder + "/Heat- basics.md");
    EXPECT_TRUE(readText(path).contains(QStringLiteral("![](images/0001_001.00.jpg)")));

    // A chosen folder gets a dated lecture folder with a copy of every image, replacing old copies.
    const QString vault = dir.path() + "/vault";
    touch(vault + "/2025-03-04 Heat- basics/images/0001_001.00.jpg");
    QFile(htmlFolder + "/images/0001_001.00.jpg").resize(100);
    settings.setMarkdownExportDirectoryBookmark(vault);
    settings.setMarkdownExportObsidianSyntax(true);
    MD::LectureInfo withModel = info(QStringLiteral("Heat: basics"));
    withModel.consolidatedWithModelID = QStringLiteral("ollama/llama3.1:8b");
    path = MD::exportMarkdown(withModel, segments, {1.0}, QStringLiteral("Notes"), htmlFolder);
    EXPECT_EQ(path, vault + "/2025-03-04 Heat- basics/Heat- basics.md");
    EXPECT_EQ(QFileInfo(vault + "/2025-03-04 Heat- basics/images/0001_001.00.jpg").size(), 100);
    EXPECT_TRUE(QFileInfo::exists(vault + "/2025-03-04 Heat- basics/images/.hidden"));
    EXPECT_TRUE(readText(path).contains(QStringLiteral("![[images/0001_001.00.jpg]]")));
    EXPECT_TRUE(readText(path).contains(QStringLiteral("\n*Consolidated notes generated with Ollama · llama3.1:8b.*\n\nNotes\n\n")));

    // A chosen folder that is gone falls back to the export folder.
    settings.setMarkdownExportDirectoryBookmark(dir.path() + "/unplugged");
    EXPECT_EQ(MD::exportMarkdown(info(QStringLiteral("Heat: basics")), segments, {}, std::nullopt, htmlFolder), htmlFolder + "/Heat- basics.md");

    // A file where the lecture folder should be is an error the caller sees.
    touch(vault + "/2025-03-04 Blocked");
    settings.setMarkdownExportDirectoryBookmark(vault);
    EXPECT_THROW(MD::exportMarkdown(info(QStringLiteral("Blocked")), segments, {}, std::nullopt, htmlFolder), Error);
    settings.setMarkdownExportDirectoryBookmark(std::nullopt);
    settings.setMarkdownExportObsidianSyntax(false);
}
