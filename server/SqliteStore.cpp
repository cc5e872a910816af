#include "server/SqliteStore.h"

#include <sqlite3.h>

#include <cstring>
#include <tuple>

#include "server/QueryText.h"

namespace {

constexpr const char* Schema = R"sql(
PRAGMA journal_mode = WAL;
PRAGMA synchronous = NORMAL;
CREATE TABLE IF NOT EXISTS submission(
    id INTEGER PRIMARY KEY,
    fingerprint TEXT NOT NULL,
    artist TEXT NOT NULL, track TEXT NOT NULL, album TEXT NOT NULL, year TEXT NOT NULL,
    genre INTEGER NOT NULL, language INTEGER NOT NULL,
    client TEXT NOT NULL, time INTEGER NOT NULL,
    artist_key TEXT NOT NULL, track_key TEXT NOT NULL);
-- Each client's latest submission of a song, read from the index alone.
DROP INDEX IF EXISTS submission_fingerprint;
DROP INDEX IF EXISTS submission_title;
CREATE INDEX IF NOT EXISTS submission_fingerprint_client ON submission(fingerprint, client, id);
CREATE INDEX IF NOT EXISTS submission_title_client
    ON submission(artist_key, track_key, client, id);
-- The similar-artist count reads this summary, kept by a trigger as rows arrive, instead of
-- every submission of a few genres: one row per artist and genre that says something.
DROP INDEX IF EXISTS submission_genre;
DROP INDEX IF EXISTS submission_genre_artist;
CREATE TABLE IF NOT EXISTS artist_genre(
    genre INTEGER NOT NULL, artist_key TEXT NOT NULL, artist TEXT NOT NULL,
    submissions INTEGER NOT NULL, last_id INTEGER NOT NULL,
    PRIMARY KEY (genre, artist_key)) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS artist_genre_artist ON artist_genre(artist_key, genre);
CREATE INDEX IF NOT EXISTS artist_genre_last ON artist_genre(last_id);
CREATE TRIGGER IF NOT EXISTS submission_counts_genre AFTER INSERT ON submission
WHEN NEW.artist_key <> '' AND NEW.genre NOT IN (-1, 255)
BEGIN
    INSERT INTO artist_genre(genre, artist_key, artist, submissions, last_id)
    VALUES (NEW.genre, NEW.artist_key, NEW.artist, 1, NEW.id)
    ON CONFLICT(genre, artist_key) DO UPDATE SET submissions = submissions + 1,
        artist = excluded.artist, last_id = excluded.last_id;
END;
-- Submitted acoustic prints (sub-fingerprints as little-endian 32-bit words) and the index of
-- their keys, which makes a lookup's cost independent of how many are stored.
CREATE TABLE IF NOT EXISTS acoustic(
    id INTEGER PRIMARY KEY, fingerprint TEXT NOT NULL, artist TEXT NOT NULL,
    track TEXT NOT NULL, raw BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS acoustic_key(
    key INTEGER NOT NULL, id INTEGER NOT NULL, PRIMARY KEY (key, id)) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS acoustic_recording ON acoustic(fingerprint, artist, track);
CREATE TABLE IF NOT EXISTS feedback(
    id INTEGER PRIMARY KEY, type INTEGER NOT NULL, text TEXT NOT NULL, contact TEXT NOT NULL,
    client TEXT NOT NULL, time INTEGER NOT NULL);
)sql";

// A database from before the summary counts what it holds once.
constexpr const char* SummarySql = R"sql(
INSERT INTO artist_genre(genre, artist_key, artist, submissions, last_id)
SELECT genre, artist_key, artist, COUNT(*), MAX(id) FROM submission
WHERE artist_key <> '' AND genre NOT IN (-1, 255)
GROUP BY genre, artist_key)sql";

