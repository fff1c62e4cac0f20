#include "core/Annotations.h"
#include "core/ReferenceDate.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace lumenote;

TEST(Annotations, RoundTripEveryKindSideAndColour) {
    QList<UserNote> notes{UserNote::create(-1, "before everything"), UserNote::create(12.34, "ünïcode \"q\"")};
    QList<MarginNote> margins{MarginNote::create(30.5, "entropy", "see ch. 4", MarginNote::Side::Left),
                              MarginNote::create(2.0, "heat", "", MarginNote::Side::Right)};
    QList<TextHighlight> highlights;
    for (auto c : {TextHighlight::HighlightColor::Yellow, TextHighlight::HighlightColor::Green, TextHighlight::HighlightColor::Blue,
                   TextHighlight::HighlightColor::Pink})
        highlights.append(TextHighlight::create(0.1 + 0.2, "phrase", c));

    EXPECT_EQ(decodeUserNotes(encodeUserNotes(notes)), notes);
    EXPECT_EQ(decodeMarginNotes(encodeMarginNotes(margins)), margins);
    EXPECT_EQ(decodeHighlights(encodeHighlights(highlights)), highlights);
    // An emptied list is stored as an empty array, not as nothing.
    EXPECT_EQ(encodeHighlights({}), "[]");
    EXPECT_EQ(decodeHighlights("[]")->size(), 0);
}

TEST(Annotations, StoredFormUsesFieldNamesUpperCaseIdsAndReferenceDate) {
    MarginNote n = MarginNote::create(4, "a", "b", MarginNote::Side::Left);
    n.createdAt = 0;  // 2001-01-01T00:00:00Z
    const QJsonObject o = QJsonDocument::fromJson(encodeMarginNotes({n})).array().at(0).toObject();
    EXPECT_EQ(o.keys(), (QStringList{"anchorText", "createdAt", "id", "noteText", "passageTimestamp", "side"}));
    EXPECT_EQ(o["id"].toString(), n.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(o["side"].toString(), "left");
    EXPECT_EQ(dateFromReferenceSeconds(0).toString(Qt::ISODate), "2001-01-01T00:00:00Z");
    const double now = referenceSecondsNow();
    EXPECT_NEAR(now, referenceSeconds(QDateTime::currentDateTimeUtc()), 1.0);
    EXPECT_GT(now, 25.0 * 365 * 86400);  // after 2026
}

TEST(Annotations, DecodingRejectsUnknownValuesAndMissingKeys) {
    const QByteArray id = "\"id\":\"6F1C2B9E-0A4D-4C3B-9E8F-ABCDEFABCDEF\"";
    const QByteArray margin = "[{" + id + ",\"passageTimestamp\":1,\"anchorText\":\"a\",\"noteText\":\"n\",\"side\":\"%1\",\"createdAt\":5}]";
    EXPECT_TRUE(decodeMarginNotes(QByteArray(margin).replace("%1", "right")));
    for (const char* side : {"centre", "Left", "", "RIGHT"}) EXPECT_FALSE(decodeMarginNotes(QByteArray(margin).replace("%1", side))) << side;

    const QByteArray hl = "[{" + id + ",\"passageTimestamp\":1,\"anchorText\":\"a\",\"color\":\"%1\",\"createdAt\":5}]";
    EXPECT_TRUE(decodeHighlights(QByteArray(hl).replace("%1", "pink")));
    for (const char* color : {"red", "Yellow", "orange"}) EXPECT_FALSE(decodeHighlights(QByteArray(hl).replace("%1", color))) << color;

    EXPECT_TRUE(decodeUserNotes("[{" + id + ",\"afterTimestamp\":2.0,\"text\":\"t\",\"createdAt\":1}]"));
    EXPECT_FALSE(decodeUserNotes("[{" + id + ",\"afterTimestamp\":2.0,\"text\":\"t\"}]"));             // no createdAt
    EXPECT_FALSE(decodeUserNotes("[{" + id + ",\"afterTimestamp\":\"2\",\"text\":\"t\",\"createdAt\":1}]"));  // string position
    EXPECT_FALSE(decodeUserNotes("[{\"afterTimestamp\":2.0,\"text\":\"t\",\"createdAt\":1}]"));     // no id
    QString error;
    EXPECT_FALSE(decodeUserNotes("not json", &error));
    EXPECT_FALSE(error.isEmpty());
    // Absent or broken blobs read as empty lists.
    EXPECT_TRUE(decodeOrEmpty<UserNote>(std::nullopt, decodeUserNotes).isEmpty());
    EXPECT_TRUE(decodeOrEmpty<UserNote>(QByteArray("{"), decodeUserNotes).isEmpty());
}
