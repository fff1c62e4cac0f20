#include "core/Annotations.h"
#include "core/LibraryStore.h"
#include "core/SearchIndex.h"
#include "core/TranscriptModel.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sqlite3.h>

using namespace lumenote;

namespace {

// Segments of the given texts, 10 s apart, each word half a second long.
QByteArray transcript(const QStringList& texts, double firstStart = 0) {
    Transcript segments;
    double t = firstStart;
    for (const QString& text : texts) {
        TranscriptSegment s{QUuid::createUuid(), text, t, t, {}};
        double w = t;
        for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
            s.words.append({word, w, w + 0.5});
            w += 0.5;
        }
        s.endTime = w;
        segments.append(s);
        t += 10;
    }
    return *encodeTranscript(segments);
}

class SearchIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        store = LibraryStore::open(dir.filePath("library.sqlite"), &error);
        ASSERT_TRUE(store) << error.toStdString();
    }

    LecturePtr add(const QString& title, const QStringList& texts) {
        auto l = Lecture::create(title, "/videos/" + title + ".mp4", std::nullopt);
        l->setTranscriptData(transcript(texts));
        store->insert(l);
        EXPECT_TRUE(store->commit());
        return l;
    }

    SearchIndex& index() {
        if (!index_) index_ = SearchIndex::open(store->path());
        return *index_;
    }

    // Titles of the lectures with hits, in ranking order, each once.
    QStringList found(const QString& query) {
        QStringList titles;
        for (const SearchHit& h : index().search(query)) {
            const QString t = store->lecture(h.lectureID)->title();
            if (!titles.contains(t)) titles << t;
        }
        return titles;
    }

    static QStringList marked(const SearchHit& hit) {
        QStringList out;
        for (const auto& [start, length] : hit.marks) out << hit.snippet.mid(start, length);
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<LibraryStore> store;
    std::unique_ptr<SearchIndex> index_;
};

}  // namespace

TEST(SearchQuery, TypedTextBecomesQuotedPhrases) {
    const std::pair<const char*, const char*> cases[] = {
        {"entropy", "\"entropy\""},
        {"  Carnot   cycle ", "\"Carnot\" \"cycle\""},
        {"\"second law\" heat", "\"second law\" \"heat\""},
        {"therm*", "\"therm\"*"},
        {"\"heat eng\"*", "\"heat eng\"*"},
        // Operators and punctuation are plain text, never query syntax.
        {"NOT AND OR", "\"NOT\" \"AND\" \"OR\""},
        {"e-mail (x) ^col:", "\"e mail\" \"x\" \"col\""},
        {"\"unclosed phrase", "\"unclosed phrase\""},
        {"*** \"\" - ", ""},
    };
    for (const auto& [typed, expression] : cases) EXPECT_EQ(parseSearchQuery(typed).expression(), expression) << typed;
}

TEST_F(SearchIndexTest, FindsWordsIgnoringAccentsCaseAndByPrefixOrPhrase) {
    add("Thermo", {"Today the second law of thermodynamics.", "Le théorème de Carnot: entropie et chaleur."});
    add("Optics", {"Light bends at the boundary.", "The entropy of light is another story."});
    const std::pair<const char*, QStringList> cases[] = {
        {"theoreme", {"Thermo"}},
        {"THÉORÈME carnot", {"Thermo"}},
        {"entrop*", {"Thermo", "Optics"}},
        {"\"second law\"", {"Thermo"}},
        {"\"law second\"", {}},
        {"light entropy", {"Optics"}},
        {"light chaleur", {}},
        {"", {}},
    };
    for (const auto& [query, titles] : cases) {
        QStringList got = found(query), want = titles;
        got.sort();
        want.sort();
        EXPECT_EQ(got, want) << query;
    }
}

TEST_F(SearchIndexTest, HitsCarryTheWordTimeAndMarkTheMatchInTheSnippet) {
    add("Thermo", {"Welcome everyone.", "Now we define the entropy of a system, and entropy grows."});
    const QList<SearchHit> hits = index().search("entropy");
    ASSERT_EQ(hits.size(), 1);
    EXPECT_EQ(hits[0].kind, SearchHit::Kind::Transcript);
    // Second segment starts at 10 s; "entropy" is its fifth word.
    ASSERT_TRUE(hits[0].time);
    EXPECT_DOUBLE_EQ(*hits[0].time, 12.0);
    EXPECT_EQ(hits[0].snippet, "Now we define the entropy of a system, and entropy grows.");
    EXPECT_EQ(marked(hits[0]), (QStringList{"entropy", "entropy"}));

    const QList<SearchHit> phrase = index().search("\"of a sys\"*");
    ASSERT_EQ(phrase.size(), 1);
    EXPECT_EQ(marked(phrase[0]), QStringList{"of a system"});

    // A long passage is cut around the match, on word boundaries.
    add("Long", {QString("filler ").repeated(60) + "needle" + QString(" filler").repeated(60)});
    const QList<SearchHit> cut = index().search("needle");
    ASSERT_EQ(cut.size(), 1);
    EXPECT_TRUE(cut[0].snippet.startsWith(QStringLiteral("…filler"))) << cut[0].snippet.toStdString();
    EXPECT_TRUE(cut[0].snippet.endsWith(QStringLiteral("filler…")));
    EXPECT_LT(cut[0].snippet.size(), 260);
    EXPECT_EQ(marked(cut[0]), QStringList{"needle"});
}