// An artist's genres in the summary leave out those of none (the player's 255 and -1); the name
// shown is the latest spelling among the rows counted.
constexpr const char* SimilarSql = R"sql(
SELECT artist, SUM(submissions) AS shared, MAX(last_id) FROM artist_genre
WHERE genre IN (SELECT genre FROM artist_genre WHERE artist_key = ?1) AND artist_key <> ?1
GROUP BY artist_key ORDER BY shared DESC, artist_key LIMIT ?2)sql";

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              size_t(sqlite3_column_bytes(statement, column)))
                : std::string();
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

// Resets and clears a statement when the scope ends, so the next use starts clean.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
    ~StatementUse() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* statement_;
};

// Fills the similar-artist summary of a database that has submissions but no summary yet.
bool Summarised(sqlite3* database, std::string& error) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(database,
                       "SELECT NOT EXISTS (SELECT 1 FROM artist_genre)"
                       " AND EXISTS (SELECT 1 FROM submission)",
                       -1, &raw, nullptr);
    const bool needed = raw && sqlite3_step(raw) == SQLITE_ROW && sqlite3_column_int(raw, 0);
    sqlite3_finalize(raw);
    if (!needed) return true;
    char* message = nullptr;
    if (sqlite3_exec(database, SummarySql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : "cannot summarise the submissions";
    sqlite3_free(message);
    return false;
}

}  // namespace

void SqliteStore::StatementDeleter::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}
void SqliteStore::DatabaseDeleter::operator()(sqlite3* database) const { sqlite3_close(database); }

SqliteStore::~SqliteStore() = default;

std::unique_ptr<SqliteStore> SqliteStore::Open(const std::string& path, std::string& error) {
    auto store = std::make_unique<SqliteStore>(OpenedOnly{});
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    store->database_.reset(raw);
    if (rc != SQLITE_OK) {
        error = raw ? sqlite3_errmsg(raw) : "cannot open the database";
        return nullptr;
    }
    sqlite3_busy_timeout(raw, 5000);
    char* message = nullptr;
    if (sqlite3_exec(raw, Schema, nullptr, nullptr, &message) != SQLITE_OK) {
        error = message ? message : "cannot create the tables";
        sqlite3_free(message);
        return nullptr;
    }
    if (!Summarised(raw, error)) return nullptr;
    if (path != ":memory:" && !path.empty()) {
        sqlite3* pages = nullptr;
        const int pagesRc = sqlite3_open_v2(path.c_str(), &pages,
                                            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        store->ownPagesDatabase_.reset(pages);
        if (pagesRc != SQLITE_OK) {
            error = pages ? sqlite3_errmsg(pages) : "cannot open the database for reading";
            return nullptr;
        }
        sqlite3_busy_timeout(pages, 5000);
        store->pagesMutex_ = &store->ownPagesMutex_;
    }
    if (!store->Prepare(error)) return nullptr;
    return store;
}

bool SqliteStore::Prepare(std::string& error) {
    sqlite3* pages = ownPagesDatabase_ ? ownPagesDatabase_.get() : database_.get();
    const std::string voteByFingerPrint = VoteSql("fingerprint = ?1");
    const std::string voteByTitle = VoteSql("artist_key = ?1 AND track_key = ?2");
    const std::tuple<Statement*, const char*, sqlite3*> statements[] = {
        {&insert_,
         "INSERT INTO submission(fingerprint, artist, track, album, year, genre, language, client,"
         " time, artist_key, track_key) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)",
         database_.get()},
        {&byFingerPrint_, voteByFingerPrint.c_str(), database_.get()},
        {&byTitle_, voteByTitle.c_str(), database_.get()},
        {&albums_,
         "SELECT album, track, MAX(year) FROM submission WHERE artist_key = ?1"
         " GROUP BY album, track_key ORDER BY album, track_key LIMIT ?2",
         pages},
        {&similar_, SimilarSql, pages},
        {&feedback_,
         "INSERT INTO feedback(type, text, contact, client, time) VALUES (?1, ?2, ?3, ?4, ?5)",
         database_.get()},
        {&count_, "SELECT COUNT(*) FROM submission", database_.get()},
        {&countFeedback_, "SELECT COUNT(*) FROM feedback", database_.get()},
        {&ping_, "SELECT 1", database_.get()},
        {&genreCounts_,
         "SELECT genre, artist_key, artist, submissions, last_id FROM artist_genre"
         " WHERE last_id > ?1 ORDER BY last_id LIMIT ?2",
         pages},
        {&submissionsAfter_,
         "SELECT fingerprint, artist, track, album, year, genre, language, client, time, id"
         " FROM submission WHERE id > ?1 ORDER BY id LIMIT ?2",
         database_.get()},
        {&feedbackAfter_,
         "SELECT type, text, contact, client, time, id FROM feedback WHERE id > ?1 ORDER BY id"
         " LIMIT ?2",
         database_.get()},
        {&addAcoustic_,
         "INSERT INTO acoustic(fingerprint, artist, track, raw) SELECT ?1, ?2, ?3, ?4"
         " WHERE NOT EXISTS (SELECT 1 FROM acoustic WHERE fingerprint = ?1"
         " AND (?1 <> '' OR (artist = ?2 AND track = ?3)))",
         database_.get()},
        {&addAcousticKey_, "INSERT OR IGNORE INTO acoustic_key(key, id) VALUES (?1, ?2)",
         database_.get()},
        {&acousticCandidates_,
         "SELECT a.fingerprint, a.artist, a.track, a.raw FROM (SELECT id, COUNT(*) AS hits"
         " FROM acoustic_key WHERE key IN (SELECT j.value FROM json_each(?1) j WHERE"
         " (SELECT COUNT(*) FROM (SELECT 1 FROM acoustic_key p WHERE p.key = j.value"
         " LIMIT ?3)) < ?3) GROUP BY id"
         " HAVING hits >= 2 ORDER BY hits DESC, id LIMIT ?2) c JOIN acoustic a ON a.id = c.id"
         " ORDER BY c.hits DESC, c.id",
         database_.get()},
        {&begin_, "BEGIN", database_.get()},
        {&commit_, "COMMIT", database_.get()},
        {&rollback_, "ROLLBACK", database_.get()},
    };
    for (const auto& [owner, sql, connection] : statements) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(connection, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement,
                               nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(connection);
            return false;
        }
        owner->reset(statement);
    }
    return true;
}

