#include "export/StudyPage.h"

#include "core/TranscriptionLanguages.h"

#include "core/Uuid.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace lumenote::page {

namespace {

const QString kNewline = QStringLiteral("\n");

// "%.2f" without printf's cost: the page writes two of these per word.
void appendFixed2(QString& out, double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 2);
    out += QLatin1String(buffer, result.ptr - buffer);
}

QString fixed2(double v) {
    QString s;
    appendFixed2(s, v);
    return s;
}

bool present(const std::optional<QString>& s) { return s && !s->isEmpty(); }

// Where a link in the page may lead: the web and e-mail. Anything else
// (javascript:, data:, file:, relative paths) is shown as text, never linked.
bool isLinkableAddress(const QString& address) {
    static const QRegularExpression re(QStringLiteral("^(?:https?://|mailto:)[^\\s]"), QRegularExpression::CaseInsensitiveOption);
    return re.match(address).hasMatch();
}

QString userNoteBox(const QString& text) {
    return QStringLiteral("      <aside class=\"user-note\">\n"
                          "        <p class=\"user-note-label\">User Note</p>\n"
                          "        <p class=\"user-note-text\">")
        + escapeHTML(text) + QStringLiteral("</p>\n      </aside>");
}

QString highlightOpen(TextHighlight::HighlightColor color) {
    const QString name = colorName(color);
    return QStringLiteral("<mark class=\"hl-") + name + QStringLiteral("\" data-hl=\"") + name + QStringLiteral("\">");
}
const QString kHighlightClose = QStringLiteral("</mark>");

QString anchorOpen(const MarginNote& note) {
    return QStringLiteral("<span class=\"margin-anchor\" data-note=\"") + uuidText(note.id) + QStringLiteral("\">");
}
const QString kAnchorClose = QStringLiteral("</span>");

// The right notes, then the left ones, each side only when it has notes.
QString marginBlocks(const QList<MarginNote>& notes) {
    QString out;
    for (const auto side : {MarginNote::Side::Right, MarginNote::Side::Left}) {
        QStringList asides;
        for (const MarginNote& note : notes) {
            if (note.side != side) continue;
            asides.append(QStringLiteral("        <aside class=\"margin-note\" data-note=\"") + uuidText(note.id) + QStringLiteral("\">")
                          + escapeHTML(note.noteText) + QStringLiteral("</aside>"));
        }
        if (asides.isEmpty()) continue;
        out += QStringLiteral("      <div class=\"margin-notes margin-notes--") + sideName(side) + QStringLiteral("\">\n")
            + asides.join(kNewline) + QStringLiteral("\n      </div>");
    }
    return out;
}

QString wrapWithMargins(const QString& inner, const QList<MarginNote>& notes) {
    return QStringLiteral("      <div class=\"passage-wrap\">\n") + inner + kNewline + marginBlocks(notes) + QStringLiteral("\n      </div>");
}

// The text a reader sees of html: the characters outside tags, each entity
// this page writes counted as the one character it stands for, with where each
// character starts and ends in html.
struct VisibleText {
    QString text;
    QList<qsizetype> starts, ends;
};

VisibleText visibleText(const QString& html) {
    static const std::pair<QLatin1StringView, QChar> entities[] = {
        {QLatin1StringView("&amp;"), QLatin1Char('&')}, {QLatin1StringView("&lt;"), QLatin1Char('<')},
        {QLatin1StringView("&gt;"), QLatin1Char('>')}, {QLatin1StringView("&quot;"), QLatin1Char('"')}};
    VisibleText v;
    v.text.reserve(html.size());
    v.starts.reserve(html.size());
    v.ends.reserve(html.size());
    bool inTag = false;
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c == QLatin1Char('<')) {
            inTag = true;
        } else if (c == QLatin1Char('>')) {
            inTag = false;
        } else if (!inTag) {
            QChar shown = c;
            qsizetype length = 1;
            if (c == QLatin1Char('&')) {
                for (const auto& [entity, character] : entities) {
                    if (QStringView(html).sliced(i).startsWith(entity)) {
                        shown = character;
                        length = entity.size();
                        break;
                    }
                }
            }
            v.text.append(shown);
            v.starts.append(i);
            v.ends.append(i + length);
            i += length - 1;
        }
    }
    return v;
}

// html with its visible characters from..to (inclusive) wrapped in open ...
// close. A tag inside the range closes the wrap before it and opens it again
// after, so elements stay properly nested.
QString wrapVisibleRange(const QString& html, const VisibleText& v, qsizetype from, qsizetype to, const QString& open,
                         const QString& close) {
    const qsizetype start = v.starts[from];
    const qsizetype end = v.ends[to];
    QString out = html.left(start);
    bool wrapping = false;
    for (qsizetype i = start; i < end;) {
        if (html[i] == QLatin1Char('<')) {
            const qsizetype gt = html.indexOf(QLatin1Char('>'), i);
            const qsizetype after = gt < 0 ? html.size() : gt + 1;
            if (wrapping) out += close;
            wrapping = false;
            out += QStringView(html).sliced(i, after - i);
            i = after;
        } else {
            if (!wrapping) out += open;
            wrapping = true;
            out += html[i++];
        }
    }
    if (wrapping) out += close;
    return out + html.mid(end);
}

