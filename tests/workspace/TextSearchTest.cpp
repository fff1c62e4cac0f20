#include "workspace/TextSearch.h"
#include "workspace/TranscriptSearch.h"

#include <gtest/gtest.h>

using namespace lumenote;

namespace {

struct FindCase {
    const char* name;
    QString text;
    QString phrase;
    std::optional<TextRange> expected;
};

}  // namespace

TEST(TextSearch, FirstOccurrenceIgnoringCaseAndDiacritics) {
    const QString decomposed = QStringLiteral("Cafe\u0301 cre\u0300me");  // e + combining accents
    const QList<FindCase> cases = {
        {"capital anchor, lower-case text", "the entropy grows", "Entropy", TextRange{4, 7}},
        {"only the first of two", "heat and more heat", "heat", TextRange{0, 4}},
        {"accent in the text", "une écoute attentive", "ecoute", TextRange{4, 6}},
        {"accent in the phrase", "une ecoute attentive", "ÉCOUTE", TextRange{4, 6}},
        {"combining marks stay inside the range", decomposed, "cafe", TextRange{0, 5}},
        {"after combining marks", decomposed, "creme", TextRange{6, 6}},
        {"sharp s folds to ss", "Die Straße", "strasse", TextRange{4, 6}},
        {"ligature", "the \uFB01rst law", "first", TextRange{4, 4}},
        {"absent phrase", "heat flows", "entropy", std::nullopt},
        {"empty phrase", "heat flows", "", std::nullopt},
        {"phrase of marks only", "heat flows", "\u0301", std::nullopt},
        {"longer than the text", "heat", "heat flows", std::nullopt},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<TextRange> found = findPhrase(c.text, c.phrase);
        EXPECT_EQ(found, c.expected);
        if (found) {
            EXPECT_EQ(foldForSearch(c.text.mid(found->start, found->length)), foldForSearch(c.phrase));
        }
    }
}

TEST(TextSearch, EveryOccurrenceWithoutOverlap) {
    const FoldedText text(QStringLiteral("Ana banana, ANA"));
    EXPECT_EQ(text.findAll(QStringLiteral("ana")), (QList<TextRange>{{0, 3}, {5, 3}, {12, 3}}));
}

TEST(TextSearch, EachChipClickSelectsOnce) {
    const QString text = QStringLiteral("Heat flows from hot to cold; heat is energy.");
    HighlightRequestTracker view;
    const HighlightRequest click{QStringLiteral("HEAT")};
    EXPECT_EQ(view.apply(click, text), (TextRange{0, 4}));
    EXPECT_EQ(view.apply(click, text), std::nullopt);                       // the same request again: acted on already
    EXPECT_EQ(view.apply({QStringLiteral("heat")}, text), (TextRange{0, 4}));  // a second click of the chip selects again
    EXPECT_EQ(view.apply({QStringLiteral("entropy")}, text), std::nullopt);   // absent: the selection stays
}

TEST(TranscriptSearch, MatchesWrapAndSeekToTheirWord) {
    Timeline t;
    t.blocks = {{QUuid::createUuid(), 0.0, QStringLiteral("Heat flows from hot to cold."),
                 {{"Heat", 0.0, 0.4}, {"flows", 0.4, 0.9}, {"from", 0.9, 1.1}, {"hot", 1.1, 1.5}, {"to", 1.5, 1.6}, {"cold.", 1.6, 2.0}}},
                {QUuid::createUuid(), 30.0, QStringLiteral("Entropy: the heat that spreads."), {}}};
    TranscriptSearch search;
    search.search(t, QStringLiteral("HEAT"));
    ASSERT_EQ(search.matches().size(), 2);
    EXPECT_EQ(search.currentIndex(), 0);
    EXPECT_EQ(search.current()->seekTime, 0.0);
    search.search(t, QStringLiteral("hot"));
    ASSERT_EQ(search.matches().size(), 1);
    EXPECT_EQ(search.current()->seekTime, 1.1);  // the fourth word

    search.search(t, QStringLiteral("heat"));
    EXPECT_EQ(search.next()->block, 1);
    EXPECT_EQ(search.current()->seekTime, 30.0);  // no word timings: the passage start
    EXPECT_EQ(search.next()->block, 0);           // wraps to the first
    EXPECT_EQ(search.previous()->block, 1);       // and back
    EXPECT_EQ(search.rangesIn(1), (QList<TextRange>{{13, 4}}));

    search.search(t, QStringLiteral("absent"));
    EXPECT_EQ(search.currentIndex(), -1);
    EXPECT_EQ(search.next(), nullptr);
    search.search(t, QString());
    EXPECT_TRUE(search.matches().isEmpty());
}
