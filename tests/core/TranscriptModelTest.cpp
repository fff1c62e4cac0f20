#include "core/TranscriptModel.h"
#include "core/Uuid.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace lumenote;

namespace {

QJsonArray parse(const QByteArray& b) { return QJsonDocument::fromJson(b).array(); }

uint64_t bits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

}  // namespace

TEST(TranscriptModel, RoundTripKeepsEveryValueToTheLastBit) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> dist(0, 7200);
    Transcript t;
    for (int s = 0; s < 50; ++s) {
        TranscriptSegment seg{QUuid::createUuid(), QStringLiteral("Segment %1 — “quoted” \\ \"x\" é 漢字 \n").arg(s), dist(rng), dist(rng), {}};
        for (int w = 0; w < 5; ++w) seg.words.append({QStringLiteral(" w%1,").arg(w), dist(rng), dist(rng)});
        t.append(seg);
    }
    // Values that short decimal forms get wrong.
    t[0].startTime = 0.1 + 0.2;
    t[0].endTime = std::numeric_limits<double>::denorm_min();
    t[1].startTime = std::numeric_limits<double>::max();
    t[1].endTime = -1e-310;
    t[2].startTime = 1e-300;
    t[2].endTime = 123456789.123456789;

    const auto bytes = encodeTranscript(t);
    ASSERT_TRUE(bytes);
    const auto back = decodeTranscript(*bytes);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        EXPECT_EQ((*back)[i].id, t[i].id);
        EXPECT_EQ((*back)[i].text, t[i].text);
        EXPECT_EQ(bits((*back)[i].startTime), bits(t[i].startTime)) << i;
        EXPECT_EQ(bits((*back)[i].endTime), bits(t[i].endTime)) << i;
        ASSERT_EQ((*back)[i].words.size(), t[i].words.size());
        for (qsizetype w = 0; w < t[i].words.size(); ++w) {
            EXPECT_EQ((*back)[i].words[w].word, t[i].words[w].word);
            EXPECT_EQ(bits((*back)[i].words[w].start), bits(t[i].words[w].start));
            EXPECT_EQ(bits((*back)[i].words[w].end), bits(t[i].words[w].end));
        }
    }
    // Negative zero keeps its sign too.
    const auto zero = decodeTranscript(*encodeTranscript({{QUuid::createUuid(), "z", -0.0, 0, {{"w", -0.0, 0}}}}));
    EXPECT_TRUE(std::signbit(zero->at(0).startTime));
    EXPECT_TRUE(std::signbit(zero->at(0).words.at(0).start));
    // Integral times and times written by other encoders (exponents, integers) read as numbers.
    const auto other = decodeTranscript(R"([{"id":"6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDEF","text":"\u00e9\ud83d\ude00\n","startTime":12,"endTime":1.5e2}])");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->at(0).startTime, 12.0);
    EXPECT_EQ(other->at(0).endTime, 150.0);
    EXPECT_EQ(other->at(0).text, QString::fromUtf8("\xc3\xa9\xf0\x9f\x98\x80\n"));
}

TEST(TranscriptModel, StoredFormIsCompactWithUpperCaseIdsAndExactKeys) {
    const QUuid id = QUuid::fromString(QStringLiteral("{6f1c2b9e-0a4d-4c3b-9e8f-abcdefabcdef}"));
    const auto bytes = encodeTranscript({{id, "Hello there", 1.5, 3.25, {{"Hello", 1.5, 2.0}, {"there", 2.0, 3.25}}}});
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(bytes->contains('\n'));
    EXPECT_FALSE(bytes->contains(": "));
    const QJsonObject seg = parse(*bytes).at(0).toObject();
    EXPECT_EQ(seg.keys(), (QStringList{"endTime", "id", "startTime", "text", "words"}));
    EXPECT_EQ(seg["id"].toString(), "6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDEF");
    const QJsonObject word = seg["words"].toArray().at(1).toObject();
    EXPECT_EQ(word.keys(), (QStringList{"end", "start", "word"}));
    EXPECT_EQ(word["end"].toDouble(), 3.25);

    EXPECT_EQ(*encodeTranscript({}), "[]");
    EXPECT_EQ(decodeTranscript("[]")->size(), 0);
}