// Passage text without word timings: wraps the first case-insensitive
// occurrence of the needle in the visible text, never inside an earlier tag.
QString wrapInPlainBody(const QString& body, const QString& needle, const QString& open, const QString& close) {
    if (needle.isEmpty()) return body;
    const VisibleText visible = visibleText(body);
    const qsizetype pos = visible.text.indexOf(needle, 0, Qt::CaseInsensitive);
    if (pos < 0) return body;
    return wrapVisibleRange(body, visible, pos, pos + needle.size() - 1, open, close);
}

QString chip(double timestamp, bool seekable) {
    const QString label = formatTimestamp(timestamp);
    if (!seekable) return QStringLiteral("<span class=\"ts-chip\">") + label + QStringLiteral("</span>");
    return QStringLiteral("<span class=\"ts-chip ts-chip--seek\" onclick=\"seekTo(") + fixed2(timestamp) + QStringLiteral(")\" title=\"Jump to ")
        + label + QStringLiteral("\">") + label + QStringLiteral("</span>");
}

QString figcaption(double timestamp, bool seekable) {
    const QString label = formatTimestamp(timestamp);
    if (!seekable) return QStringLiteral("<figcaption><span class=\"ts-chip\">") + label + QStringLiteral("</span></figcaption>");
    return QStringLiteral("<figcaption><span class=\"ts-chip ts-chip--seek\" onclick=\"event.stopPropagation(); seekTo(") + fixed2(timestamp)
        + QStringLiteral(")\" title=\"Jump to ") + label + QStringLiteral("\">") + label + QStringLiteral("</span></figcaption>");
}

QString figure(const ExportEntry& shot, const QString& cssClass, bool seekable) {
    return QStringLiteral("      <figure class=\"") + cssClass + QStringLiteral("\" onclick=\"openLightbox(this.querySelector('img'))\">\n")
        + QStringLiteral("        <img src=\"images/") + escapeHTML(shot.text) + QStringLiteral("\" alt=\"Screenshot at ")
        + formatTimestamp(shot.timestamp) + QStringLiteral("\" loading=\"lazy\">\n") + QStringLiteral("        ")
        + figcaption(shot.timestamp, seekable) + QStringLiteral("\n      </figure>");
}

QString lastPathComponent(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 || path.size() == 1 ? path : path.mid(slash + 1);
}

QString sourceAttribution(const PageLecture& lecture) {
    const QString open = QStringLiteral("<p class=\"source-attribution\">");
    const QString close = QStringLiteral("</p>");
    const bool hasChannel = present(lecture.channelName);
    const bool hasSource = present(lecture.sourceURL) && isLinkableAddress(*lecture.sourceURL);
    const QString channel = hasChannel ? escapeHTML(*lecture.channelName) : QString();
    const QString link = hasSource ? QStringLiteral("<a href=\"") + escapeHTML(*lecture.sourceURL)
                                         + QStringLiteral("\" class=\"source-link\" target=\"_blank\" rel=\"noopener\">Source</a>")
                                   : QString();
    if (hasChannel && hasSource) return open + channel + QStringLiteral("<span class=\"source-sep\"> · </span>") + link + close;
    if (hasChannel) return open + channel + close;
    if (hasSource) return open + link + close;
    if (present(lecture.localFilePath)) return open + escapeHTML(lastPathComponent(*lecture.localFilePath)) + close;
    return {};
}

QString headerMeta(const PageInput& input) {
    QStringList parts;
    if (input.lecture.dateAdded.isValid()) parts.append(longDate(input.lecture.dateAdded.toLocalTime().date(), input.locale));
    if (input.lecture.duration > 0) parts.append(formatDuration(input.lecture.duration));
    if (present(input.lecture.language)) parts.append(escapeHTML(transcriptionLanguageName(*input.lecture.language)));
    qsizetype words = 0, shots = 0;
    for (const ExportEntry& e : input.entries) {
        if (e.kind == ExportEntry::Kind::Text) words += e.text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
        if (e.kind == ExportEntry::Kind::Screenshot) ++shots;
    }
    if (words > 0) parts.append(QStringLiteral("~") + QString::number(words) + QStringLiteral(" words"));
    if (shots > 0) parts.append(QString::number(shots) + QStringLiteral(" screenshot") + (shots == 1 ? QString() : QStringLiteral("s")));
    parts.removeAll(QString());
    return parts.join(QStringLiteral(" &nbsp;·&nbsp; "));
}

template <typename T>
QHash<double, QList<T>> byPassage(const QList<T>& items) {
    QHash<double, QList<T>> map;
    for (const T& item : items) map[item.passageTimestamp].append(item);
    return map;
}

}  // namespace

QString escapeHTML(const QString& text) {
    bool plain = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '&' || u == '<' || u == '>' || u == '"') {
            plain = false;
            break;
        }
    }
    if (plain) return text;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        default: out += c;
        }
    }
    return out;
}

