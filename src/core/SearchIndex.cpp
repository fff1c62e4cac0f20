#include "core/SearchIndex.h"

#include "core/Annotations.h"
#include "core/LibraryStore.h"
#include "core/Uuid.h"

#include <QFile>
#include <QScopeGuard>
#include <QSet>

#include <simdjson.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace lumenote {
namespace {

constexpr const char* kIndexVersion = "2";
// A document id is the lecture's key in the high bits and its document number
// in the low ones: 0 is the transcript, 1 and up the notes and annotations.
constexpr int kDocBits = 20;
constexpr qint64 kMaxDocs = (qint64(1) << kDocBits) - 1;

// Parts of a lecture that are reindexed on their own.
enum Part { TranscriptPart = 0, NotesPart = 1 };

const char* const kSchema[] = {
    "CREATE TABLE search_lectures (lkey INTEGER PRIMARY KEY, lecture_id TEXT NOT NULL UNIQUE, segments BLOB)",
    "CREATE VIRTUAL TABLE search_fts USING fts5(body, content='', tokenize='unicode61 remove_diacritics 2')",
    "CREATE TABLE search_docs (docid INTEGER PRIMARY KEY, kind INTEGER NOT NULL, time REAL, body TEXT NOT NULL)",
    // Lectures changed since the last update; `old` keeps the transcript as it
    // was indexed, which removing it from the index needs.
    "CREATE TABLE search_queue (lecture_id TEXT NOT NULL, part INTEGER NOT NULL, old BLOB, PRIMARY KEY (lecture_id, part))",
    "CREATE TRIGGER search_blob_insert BEFORE INSERT ON lecture_blobs WHEN NEW.field IN ('transcriptData', 'consolidatedData') BEGIN "
    "INSERT OR IGNORE INTO search_queue (lecture_id, part, old) VALUES (NEW.lecture_id, NEW.field = 'consolidatedData', "
    "(SELECT data FROM lecture_blobs WHERE lecture_id = NEW.lecture_id AND field = 'transcriptData' AND NEW.field = 'transcriptData')); END",
    "CREATE TRIGGER search_blob_update BEFORE UPDATE ON lecture_blobs WHEN OLD.field IN ('transcriptData', 'consolidatedData') BEGIN "
    "INSERT OR IGNORE INTO search_queue (lecture_id, part, old) VALUES (OLD.lecture_id, OLD.field = 'consolidatedData', "
    "CASE WHEN OLD.field = 'transcriptData' THEN OLD.data END); END",
    "CREATE TRIGGER search_blob_delete BEFORE DELETE ON lecture_blobs WHEN OLD.field IN ('transcriptData', 'consolidatedData') BEGIN "
    "INSERT OR IGNORE INTO search_queue (lecture_id, part, old) VALUES (OLD.lecture_id, OLD.field = 'consolidatedData', "
    "CASE WHEN OLD.field = 'transcriptData' THEN OLD.data END); END",
    "CREATE TRIGGER search_lecture_insert AFTER INSERT ON lectures BEGIN "
    "INSERT OR IGNORE INTO search_queue (lecture_id, part) VALUES (NEW.id, 1); END",
    "CREATE TRIGGER search_lecture_update AFTER UPDATE ON lectures WHEN "
    "OLD.notesData IS NOT NEW.notesData OR OLD.marginNotesData IS NOT NEW.marginNotesData OR "
    "OLD.highlightsData IS NOT NEW.highlightsData OR OLD.notesInlineNotesData IS NOT NEW.notesInlineNotesData OR "
    "OLD.notesMarginNotesData IS NOT NEW.notesMarginNotesData OR OLD.notesHighlightsData IS NOT NEW.notesHighlightsData BEGIN "
    "INSERT OR IGNORE INTO search_queue (lecture_id, part) VALUES (NEW.id, 1); END",
    "CREATE TRIGGER search_lecture_delete AFTER DELETE ON lectures BEGIN "
    "DELETE FROM search_slides WHERE lecture_id = OLD.id; "
    "INSERT OR IGNORE INTO search_queue (lecture_id, part) VALUES (OLD.id, 1); END",
};
// The words recognised on a lecture's text slides: kept beside the index (not
// derived from the records, so a rebuild keeps them).
const char* const kSlidesTable = "CREATE TABLE IF NOT EXISTS search_slides (lecture_id TEXT NOT NULL, time REAL NOT NULL, body TEXT NOT NULL)";
const char* const kSchemaObjects[] = {"search_lectures", "search_fts", "search_docs", "search_queue"};
const char* const kTriggers[] = {"search_blob_insert", "search_blob_update", "search_blob_delete",
                                 "search_lecture_insert", "search_lecture_update", "search_lecture_delete"};

class Sql {
public:
    Sql(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw Error(QStringLiteral("Search index: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
    }
    ~Sql() { sqlite3_finalize(stmt_); }
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;

    Sql& reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return *this;
    }
    Sql& bind(int i, qint64 v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Sql& bind(int i, const QByteArray& utf8) {
        sqlite3_bind_text(stmt_, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Sql& bindBlob(int i, const QByteArray& b) {
        sqlite3_bind_blob(stmt_, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Sql& bindReal(int i, std::optional<double> v) {
        if (v) sqlite3_bind_double(stmt_, i, *v);
        else sqlite3_bind_null(stmt_, i);
        return *this;
    }
    bool row() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) throw Error(QStringLiteral("Search index: %1").arg(QString::fromUtf8(sqlite3_errmsg(db_))));
        return false;
    }
    void run() { row(); }

    bool isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    qint64 integer(int c) const { return sqlite3_column_int64(stmt_, c); }
    double real(int c) const { return sqlite3_column_double(stmt_, c); }
    QByteArray bytes(int c) const {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, c));
        return QByteArray(p, sqlite3_column_bytes(stmt_, c));
    }
    QString text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return QString::fromUtf8(p, sqlite3_column_bytes(stmt_, c));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK) return;
    const QString why = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db));
    sqlite3_free(msg);
    throw Error(QStringLiteral("Search index: %1").arg(why));
}

