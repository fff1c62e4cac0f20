#include "core/Uuid.h"
#include "export/StudyPage.h"

#include <gtest/gtest.h>

using namespace lumenote;
using namespace lumenote::page;

namespace {

UserNote noteAt(double after, const QString& text, double createdAt) {
    UserNote n = UserNote::create(after, text);
    n.createdAt = createdAt;
    return n;
}

}  // namespace

TEST(NotesView, MarkdownBlocks) {
    EXPECT_EQ(markdownToHTML(QStringLiteral("# One\n## Two\n### Three\n#### Four")),
              QStringLiteral("<h1>One</h1>\n<h2>Two</h2>\n<h3>Three</h3>\n<p>#### Four</p>\n"));
    EXPECT_EQ(markdownToHTML(QStringLiteral("---\n***\n___\n----")), QStringLiteral("<hr>\n<hr>\n<hr>\n<p>----</p>\n"));
    // Switching list kinds closes the open list first; a list open at the end is closed.
    EXPECT_EQ(markdownToHTML(QStringLiteral("Intro\n- a\n* b\n1. c\n12. d\n- e")),
              QStringLiteral("<p>Intro</p>\n<ul>\n<li>a</li>\n<li>b</li>\n</ul>\n<ol>\n<li>c</li>\n<li>d</li>\n</ol>\n<ul>\n<li>e</li>\n</ul>\n"));
    EXPECT_EQ(markdownToHTML(QStringLiteral("- a\n   \nafter")), QStringLiteral("<ul>\n<li>a</li>\n</ul>\n\n<p>after</p>\n"));
    EXPECT_EQ(markdownToHTML(QStringLiteral("1.5 is not a list")), QStringLiteral("<p>1.5 is not a list</p>\n"));
}

TEST(NotesView, InlineMarkdownEscapesFirst) {
    EXPECT_EQ(inlineMarkdown(QStringLiteral("***both*** **bold** __strong__ *em* _em_ `a<b>`")),
              QStringLiteral("<strong><em>both</em></strong> <strong>bold</strong> <strong>strong</strong> <em>em</em> <em>em</em> <code>a&lt;b&gt;</code>"));
    // Underscores inside words are left alone (look-behind and look-ahead on word characters).
    EXPECT_EQ(inlineMarkdown(QStringLiteral("snake_case_name and über_alles_ok")), QStringLiteral("snake_case_name and über_alles_ok"));
    EXPECT_EQ(inlineMarkdown(QStringLiteral("<script>alert(\"x\")</script>")), QStringLiteral("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;"));
    EXPECT_EQ(stripMarkdown(QStringLiteral("1. **Bold** and `code`\n- _em_ item\n## Head")), QStringLiteral("Bold and code\nem item\nHead"));
}

TEST(NotesView, AnchorsArePlacedInTheVisibleText) {
    const QString html = markdownToHTML(QStringLiteral("The **second law** of thermodynamics & more"));
    // The anchor as written in the notes, emphasis included, matches the visible text.
    EXPECT_EQ(wrapAnchorInHTML(html, QStringLiteral("**Second law** of"), "<mark>", "</mark>"),
              QStringLiteral("<p>The <strong><mark>second law</mark></strong><mark> of</mark> thermodynamics &amp; more</p>\n"));
    EXPECT_EQ(wrapAnchorInHTML(html, QStringLiteral("thermodynamics & more"), "<m>", "</m>"),
              QStringLiteral("<p>The <strong>second law</strong> of <m>thermodynamics &amp; more</m></p>\n"));
    EXPECT_EQ(wrapAnchorInHTML(html, QStringLiteral("strong"), "<m>", "</m>"), html);  // tag names are not text
    EXPECT_EQ(wrapAnchorInHTML(html, QStringLiteral("**"), "<m>", "</m>"), html);
    EXPECT_EQ(wrapAnchorInHTML(html, QStringLiteral("amp"), "<m>", "</m>"), html);  // nor are entities' names
    EXPECT_EQ(wrapAnchorInHTML(html, QStringLiteral("& m"), "<m>", "</m>"),
              QStringLiteral("<p>The <strong>second law</strong> of thermodynamics <m>&amp; m</m>ore</p>\n"));
}

TEST(NotesView, ParagraphsAnnotationsAndInlineNotes) {
    const QString notes = QStringLiteral("\n\n# Heat\n\nEntropy grows.\n\n  \n\n- work\n- heat\n\nLast one.\n\n");
    const MarginNote margin = MarginNote::create(1, QStringLiteral("grows"), QStringLiteral("always?"), MarginNote::Side::Left);
    const TextHighlight hl = TextHighlight::create(2, QStringLiteral("heat"), TextHighlight::HighlightColor::Blue);
    const TextHighlight unplaced = TextHighlight::create(0, QStringLiteral("nowhere"), TextHighlight::HighlightColor::Pink);
    const QList<UserNote> inlineNotes = {noteAt(2.0, "second", 20), noteAt(-1, "lead b", 5), noteAt(2.7, "first", 10),
                                         noteAt(-3, "lead a", 1), noteAt(9, "beyond the end", 1)};
    const QString html = notesHTML(notes, inlineNotes, {margin}, {hl, unplaced});
    auto box = [](const QString& t) {
        return QStringLiteral("      <aside class=\"user-note\">\n        <p class=\"user-note-label\">User Note</p>\n        <p class=\"user-note-text\">") + t +
               QStringLiteral("</p>\n      </aside>");
    };
    const QString expected =
        box("lead a") + "\n" + box("lead b") + "\n" + "<h1>Heat</h1>\n" + "\n" +
        "      <div class=\"passage-wrap\">\n<p>Entropy <span class=\"margin-anchor\" data-note=\"" + uuidText(margin.id) + "\">grows</span>.</p>\n\n" +
        "      <div class=\"margin-notes margin-notes--left\">\n        <aside class=\"margin-note\" data-note=\"" + uuidText(margin.id) +
        "\">always?</aside>\n      </div>\n      </div>\n" +
        "<ul>\n<li>work</li>\n<li><mark class=\"hl-blue\" data-hl=\"blue\">heat</mark></li>\n</ul>\n" + "\n" + box("first") + "\n" + box("second") + "\n" +
        "<p>Last one.</p>\n";
    EXPECT_EQ(html, expected);
    EXPECT_FALSE(html.contains(QStringLiteral("beyond the end")));
}