QString formatTimestamp(double seconds) {
    const long long t = std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(seconds) : 0;
    if (t < 3600) return QString::asprintf("%lld:%02lld", t / 60, t % 60);
    return QString::asprintf("%lld:%02lld:%02lld", t / 3600, (t % 3600) / 60, t % 60);
}

QString formatDuration(double seconds) { return std::isfinite(seconds) ? formatTimestamp(seconds) : QString(); }

QString longDate(const QDate& date, const QLocale& locale) {
    // Qt's long format is the full one, weekday included; the long style has none.
    static const QRegularExpression weekday(QStringLiteral("^dddd[,،]?\\s*|\\s*,?\\s*dddd"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(weekday);
    return locale.toString(date, format.trimmed());
}

QList<ExportEntry> buildEntries(const QList<Block>& blocks, const QList<PageScreenshot>& screenshots, const QList<UserNote>& notes) {
    QList<ExportEntry> entries;
    entries.reserve(blocks.size() + screenshots.size() + notes.size());
    for (const Block& b : blocks) entries.append(ExportEntry::passage(b.startTime, b.text, b.wordEntries));
    for (const PageScreenshot& s : screenshots) entries.append(ExportEntry::screenshot(s.timestamp, s.fileName));
    auto byTime = [](const ExportEntry& a, const ExportEntry& b) { return a.timestamp < b.timestamp; };
    std::stable_sort(entries.begin(), entries.end(), byTime);
    for (const UserNote& n : notes) entries.append(ExportEntry::note(n.afterTimestamp >= 0 ? n.afterTimestamp + 0.001 : -1.0, n.text));
    std::stable_sort(entries.begin(), entries.end(), byTime);
    return entries;
}

QStringList phraseTokens(const QString& text) {
    QStringList tokens;
    QString current;
    auto flush = [&] {
        if (!current.isEmpty()) tokens.append(current.toLower());
        current.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text[i + 1]);
            if (QChar::isPunct(code) || QChar::isSpace(code)) {
                flush();
            } else {
                current += c;
                current += text[i + 1];
            }
            ++i;
        } else if (c.isPunct() || c.isSpace()) {
            flush();
        } else {
            current += c;
        }
    }
    flush();
    return tokens;
}

std::optional<std::pair<int, int>> phraseWordRange(const QString& anchorText, const QList<WordTimestamp>& words, const QString& plain) {
    QStringList passageTokens;
    QList<int> owner;
    for (int k = 0; k < words.size(); ++k) {
        for (const QString& token : phraseTokens(words[k].word)) {
            passageTokens.append(token);
            owner.append(k);
        }
    }
    QStringList phrase;
    static const QRegularExpression whitespace(QStringLiteral("\\s+"));
    for (const QString& piece : anchorText.split(whitespace, Qt::SkipEmptyParts)) phrase += phraseTokens(piece);

    const qsizetype n = passageTokens.size(), m = phrase.size();
    if (m > 0 && m <= n) {
        for (qsizetype i = 0; i + m <= n; ++i) {
            bool match = true;
            for (qsizetype j = 0; j < m && match; ++j) match = passageTokens[i + j] == phrase[j];
            if (match) return std::make_pair(owner[i], owner[i + m - 1]);
        }
    }

    // The phrase may span tokens differently than the words do: fall back to the text.
    const QString lowerPlain = plain.toLower();
    const QString needle = anchorText.trimmed().toLower();
    if (lowerPlain.isEmpty() || needle.isEmpty()) return std::nullopt;
    const qsizetype at = lowerPlain.indexOf(needle);
    if (at < 0) return std::nullopt;
    const qsizetype p = phraseTokens(lowerPlain.left(at)).size();
    const qsizetype q = std::max<qsizetype>(1, phraseTokens(needle).size());
    if (p >= n) return std::nullopt;
    return std::make_pair(owner[p], owner[std::min(p + q - 1, n - 1)]);
}

QString buildPassage(double timestamp, const QString& plain, const QList<WordTimestamp>& words, bool seekable,
                     const QList<MarginNote>& marginNotes, const QList<TextHighlight>& highlights) {
    QString body;
    if (!words.isEmpty()) {
        // Annotations only add markup before and after whole words.
        QList<QString> before, after;
        auto place = [&](const std::optional<std::pair<int, int>>& range, const QString& open, const QString& close) {
            if (!range) return;
            if (before.isEmpty()) {
                before.resize(words.size());
                after.resize(words.size());
            }
            before[range->first].prepend(open);
            after[range->second].append(close);
        };
        for (const TextHighlight& h : highlights) place(phraseWordRange(h.anchorText, words, plain), highlightOpen(h.color), kHighlightClose);
        for (const MarginNote& note : marginNotes) place(phraseWordRange(note.anchorText, words, plain), anchorOpen(note), kAnchorClose);

        body.reserve(words.size() * 64);
        for (qsizetype i = 0; i < words.size(); ++i) {
            const WordTimestamp& w = words[i];
            if (i > 0) body += QLatin1Char(' ');
            if (!before.isEmpty()) body += before[i];
            body += QLatin1String("<span class=\"word\" data-s=\"");
            appendFixed2(body, w.start);
            body += QLatin1String("\" data-e=\"");
            appendFixed2(body, w.end);
            body += QLatin1String("\">");
            body += escapeHTML(w.word);
            body += QLatin1String("</span>");
            if (!after.isEmpty()) body += after[i];
        }
    } else {
        body = escapeHTML(plain);
        for (const TextHighlight& h : highlights) body = wrapInPlainBody(body, h.anchorText, highlightOpen(h.color), kHighlightClose);
        for (const MarginNote& note : marginNotes) body = wrapInPlainBody(body, note.anchorText, anchorOpen(note), kAnchorClose);
    }

    QString paragraph;
    paragraph.reserve(body.size() + 160);
    paragraph += QLatin1String("<p class=\"passage\">");
    paragraph += chip(timestamp, seekable);
    paragraph += body;
    paragraph += QLatin1String("</p>");
    if (marginNotes.isEmpty()) return QStringLiteral("      ") + paragraph;
    return wrapWithMargins(QStringLiteral("        ") + paragraph, marginNotes);
}

