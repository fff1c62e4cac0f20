// Search figures on a generated library of 1,000 one-hour lectures (about ten
// million words): building the index from scratch, the median time of 100
// queries (words, phrases, prefixes; with snippets), the index's size beside
// the transcripts' text, and catching up after one lecture is retranscribed.
//
//   build/bench/search_bench [--lectures N] [--keep DIR]
#include "core/LibraryStore.h"
#include "core/SearchIndex.h"
#include "core/TranscriptModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace lumenote;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Spoken English in rough proportions: function words on top, then a long
// tail of content words with Zipf frequencies.
class Vocabulary {
public:
    explicit Vocabulary(std::mt19937& rng) {
        const char* common[] = {"the", "of", "and", "to", "a", "in", "is", "that", "we", "it", "this", "so", "you", "for", "on",
                                "be", "are", "with", "as", "can", "have", "what", "if", "at", "which", "one", "or", "not",
                                "but", "there", "here", "do", "now", "then", "they", "by", "from", "all", "an", "was"};
        for (const char* w : common) words.push_back(QString::fromLatin1(w));
        const char* syllables[] = {"ther", "mo", "dy", "na", "mic", "en", "tro", "py", "car", "not", "cy", "cle", "qua", "tum",
                                   "pho", "ton", "elec", "tric", "field", "po", "ten", "tial", "gra", "vi", "ty", "mo", "men",
                                   "ve", "lo", "ci", "mass", "spin", "wave", "func", "ra", "dia", "sor", "bi", "lin", "ear",
                                   "al", "ge", "bra", "ma", "trix", "vec", "den", "si", "pres", "sure", "flu", "id", "ro"};
        std::uniform_int_distribution<int> syllable(0, int(std::size(syllables)) - 1), count(2, 4);
        QSet<QString> seen(words.begin(), words.end());
        while (words.size() < 30000) {
            QString w;
            for (int n = count(rng); n > 0; --n) w += QString::fromLatin1(syllables[syllable(rng)]);
            if (!seen.contains(w)) {
                seen.insert(w);
                words.push_back(w);
            }
        }
        std::vector<double> weights;
        for (size_t r = 0; r < words.size(); ++r) weights.push_back(1.0 / double(r + 1));
        pick = std::discrete_distribution<size_t>(weights.begin(), weights.end());
    }
    const QString& next(std::mt19937& rng) { return words[pick(rng)]; }

    std::vector<QString> words;
    std::discrete_distribution<size_t> pick;
};

// About one hour of speech: ~10,000 words in segments of 10 to 18 words.
Transcript hourLongTranscript(Vocabulary& vocabulary, std::mt19937& rng, qint64& textBytes) {
    std::uniform_int_distribution<int> length(10, 18);
    Transcript t;
    double time = 0;
    while (time < 3600) {
        TranscriptSegment seg{QUuid::createUuid(), QString(), time, 0, {}};
        QStringList words;
        const int n = length(rng);
        for (int w = 0; w < n; ++w) {
            const QString word = vocabulary.next(rng) + (w == n - 1 ? "." : "");
            seg.words.append({" " + word, time, time + 0.3});
            words << word;
            time += 0.36;
        }
        seg.text = words.join(' ');
        seg.endTime = time;
        textBytes += seg.text.toUtf8().size() + 1;
        t.append(seg);
    }
    return t;
}

qint64 indexBytes(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    qint64 bytes = -1;
    if (sqlite3_prepare_v2(db, "SELECT sum(pgsize) FROM dbstat WHERE name LIKE '%search%'", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        bytes = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int lectureCount = args.contains("--lectures") ? args.value(args.indexOf("--lectures") + 1).toInt() : 1000;
    QTemporaryDir tmp;
    const QString folder = args.contains("--keep") ? args.value(args.indexOf("--keep") + 1) : tmp.path();
    QDir().mkpath(folder);
    const QString path = folder + "/library.sqlite";
    QFile::remove(path);

    std::mt19937 rng(11);
    Vocabulary vocabulary(rng);
    qint64 textBytes = 0;
    std::vector<QStringList> samples;  // a few segments' words per lecture, for the queries
    QString error;
    auto store = LibraryStore::open(path, &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (int i = 0; i < lectureCount; ++i) {
        auto l = Lecture::create(QStringLiteral("Lecture %1").arg(i), QStringLiteral("/videos/lecture-%1.mp4").arg(i), std::nullopt);
        const Transcript t = hourLongTranscript(vocabulary, rng, textBytes);
        samples.push_back(t[qsizetype(rng() % quint32(t.size()))].text.split(' '));
        l->setTranscriptData(*encodeTranscript(t));
        store->insert(l);
        if (i % 50 == 49 && !store->commit()) return 1;
    }
    if (!store->commit()) return 1;
    std::printf("lectures: %d\n", lectureCount);
    std::printf("text_mb: %.1f\n", double(textBytes) / 1e6);
    std::fflush(stdout);

    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<SearchIndex> index = SearchIndex::open(path);
    const double buildS = double(timer.nsecsElapsed()) / 1e9;
    std::printf("index_build_s: %.1f\n", buildS);
    const qint64 bytes = indexBytes(path);
    std::printf("index_mb: %.1f\n", double(bytes) / 1e6);
    std::printf("index_to_text: %.2f\n", double(bytes) / double(textBytes));
    std::fflush(stdout);

    // 40 words of middling frequency, 30 two-word phrases from the
    // transcripts, 20 prefixes, 10 pairs of words anywhere in a lecture.
    QStringList queries;
    std::uniform_int_distribution<size_t> middling(200, 5000), lecture(0, samples.size() - 1);
    for (int i = 0; i < 40; ++i) queries << vocabulary.words[middling(rng)];
    for (int i = 0; i < 30; ++i) {
        const QStringList& s = samples[lecture(rng)];
        const qsizetype at = qsizetype(rng() % quint32(s.size() - 1));
        queries << QLatin1Char('"') + s[at] + QLatin1Char(' ') + s[at + 1] + QLatin1Char('"');
    }
    for (int i = 0; i < 20; ++i) queries << vocabulary.words[middling(rng)].left(5) + QLatin1Char('*');
    for (int i = 0; i < 10; ++i) queries << vocabulary.words[middling(rng)] + QLatin1Char(' ') + vocabulary.words[middling(rng)];

    std::vector<double> ms;
    qint64 hits = 0;
    for (const QString& q : queries) {
        timer.restart();
        hits += index->search(q).size();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("query_ms: %.2f\n", median(ms));
    const std::pair<const char*, std::pair<size_t, size_t>> kinds[] = {
        {"word", {0, 40}}, {"phrase", {40, 70}}, {"prefix", {70, 90}}, {"two_words", {90, 100}}};
    for (const auto& [name, range] : kinds)
        std::printf("query_%s_ms: %.2f\n", name, median(std::vector<double>(ms.begin() + long(range.first), ms.begin() + long(range.second))));
    std::printf("query_p90_ms: %.2f\n", percentile(ms, 0.9));
    std::printf("query_hits_mean: %.1f\n", double(hits) / double(queries.size()));

    // Catching up after one lecture is retranscribed.
    const LecturePtr first = store->lectures().front();
    first->setTranscriptData(*encodeTranscript(hourLongTranscript(vocabulary, rng, textBytes)));
    if (!store->commit()) return 1;
    timer.restart();
    index->update();
    std::printf("update_one_ms: %.1f\n", double(timer.nsecsElapsed()) / 1e6);
    return 0;
}
