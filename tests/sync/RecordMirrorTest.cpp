// Two machines (two homes, two stores) sharing one records folder, as a sync
// client would keep it: every order of create, edit, move and delete, edits of
// the same lecture's annotations at once, conflict copies, a half-written
// document, a clock an hour off. Both must converge with nothing lost.

#include "core/Annotations.h"
#include "core/LibraryStore.h"
#include "core/RecordFields.h"
#include "core/RecordMirror.h"
#include "core/ProcessingState.h"
#include "core/TranscriptModel.h"
#include "pipeline/LectureLoader.h"
#include "QtTestHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <functional>

using namespace lumenote;
using lumenote::test::await;
using lumenote::test::spinUntil;

namespace {

constexpr qint64 kHour = 3600LL * 1000;
constexpr qint64 kDay = 24 * kHour;

// One machine: its own home (library file) and its own clock.
struct Machine {
    QTemporaryDir home;
    std::unique_ptr<LibraryStore> store;
    qint64 skewMs = 0;  // how far this machine's clock is off
    static inline qint64 elapsedMs = 0;  // simulated time shared by both machines

    void open(const QString& records) {
        QString error;
        store = LibraryStore::open(home.filePath("library.sqlite"), &error);
        ASSERT_TRUE(store) << error.toStdString();
        ASSERT_TRUE(store->attachMirror(records, &error)) << error.toStdString();
        store->mirror()->setWallClock([this] { return QDateTime::currentMSecsSinceEpoch() + elapsedMs + skewMs; });
    }
    void sync() {
        ASSERT_TRUE(store->commit());
        store->mirror()->syncNow();
    }
    LecturePtr only() const { return store->lectures().empty() ? nullptr : store->lectures().front(); }
};

// Every stored field of every record, large blobs read, as one JSON value.
QJsonObject snapshot(LibraryStore& store) {
    QJsonObject out;
    for (const LecturePtr& l : store.lectures()) {
        l->transcriptData();
        l->keyframeData();
        l->consolidatedData();
        l->notesData();
        QJsonObject o;
        for (const auto& f : RecordFields::lecture()) o.insert(f.name, fields::toJson(*l, f));
        out.insert(l->idText(), o);
    }
    for (const LectureFolderPtr& f : store.folders()) {
        QJsonObject o;
        for (const auto& field : RecordFields::folder()) o.insert(field.name, fields::toJson(*f, field));
        out.insert("folder " + o.value("id").toString(), o);
    }
    return out;
}

QSet<QUuid> annotationIds(const Lecture& l) {
    QSet<QUuid> ids;
    for (const auto& n : decodeUserNotes(l.notesData().value_or("[]")).value_or(QList<UserNote>{})) ids.insert(n.id);
    for (const auto& n : decodeMarginNotes(l.marginNotesData().value_or("[]")).value_or(QList<MarginNote>{})) ids.insert(n.id);
    for (const auto& h : decodeHighlights(l.highlightsData().value_or("[]")).value_or(QList<TextHighlight>{})) ids.insert(h.id);
    return ids;
}

QUuid addMarginNote(Lecture& l, const QString& text) {
    auto list = decodeMarginNotes(l.marginNotesData().value_or("[]")).value_or(QList<MarginNote>{});
    const MarginNote note = MarginNote::create(1.5, "anchor", text, MarginNote::Side::Right);
    list.append(note);
    l.setMarginNotesData(encodeMarginNotes(list));
    return note.id;
}

void removeMarginNote(Lecture& l, const QUuid& id) {
    auto list = decodeMarginNotes(l.marginNotesData().value_or("[]")).value_or(QList<MarginNote>{});
    list.removeIf([&](const MarginNote& n) { return n.id == id; });
    l.setMarginNotesData(encodeMarginNotes(list));
}

QStringList filesIn(const QString& folder, const QString& pattern) { return QDir(folder).entryList({pattern}, QDir::Files); }

class RecordMirrorTest : public ::testing::Test {
protected:
    QTemporaryDir shared;
    Machine a, b;
    QString records() const { return shared.filePath("Lumenote/Records"); }