QString shotGroupHTML(const QList<ExportEntry>& run, bool seekable, bool solo, bool textSlide) {
    if (run.isEmpty()) return {};
    if (run.size() == 1) {
        const QString cls = textSlide ? QStringLiteral("shot shot--text-slide")
                            : solo    ? QStringLiteral("shot shot--presenter-solo")
                                      : QStringLiteral("shot shot--presenter");
        return figure(run.first(), cls, seekable);
    }
    QStringList figures;
    for (const ExportEntry& shot : run) figures.append(figure(shot, QStringLiteral("shot"), seekable));
    return QStringLiteral("      <div class=\"shot-row ") + (textSlide ? QStringLiteral("shot-row--text-slides") : QStringLiteral("shot-row--presenter"))
        + QStringLiteral(" shot-row--") + QString::number(run.size()) + QStringLiteral("\">\n") + figures.join(kNewline) + QStringLiteral("\n      </div>");
}

namespace {
// The inline emphasis the notes use, shared by rendering and stripping.
struct InlinePatterns {
    using RE = QRegularExpression;
    static constexpr auto opts = RE::UseUnicodePropertiesOption;
    const RE strongEm{QStringLiteral("\\*\\*\\*(.+?)\\*\\*\\*"), opts};
    const RE strong{QStringLiteral("\\*\\*(.+?)\\*\\*"), opts};
    const RE strongUnderscore{QStringLiteral("__(.+?)__"), opts};
    const RE em{QStringLiteral("\\*(.+?)\\*"), opts};
    const RE emUnderscore{QStringLiteral("(?<![_\\w])_([^_]+)_(?![_\\w])"), opts};
    const RE code{QStringLiteral("`([^`]+)`"), opts};
    const RE link{QStringLiteral("\\[([^\\[\\]\\n]+)\\]\\(([^()\\s]+)\\)"), opts};
    static const InlinePatterns& get() {
        static const InlinePatterns patterns;
        return patterns;
    }
};
// Whether every tag in html is closed inside it, in order.
bool balancedMarkup(QStringView html) {
    QList<QStringView> open;
    for (qsizetype lt = html.indexOf(QLatin1Char('<')); lt >= 0; lt = html.indexOf(QLatin1Char('<'), lt + 1)) {
        const qsizetype gt = html.indexOf(QLatin1Char('>'), lt);
        if (gt < 0) return false;
        const QStringView tag = html.sliced(lt + 1, gt - lt - 1);
        if (!tag.startsWith(QLatin1Char('/'))) {
            open.append(tag);
        } else if (open.isEmpty() || open.takeLast() != tag.sliced(1)) {
            return false;
        }
    }
    return open.isEmpty();
}

// Each match of re whose text holds balanced markup becomes open + text +
// close; a match that would cut through an element stays as written.
QString wrapMatches(const QString& html, const QRegularExpression& re, const QString& open, const QString& close) {
    QString out;
    qsizetype copied = 0;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!balancedMarkup(m.capturedView(1))) continue;
        out += QStringView(html).sliced(copied, m.capturedStart() - copied);
        out += open;
        out += m.capturedView(1);
        out += close;
        copied = m.capturedEnd();
    }
    if (copied == 0) return html;
    return out + html.mid(copied);
}

}  // namespace

namespace {
// Marks where a link was set aside while emphasis is applied: private-use
// characters around the link's index.
constexpr char16_t kLinkOpen = u'\uE000';
constexpr char16_t kLinkClose = u'\uE001';

QString emphasis(QString html);
}  // namespace