bool SqliteStore::AddAcousticPrint(const AcousticEntry& entry) {
    if (entry.raw.empty()) return false;
    std::lock_guard lock(mutex_);
    {
        StatementUse use(begin_.get());
        if (sqlite3_step(begin_.get()) != SQLITE_DONE) return false;
    }
    bool ok = false;
    {
        sqlite3_stmt* statement = addAcoustic_.get();
        StatementUse use(statement);
        BindText(statement, 1, entry.fingerPrint);
        BindText(statement, 2, entry.artist);
        BindText(statement, 3, entry.track);
        sqlite3_bind_blob(statement, 4, entry.raw.data(), int(entry.raw.size() * 4),
                          SQLITE_TRANSIENT);
        ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    // A recording already printed keeps its one row, so that its keys stay specific.
    const bool added = sqlite3_changes(database_.get()) > 0;
    const sqlite3_int64 id = sqlite3_last_insert_rowid(database_.get());
    for (size_t i = 0; ok && added && i < entry.keys.size(); ++i) {
        sqlite3_stmt* statement = addAcousticKey_.get();
        StatementUse use(statement);
        sqlite3_bind_int64(statement, 1, entry.keys[i]);
        sqlite3_bind_int64(statement, 2, id);
        ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_stmt* end = ok ? commit_.get() : rollback_.get();
    StatementUse use(end);
    return sqlite3_step(end) == SQLITE_DONE && ok;
}

std::vector<AcousticEntry> SqliteStore::AcousticCandidates(const std::vector<uint32_t>& keys,
                                                           int limit) {
    std::string list = "[";
    for (size_t i = 0; i < keys.size(); ++i) list += (i ? "," : "") + std::to_string(keys[i]);
    list += "]";
    std::vector<AcousticEntry> found;
    std::lock_guard lock(mutex_);
    sqlite3_stmt* statement = acousticCandidates_.get();
    StatementUse use(statement);
    BindText(statement, 1, list);
    sqlite3_bind_int(statement, 2, limit);
    sqlite3_bind_int(statement, 3, kMaxAcousticKeyPostings + 1);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        AcousticEntry entry{ColumnText(statement, 0), ColumnText(statement, 1),
                            ColumnText(statement, 2), {}, {}};
        const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(statement, 3));
        const size_t words = size_t(sqlite3_column_bytes(statement, 3)) / 4;
        entry.raw.resize(words);
        if (blob) std::memcpy(entry.raw.data(), blob, words * 4);
        found.push_back(std::move(entry));
    }
    return found;
}