    void SetUp() override {
        Machine::elapsedMs = 0;
        a.open(records());
        b.open(records());
    }
    // Passes the changes back and forth until nothing moves.
    void converge() {
        for (int round = 0; round < 3; ++round) {
            a.sync();
            b.sync();
        }
    }
    void expectSame() {
        const QJsonObject sa = snapshot(*a.store), sb = snapshot(*b.store);
        EXPECT_EQ(sa, sb) << QJsonDocument(sa).toJson().toStdString() << "\n---\n" << QJsonDocument(sb).toJson().toStdString();
    }
    LecturePtr createOn(Machine& m, const QString& title) {
        auto l = Lecture::create(title, "/videos/" + title + ".mp4", std::nullopt);
        m.store->insert(l);
        m.sync();
        return l;
    }
    void later(qint64 ms = 5) { Machine::elapsedMs += ms; }
};

// Sets every stored field to a value that differs from its default.
void setEveryField(Lecture& l) {
    int n = 0;
    for (const auto& f : RecordFields::lecture()) {
        if (f.storage == FieldStorage::Key) continue;
        ++n;
        std::visit(
            [&](auto m) {
                using T = std::remove_cvref_t<decltype(l.*m)>;
                if constexpr (std::is_same_v<T, QString> || std::is_same_v<T, std::optional<QString>>) l.*m = QString("%1 ü %2").arg(f.name).arg(n);
                else if constexpr (std::is_same_v<T, QDateTime>) l.*m = QDateTime::fromMSecsSinceEpoch(1700000000123 + n, Qt::UTC);
                else if constexpr (std::is_same_v<T, double>) l.*m = 1234.5678 + n;
                else if constexpr (std::is_same_v<T, int>) l.*m = n;
                else if constexpr (std::is_same_v<T, std::optional<QUuid>>) l.*m = QUuid::createUuid();
                else if constexpr (std::is_same_v<T, std::optional<bool>>) l.*m = false;
                else if constexpr (std::is_same_v<T, std::optional<QByteArray>>) {
                    QByteArray bytes(f.storage == FieldStorage::LargeBlob ? 100000 + n : 50 + n, '\0');
                    for (int i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 31 + n) & 0xff);
                    l.*m = bytes;
                }
            },
            f.member);
    }
}

}  // namespace

TEST_F(RecordMirrorTest, EveryFieldSurvivesStoreMirrorAnotherStore) {
    auto l = Lecture::create("x", std::nullopt, std::nullopt);
    setEveryField(*l);
    a.store->insert(l);
    auto folder = LectureFolder::create("Physics", 7);
    a.store->insert(folder);
    a.sync();

    // A third machine joins with an empty library and rebuilds it from the folder.
    Machine c;
    c.open(records());
    const LecturePtr copy = c.store->lecture(l->id());
    ASSERT_TRUE(copy);
    copy->transcriptData();
    copy->keyframeData();
    copy->consolidatedData();
    copy->notesData();
    l->transcriptData();
    l->keyframeData();
    l->consolidatedData();
    for (const auto& f : RecordFields::lecture()) EXPECT_TRUE(fields::equal(*l, *copy, f)) << f.name;
    const LectureFolderPtr folderCopy = c.store->folder(folder->id());
    ASSERT_TRUE(folderCopy);
    for (const auto& f : RecordFields::folder()) EXPECT_TRUE(fields::equal(*folder, *folderCopy, f)) << f.name;

    // And keeps it across a reopen: the merge reached its own file.
    c.store.reset();
    c.open(records());
    EXPECT_EQ(snapshot(*c.store), snapshot(*a.store));
    // The database stays at home; the folder holds documents and blob files only.
    EXPECT_TRUE(filesIn(records(), "*.sqlite*").isEmpty());
    EXPECT_EQ(filesIn(records(), "*.bin").size(), 3);
}