QString inlineMarkdown(const QString& text) {
    const InlinePatterns& patterns = InlinePatterns::get();
    QString html = escapeHTML(text);
    if (!html.contains(QLatin1Char('[')) || !html.contains(QLatin1Char(']'))) return emphasis(html);

    // Links are set aside first, so that emphasis never reaches into an address.
    html.remove(QChar(kLinkOpen));
    html.remove(QChar(kLinkClose));
    // Inside a code span a link is code, shown as written.
    QList<std::pair<qsizetype, qsizetype>> codeSpans;
    for (auto it = patterns.code.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        codeSpans.append({m.capturedStart(), m.capturedEnd()});
    }
    QStringList links;
    QString marked;
    qsizetype last = 0;
    for (auto it = patterns.link.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const bool inCode = std::any_of(codeSpans.begin(), codeSpans.end(),
                                        [&](const auto& span) { return m.capturedStart() < span.second && span.first < m.capturedEnd(); });
        if (inCode) continue;
        marked += QStringView(html).mid(last, m.capturedStart() - last);
        // The address is already escaped for the attribute; the check sees the characters as written.
        const QString label = emphasis(m.captured(1));
        const QString address = m.captured(2);
        links.append(isLinkableAddress(address) ? QStringLiteral("<a href=\"") + address + QStringLiteral("\" target=\"_blank\" rel=\"noopener noreferrer\">") +
                                                      label + QStringLiteral("</a>")
                                                : label);
        marked += QChar(kLinkOpen) + QString::number(links.size() - 1) + QChar(kLinkClose);
        last = m.capturedEnd();
    }
    if (links.isEmpty()) return emphasis(html);
    marked += QStringView(html).mid(last);
    const QString emphasised = emphasis(marked);
    QString out;
    out.reserve(emphasised.size() + links.size() * 64);
    for (qsizetype i = 0; i < emphasised.size(); ++i) {
        if (emphasised[i] != QChar(kLinkOpen)) {
            out += emphasised[i];
            continue;
        }
        const qsizetype close = emphasised.indexOf(QChar(kLinkClose), i);
        out += links.value(emphasised.mid(i + 1, close - i - 1).toInt());
        i = close;
    }
    return out;
}

namespace {
QString emphasis(QString html) {
    const auto& [strongEm, strong, strongUnderscore, em, emUnderscore, code, link] = InlinePatterns::get();
    static const QString strongOpen = QStringLiteral("<strong>"), strongClose = QStringLiteral("</strong>");
    static const QString emOpen = QStringLiteral("<em>"), emClose = QStringLiteral("</em>");
    if (html.contains(QLatin1Char('*'))) {
        html = wrapMatches(html, strongEm, strongOpen + emOpen, emClose + strongClose);
        html = wrapMatches(html, strong, strongOpen, strongClose);
    }
    if (html.contains(QLatin1Char('_'))) html = wrapMatches(html, strongUnderscore, strongOpen, strongClose);
    if (html.contains(QLatin1Char('*'))) html = wrapMatches(html, em, emOpen, emClose);
    if (html.contains(QLatin1Char('_'))) html = wrapMatches(html, emUnderscore, emOpen, emClose);
    if (html.contains(QLatin1Char('`'))) html = wrapMatches(html, code, QStringLiteral("<code>"), QStringLiteral("</code>"));
    return html;
}
}  // namespace

QString stripMarkdown(const QString& text) {
    using RE = QRegularExpression;
    static const auto opts = RE::UseUnicodePropertiesOption;
    static const RE numbered(QStringLiteral("(?m)^\\d+\\.\\s+"), opts);
    static const RE bullet(QStringLiteral("(?m)^[•\\-\\*]\\s+"), opts);
    static const RE heading(QStringLiteral("(?m)^#{1,6}\\s+"), opts);
    const auto& [strongEm, strong, strongUnderscore, em, emUnderscore, code, link] = InlinePatterns::get();
    static const QString strongOpen = QStringLiteral("<strong>"), strongClose = QStringLiteral("</strong>");
    static const QString emOpen = QStringLiteral("<em>"), emClose = QStringLiteral("</em>");
    QString s = text;
    s.replace(link, QStringLiteral("\\1"));
    s.remove(numbered);
    s.remove(bullet);
    s.remove(heading);
    for (const RE* re : {&strongEm, &strong, &strongUnderscore, &em, &emUnderscore, &code}) s.replace(*re, QStringLiteral("\\1"));
    return s;
}