TEST(TranscriptModel, NonFiniteTimesCannotBeStored) {
    const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double v : bad) {
        QString error;
        EXPECT_FALSE(encodeTranscript({{QUuid::createUuid(), "a", v, 1, {}}}, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(encodeTranscript({{QUuid::createUuid(), "a", 0, 1, {{"w", 0, v}}}}));
    }
}

TEST(TranscriptModel, WordsAreLenientSegmentsAreStrict) {
    const QByteArray id = "\"id\":\"6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDEF\"";
    struct Case {
        const char* what;
        QByteArray json;
        int words;  // -1: the whole list fails
    } cases[] = {
        {"no words key", "[{" + id + ",\"text\":\"a\",\"startTime\":1,\"endTime\":2}]", 0},
        {"words is a string", "[{" + id + ",\"text\":\"a\",\"startTime\":1,\"endTime\":2,\"words\":\"x\"}]", 0},
        {"a word without end", "[{" + id + ",\"text\":\"a\",\"startTime\":1,\"endTime\":2,\"words\":[{\"word\":\"a\",\"start\":1,\"end\":2},{\"word\":\"b\",\"start\":1}]}]", 0},
        {"a word with a string time", "[{" + id + ",\"text\":\"a\",\"startTime\":1,\"endTime\":2,\"words\":[{\"word\":\"a\",\"start\":\"1\",\"end\":2}]}]", 0},
        {"unknown keys ignored", "[{" + id + ",\"text\":\"a\",\"startTime\":1,\"endTime\":2,\"extra\":[1],\"words\":[{\"word\":\"a\",\"start\":1,\"end\":2,\"p\":0.9}]}]", 1},
        {"lower-case id accepted", "[{\"id\":\"6f1c2b9e-0a4d-4c3b-9e8f-abcdefabcdef\",\"text\":\"a\",\"startTime\":1,\"endTime\":2,\"words\":[]}]", 0},
        {"no id", "[{\"text\":\"a\",\"startTime\":1,\"endTime\":2}]", -1},
        {"id not a UUID", "[{\"id\":\"seg-1\",\"text\":\"a\",\"startTime\":1,\"endTime\":2}]", -1},
        {"text is a number", "[{" + id + ",\"text\":5,\"startTime\":1,\"endTime\":2}]", -1},
        {"startTime is a string", "[{" + id + ",\"text\":\"a\",\"startTime\":\"1\",\"endTime\":2}]", -1},
        {"no endTime", "[{" + id + ",\"text\":\"a\",\"startTime\":1}]", -1},
        {"element not an object", "[{" + id + ",\"text\":\"a\",\"startTime\":1,\"endTime\":2}, 3]", -1},
        {"top level object", "{\"segments\":[]}", -1},
        {"broken JSON", "[{" + id + ",\"text\":\"a\"", -1},
        {"empty blob", "", -1},
    };
    for (const Case& c : cases) {
        QString error;
        const auto t = decodeTranscript(c.json, &error);
        if (c.words < 0) {
            EXPECT_FALSE(t) << c.what;
            EXPECT_FALSE(error.isEmpty()) << c.what;
        } else {
            ASSERT_TRUE(t) << c.what << ": " << error.toStdString();
            ASSERT_EQ(t->size(), 1) << c.what;
            EXPECT_EQ(t->at(0).text, "a") << c.what;
            EXPECT_EQ(t->at(0).startTime, 1.0) << c.what;
            EXPECT_EQ(t->at(0).words.size(), c.words) << c.what;
        }
    }
}