struct Scenario {
    const char* name;
    std::function<void(RecordMirrorTest&, Machine& a, Machine& b)> run;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class RecordMirrorScenarios : public RecordMirrorTest, public ::testing::WithParamInterface<Scenario> {
public:
    using RecordMirrorTest::converge;
    using RecordMirrorTest::createOn;
    using RecordMirrorTest::later;
    using RecordMirrorTest::records;
};

TEST_P(RecordMirrorScenarios, BothMachinesConvergeWithNothingLost) {
    GetParam().run(*this, a, b);
    expectSame();
}

INSTANTIATE_TEST_SUITE_P(
    Orders, RecordMirrorScenarios,
    ::testing::Values(
        Scenario{"CreateOnEachSide",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     s.createOn(a, "Alpha");
                     s.createOn(b, "Beta");
                     s.converge();
                     EXPECT_EQ(a.store->lectures().size(), 2u);
                 }},
        Scenario{"EditsInTurnLastOneWins",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Draft");
                     s.converge();
                     b.store->lecture(l->id())->setTitle("Edited on B");
                     s.converge();
                     s.later();
                     a.store->lecture(l->id())->setTitle("Edited on A after");
                     s.converge();
                     EXPECT_EQ(b.store->lecture(l->id())->title(), "Edited on A after");
                 }},
        Scenario{"ConcurrentEditsLaterStampWins",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Draft");
                     s.converge();
                     b.store->lecture(l->id())->setDuration(99);
                     b.sync();
                     s.later();
                     a.store->lecture(l->id())->setTitle("A, later, without having seen B");
                     a.store->commit();  // writes before reading B's document
                     s.converge();
                     EXPECT_EQ(b.store->lecture(l->id())->title(), "A, later, without having seen B");
                 }},
        Scenario{"MoveOnOneSideRenameFolderOnTheOther",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Lecture");
                     auto folder = LectureFolder::create("Maths");
                     a.store->insert(folder);
                     s.converge();
                     a.store->lecture(l->id())->setFolderID(folder->id());
                     b.store->folder(folder->id())->setName("Mathematics");
                     s.converge();
                     EXPECT_EQ(b.store->lecture(l->id())->folderID(), folder->id());
                     EXPECT_EQ(a.store->folder(folder->id())->name(), "Mathematics");
                 }},
        Scenario{"DeleteAfterEditDeletesEverywhere",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Old");
                     s.converge();
                     b.store->lecture(l->id())->setTitle("Edited");
                     b.sync();
                     s.later();
                     a.store->remove(a.store->lecture(l->id()));
                     s.converge();
                     EXPECT_TRUE(b.store->lectures().empty());
                 }},
        Scenario{"EditAfterDeleteKeepsTheLecture",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Old");
                     s.converge();
                     a.store->remove(a.store->lecture(l->id()));
                     a.sync();
                     s.later();
                     b.store->lecture(l->id())->setTitle("Kept by a later edit");
                     b.store->commit();
                     s.converge();
                     ASSERT_TRUE(a.store->lecture(l->id()));
                     EXPECT_EQ(a.store->lecture(l->id())->title(), "Kept by a later edit");
                 }},
        Scenario{"TranscriptReplacedWhileTheOtherSideEdits",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Lecture");
                     a.store->lecture(l->id())->setTranscriptData(QByteArray(70000, 'a'));
                     s.converge();
                     a.store->lecture(l->id())->setTranscriptData(QByteArray(80000, 'b'));
                     a.store->commit();
                     s.later();
                     b.store->lecture(l->id())->setTitle("Renamed on B, transcript not seen yet");
                     b.store->commit();
                     s.converge();
                     EXPECT_EQ(a.store->lecture(l->id())->title(), "Renamed on B, transcript not seen yet");
                     EXPECT_EQ(a.store->mirror()->status().pendingDocuments, 0);
                 }},
        Scenario{"ConcurrentAnnotationsBothSurvive",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Lecture");
                     s.converge();
                     const QUuid onA = addMarginNote(*a.store->lecture(l->id()), "from the laptop");
                     a.store->commit();
                     s.later();
                     const QUuid onB = addMarginNote(*b.store->lecture(l->id()), "from the desktop");
                     const TextHighlight h = TextHighlight::create(0.5, "word", TextHighlight::HighlightColor::Green);
                     b.store->lecture(l->id())->setHighlightsData(encodeHighlights({h}));
                     b.store->commit();
                     s.converge();
                     for (Machine* m : {&a, &b}) EXPECT_EQ(annotationIds(*m->store->lecture(l->id())), (QSet<QUuid>{onA, onB, h.id}));
                 }},
        Scenario{"DeletedAnnotationStaysDeleted",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Lecture");
                     const QUuid first = addMarginNote(*a.store->lecture(l->id()), "soon deleted");
                     s.converge();
                     removeMarginNote(*a.store->lecture(l->id()), first);
                     a.store->commit();
                     s.later();
                     const QUuid second = addMarginNote(*b.store->lecture(l->id()), "added meanwhile");
                     b.store->commit();
                     s.converge();
                     for (Machine* m : {&a, &b}) EXPECT_EQ(annotationIds(*m->store->lecture(l->id())), QSet<QUuid>{second});
                 }},
        // Edits of different fields made apart: each field takes the side that changed it last.
        Scenario{"MoveOnOneSideMarginNoteOnTheOtherBothSurvive",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Lecture");
                     auto folder = LectureFolder::create("Earth Science");
                     a.store->insert(folder);
                     s.converge();
                     a.store->lecture(l->id())->setFolderID(folder->id());
                     a.store->commit();
                     s.later();
                     const QUuid note = addMarginNote(*b.store->lecture(l->id()), "written later, move not seen");
                     b.store->commit();
                     s.converge();
                     for (Machine* m : {&a, &b}) {
                         EXPECT_EQ(m->store->lecture(l->id())->folderID(), folder->id());
                         EXPECT_EQ(annotationIds(*m->store->lecture(l->id())), QSet<QUuid>{note});
                     }
                 }},
        Scenario{"TitleOnOneSideTranscriptOnTheOtherBothSurvive",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Lecture");
                     s.converge();
                     b.store->lecture(l->id())->setTranscriptData(QByteArray(70000, 't'));
                     b.store->commit();
                     s.later();
                     a.store->lecture(l->id())->setTitle("Renamed on A, later");
                     a.store->commit();
                     s.converge();
                     for (Machine* m : {&a, &b}) {
                         EXPECT_EQ(m->store->lecture(l->id())->title(), "Renamed on A, later");
                         EXPECT_EQ(m->store->lecture(l->id())->transcriptData(), QByteArray(70000, 't'));
                     }
                 }},
        Scenario{"SameFieldOnBothSidesLaterWins",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Draft");
                     s.converge();
                     a.store->lecture(l->id())->setTitle("A, first");
                     a.store->commit();
                     s.later();
                     b.store->lecture(l->id())->setTitle("B, later");
                     b.store->commit();
                     s.converge();
                     for (Machine* m : {&a, &b}) EXPECT_EQ(m->store->lecture(l->id())->title(), "B, later");
                 }},
        // A field given the value it already had has not changed: the other side's edit of it stands.
        Scenario{"FieldSetToItsOwnValueDoesNotWin",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Draft");
                     s.converge();
                     a.store->lecture(l->id())->setTitle("Edited on A");
                     a.store->commit();
                     s.later();
                     const LecturePtr onB = b.store->lecture(l->id());
                     onB->setTitle("Draft");  // as a form saves every field
                     onB->setDuration(42);
                     b.store->commit();
                     s.converge();
                     for (Machine* m : {&a, &b}) {
                         EXPECT_EQ(m->store->lecture(l->id())->title(), "Edited on A");
                         EXPECT_EQ(m->store->lecture(l->id())->duration(), 42);
                     }
                 }},
        // A document with one stamp for the whole record (as written before fields had
        // their own) is read with every field carrying that stamp.
        Scenario{"DocumentWithOneStampPerRecordWinsWhole",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     auto l = s.createOn(a, "Draft");
                     s.converge();
                     b.store->lecture(l->id())->setDuration(42);
                     b.store->commit();
                     s.later();
                     a.store->lecture(l->id())->setTitle("Edited on A, later");
                     a.store->commit();
                     const QString path = s.records() + "/" + l->idText() + ".json";
                     QFile file(path);
                     ASSERT_TRUE(file.open(QIODevice::ReadOnly));
                     QJsonObject doc = QJsonDocument::fromJson(file.readAll()).object();
                     file.close();
                     ASSERT_TRUE(doc.contains("fieldStamps"));
                     doc.remove("fieldStamps");
                     doc.insert("format", 1);
                     ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
                     file.write(QJsonDocument(doc).toJson());
                     file.close();
                     b.sync();
                     EXPECT_EQ(b.store->lecture(l->id())->title(), "Edited on A, later");
                     EXPECT_NE(b.store->lecture(l->id())->duration(), 42);
                     s.converge();
                 }},
        Scenario{"ClockAnHourAheadDoesNotWinLaterEdits",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     b.skewMs = kHour;
                     auto l = s.createOn(a, "Draft");
                     s.converge();
                     b.store->lecture(l->id())->setTitle("B, clock an hour ahead");
                     s.converge();
                     s.later();
                     a.store->lecture(l->id())->setTitle("A, a moment later");
                     s.converge();
                     EXPECT_EQ(b.store->lecture(l->id())->title(), "A, a moment later");
                 }},
        Scenario{"ClockAnHourBehindStillOrdersItsEdits",
                 [](RecordMirrorTest& t, Machine& a, Machine& b) {
                     auto& s = static_cast<RecordMirrorScenarios&>(t);
                     b.skewMs = -kHour;
                     auto l = s.createOn(a, "Draft");
                     s.converge();
                     s.later();
                     b.store->lecture(l->id())->setTitle("B, clock an hour behind, edits last");
                     s.converge();
                     EXPECT_EQ(a.store->lecture(l->id())->title(), "B, clock an hour behind, edits last");
                 }}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