bool SqliteStore::Insert(const Submission& s) {
    sqlite3_stmt* statement = insert_.get();
    StatementUse use(statement);
    BindText(statement, 1, s.fingerPrint);
    BindText(statement, 2, s.artist);
    BindText(statement, 3, s.track);
    BindText(statement, 4, s.album);
    BindText(statement, 5, s.year);
    sqlite3_bind_int(statement, 6, s.genreID);
    sqlite3_bind_int(statement, 7, s.langID);
    BindText(statement, 8, s.client);
    sqlite3_bind_int64(statement, 9, s.time);
    BindText(statement, 10, FoldCase(s.artist));
    BindText(statement, 11, FoldCase(s.track));
    return sqlite3_step(statement) == SQLITE_DONE;
}

bool SqliteStore::Add(const Submission& submission) {
    std::lock_guard lock(mutex_);
    return Insert(submission);
}

bool SqliteStore::AddMany(const std::vector<Submission>& submissions) {
    std::lock_guard lock(mutex_);
    {
        StatementUse use(begin_.get());
        if (sqlite3_step(begin_.get()) != SQLITE_DONE) return false;
    }
    bool ok = true;
    for (const Submission& s : submissions) ok = ok && Insert(s);
    sqlite3_stmt* end = ok ? commit_.get() : rollback_.get();
    StatementUse use(end);
    return sqlite3_step(end) == SQLITE_DONE && ok;
}

std::optional<VotedSong> SqliteStore::ReadVote(sqlite3_stmt* statement) {
    if (sqlite3_step(statement) != SQLITE_ROW || sqlite3_column_int64(statement, 5) == 0)
        return std::nullopt;
    VotedSong song;
    song.artist = ColumnText(statement, 0);
    song.track = ColumnText(statement, 1);
    song.album = ColumnText(statement, 2);
    song.year = ColumnText(statement, 3);
    song.genreID = sqlite3_column_int(statement, 4);
    return song;
}

std::optional<VotedSong> SqliteStore::VoteByFingerPrint(const std::string& fingerPrint) {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* statement = byFingerPrint_.get();
    StatementUse use(statement);
    BindText(statement, 1, fingerPrint);
    return ReadVote(statement);
}

std::optional<VotedSong> SqliteStore::VoteByTitle(const std::string& artist,
                                                const std::string& track) {
    const std::string artistKey = FoldCase(artist), trackKey = FoldCase(track);
    std::lock_guard lock(mutex_);
    sqlite3_stmt* statement = byTitle_.get();
    StatementUse use(statement);
    BindText(statement, 1, artistKey);
    BindText(statement, 2, trackKey);
    return ReadVote(statement);
}