QString markdownToHTML(const QString& paragraph) {
    static const QRegularExpression numbered(QStringLiteral("^\\d+\\.\\s"));
    QString out;
    bool inBullets = false, inNumbers = false;
    auto closeLists = [&] {
        if (inBullets) out += QStringLiteral("</ul>\n");
        if (inNumbers) out += QStringLiteral("</ol>\n");
        inBullets = inNumbers = false;
    };
    for (const QString& line : paragraph.split(QLatin1Char('\n'))) {
        const bool bullet = line.startsWith(QLatin1String("- ")) || line.startsWith(QLatin1String("* "));
        const QRegularExpressionMatch number = bullet ? QRegularExpressionMatch() : numbered.match(line);
        if (!bullet && !number.hasMatch()) closeLists();

        if (line.startsWith(QLatin1String("### "))) {
            out += QStringLiteral("<h3>") + inlineMarkdown(line.mid(4)) + QStringLiteral("</h3>\n");
        } else if (line.startsWith(QLatin1String("## "))) {
            out += QStringLiteral("<h2>") + inlineMarkdown(line.mid(3)) + QStringLiteral("</h2>\n");
        } else if (line.startsWith(QLatin1String("# "))) {
            out += QStringLiteral("<h1>") + inlineMarkdown(line.mid(2)) + QStringLiteral("</h1>\n");
        } else if (line == QLatin1String("---") || line == QLatin1String("***") || line == QLatin1String("___")) {
            out += QStringLiteral("<hr>\n");
        } else if (bullet) {
            if (inNumbers) {
                out += QStringLiteral("</ol>\n");
                inNumbers = false;
            }
            if (!inBullets) {
                out += QStringLiteral("<ul>\n");
                inBullets = true;
            }
            out += QStringLiteral("<li>") + inlineMarkdown(line.mid(2)) + QStringLiteral("</li>\n");
        } else if (number.hasMatch()) {
            if (inBullets) {
                out += QStringLiteral("</ul>\n");
                inBullets = false;
            }
            if (!inNumbers) {
                out += QStringLiteral("<ol>\n");
                inNumbers = true;
            }
            out += QStringLiteral("<li>") + inlineMarkdown(line.mid(number.capturedLength())) + QStringLiteral("</li>\n");
        } else if (line.trimmed().isEmpty()) {
            out += kNewline;
        } else {
            out += QStringLiteral("<p>") + inlineMarkdown(line) + QStringLiteral("</p>\n");
        }
    }
    closeLists();
    return out;
}

QString wrapAnchorInHTML(const QString& html, const QString& anchorText, const QString& open, const QString& close) {
    const QString needle = stripMarkdown(anchorText).toLower();
    if (needle.isEmpty()) return html;
    const VisibleText visible = visibleText(html);
    const QString lowered = visible.text.toLower();
    // Lower-casing can change the length of a few characters; keep indices aligned.
    const qsizetype pos = lowered.size() == visible.text.size() ? lowered.indexOf(needle)
                                                                : visible.text.indexOf(needle, 0, Qt::CaseInsensitive);
    if (pos < 0) return html;
    return wrapVisibleRange(html, visible, pos, pos + needle.size() - 1, open, close);
}

QString notesHTML(const QString& notes, const QList<UserNote>& inlineNotes, const QList<MarginNote>& marginNotes,
                  const QList<TextHighlight>& highlights) {
    const QStringList paragraphs = notesParagraphs(notes);
    auto byCreation = [](const UserNote& a, const UserNote& b) { return a.createdAt < b.createdAt; };

    QStringList out;
    QList<UserNote> leading;
    QHash<long long, QList<UserNote>> following;
    for (const UserNote& n : inlineNotes) {
        if (n.afterTimestamp < 0) {
            leading.append(n);
        } else if (std::isfinite(n.afterTimestamp)) {
            following[static_cast<long long>(n.afterTimestamp)].append(n);
        }
    }
    std::stable_sort(leading.begin(), leading.end(), byCreation);
    for (const UserNote& n : leading) out.append(userNoteBox(n.text));

    const auto highlightsByParagraph = byPassage(highlights);
    const auto marginsByParagraph = byPassage(marginNotes);
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        const double key = static_cast<double>(i);
        QString html = markdownToHTML(paragraphs[i]);
        for (const TextHighlight& h : highlightsByParagraph.value(key)) html = wrapAnchorInHTML(html, h.anchorText, highlightOpen(h.color), kHighlightClose);
        const QList<MarginNote> margins = marginsByParagraph.value(key);
        if (margins.isEmpty()) {
            out.append(html);
        } else {
            for (const MarginNote& note : margins) html = wrapAnchorInHTML(html, note.anchorText, anchorOpen(note), kAnchorClose);
            out.append(wrapWithMargins(html, margins));
        }
        QList<UserNote> after = following.value(static_cast<long long>(i));
        std::stable_sort(after.begin(), after.end(), byCreation);
        for (const UserNote& n : after) out.append(userNoteBox(n.text));
    }
    return out.join(kNewline);
}

QString chaptersHTML(const QList<Chapter>& chapters) {
    QString html = QStringLiteral("      <nav class=\"chapters\" aria-label=\"Chapters\">\n        <h2 class=\"chapters-title\">Chapters</h2>\n        <ol>\n");
    for (const Chapter& c : chapters) {
        const QString seconds = QString::number(std::max(0.0, c.start), 'f', 2);
        html += QStringLiteral("          <li><a class=\"chapter\" href=\"#t=") + seconds + QStringLiteral("\" data-t=\"") + seconds +
                QStringLiteral("\"><span class=\"chapter-time\">") + formatTimestamp(c.start) + QStringLiteral("</span> ") +
                escapeHTML(c.title) + QStringLiteral("</a></li>\n");
    }
    return html + QStringLiteral("        </ol>\n      </nav>\n");
}