// A library whose bookkeeping predates the field stamps: its next commit stamps
// only the fields that commit changed.
TEST_F(RecordMirrorTest, BookkeepingWithoutFieldStampsClaimsOnlyTheChangedFields) {
    auto l = createOn(a, "Draft");
    converge();
    a.store.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(a.home.filePath("library.sqlite")).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "ALTER TABLE mirror_records DROP COLUMN fields", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    a.open(records());
    b.store->lecture(l->id())->setDuration(42);
    b.store->commit();
    later();
    a.store->lecture(l->id())->setTitle("Edited on A after the upgrade");
    a.store->commit();
    converge();
    for (Machine* m : {&a, &b}) {
        EXPECT_EQ(m->store->lecture(l->id())->title(), "Edited on A after the upgrade");
        EXPECT_EQ(m->store->lecture(l->id())->duration(), 42);
    }
    expectSame();
}

// What the sync clients leave behind when both machines wrote one document:
// the losing version under a conflict name, merged and then removed.
TEST_F(RecordMirrorTest, ConflictCopiesAreMergedThenRemoved) {
    const QStringList names = {"%1.sync-conflict-20250301-101500-ABCDEFG.json", "%1 (conflicted copy 2025-03-01 101500).json",
                               "%1 (Laptop's conflicted copy 2025-03-01).json"};
    for (const QString& pattern : names) {
        auto l = createOn(a, "Lecture");
        converge();
        const QString main = records() + "/" + l->idText() + ".json";
        const QUuid onA = addMarginNote(*a.store->lecture(l->id()), "kept in the conflict copy");
        a.store->commit();
        // The sync client moves A's version aside when B's arrives.
        ASSERT_TRUE(QFile::rename(main, records() + "/" + pattern.arg(l->idText())));
        later();
        const QUuid onB = addMarginNote(*b.store->lecture(l->id()), "the version that won the name");
        b.store->commit();
        b.sync();  // B finds the copy first
        EXPECT_TRUE(filesIn(records(), "*conflict*").isEmpty()) << pattern.toStdString();
        converge();
        for (Machine* m : {&a, &b}) EXPECT_EQ(annotationIds(*m->store->lecture(l->id())), (QSet<QUuid>{onA, onB})) << pattern.toStdString();
        expectSame();
    }
    EXPECT_EQ(b.store->mirror()->status().conflictsResolved, 3);
}

