// Study notes as the language model wrote them, rendered for the study page
// together with highlights and margin notes anchored in them. Input: the notes,
// then NUL-separated anchors; an anchor's first character picks highlight or
// margin note, colour or side, and paragraph.
//
// The invariant: the HTML is a sequence of text and tags where
//  - every tag is one the renderer writes itself (the allow-list below), with
//    only the attributes it writes, each double-quoted and holding no markup;
//  - the text holds no raw "<", ">" or '"' (so nothing of the input became a
//    tag or left an attribute), and every "&" starts an entity;
//  - elements nest properly and every one opened is closed.

#include "FuzzSupport.h"

#include "export/StudyPage.h"

#include <QRegularExpression>
#include <QSet>

using namespace lumenote;
using namespace Qt::StringLiterals;

namespace {

// Tags the notes renderer writes, and the attributes each may carry.
const QHash<QString, QSet<QString>>& allowedTags() {
    static const QHash<QString, QSet<QString>> tags{
        {u"h1"_s, {}}, {u"h2"_s, {}}, {u"h3"_s, {}}, {u"hr"_s, {}}, {u"ul"_s, {}}, {u"ol"_s, {}},
        {u"li"_s, {}}, {u"strong"_s, {}}, {u"em"_s, {}}, {u"code"_s, {}},
        {u"p"_s, {u"class"_s}},
        {u"mark"_s, {u"class"_s, u"data-hl"_s}},
        {u"span"_s, {u"class"_s, u"data-note"_s}},
        {u"aside"_s, {u"class"_s, u"data-note"_s}},
        {u"div"_s, {u"class"_s}},
        {u"a"_s, {u"href"_s, u"rel"_s, u"target"_s}},
    };
    return tags;
}

bool isVoid(const QString& tag) { return tag == QLatin1String("hr"); }

// Links may lead only to web pages and mail addresses.
bool allowedLink(const QString& href) {
    static const QRegularExpression scheme(u"^(https?://|mailto:)"_s, QRegularExpression::CaseInsensitiveOption);
    return scheme.match(href).hasMatch();
}

void checkText(QStringView text) {
    static const QRegularExpression entity(u"^&(amp|lt|gt|quot|#[0-9]{1,7}|#x[0-9a-fA-F]{1,6});"_s);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        FUZZ_CHECK(c != QLatin1Char('<') && c != QLatin1Char('>') && c != QLatin1Char('"'));
        if (c == QLatin1Char('&')) FUZZ_CHECK(entity.match(text.sliced(i)).hasMatch());
    }
}

void checkHTML(const QString& html) {
    static const QRegularExpression tagPattern(u"^<(/?)([a-z0-9]+)((?: [a-z-]+=\"[^\"<>]*\")*)>"_s);
    static const QRegularExpression attributePattern(u" ([a-z-]+)=\"([^\"<>]*)\""_s);
    static const QRegularExpression plainValue(u"^[A-Za-z0-9 _-]*$"_s);
    QStringList open;
    qsizetype at = 0;
    while (at < html.size()) {
        const qsizetype lt = html.indexOf(QLatin1Char('<'), at);
        checkText(QStringView(html).sliced(at, (lt < 0 ? html.size() : lt) - at));
        if (lt < 0) break;
        const QRegularExpressionMatch tag = tagPattern.match(QStringView(html).sliced(lt));
        if (!tag.hasMatch()) std::fprintf(stderr, "not a tag: %s\n", qPrintable(html.mid(lt, 80)));
        FUZZ_CHECK(tag.hasMatch());
        const bool closing = !tag.captured(1).isEmpty();
        const QString name = tag.captured(2);
        FUZZ_CHECK(allowedTags().contains(name));
        const QSet<QString>& attributes = allowedTags()[name];
        for (auto it = attributePattern.globalMatch(tag.captured(3)); it.hasNext();) {
            const QRegularExpressionMatch a = it.next();
            FUZZ_CHECK(!closing && attributes.contains(a.captured(1)));
            if (a.captured(1) == QLatin1String("href")) {
                checkText(a.capturedView(2));
                FUZZ_CHECK(allowedLink(a.captured(2)));
            } else {
                FUZZ_CHECK(plainValue.match(a.captured(2)).hasMatch());
            }
        }
        if (closing) {
            if (open.isEmpty() || open.last() != name)
                std::fprintf(stderr, "</%s> closes <%s>: %s\n", qPrintable(name), open.isEmpty() ? "" : qPrintable(open.last()),
                             qPrintable(html));
            FUZZ_CHECK(!open.isEmpty() && open.last() == name);
            open.removeLast();
        } else if (!isVoid(name)) {
            open.append(name);
        }
        at = lt + tag.capturedLength();
    }
    FUZZ_CHECK(open.isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // notes paragraphs are short; long inputs only slow the search
    const auto parts = fuzz::splitParts(fuzz::bytes(data, size));
    const QString notes = QString::fromUtf8(parts[0].data(), qsizetype(parts[0].size()));

    QList<TextHighlight> highlights;
    QList<MarginNote> margins;
    QList<UserNote> inlineNotes;
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        const uint8_t kind = uint8_t(parts[i][0]);
        const QString text = QString::fromUtf8(parts[i].data() + 1, qsizetype(parts[i].size() - 1));
        const double paragraph = double((kind >> 3) % 4);
        const QUuid id = QUuid::fromString(u"00000000-0000-4000-8000-%1"_s.arg(i, 12, 10, QLatin1Char('0')));
        switch (kind % 3) {
            case 0: {
                TextHighlight h{id, paragraph, text, TextHighlight::HighlightColor((kind >> 5) % 4), 0};
                highlights.append(h);
                break;
            }
            case 1: {
                MarginNote m{id, paragraph, text, text, (kind & 0x20) ? MarginNote::Side::Left : MarginNote::Side::Right, 0};
                margins.append(m);
                break;
            }
            case 2: inlineNotes.append(UserNote{id, paragraph - 1, text, 0}); break;
        }
    }

    checkHTML(page::markdownToHTML(notes));
    checkHTML(page::inlineMarkdown(notes));
    checkHTML(page::notesHTML(notes, inlineNotes, margins, highlights));
    return 0;
}