TEST_F(SearchIndexTest, StaysCurrentThroughRetranscriptionAnnotationsAndDeletion) {
    const LecturePtr l = add("Thermo", {"The Carnot engine."});
    EXPECT_EQ(found("carnot"), QStringList{"Thermo"});

    // Retranscribed: old words gone, new ones found.
    l->setTranscriptData(transcript({"The Stirling engine."}));
    ASSERT_TRUE(store->commit());
    EXPECT_EQ(found("carnot"), QStringList{});
    EXPECT_EQ(found("stirling"), QStringList{"Thermo"});

    // Annotations and notes of both views, each with its time when it has one.
    l->setNotesData(encodeUserNotes({UserNote::create(12.0, "ask about regenerators")}));
    l->setMarginNotesData(encodeMarginNotes({MarginNote::create(0.0, "Stirling engine", "closed cycle", MarginNote::Side::Left)}));
    l->setHighlightsData(encodeHighlights({TextHighlight::create(0.0, "The Stirling", TextHighlight::HighlightColor::Pink)}));
    l->setNotesHighlightsData(encodeHighlights({TextHighlight::create(2.0, "isothermal expansion", TextHighlight::HighlightColor::Blue)}));
    l->setConsolidatedData(QByteArray("## Engines\n\nHeat pumps run the cycle backwards."));
    ASSERT_TRUE(store->commit());
    struct Expect {
        const char* query;
        SearchHit::Kind kind;
        std::optional<double> time;
    };
    const Expect expected[] = {
        {"regenerators", SearchHit::Kind::UserNote, 12.0},
        {"closed", SearchHit::Kind::MarginNote, 0.0},
        {"isothermal", SearchHit::Kind::Highlight, std::nullopt},
        {"backwards", SearchHit::Kind::Notes, std::nullopt},
    };
    for (const Expect& e : expected) {
        const QList<SearchHit> hits = index().search(e.query);
        ASSERT_EQ(hits.size(), 1) << e.query;
        EXPECT_EQ(hits[0].kind, e.kind) << e.query;
        EXPECT_EQ(hits[0].time, e.time) << e.query;
    }
    EXPECT_EQ(index().hitCounts("stirling").value(l->id()), 3);  // transcript, margin note, highlight

    // Editing a note replaces it; a status change alone queues nothing.
    l->setNotesData(encodeUserNotes({UserNote::create(12.0, "ask about flywheels")}));
    ASSERT_TRUE(store->commit());
    EXPECT_EQ(found("regenerators"), QStringList{});
    EXPECT_EQ(found("flywheels"), QStringList{"Thermo"});
    l->setStatus(LectureStatus::Complete);
    ASSERT_TRUE(store->commit());
    EXPECT_EQ(index().update(), 0);

    // The words on its slides, replaced by a later export's.
    SearchIndex::recordSlideText(store->path(), l->id(), {{30.0, "Regenerative Heat Exchangers"}});
    SearchIndex::recordSlideText(store->path(), l->id(), {{45.0, "Displacer Piston\nphase lag"}});
    EXPECT_EQ(found("exchangers"), QStringList{});
    const QList<SearchHit> slide = index().search("displacer");
    ASSERT_EQ(slide.size(), 1);
    EXPECT_EQ(slide[0].kind, SearchHit::Kind::SlideText);
    EXPECT_EQ(slide[0].time, 45.0);

    store->remove(l);
    ASSERT_TRUE(store->commit());
    for (const char* q : {"stirling", "flywheels", "backwards", "isothermal", "displacer"}) EXPECT_EQ(found(q), QStringList{}) << q;
}

TEST_F(SearchIndexTest, ABrokenTranscriptIsSkippedAndAMissingIndexIsRebuilt) {
    add("Good", {"Maxwell's demon sorts molecules."});
    const LecturePtr bad = add("Bad", {"placeholder"});
    bad->setTranscriptData(QByteArray("not json"));
    ASSERT_TRUE(store->commit());
    EXPECT_EQ(found("molecules"), QStringList{"Good"});
    EXPECT_EQ(found("placeholder"), QStringList{});
    // Limited to one lecture.
    SearchIndex::Options only;
    only.lecture = bad->id();
    EXPECT_TRUE(index().search("molecules", only).isEmpty());

    index_.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store->path().toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP TABLE search_fts", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    bad->setTranscriptData(transcript({"Now a demon of its own."}));
    ASSERT_TRUE(store->commit());
    QStringList both = found("demon");
    both.sort();
    EXPECT_EQ(both, (QStringList{"Bad", "Good"}));
}
