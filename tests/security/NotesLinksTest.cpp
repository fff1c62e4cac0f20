// Links in the notes' Markdown: which addresses become links, and that the
// text around them cannot forge or bend one.

#include "export/StudyPage.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace lumenote::page;

namespace {

// The href of every link in the markup, in order.
QStringList hrefs(const QString& html) {
    static const QRegularExpression re(QStringLiteral("<a href=\"([^\"]*)\""));
    QStringList found;
    for (auto it = re.globalMatch(html); it.hasNext();) found << it.next().captured(1);
    return found;
}

}  // namespace

TEST(NotesLinks, OnlyWebAndMailAddressesBecomeLinksAndStayIntact) {
    const QChar open(0xE000), close(0xE001);
    struct Case {
        QString markdown;
        QStringList links;
        QString visible;  // a text that must be shown
    };
    const QList<Case> cases{
        {"see [the paper](https://example.org/a_b_c*d*) now", {"https://example.org/a_b_c*d*"}, "the paper"},
        {"**[bold](HTTP://example.org)** and [mail](mailto:a@b.org)", {"HTTP://example.org", "mailto:a@b.org"}, "bold"},
        {"[x](javascript:pwn) [y](data:text/html,hi) [z](//evil.example) [w](file:///etc/passwd)", {}, "x y z w"},
        {"[q](https://e.org/\"onclick=\"pwn)", {"https://e.org/&quot;onclick=&quot;pwn"}, "q"},
        {"[call](javascript:pwn(1))", {}, "[call](javascript:pwn(1))"},
        // Text that looks like the marks the renderer uses inside cannot forge a link.
        {QString(open) + "0" + close + " [a](https://e.org/1) " + open + "0" + close, {"https://e.org/1"}, "a"},
        {"`[c](https://e.org/2)` and [d](https://e.org/3)", {"https://e.org/3"}, "[c](https://e.org/2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markdown.toStdString());
        const QString html = inlineMarkdown(c.markdown);
        EXPECT_EQ(hrefs(html), c.links) << html.toStdString();
        EXPECT_EQ(html.count(QStringLiteral("<a ")), c.links.size()) << html.toStdString();
        QString visible = html;
        visible.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        EXPECT_TRUE(visible.contains(escapeHTML(c.visible))) << visible.toStdString();
        EXPECT_FALSE(visible.contains(open) || visible.contains(close)) << "no marks are left";
    }
    // Anchors of annotations are matched against the link's text, not its syntax.
    EXPECT_EQ(stripMarkdown("see [the paper](https://example.org/x)"), "see the paper");
}