void appendVarint(QByteArray& out, quint64 v) {
    while (v >= 0x80) {
        out.append(char(v | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

quint64 readVarint(const char*& p, const char* end) {
    quint64 v = 0;
    for (int shift = 0; p < end && shift < 64; shift += 7) {
        const auto b = static_cast<unsigned char>(*p++);
        v |= quint64(b & 0x7f) << shift;
        if (!(b & 0x80)) break;
    }
    return v;
}

// UTF-16 length of UTF-8 bytes.
qsizetype utf16Length(const char* p, qsizetype n) {
    qsizetype units = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if ((c & 0xc0) != 0x80) units += c >= 0xf0 ? 2 : 1;
    }
    return units;
}

struct Token {
    QByteArray folded;
    int start = 0;  // byte range in the text
    int end = 0;
};

// One transcript segment as the index keeps it: where its JSON object lies in
// the stored transcript and where its tokens start in the lecture's document.
struct SegmentRef {
    qint64 firstToken = 0;
    qint64 offset = 0;
    qint64 length = 0;
};

QByteArray encodeSegments(const std::vector<SegmentRef>& segments) {
    QByteArray out;
    qint64 token = 0, end = 0;
    for (const SegmentRef& s : segments) {
        appendVarint(out, quint64(s.firstToken - token));
        appendVarint(out, quint64(s.offset - end));
        appendVarint(out, quint64(s.length));
        token = s.firstToken;
        end = s.offset + s.length;
    }
    return out;
}

std::vector<SegmentRef> decodeSegments(const QByteArray& blob) {
    std::vector<SegmentRef> out;
    const char* p = blob.constData();
    const char* end = p + blob.size();
    qint64 token = 0, last = 0;
    while (p < end) {
        SegmentRef s;
        s.firstToken = token + qint64(readVarint(p, end));
        s.offset = last + qint64(readVarint(p, end));
        s.length = qint64(readVarint(p, end));
        token = s.firstToken;
        last = s.offset + s.length;
        out.push_back(s);
    }
    return out;
}

struct SegmentText {
    qint64 offset = 0;
    qint64 length = 0;
    QByteArray text;  // UTF-8
};

// The segments of a stored transcript with their place in it; none when it
// does not read as a transcript (such a lecture has nothing to find).
std::optional<std::vector<SegmentText>> transcriptSegments(const QByteArray& json) {
    simdjson::padded_string padded(json.constData(), size_t(json.size()));
    simdjson::ondemand::parser parser;
    simdjson::dom::parser objectParser;
    std::vector<SegmentText> out;
    simdjson::ondemand::document doc;
    if (parser.iterate(padded).get(doc)) return std::nullopt;
    simdjson::ondemand::array array;
    if (doc.get_array().get(array)) return std::nullopt;
    for (auto element : array) {
        simdjson::ondemand::object object;
        std::string_view raw;
        if (element.get_object().get(object) || object.raw_json().get(raw)) return std::nullopt;
        simdjson::dom::element parsed;
        std::string_view text;
        if (objectParser.parse(raw.data(), raw.size()).get(parsed) || parsed["text"].get_string().get(text)) continue;
        out.push_back({qint64(raw.data() - padded.data()), qint64(raw.size()), QByteArray(text.data(), qsizetype(text.size()))});
    }
    return out;
}

// Consolidated notes are indexed paragraph by paragraph.
QStringList paragraphs(const QString& notes) {
    QStringList out;
    for (const QString& p : notes.split(QStringLiteral("\n\n"))) {
        const QString t = p.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

struct SmallDoc {
    SearchHit::Kind kind;
    std::optional<double> time;
    QString body;
};

}  // namespace

QString searchHitKindName(SearchHit::Kind kind) {
    switch (kind) {
    case SearchHit::Kind::Transcript: return QStringLiteral("transcript");
    case SearchHit::Kind::Notes: return QStringLiteral("notes");
    case SearchHit::Kind::UserNote: return QStringLiteral("note");
    case SearchHit::Kind::MarginNote: return QStringLiteral("margin-note");
    case SearchHit::Kind::Highlight: return QStringLiteral("highlight");
    case SearchHit::Kind::SlideText: return QStringLiteral("slide");
    }
    return {};
}

ParsedQuery parseSearchQuery(const QString& text) {
    ParsedQuery q;
    auto add = [&q](const QString& raw, bool prefix) {
        QStringList words;
        QString word;
        for (const QChar c : raw) {
            if (c.isLetterOrNumber() || c.isMark() || c.isSurrogate()) {
                word += c;
            } else if (!word.isEmpty()) {
                words << word;
                word.clear();
            }
        }
        if (!word.isEmpty()) words << word;
        if (!words.isEmpty()) q.phrases.append({words.join(QLatin1Char(' ')), prefix});
    };
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        if (text[i] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? n : close;
            const bool prefix = end + 1 < n && text[end + 1] == QLatin1Char('*');
            add(text.mid(i + 1, end - i - 1), prefix);
            i = end + 1 + (prefix ? 1 : 0);
            continue;
        }
        qsizetype end = i;
        while (end < n && !text[end].isSpace() && text[end] != QLatin1Char('"')) ++end;
        const QString word = text.mid(i, end - i);
        add(word, word.endsWith(QLatin1Char('*')));
        i = end;
    }
    return q;
}

QString ParsedQuery::expression() const {
    QStringList parts;
    for (const Phrase& p : phrases) parts << QLatin1Char('"') + p.text + QLatin1Char('"') + (p.prefix ? QStringLiteral("*") : QString());
    return parts.join(QLatin1Char(' '));
}

struct SearchIndex::Impl {
    QString path;
    sqlite3* db = nullptr;
    fts5_api* api = nullptr;
    fts5_tokenizer tokenizer{};
    Fts5Tokenizer* tokenizerInstance = nullptr;

    ~Impl() {
        if (tokenizerInstance) tokenizer.xDelete(tokenizerInstance);
        sqlite3_close(db);
    }

    // The index's own tokens, so that positions and marks agree with it.
    std::vector<Token> tokenize(const QByteArray& utf8, int flags = FTS5_TOKENIZE_DOCUMENT) const {
        std::vector<Token> tokens;
        tokenizer.xTokenize(tokenizerInstance, &tokens, flags, utf8.constData(), int(utf8.size()),
                            [](void* ctx, int tflags, const char* token, int n, int start, int end) -> int {
                                if (tflags & FTS5_TOKEN_COLOCATED) return SQLITE_OK;
                                static_cast<std::vector<Token>*>(ctx)->push_back({QByteArray(token, n), start, end});
                                return SQLITE_OK;
                            });
        return tokens;
    }
    int tokenCount(const QByteArray& utf8) const {
        int count = 0;
        tokenizer.xTokenize(tokenizerInstance, &count, FTS5_TOKENIZE_DOCUMENT, utf8.constData(), int(utf8.size()),
                            [](void* ctx, int tflags, const char*, int, int, int) -> int {
                                if (!(tflags & FTS5_TOKEN_COLOCATED)) ++*static_cast<int*>(ctx);
                                return SQLITE_OK;
                            });
        return count;
    }

    bool hasTable(const char* name) {
        Sql s(db, "SELECT 1 FROM sqlite_master WHERE name = ?");
        s.bind(1, QByteArray(name));
        return s.row();
    }

    std::optional<qint64> lectureKey(const QByteArray& id) {
        Sql s(db, "SELECT lkey FROM search_lectures WHERE lecture_id = ?");
        s.bind(1, id);
        if (!s.row()) return std::nullopt;
        return s.integer(0);
    }
    qint64 ensureLectureKey(const QByteArray& id) {
        if (const auto k = lectureKey(id)) return *k;
        Sql s(db, "INSERT INTO search_lectures (lecture_id) VALUES (?)");
        s.bind(1, id).run();
        return sqlite3_last_insert_rowid(db);
    }

    void ftsDelete(qint64 docid, const QByteArray& body) {
        Sql s(db, "INSERT INTO search_fts (search_fts, rowid, body) VALUES ('delete', ?, ?)");
        s.bind(1, docid).bind(2, body).run();
    }
    void ftsInsert(qint64 docid, const QByteArray& body) {
        Sql s(db, "INSERT INTO search_fts (rowid, body) VALUES (?, ?)");
        s.bind(1, docid).bind(2, body).run();
    }

    static QByteArray joined(const std::vector<SegmentText>& segments) {
        QByteArray body;
        for (const SegmentText& s : segments) {
            if (!body.isEmpty()) body.append('\n');
            body.append(s.text);
        }
        return body;
    }

    // Returns false when the indexed transcript cannot be taken out exactly
    // (the index no longer matches its records and must be rebuilt).
    bool unindexTranscript(qint64 lkey, const std::optional<QByteArray>& old) {
        Sql s(db, "SELECT segments FROM search_lectures WHERE lkey = ?");
        s.bind(1, lkey);
        if (!s.row() || s.isNull(0)) return true;
        if (!old) return false;
        const auto segments = transcriptSegments(*old);
        if (!segments || decodeSegments(s.bytes(0)).size() != segments->size()) return false;
        ftsDelete(lkey << kDocBits, joined(*segments));
        Sql clear(db, "UPDATE search_lectures SET segments = NULL WHERE lkey = ?");
        clear.bind(1, lkey).run();
        return true;
    }

    void indexTranscript(qint64 lkey, const QByteArray& id) {
        Sql s(db, "SELECT data FROM lecture_blobs WHERE lecture_id = ? AND field = 'transcriptData' AND lecture_id IN (SELECT id FROM lectures)");
        s.bind(1, id);
        if (!s.row()) return;
        const auto segments = transcriptSegments(s.bytes(0));
        if (!segments || segments->empty()) return;
        std::vector<SegmentRef> refs;
        refs.reserve(segments->size());
        qint64 token = 0;
        for (const SegmentText& seg : *segments) {
            refs.push_back({token, seg.offset, seg.length});
            token += tokenCount(seg.text);
        }
        ftsInsert(lkey << kDocBits, joined(*segments));
        Sql put(db, "UPDATE search_lectures SET segments = ? WHERE lkey = ?");
        put.bindBlob(1, encodeSegments(refs)).bind(2, lkey).run();
    }

    void unindexNotes(qint64 lkey) {
        Sql s(db, "SELECT docid, body FROM search_docs WHERE docid BETWEEN ? AND ?");
        s.bind(1, (lkey << kDocBits) + 1).bind(2, (lkey << kDocBits) + kMaxDocs);
        while (s.row()) ftsDelete(s.integer(0), s.bytes(1));
        Sql del(db, "DELETE FROM search_docs WHERE docid BETWEEN ? AND ?");
        del.bind(1, (lkey << kDocBits) + 1).bind(2, (lkey << kDocBits) + kMaxDocs).run();
    }

    std::vector<SmallDoc> smallDocs(const QByteArray& id) {
        std::vector<SmallDoc> docs;
        Sql row(db, "SELECT notesData, marginNotesData, highlightsData, notesInlineNotesData, notesMarginNotesData, notesHighlightsData "
                    "FROM lectures WHERE id = ?");
        row.bind(1, id);
        if (!row.row()) return docs;
        auto blob = [&row](int c) { return row.isNull(c) ? std::nullopt : std::optional<QByteArray>(row.bytes(c)); };
        // In the notes view, positions are paragraph numbers, not times.
        for (int view = 0; view < 2; ++view) {
            const int base = view * 3;
            auto timeOf = [view](double t) { return view == 0 ? std::optional<double>(t) : std::nullopt; };
            for (const UserNote& n : decodeOrEmpty<UserNote>(blob(base), decodeUserNotes))
                docs.push_back({SearchHit::Kind::UserNote, timeOf(std::max(0.0, n.afterTimestamp)), n.text});
            for (const MarginNote& n : decodeOrEmpty<MarginNote>(blob(base + 1), decodeMarginNotes))
                docs.push_back({SearchHit::Kind::MarginNote, timeOf(n.passageTimestamp), n.anchorText + QStringLiteral(" — ") + n.noteText});
            for (const TextHighlight& h : decodeOrEmpty<TextHighlight>(blob(base + 2), decodeHighlights))
                docs.push_back({SearchHit::Kind::Highlight, timeOf(h.passageTimestamp), h.anchorText});
        }
        Sql slides(db, "SELECT time, body FROM search_slides WHERE lecture_id = ? ORDER BY time");
        slides.bind(1, id);
        while (slides.row()) docs.push_back({SearchHit::Kind::SlideText, slides.real(0), slides.text(1)});
        Sql notes(db, "SELECT data FROM lecture_blobs WHERE lecture_id = ? AND field = 'consolidatedData'");
        notes.bind(1, id);
        if (notes.row())
            for (const QString& p : paragraphs(QString::fromUtf8(notes.bytes(0))))
                docs.push_back({SearchHit::Kind::Notes, std::nullopt, p});
        return docs;
    }

    void indexNotes(qint64 lkey, const QByteArray& id) {
        Sql put(db, "INSERT INTO search_docs (docid, kind, time, body) VALUES (?, ?, ?, ?)");
        qint64 n = 0;
        for (const SmallDoc& doc : smallDocs(id)) {
            if (doc.body.trimmed().isEmpty() || n == kMaxDocs) continue;
            const qint64 docid = (lkey << kDocBits) + ++n;
            const QByteArray body = doc.body.toUtf8();
            put.reset().bind(1, docid).bind(2, qint64(doc.kind)).bindReal(3, doc.time).bind(4, body).run();
            ftsInsert(docid, body);
        }
    }

    // Drops the key of a lecture that has nothing indexed any more.
    void forgetIfEmpty(qint64 lkey) {
        Sql s(db, "DELETE FROM search_lectures WHERE lkey = ?1 AND segments IS NULL AND NOT EXISTS "
                  "(SELECT 1 FROM search_docs WHERE docid BETWEEN ?2 AND ?3)");
        s.bind(1, lkey).bind(2, (lkey << kDocBits) + 1).bind(3, (lkey << kDocBits) + kMaxDocs).run();
    }

    void createSchema() {
        for (const char* t : kTriggers) exec(db, QByteArray("DROP TRIGGER IF EXISTS ").append(t).constData());
        for (const char* t : kSchemaObjects) exec(db, QByteArray("DROP TABLE IF EXISTS ").append(t).constData());
        exec(db, kSlidesTable);
        for (const char* sql : kSchema) exec(db, sql);
        exec(db, QByteArray("INSERT OR REPLACE INTO meta (key, value) VALUES ('searchIndexVersion', '").append(kIndexVersion).append("')").constData());
    }

    void rebuildInTransaction() {
        createSchema();
        std::vector<QByteArray> ids;
        Sql all(db, "SELECT id FROM lectures ORDER BY rowid");
        while (all.row()) ids.push_back(all.bytes(0));
        for (const QByteArray& id : ids) {
            const qint64 lkey = ensureLectureKey(id);
            indexTranscript(lkey, id);
            indexNotes(lkey, id);
            forgetIfEmpty(lkey);
        }
        // One merged index is smaller and faster to query.
        exec(db, "INSERT INTO search_fts (search_fts) VALUES ('optimize')");
    }

    bool isCurrent() {
        for (const char* t : kSchemaObjects)
            if (!hasTable(t)) return false;
        for (const char* t : kTriggers)
            if (!hasTable(t)) return false;
        Sql s(db, "SELECT value FROM meta WHERE key = 'searchIndexVersion'");
        return s.row() && s.text(0) == QLatin1String(kIndexVersion);
    }
};

namespace {

// lumenote_hits(search_fts): the current row's matches as pairs of 32-bit
// integers (phrase number, token position).
void hitsFunction(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* ctx, int, sqlite3_value**) {
    int count = 0;
    if (api->xInstCount(fts, &count) != SQLITE_OK) {
        sqlite3_result_error(ctx, "match positions unavailable", -1);
        return;
    }
    std::vector<qint32> out;
    out.reserve(size_t(count) * 2);
    for (int i = 0; i < count; ++i) {
        int phrase = 0, column = 0, offset = 0;
        if (api->xInst(fts, i, &phrase, &column, &offset) != SQLITE_OK) continue;
        out.push_back(phrase);
        out.push_back(offset);
    }
    sqlite3_result_blob(ctx, out.data(), int(out.size() * sizeof(qint32)), SQLITE_TRANSIENT);
}

fts5_api* fts5Api(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &s, nullptr) != SQLITE_OK) return nullptr;
    sqlite3_bind_pointer(s, 1, reinterpret_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(s);
    sqlite3_finalize(s);
    return api;
}

struct Instance {
    int phrase;
    qint64 token;
};

std::vector<Instance> decodeInstances(const QByteArray& blob) {
    std::vector<Instance> out;
    const qsizetype n = blob.size() / qsizetype(2 * sizeof(qint32));
    out.reserve(size_t(n));
    for (qsizetype i = 0; i < n; ++i) {
        qint32 pair[2];
        std::memcpy(pair, blob.constData() + i * 2 * qsizetype(sizeof(qint32)), sizeof pair);
        out.push_back({pair[0], pair[1]});
    }
    return out;
}

// The snippet of a text with the matched token runs marked; long texts are
// cut to a window around the first match.
void fillSnippet(SearchHit& hit, const QByteArray& text, const std::vector<Token>& tokens, const std::vector<std::pair<qint64, int>>& runs) {
    constexpr int kContext = 90;  // bytes of context on each side of a long text's first match
    std::vector<std::pair<int, int>> bytes;  // byte ranges of the marks
    for (const auto& [first, length] : runs) {
        if (first < 0 || first >= qint64(tokens.size())) continue;
        const qint64 last = std::min<qint64>(first + std::max(length, 1) - 1, qint64(tokens.size()) - 1);
        bytes.push_back({tokens[size_t(first)].start, tokens[size_t(last)].end});
    }
    std::sort(bytes.begin(), bytes.end());
    int from = 0, to = int(text.size());
    if (!bytes.empty() && text.size() > 2 * kContext + 40) {
        from = std::max(0, bytes.front().first - kContext);
        to = std::min(int(text.size()), bytes.front().second + kContext);
        // Whole words only.
        while (from > 0 && text[from - 1] != ' ') --from;
        while (to < text.size() && text[to] != ' ') ++to;
    }
    const QString prefix = from > 0 ? QStringLiteral("…") : QString();
    hit.snippet = prefix + QString::fromUtf8(text.mid(from, to - from)).trimmed() + (to < text.size() ? QStringLiteral("…") : QString());
    // Leading blanks that trimmed() removed shift the marks.
    int lead = from;
    while (lead < to && (text[lead] == ' ' || text[lead] == '\n' || text[lead] == '\t')) ++lead;
    int lastEnd = -1;
    for (const auto& [b, e] : bytes) {
        if (b < lead || e > to || b < lastEnd) continue;
        const qsizetype start = prefix.size() + utf16Length(text.constData() + lead, b - lead);
        hit.marks.append({start, utf16Length(text.constData() + b, e - b)});
        lastEnd = e;
    }
}

}  // namespace

std::unique_ptr<SearchIndex> SearchIndex::open(const QString& path) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &impl->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        throw Error(QStringLiteral("Cannot open the search index in \"%1\": %2").arg(path, QString::fromUtf8(sqlite3_errmsg(impl->db))));
    sqlite3_busy_timeout(impl->db, 5000);
    // A hit's passage is read from the middle of a stored transcript; mapped
    // pages make reaching it (through the blob's overflow chain) cheap.
    sqlite3_exec(impl->db, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr);
    impl->api = fts5Api(impl->db);
    if (!impl->api) throw Error(QStringLiteral("Cannot open the search index: this SQLite has no full-text search (FTS5)"));
    void* userData = nullptr;
    const char* args[] = {"remove_diacritics", "2"};
    if (impl->api->xFindTokenizer(impl->api, "unicode61", &userData, &impl->tokenizer) != SQLITE_OK ||
        impl->tokenizer.xCreate(userData, args, 2, &impl->tokenizerInstance) != SQLITE_OK)
        throw Error(QStringLiteral("Cannot open the search index: the unicode61 tokenizer is missing"));
    impl->api->xCreateFunction(impl->api, "lumenote_hits", nullptr, hitsFunction, nullptr);

    {
        Impl& d = *impl;
        if (!d.hasTable("lectures") || !d.hasTable("lecture_blobs") || !d.hasTable("meta"))
            throw Error(QStringLiteral("Cannot open the search index: \"%1\" is not a Lumenote library").arg(path));
        if (!d.isCurrent()) {
            exec(d.db, "BEGIN IMMEDIATE");
            try {
                // Another process may have built it meanwhile.
                if (!d.isCurrent()) d.rebuildInTransaction();
                exec(d.db, "COMMIT");
            } catch (...) {
                sqlite3_exec(d.db, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
    }
    return std::unique_ptr<SearchIndex>(new SearchIndex(std::move(impl)));
}

SearchIndex::SearchIndex(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
SearchIndex::~SearchIndex() = default;

void SearchIndex::rebuild() {
    exec(d->db, "BEGIN IMMEDIATE");
    try {
        d->rebuildInTransaction();
        exec(d->db, "COMMIT");
    } catch (...) {
        sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    emit indexChanged();
}

int SearchIndex::update() {
    {
        Sql any(d->db, "SELECT 1 FROM search_queue LIMIT 1");
        if (!any.row()) return 0;
    }
    exec(d->db, "BEGIN IMMEDIATE");
    int count = 0;
    bool needsRebuild = false;
    try {
        struct Change {
            QByteArray id;
            int part;
            std::optional<QByteArray> old;
        };
        std::vector<Change> changes;
        {
            Sql q(d->db, "SELECT lecture_id, part, old FROM search_queue");
            while (q.row()) changes.push_back({q.bytes(0), int(q.integer(1)), q.isNull(2) ? std::nullopt : std::optional<QByteArray>(q.bytes(2))});
        }
        QSet<QByteArray> lectures;
        for (const Change& c : changes) {
            lectures.insert(c.id);
            const qint64 lkey = d->ensureLectureKey(c.id);
            if (c.part == TranscriptPart) {
                if (!d->unindexTranscript(lkey, c.old)) {
                    needsRebuild = true;
                    break;
                }
                d->indexTranscript(lkey, c.id);
            } else {
                d->unindexNotes(lkey);
                d->indexNotes(lkey, c.id);
            }
            d->forgetIfEmpty(lkey);
        }
        if (needsRebuild) {
            d->rebuildInTransaction();
        } else {
            exec(d->db, "DELETE FROM search_queue");
        }
        count = int(lectures.size());
        exec(d->db, "COMMIT");
    } catch (...) {
        sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (count) emit indexChanged();
    return count;
}

void SearchIndex::recordSlideText(const QString& path, const QUuid& lecture, const QList<std::pair<double, QString>>& slides) {
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    const bool opened = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK;
    const auto close = qScopeGuard([db] { sqlite3_close(db); });
    if (!opened) throw Error(QStringLiteral("Cannot record the slides' words in \"%1\": %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db))));
    sqlite3_busy_timeout(db, 5000);
    const QByteArray id = uuidText(lecture).toUtf8();
    exec(db, "BEGIN IMMEDIATE");
    try {
        exec(db, kSlidesTable);
        Sql drop(db, "DELETE FROM search_slides WHERE lecture_id = ?");
        drop.bind(1, id).run();
        Sql put(db, "INSERT INTO search_slides (lecture_id, time, body) VALUES (?, ?, ?)");
        for (const auto& [time, text] : slides)
            if (!text.trimmed().isEmpty()) put.reset().bind(1, id).bindReal(2, time).bind(3, text.toUtf8()).run();
        // An index that exists catches up on its next update; one that does not
        // reads the table when it is built.
        Sql queue(db, "SELECT 1 FROM sqlite_master WHERE name = 'search_queue'");
        if (queue.row()) {
            Sql mark(db, "INSERT OR IGNORE INTO search_queue (lecture_id, part) VALUES (?, 1)");
            mark.bind(1, id).run();
        }
        exec(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SearchIndex::follow(LibraryStore& store) {
    connect(&store, &LibraryStore::changedInThisProcess, this, [this] { update(); });
    connect(&store, &LibraryStore::changedRemotely, this, [this] { update(); });
}

QList<SearchHit> SearchIndex::search(const QString& text, const Options& options) {
    update();
    const ParsedQuery query = parseSearchQuery(text);
    if (query.phrases.isEmpty()) return {};
    // Tokens per phrase, for the length of a marked run.
    std::vector<int> phraseTokens;
    for (const ParsedQuery::Phrase& p : query.phrases) phraseTokens.push_back(std::max(1, d->tokenCount(p.text.toUtf8())));

    qint64 low = 0, high = std::numeric_limits<qint64>::max();
    if (options.lecture) {
        const auto lkey = d->lectureKey(uuidText(*options.lecture).toUtf8());
        if (!lkey) return {};
        low = *lkey << kDocBits;
        high = low + kMaxDocs;
    }
    // Ranking needs every matching document; the match positions only the
    // best ones, which are read one by one.
    const QByteArray expression = query.expression().toUtf8();
    Sql ranked(d->db, "SELECT rowid FROM search_fts WHERE search_fts MATCH ?1 AND rowid BETWEEN ?2 AND ?3 ORDER BY rank");
    ranked.bind(1, expression).bind(2, low).bind(3, high);
    Sql positions(d->db, "SELECT lumenote_hits(search_fts) FROM search_fts WHERE search_fts MATCH ?1 AND rowid = ?2");

    struct LectureHits {
        QByteArray id;
        QList<SearchHit> hits;
    };
    std::vector<LectureHits> lectures;
    std::map<qint64, size_t> byKey;
    Sql lectureRow(d->db, "SELECT lecture_id, segments FROM search_lectures WHERE lkey = ?");
    Sql docRow(d->db, "SELECT kind, time, body FROM search_docs WHERE docid = ?");
    Sql blobRow(d->db, "SELECT rowid FROM lecture_blobs WHERE lecture_id = ? AND field = 'transcriptData'");
    simdjson::dom::parser parser;

    while (ranked.row()) {
        const qint64 docid = ranked.integer(0);
        const qint64 lkey = docid >> kDocBits;
        auto it = byKey.find(lkey);
        if (it == byKey.end()) {
            if (int(lectures.size()) == options.maxLectures) continue;
            lectureRow.reset().bind(1, lkey);
            if (!lectureRow.row()) continue;
            it = byKey.emplace(lkey, lectures.size()).first;
            lectures.push_back({lectureRow.bytes(0), {}});
        }
        LectureHits& entry = lectures[it->second];
        const auto lectureID = parseUuid(QString::fromUtf8(entry.id));
        if (!lectureID) continue;
        positions.reset().bind(1, expression).bind(2, docid);
        if (!positions.row()) continue;
        const std::vector<Instance> instances = decodeInstances(positions.bytes(0));

        if ((docid & kMaxDocs) != 0) {
            docRow.reset().bind(1, docid);
            if (!docRow.row()) continue;
            SearchHit hit;
            hit.lectureID = *lectureID;
            hit.kind = SearchHit::Kind(docRow.integer(0));
            if (!docRow.isNull(1)) hit.time = docRow.real(1);
            const QByteArray body = docRow.bytes(2);
            std::vector<std::pair<qint64, int>> runs;
            for (const Instance& in : instances) runs.push_back({in.token, phraseTokens[size_t(in.phrase)]});
            fillSnippet(hit, body, d->tokenize(body), runs);
            entry.hits.append(hit);
            continue;
        }

        // The transcript: each match leads to its segment, then to its word.
        lectureRow.reset().bind(1, lkey);
        if (!lectureRow.row() || lectureRow.isNull(1)) continue;
        const std::vector<SegmentRef> segments = decodeSegments(lectureRow.bytes(1));
        std::map<size_t, std::vector<std::pair<qint64, int>>> bySegment;
        for (const Instance& in : instances) {
            auto s = std::upper_bound(segments.begin(), segments.end(), in.token, [](qint64 t, const SegmentRef& r) { return t < r.firstToken; });
            if (s == segments.begin()) continue;
            const size_t index = size_t(s - segments.begin() - 1);
            bySegment[index].push_back({in.token - segments[index].firstToken, phraseTokens[size_t(in.phrase)]});
        }
        blobRow.reset().bind(1, entry.id);
        if (!blobRow.row()) continue;
        sqlite3_blob* blob = nullptr;
        if (sqlite3_blob_open(d->db, "main", "lecture_blobs", "data", blobRow.integer(0), 0, &blob) != SQLITE_OK) {
            sqlite3_blob_close(blob);
            continue;
        }
        int taken = 0;
        for (auto& [index, runs] : bySegment) {
            if (taken == options.maxHitsPerLecture) break;
            const SegmentRef& ref = segments[index];
            std::string object(size_t(ref.length), '\0');
            if (sqlite3_blob_read(blob, object.data(), int(ref.length), int(ref.offset)) != SQLITE_OK) continue;
            simdjson::dom::element seg;
            std::string_view textView;
            double start = 0;
            if (parser.parse(object).get(seg) || seg["text"].get_string().get(textView) || seg["startTime"].get_double().get(start)) continue;
            const QByteArray text(textView.data(), qsizetype(textView.size()));
            const std::vector<Token> tokens = d->tokenize(text);
            SearchHit hit;
            hit.lectureID = *lectureID;
            hit.kind = SearchHit::Kind::Transcript;
            hit.time = start;
            // The word holding the first match gives the exact time, when the
            // words cover the segment's tokens.
            std::sort(runs.begin(), runs.end());
            simdjson::dom::array words;
            if (!seg["words"].get_array().get(words)) {
                qint64 seen = 0;
                for (simdjson::dom::element w : words) {
                    std::string_view word;
                    double wordStart = 0;
                    if (w["word"].get_string().get(word) || w["start"].get_double().get(wordStart)) break;
                    seen += d->tokenCount(QByteArray(word.data(), qsizetype(word.size())));
                    if (seen > runs.front().first) {
                        hit.time = wordStart;
                        break;
                    }
                }
            }
            fillSnippet(hit, text, tokens, runs);
            entry.hits.append(hit);
            ++taken;
        }
        sqlite3_blob_close(blob);
    }

    QList<SearchHit> out;
    for (LectureHits& l : lectures) {
        std::stable_sort(l.hits.begin(), l.hits.end(), [](const SearchHit& a, const SearchHit& b) {
            if (a.time.has_value() != b.time.has_value()) return a.time.has_value();
            return a.time && *a.time < *b.time;
        });
        out.append(l.hits.mid(0, options.maxHitsPerLecture));
    }
    return out;
}

QHash<QUuid, int> SearchIndex::hitCounts(const QString& text) {
    update();
    QHash<QUuid, int> counts;
    const ParsedQuery query = parseSearchQuery(text);
    if (query.phrases.isEmpty()) return counts;
    Sql match(d->db, "SELECT rowid, lumenote_hits(search_fts) FROM search_fts WHERE search_fts MATCH ?1");
    match.bind(1, query.expression().toUtf8());
    Sql lectureRow(d->db, "SELECT lecture_id, segments FROM search_lectures WHERE lkey = ?");
    while (match.row()) {
        const qint64 docid = match.integer(0);
        lectureRow.reset().bind(1, docid >> kDocBits);
        if (!lectureRow.row()) continue;
        const auto id = parseUuid(lectureRow.text(0));
        if (!id) continue;
        if ((docid & kMaxDocs) != 0) {
            counts[*id] += 1;
            continue;
        }
        // One per segment with a match.
        const std::vector<SegmentRef> segments = decodeSegments(lectureRow.bytes(1));
        QSet<qint64> hitSegments;
        for (const Instance& in : decodeInstances(match.bytes(1))) {
            auto s = std::upper_bound(segments.begin(), segments.end(), in.token, [](qint64 t, const SegmentRef& r) { return t < r.firstToken; });
            if (s != segments.begin()) hitSegments.insert(s - segments.begin());
        }
        counts[*id] += int(hitSegments.size());
    }
    return counts;
}

}  // namespace lumenote