TEST_F(RecordMirrorTest, HalfWrittenDocumentIsLeftAloneAndReadWhenComplete) {
    auto l = createOn(a, "Arriving");
    const QString path = records() + "/" + l->idText() + ".json";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(whole.size() / 2));
    file.close();

    b.sync();
    EXPECT_TRUE(b.store->lectures().empty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(b.store->mirror()->status().pendingDocuments, 1);

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole);
    file.close();
    b.sync();
    ASSERT_TRUE(b.only());
    EXPECT_EQ(b.only()->title(), "Arriving");
    EXPECT_EQ(b.store->mirror()->status().pendingDocuments, 0);
}

TEST_F(RecordMirrorTest, TombstonesOutliveTheSyncAndGoAfterThirtyDays) {
    auto l = createOn(a, "Short-lived");
    a.store->lecture(l->id())->setKeyframeData(QByteArray(5000, 'k'));
    converge();
    a.store->remove(a.store->lecture(l->id()));
    converge();
    const QString path = records() + "/" + l->idText() + ".json";
    ASSERT_TRUE(QFile::exists(path));
    Machine::elapsedMs += 29 * kDay;
    converge();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(filesIn(records(), "*.bin").size(), 1);
    Machine::elapsedMs += 2 * kDay;
    converge();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(a.store->lectures().empty() && b.store->lectures().empty());
    // The blob files of the deleted lecture have gone with it, once their files are as old.
    EXPECT_TRUE(filesIn(records(), "*.bin").isEmpty());
}