QString buildHTML(const PageInput& input) {
    const PageLecture& lecture = input.lecture;
    const QString title = escapeHTML(lecture.title);
    const bool seekable = input.audioFileName.has_value();
    const bool hasNotes = input.notesHTML.has_value();

    // Transcript body.
    const auto highlightsByPassage = byPassage(input.highlights);
    const auto marginsByPassage = byPassage(input.marginNotes);
    QStringList body;
    body.reserve(input.entries.size());
    const QList<ExportEntry>& entries = input.entries;
    for (qsizetype i = 0; i < entries.size();) {
        const ExportEntry& e = entries[i];
        switch (e.kind) {
        case ExportEntry::Kind::Note:
            body.append(userNoteBox(e.text));
            ++i;
            break;
        case ExportEntry::Kind::Text:
            body.append(buildPassage(e.timestamp, e.text, e.words, seekable, marginsByPassage.value(e.timestamp),
                                     highlightsByPassage.value(e.timestamp)));
            ++i;
            break;
        case ExportEntry::Kind::Screenshot: {
            const bool textSlide = input.textSlides.contains(e.timestamp);
            QList<ExportEntry> run;
            qsizetype j = i;
            while (j < entries.size() && entries[j].kind == ExportEntry::Kind::Screenshot && input.textSlides.contains(entries[j].timestamp) == textSlide) {
                run.append(entries[j]);
                ++j;
            }
            const bool nextIsText = j < entries.size() && entries[j].kind == ExportEntry::Kind::Text;
            body.append(shotGroupHTML(run, seekable, run.size() == 1 && !nextIsText, textSlide));
            i = j;
            break;
        }
        }
    }

    qsizetype bodySize = 0;
    for (const QString& piece : body) bodySize += piece.size() + 1;
    QString html;
    html.reserve(bodySize + pageScript().size() + 16384 + (input.notesHTML ? input.notesHTML->size() + entries.size() * 200 : 0));
    html += QStringLiteral("<!-- Generated by Lumenote · ") + QLatin1String(kProductURL) + QStringLiteral(" · ")
        + input.exportTime.toUTC().toString(Qt::ISODate) + QStringLiteral(" -->\n");
    const QString lang = present(lecture.language) ? escapeHTML(*lecture.language) : QStringLiteral("en");
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"") + lang
        + QStringLiteral("\" data-theme=\"light\" data-view=\"transcript\">\n<head>\n  <meta charset=\"UTF-8\">\n");
    html += QStringLiteral("  <!-- Lumenote export — lecture: ") + title + QStringLiteral(" -->\n");
    html += QStringLiteral("  <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n");
    html += QStringLiteral("  <title>") + title + QStringLiteral("</title>\n");
    // The web fonts load without blocking the first paint; offline the page
    // keeps its fallback fonts.
    html += QStringLiteral(
        "  <link rel=\"preconnect\" href=\"https://fonts.googleapis.com\">\n"
        "  <link rel=\"preconnect\" href=\"https://fonts.gstatic.com\" crossorigin>\n"
        "  <link rel=\"stylesheet\" href=\"https://fonts.googleapis.com/css2?family=Instrument+Sans:ital,wght@0,400;0,500;0,600;0,700;1,400"
        "&family=Newsreader:ital,opsz,wght@0,6..72,300;0,6..72,400;0,6..72,500;1,6..72,300;1,6..72,400&display=swap\" media=\"print\" "
        "onload=\"this.media='all'\">\n"
        "  <link rel=\"stylesheet\" href=\"styles.css\">\n"
        "  <script>\n"
        "    (function () {\n"
        "      try {\n"
        "        var theme = localStorage.getItem('lumenote-theme');\n"
        "        if (theme) document.documentElement.setAttribute('data-theme', theme);\n"
        "        var fs = localStorage.getItem('lumenote-fs');\n"
        "        if (fs) document.documentElement.style.setProperty('--fs-base', fs + 'px');\n"
        "      } catch (e) {}\n"
        "    })();\n"
        "  </script>\n"
        "</head>\n"
        "<body>\n"
        "  <div class=\"controls-dock\">\n"
        "    <label class=\"fs-label\" for=\"fontSize\">Aa</label>\n"
        "    <input type=\"range\" id=\"fontSize\" class=\"fs-slider\" min=\"14\" max=\"28\" step=\"1\" value=\"17\" aria-label=\"Font size\">\n"
        "    <span class=\"ctrl-divider\"></span>\n"
        "    <button class=\"theme-btn\" onclick=\"toggleTheme()\" aria-label=\"Toggle theme\"></button>\n"
        "  </div>\n"
        "  <div class=\"page-wrap\">\n");

    html += QStringLiteral("    <header class=\"page-header") + (hasNotes ? QStringLiteral(" has-toggle") : QString()) + QStringLiteral("\">\n");
    html += QStringLiteral(
        "      <div class=\"header-inner\">\n"
        "        <div class=\"brand-row\"><span class=\"brand-gem\"></span><span class=\"brand-name\">Lumenote</span></div>\n");
    html += QStringLiteral("        <h1 class=\"lecture-title\">") + title + QStringLiteral("</h1>\n");
    if (const QString source = sourceAttribution(lecture); !source.isEmpty()) html += QStringLiteral("        ") + source + kNewline;
    html += QStringLiteral("        <p class=\"header-meta\">") + headerMeta(input) + QStringLiteral("</p>\n      </div>\n    </header>\n");

    if (hasNotes) {
        html += QStringLiteral(
            "    <div class=\"view-toggle-bar\">\n"
            "      <div class=\"view-toggle-pill\">\n"
            "        <button class=\"view-toggle-btn\" data-view=\"transcript\" onclick=\"switchView('transcript')\">Transcript</button>\n"
            "        <button class=\"view-toggle-btn\" data-view=\"notes\" onclick=\"switchView('notes')\">Consolidated Notes</button>\n"
            "      </div>\n"
            "    </div>\n");
    }

    html += QLatin1String("    <div class=\"doc-body\" id=\"view-transcript\">\n");
    if (!input.chapters.isEmpty()) html += chaptersHTML(input.chapters);
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (i > 0) html += kNewline;
        html += body[i];
    }
    html += QLatin1String("\n    </div>\n");

    if (hasNotes) {
        html += QStringLiteral(
            "    <div class=\"doc-body doc-body--notes\" id=\"view-notes\">\n"
            "      <div class=\"notes-layout\">\n"
            "        <div class=\"notes-content\">\n"
            "          <div class=\"notes-disclaimer\">\n"
            "            <p>AI-generated notes may contain errors or omissions — please verify important details against the transcript or source "
            "video and other outside sources.</p>\n");
        if (present(lecture.notesModelName))
            html += QStringLiteral("            <p class=\"notes-provenance\">Generated with ") + escapeHTML(*lecture.notesModelName) + QStringLiteral("</p>\n");
        html += QStringLiteral("          </div>\n") + *input.notesHTML + QStringLiteral("\n        </div>\n");
        QStringList shots;
        for (const ExportEntry& e : entries) {
            if (e.kind != ExportEntry::Kind::Screenshot) continue;
            shots.append(QStringLiteral("      <figure class=\"notes-shot\" onclick=\"openLightbox(this.querySelector('img'))\">\n        <img src=\"images/")
                         + escapeHTML(e.text) + QStringLiteral("\" alt=\"\" loading=\"lazy\">\n      </figure>"));
        }
        if (!shots.isEmpty()) html += QStringLiteral("      <aside class=\"notes-sidebar\">\n") + shots.join(kNewline) + QStringLiteral("\n      </aside>\n");
        html += QStringLiteral("      </div>\n    </div>\n");
    }

    html += QStringLiteral(
        "    <footer class=\"page-footer\">\n"
        "      <div class=\"footer-inner\">\n"
        "        <span class=\"footer-gem\"></span>\n"
        "        <span>Lumenote &mdash; lectures turned into pages you can study</span>\n"
        "      </div>\n"
        "    </footer>\n"
        "  </div><!-- /page-wrap -->\n"
        "  <div class=\"lightbox\" id=\"lightbox\" onclick=\"closeLightbox()\">\n"
        "    <button class=\"lb-close\" onclick=\"event.stopPropagation(); closeLightbox()\" aria-label=\"Close\">&#x2715;</button>\n"
        "    <img class=\"lb-img\" id=\"lbImg\" src=\"\" alt=\"\" onclick=\"event.stopPropagation()\">\n"
        "    <a class=\"lb-fullsize\" id=\"lbFullsize\" href=\"#\" target=\"_blank\" rel=\"noopener\" title=\"Open full-size image in new tab\" "
        "onclick=\"event.stopPropagation()\">&#x2197; Full size</a>\n"
        "  </div>\n");

    if (input.audioFileName) {
        html += QStringLiteral(
            "  <!-- Audio player -->\n"
            "  <div class=\"audio-player\" id=\"ap\">\n"
            "    <button class=\"ap-play\" id=\"apPlay\" onclick=\"apToggle()\" aria-label=\"Play or pause\"><span id=\"apIcon\">&#x25B6;</span></button>\n"
            "    <span class=\"ap-time\" id=\"apCur\">0:00</span>\n"
            "    <div class=\"ap-bar\" id=\"apBar\" onclick=\"apBarClick(event)\"><div class=\"ap-bar-fill\" id=\"apBarFill\"></div></div>\n"
            "    <span class=\"ap-time ap-dur\" id=\"apDur\">--:--</span>\n"
            "    <select class=\"ap-rate\" id=\"apRate\" onchange=\"apSetRate(this.value)\" aria-label=\"Playback speed\">\n"
            "      <option value=\"0.75\">0.75×</option>\n"
            "      <option value=\"1\" selected>1×</option>\n"
            "      <option value=\"1.25\">1.25×</option>\n"
            "      <option value=\"1.5\">1.5×</option>\n"
            "      <option value=\"2\">2×</option>\n"
            "    </select>\n");
        html += QStringLiteral("    <audio id=\"lnAudio\" src=\"") + escapeHTML(*input.audioFileName) + QStringLiteral("\" preload=\"metadata\"></audio>\n  </div>\n");
    }

    html += QStringLiteral("  <script>\n") + pageScript() + QStringLiteral("  </script>\n</body>\n</html>\n");
    return html;
}

}  // namespace lumenote::page