std::vector<AlbumTrack> SqliteStore::AlbumsAndTracks(const std::string& artist, int limit) {
    const std::string artistKey = FoldCase(artist);
    std::lock_guard lock(*pagesMutex_);
    sqlite3_stmt* statement = albums_.get();
    StatementUse use(statement);
    BindText(statement, 1, artistKey);
    sqlite3_bind_int(statement, 2, limit);
    std::vector<AlbumTrack> result;
    while (sqlite3_step(statement) == SQLITE_ROW)
        result.push_back(
            {ColumnText(statement, 0), ColumnText(statement, 1), ColumnText(statement, 2)});
    return result;
}

std::vector<std::string> SqliteStore::SimilarArtists(const std::string& artist, int limit) {
    const std::string artistKey = FoldCase(artist);
    std::lock_guard lock(*pagesMutex_);
    sqlite3_stmt* statement = similar_.get();
    StatementUse use(statement);
    BindText(statement, 1, artistKey);
    sqlite3_bind_int(statement, 2, limit);
    std::vector<std::string> names;
    while (sqlite3_step(statement) == SQLITE_ROW) names.push_back(ColumnText(statement, 0));
    return names;
}

bool SqliteStore::AddFeedback(const Feedback& feedback) {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* statement = feedback_.get();
    StatementUse use(statement);
    sqlite3_bind_int(statement, 1, feedback.typeID);
    BindText(statement, 2, feedback.text);
    BindText(statement, 3, feedback.contact);
    BindText(statement, 4, feedback.client);
    sqlite3_bind_int64(statement, 5, feedback.time);
    return sqlite3_step(statement) == SQLITE_DONE;
}

int64_t SqliteStore::Count(sqlite3_stmt* statement) {
    std::lock_guard lock(mutex_);
    StatementUse use(statement);
    return sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
}

bool SqliteStore::Healthy() { return Count(ping_.get()) == 1; }

int64_t SqliteStore::CountSubmissions() { return Count(count_.get()); }
int64_t SqliteStore::CountFeedback() { return Count(countFeedback_.get()); }

std::vector<Submission> SqliteStore::SubmissionsAfter(int64_t id, int limit, int64_t& lastId) {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* statement = submissionsAfter_.get();
    StatementUse use(statement);
    sqlite3_bind_int64(statement, 1, id);
    sqlite3_bind_int(statement, 2, limit);
    std::vector<Submission> rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        rows.push_back({ColumnText(statement, 0), ColumnText(statement, 1),
                        ColumnText(statement, 2), ColumnText(statement, 3),
                        ColumnText(statement, 4), sqlite3_column_int(statement, 5),
                        sqlite3_column_int(statement, 6), ColumnText(statement, 7),
                        sqlite3_column_int64(statement, 8)});
        lastId = sqlite3_column_int64(statement, 9);
    }
    return rows;
}

std::vector<Feedback> SqliteStore::FeedbackAfter(int64_t id, int limit, int64_t& lastId) {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* statement = feedbackAfter_.get();
    StatementUse use(statement);
    sqlite3_bind_int64(statement, 1, id);
    sqlite3_bind_int(statement, 2, limit);
    std::vector<Feedback> rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        rows.push_back({sqlite3_column_int(statement, 0), ColumnText(statement, 1),
                        ColumnText(statement, 2), ColumnText(statement, 3),
                        sqlite3_column_int64(statement, 4)});
        lastId = sqlite3_column_int64(statement, 5);
    }
    return rows;
}

std::vector<GenreCount> SqliteStore::GenreCountsAfter(int64_t id, int limit) {
    std::lock_guard lock(*pagesMutex_);
    sqlite3_stmt* statement = genreCounts_.get();
    StatementUse use(statement);
    sqlite3_bind_int64(statement, 1, id);
    sqlite3_bind_int(statement, 2, limit);
    std::vector<GenreCount> rows;
    while (sqlite3_step(statement) == SQLITE_ROW)
        rows.push_back({sqlite3_column_int(statement, 0), ColumnText(statement, 1),
                        ColumnText(statement, 2), sqlite3_column_int64(statement, 3),
                        sqlite3_column_int64(statement, 4)});
    return rows;
}