// Without anyone calling for it: the folder is watched and the other store
// raises "changed remotely".
TEST_F(RecordMirrorTest, ChangeInTheFolderReachesTheOtherStoreOnItsOwn) {
    QSignalSpy remote(b.store.get(), &LibraryStore::changedRemotely);
    auto l = Lecture::create("Watched", std::nullopt, std::nullopt);
    a.store->insert(l);
    ASSERT_TRUE(spinUntil([&] { return b.store->lecture(l->id()) != nullptr; }, 5000));
    EXPECT_GE(remote.count(), 1);
    a.store->lecture(l->id())->setTitle("Renamed");
    ASSERT_TRUE(spinUntil([&] { return b.store->lecture(l->id())->title() == "Renamed"; }, 5000));
    const auto status = b.store->mirror()->status();
    EXPECT_TRUE(status.lastImport.has_value());
    EXPECT_EQ(status.lastImportCount, 1);
}

// The lecture is shown on B before its transcript has come over from A.
TEST_F(RecordMirrorTest, TranscriptArrivingWhileShownIsShownWithItsMessage) {
    auto l = createOn(a, "Transcribed on A");
    converge();
    ProcessingState state;
    await(loadLectureIntoState(state, b.store->lecture(l->id()), [](const QUuid&) { return QList<CapturedScreenshot>{}; }));
    ASSERT_TRUE(state.transcriptSegments().isEmpty());

    a.store->lecture(l->id())->setTranscriptData(*encodeTranscript({{QUuid::createUuid(), "Hello", 0, 1, {}}, {QUuid::createUuid(), "again", 1, 2, {}}}));
    bool shown = false;
    QObject::connect(b.store.get(), &LibraryStore::changedRemotely, b.store.get(), [&] {
        auto task = showArrivedTranscript(state, b.store->lecture(l->id()));
        shown = true;
    });
    ASSERT_TRUE(spinUntil([&] { return !state.transcriptSegments().isEmpty(); }, 5000));
    EXPECT_TRUE(shown);
    EXPECT_EQ(state.transcriptSegments().size(), 2);
    EXPECT_EQ(state.messages().last().text, "Transcript received via the sync folder — 2 segments.");
}
