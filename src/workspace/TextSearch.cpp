#include "workspace/TextSearch.h"


namespace lumenote {

namespace {

// The code point at `i` (a surrogate pair read whole); `i` moves past it.
char32_t nextCodePoint(const QString& text, qsizetype& i) {
    const QChar c = text[i++];
    if (c.isHighSurrogate() && i < text.size() && text[i].isLowSurrogate()) return QChar::surrogateToUcs4(c, text[i++]);
    return c.unicode();
}

// Appends the folded form of one code point.
void foldCodePoint(char32_t c, QString& out) {
    if (c < 0x80) {
        out.append(QChar(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
        return;
    }
    // Qt folds case one unit to one; the sharp s is the common many-unit fold.
    if (c == 0x00DF || c == 0x1E9E) {
        out.append(QLatin1String("ss"));
        return;
    }
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
    for (qsizetype i = 0; i < decomposed.size();) {
        const char32_t d = nextCodePoint(decomposed, i);
        const QChar::Category category = QChar::category(d);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining || category == QChar::Mark_Enclosing) continue;
        out.append(QString::fromUcs4(&d, 1).toCaseFolded());
    }
}

}  // namespace

FoldedText::FoldedText(const QString& text) : originalSize_(text.size()) {
    folded_.reserve(text.size());
    origin_.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype at = i;
        const qsizetype before = folded_.size();
        foldCodePoint(nextCodePoint(text, i), folded_);
        for (qsizetype i = before; i < folded_.size(); ++i) origin_.append(at);
    }
}

TextRange FoldedText::originalRange(qsizetype start, qsizetype length) const {
    Q_ASSERT(start >= 0 && length >= 0 && start + length <= folded_.size());
    const qsizetype from = start < origin_.size() ? origin_[start] : originalSize_;
    // The end is where the unit after the match starts in the original, so a
    // character that folded into several units is covered whole.
    const qsizetype last = start + length;
    qsizetype to = originalSize_;
    for (qsizetype i = last; i < origin_.size(); ++i)
        if (origin_[i] != origin_[last - 1]) {
            to = origin_[i];
            break;
        }
    if (length == 0) to = from;
    return {from, to - from};
}

std::optional<TextRange> FoldedText::find(const QString& phrase) const {
    const QString needle = foldForSearch(phrase);
    if (needle.isEmpty()) return std::nullopt;
    const qsizetype at = folded_.indexOf(needle);
    if (at < 0) return std::nullopt;
    return originalRange(at, needle.size());
}

QList<TextRange> FoldedText::findAll(const QString& phrase) const {
    QList<TextRange> out;
    const QString needle = foldForSearch(phrase);
    if (needle.isEmpty()) return out;
    for (qsizetype at = folded_.indexOf(needle); at >= 0; at = folded_.indexOf(needle, at + needle.size()))
        out.append(originalRange(at, needle.size()));
    return out;
}

QString foldForSearch(const QString& phrase) {
    QString out;
    out.reserve(phrase.size());
    for (qsizetype i = 0; i < phrase.size();) foldCodePoint(nextCodePoint(phrase, i), out);
    return out;
}

std::optional<TextRange> findPhrase(const QString& text, const QString& phrase) {
    if (foldForSearch(phrase).isEmpty()) return std::nullopt;
    return FoldedText(text).find(phrase);
}

std::optional<TextRange> HighlightRequestTracker::apply(const HighlightRequest& request, const QString& text) {
    if (lastAppliedID_ == request.id) return std::nullopt;
    lastAppliedID_ = request.id;
    return findPhrase(text, request.text);
}

}  // namespace lumenote
