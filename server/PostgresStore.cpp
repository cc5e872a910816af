#include "server/PostgresStore.h"

#include <libpq-fe.h>

#include <charconv>

#include "library/AcousticMatch.h"
#include "server/QueryText.h"

namespace {

// Text compares byte by byte, as in SQLite: the "C" collation on every text column.
constexpr const char* Schema = R"sql(
SET client_min_messages = warning;
SELECT pg_advisory_xact_lock(8470023);
CREATE TABLE IF NOT EXISTS submission(
    id BIGSERIAL PRIMARY KEY,
    fingerprint TEXT COLLATE "C" NOT NULL,
    artist TEXT COLLATE "C" NOT NULL, track TEXT COLLATE "C" NOT NULL,
    album TEXT COLLATE "C" NOT NULL, year TEXT COLLATE "C" NOT NULL,
    genre INTEGER NOT NULL, language INTEGER NOT NULL,
    client TEXT COLLATE "C" NOT NULL, time BIGINT NOT NULL,
    artist_key TEXT COLLATE "C" NOT NULL, track_key TEXT COLLATE "C" NOT NULL);
CREATE INDEX IF NOT EXISTS submission_fingerprint_client ON submission(fingerprint, client, id);
CREATE INDEX IF NOT EXISTS submission_title_client
    ON submission(artist_key, track_key, client, id);
CREATE TABLE IF NOT EXISTS artist_genre(
    genre INTEGER NOT NULL, artist_key TEXT COLLATE "C" NOT NULL, artist TEXT COLLATE "C" NOT NULL,
    submissions BIGINT NOT NULL, last_id BIGINT NOT NULL,
    PRIMARY KEY (genre, artist_key));
CREATE INDEX IF NOT EXISTS artist_genre_artist ON artist_genre(artist_key, genre);
CREATE INDEX IF NOT EXISTS artist_genre_last ON artist_genre(last_id);
-- Rows of several servers commit in any order: the name shown is that of the highest id.
CREATE OR REPLACE FUNCTION submission_counts_genre() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
    IF NEW.artist_key <> '' AND NEW.genre NOT IN (-1, 255) THEN
        INSERT INTO artist_genre(genre, artist_key, artist, submissions, last_id)
        VALUES (NEW.genre, NEW.artist_key, NEW.artist, 1, NEW.id)
        ON CONFLICT (genre, artist_key) DO UPDATE SET
            submissions = artist_genre.submissions + 1,
            artist = CASE WHEN EXCLUDED.last_id > artist_genre.last_id
                          THEN EXCLUDED.artist ELSE artist_genre.artist END,
            last_id = GREATEST(artist_genre.last_id, EXCLUDED.last_id);
    END IF;
    RETURN NULL;
END $f$;
CREATE OR REPLACE TRIGGER submission_counts_genre AFTER INSERT ON submission
    FOR EACH ROW EXECUTE FUNCTION submission_counts_genre();
CREATE TABLE IF NOT EXISTS acoustic(
    id BIGSERIAL PRIMARY KEY, fingerprint TEXT NOT NULL, artist TEXT NOT NULL,
    track TEXT NOT NULL, print TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS acoustic_key(
    key BIGINT NOT NULL, id BIGINT NOT NULL, PRIMARY KEY (key, id));
CREATE INDEX IF NOT EXISTS acoustic_recording ON acoustic(fingerprint, artist, track);
CREATE TABLE IF NOT EXISTS feedback(
    id BIGSERIAL PRIMARY KEY, type INTEGER NOT NULL, text TEXT NOT NULL, contact TEXT NOT NULL,
    client TEXT NOT NULL, time BIGINT NOT NULL);
)sql";

const std::pair<const char*, std::string> Statements[] = {
    {"insert",
     "INSERT INTO submission(fingerprint, artist, track, album, year, genre, language, client,"
     " time, artist_key, track_key) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)"},
    {"vote_fingerprint", VoteSql("fingerprint = $1")},
    // The print and its keys in one statement, so that both or neither are stored.
    {"add_acoustic",
     "WITH a AS (INSERT INTO acoustic(fingerprint, artist, track, print)"
     " SELECT $1::text, $2::text, $3::text, $4::text WHERE NOT EXISTS (SELECT 1 FROM acoustic"
     " WHERE fingerprint = $1::text"
     " AND ($1::text <> '' OR (artist = $2::text AND track = $3::text)))"
     " RETURNING id) INSERT INTO acoustic_key(key, id) SELECT DISTINCT k, a.id FROM a,"
     " unnest($5::bigint[]) AS k ON CONFLICT DO NOTHING"},
    {"acoustic_candidates",
     "SELECT a.fingerprint, a.artist, a.track, a.print FROM (SELECT id, COUNT(*) AS hits"
     " FROM acoustic_key WHERE key IN (SELECT k FROM unnest($1::bigint[]) AS k WHERE"
     " (SELECT COUNT(*) FROM (SELECT 1 FROM acoustic_key p WHERE p.key = k LIMIT $3) s) < $3)"
     " GROUP BY id HAVING COUNT(*) >= 2"
     " ORDER BY hits DESC, id LIMIT $2) c JOIN acoustic a ON a.id = c.id"
     " ORDER BY c.hits DESC, c.id"},
    {"vote_title", VoteSql("artist_key = $1 AND track_key = $2")},
    {"albums",
     "SELECT album, (array_agg(track ORDER BY year DESC))[1], MAX(year) FROM submission"
     " WHERE artist_key = $1 GROUP BY album, track_key ORDER BY album, track_key LIMIT $2"},
    {"similar",
     "SELECT (array_agg(artist ORDER BY last_id DESC))[1], SUM(submissions) AS shared"
     " FROM artist_genre WHERE genre IN (SELECT genre FROM artist_genre WHERE artist_key = $1)"
     " AND artist_key <> $1 GROUP BY artist_key ORDER BY shared DESC, artist_key LIMIT $2"},
    {"feedback",
     "INSERT INTO feedback(type, text, contact, client, time) VALUES ($1, $2, $3, $4, $5)"},
    {"count", "SELECT COUNT(*) FROM submission"},
    {"count_feedback", "SELECT COUNT(*) FROM feedback"},
    {"ping", "SELECT 1"},
    {"genre_counts",
     "SELECT genre, artist_key, artist, submissions, last_id FROM artist_genre"
     " WHERE last_id > $1 ORDER BY last_id LIMIT $2"},
    {"submissions_after",
     "SELECT fingerprint, artist, track, album, year, genre, language, client, time, id"
     " FROM submission WHERE id > $1 ORDER BY id LIMIT $2"},
    {"feedback_after",
     "SELECT type, text, contact, client, time, id FROM feedback WHERE id > $1 ORDER BY id"
     " LIMIT $2"},
};

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnDeleter {
    void operator()(PGconn* conn) const { PQfinish(conn); }
};

int64_t ToInt(const char* text) {
    int64_t value = 0;
    std::from_chars(text, text + std::char_traits<char>::length(text), value);
    return value;
}

// COPY's text format: backslash, tab, newline and carriage return escaped.
void AppendCopyField(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

}  // namespace

struct PostgresStore::Connection {
    std::unique_ptr<PGconn, ConnDeleter> pg;
};

// A connection taken from the pool for one call; it goes back unless it broke.
class PostgresStore::Lease {
public:
    explicit Lease(PostgresStore& store) : store_(store), connection_(store.Take()) {}
    ~Lease() {
        if (connection_) store_.Give(std::move(connection_), broken_);
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    explicit operator bool() const { return bool(connection_); }
    PGconn* pg() const { return connection_->pg.get(); }

    // Runs a prepared statement; nothing when it failed.
    Result Run(const char* name, const std::vector<std::string>& parameters) {
        if (!connection_) return nullptr;
        std::vector<const char*> values;
        for (const std::string& p : parameters) values.push_back(p.c_str());
        Result result(PQexecPrepared(pg(), name, int(values.size()), values.data(), nullptr,
                                     nullptr, 0));
        return Checked(std::move(result));
    }
    Result Exec(const char* sql) { return Checked(Result(PQexec(pg(), sql))); }

    Result Checked(Result result) {
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_COPY_IN)
            return result;
        if (PQstatus(pg()) != CONNECTION_OK) broken_ = true;
        return nullptr;
    }

private:
    PostgresStore& store_;
    Owned connection_;
    bool broken_ = false;
};

PostgresStore::PostgresStore(OpenedOnly, std::string address) : address_(std::move(address)) {}
PostgresStore::~PostgresStore() = default;

std::unique_ptr<PostgresStore> PostgresStore::Open(const std::string& address,
                                                   std::string& error) {
    auto store = std::make_unique<PostgresStore>(OpenedOnly{}, address);
    Owned first = store->Connect(error);
    if (!first) return nullptr;
    store->open_ = 1;
    store->Give(std::move(first), false);
    return store;
}

PostgresStore::Owned PostgresStore::Connect(std::string& error) {
    auto connection = std::make_unique<Connection>();
    connection->pg.reset(PQconnectdb(address_.c_str()));
    PGconn* pg = connection->pg.get();
    if (!pg || PQstatus(pg) != CONNECTION_OK) {
        error = pg ? PQerrorMessage(pg) : "cannot connect";
        return nullptr;
    }
    // The tables, once per connection: cheap when they exist, and a restarted database is fine.
    Result created(PQexec(pg, (std::string("BEGIN;") + Schema + "COMMIT;").c_str()));
    if (PQresultStatus(created.get()) != PGRES_COMMAND_OK) {
        error = PQerrorMessage(pg);
        return nullptr;
    }
    for (const auto& [name, sql] : Statements) {
        Result prepared(PQprepare(pg, name, sql.c_str(), 0, nullptr));
        if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) {
            error = PQerrorMessage(pg);
            return nullptr;
        }
    }
    return connection;
}

PostgresStore::Owned PostgresStore::Take() {
    std::unique_lock lock(mutex_);
    returned_.wait(lock, [this] { return !idle_.empty() || open_ < PoolSize; });
    if (!idle_.empty()) {
        Owned connection = std::move(idle_.back());
        idle_.pop_back();
        return connection;
    }
    ++open_;
    lock.unlock();
    std::string error;
    Owned connection = Connect(error);
    if (!connection) {
        std::lock_guard again(mutex_);
        --open_;
        returned_.notify_one();
    }
    return connection;
}

void PostgresStore::Give(Owned connection, bool broken) {
    std::lock_guard lock(mutex_);
    if (broken)
        --open_;
    else
        idle_.push_back(std::move(connection));
    returned_.notify_one();
}

bool PostgresStore::Add(const Submission& s) {
    Lease lease(*this);
    return bool(lease.Run("insert", {s.fingerPrint, s.artist, s.track, s.album, s.year,
                                     std::to_string(s.genreID), std::to_string(s.langID), s.client,
                                     std::to_string(s.time), FoldCase(s.artist),
                                     FoldCase(s.track)}));
}

bool PostgresStore::AddMany(const std::vector<Submission>& submissions) {
    Lease lease(*this);
    if (!lease || !lease.Exec("BEGIN")) return false;
    bool ok = bool(lease.Exec(
        "COPY submission(fingerprint, artist, track, album, year, genre, language, client,"
        " time, artist_key, track_key) FROM STDIN"));
    std::string data;
    for (size_t i = 0; ok && i < submissions.size(); ++i) {
        const Submission& s = submissions[i];
        for (const std::string* text : {&s.fingerPrint, &s.artist, &s.track, &s.album, &s.year}) {
            AppendCopyField(data, *text);
            data += '\t';
        }
        data += std::to_string(s.genreID) + '\t' + std::to_string(s.langID) + '\t';
        AppendCopyField(data, s.client);
        data += '\t' + std::to_string(s.time) + '\t';
        AppendCopyField(data, FoldCase(s.artist));
        data += '\t';
        AppendCopyField(data, FoldCase(s.track));
        data += '\n';
        if (data.size() > (1 << 20) || i + 1 == submissions.size()) {
            ok = PQputCopyData(lease.pg(), data.data(), int(data.size())) == 1;
            data.clear();
        }
    }
    if (ok) ok = PQputCopyEnd(lease.pg(), nullptr) == 1 && bool(lease.Checked(Result(PQgetResult(lease.pg()))));
    while (Result rest{PQgetResult(lease.pg())}) {
    }
    return bool(lease.Exec(ok ? "COMMIT" : "ROLLBACK")) && ok;
}

std::optional<VotedSong> PostgresStore::Vote(const char* statement,
                                             std::vector<std::string> parameters) {
    Lease lease(*this);
    Result result = lease.Run(statement, parameters);
    if (!result || PQntuples(result.get()) != 1 || ToInt(PQgetvalue(result.get(), 0, 5)) == 0)
        return std::nullopt;
    PGresult* r = result.get();
    return VotedSong{PQgetvalue(r, 0, 0), PQgetvalue(r, 0, 1), PQgetvalue(r, 0, 2),
                     PQgetvalue(r, 0, 3), int32_t(ToInt(PQgetvalue(r, 0, 4)))};
}

std::optional<VotedSong> PostgresStore::VoteByFingerPrint(const std::string& fingerPrint) {
    return Vote("vote_fingerprint", {fingerPrint});
}

std::optional<VotedSong> PostgresStore::VoteByTitle(const std::string& artist,
                                                    const std::string& track) {
    return Vote("vote_title", {FoldCase(artist), FoldCase(track)});
}

namespace {

std::string ArrayLiteral(const std::vector<uint32_t>& values) {
    std::string text = "{";
    for (size_t i = 0; i < values.size(); ++i) text += (i ? "," : "") + std::to_string(values[i]);
    return text + "}";
}

}  // namespace

bool PostgresStore::AddAcousticPrint(const AcousticEntry& entry) {
    // Kept in Chromaprint's compressed form: a quarter of the raw words' size.
    const std::string print = EncodeAcousticPrint(entry.raw);
    if (print.empty()) return false;
    Lease lease(*this);
    return bool(lease.Run("add_acoustic", {entry.fingerPrint, entry.artist, entry.track, print,
                                           ArrayLiteral(entry.keys)}));
}

std::vector<AcousticEntry> PostgresStore::AcousticCandidates(const std::vector<uint32_t>& keys,
                                                             int limit) {
    Lease lease(*this);
    Result result = lease.Run("acoustic_candidates", {ArrayLiteral(keys), std::to_string(limit),
                                                    std::to_string(kMaxAcousticKeyPostings + 1)});
    std::vector<AcousticEntry> found;
    for (int i = 0; result && i < PQntuples(result.get()); ++i) {
        PGresult* r = result.get();
        found.push_back({PQgetvalue(r, i, 0), PQgetvalue(r, i, 1), PQgetvalue(r, i, 2),
                         DecodeAcousticPrint(PQgetvalue(r, i, 3)), {}});
    }
    return found;
}

std::vector<AlbumTrack> PostgresStore::AlbumsAndTracks(const std::string& artist, int limit) {
    Lease lease(*this);
    Result result = lease.Run("albums", {FoldCase(artist), std::to_string(limit)});
    std::vector<AlbumTrack> rows;
    for (int i = 0; result && i < PQntuples(result.get()); ++i)
        rows.push_back({PQgetvalue(result.get(), i, 0), PQgetvalue(result.get(), i, 1),
                        PQgetvalue(result.get(), i, 2)});
    return rows;
}

std::vector<std::string> PostgresStore::SimilarArtists(const std::string& artist, int limit) {
    Lease lease(*this);
    Result result = lease.Run("similar", {FoldCase(artist), std::to_string(limit)});
    std::vector<std::string> names;
    for (int i = 0; result && i < PQntuples(result.get()); ++i)
        names.push_back(PQgetvalue(result.get(), i, 0));
    return names;
}

bool PostgresStore::AddFeedback(const Feedback& f) {
    Lease lease(*this);
    return bool(lease.Run("feedback", {std::to_string(f.typeID), f.text, f.contact, f.client,
                                       std::to_string(f.time)}));
}

int64_t PostgresStore::Count(const char* statement) {
    Lease lease(*this);
    Result result = lease.Run(statement, {});
    return result && PQntuples(result.get()) == 1 ? ToInt(PQgetvalue(result.get(), 0, 0)) : -1;
}

bool PostgresStore::Healthy() { return Count("ping") == 1; }
int64_t PostgresStore::CountSubmissions() { return Count("count"); }
int64_t PostgresStore::CountFeedback() { return Count("count_feedback"); }

std::vector<Submission> PostgresStore::SubmissionsAfter(int64_t id, int limit, int64_t& lastId) {
    Lease lease(*this);
    Result result = lease.Run("submissions_after", {std::to_string(id), std::to_string(limit)});
    std::vector<Submission> rows;
    for (int i = 0; result && i < PQntuples(result.get()); ++i) {
        PGresult* r = result.get();
        rows.push_back({PQgetvalue(r, i, 0), PQgetvalue(r, i, 1), PQgetvalue(r, i, 2),
                        PQgetvalue(r, i, 3), PQgetvalue(r, i, 4), int32_t(ToInt(PQgetvalue(r, i, 5))),
                        int32_t(ToInt(PQgetvalue(r, i, 6))), PQgetvalue(r, i, 7),
                        ToInt(PQgetvalue(r, i, 8))});
        lastId = ToInt(PQgetvalue(r, i, 9));
    }
    return rows;
}

std::vector<Feedback> PostgresStore::FeedbackAfter(int64_t id, int limit, int64_t& lastId) {
    Lease lease(*this);
    Result result = lease.Run("feedback_after", {std::to_string(id), std::to_string(limit)});
    std::vector<Feedback> rows;
    for (int i = 0; result && i < PQntuples(result.get()); ++i) {
        PGresult* r = result.get();
        rows.push_back({int32_t(ToInt(PQgetvalue(r, i, 0))), PQgetvalue(r, i, 1),
                        PQgetvalue(r, i, 2), PQgetvalue(r, i, 3), ToInt(PQgetvalue(r, i, 4))});
        lastId = ToInt(PQgetvalue(r, i, 5));
    }
    return rows;
}

std::vector<GenreCount> PostgresStore::GenreCountsAfter(int64_t id, int limit) {
    Lease lease(*this);
    Result result = lease.Run("genre_counts", {std::to_string(id), std::to_string(limit)});
    std::vector<GenreCount> rows;
    for (int i = 0; result && i < PQntuples(result.get()); ++i) {
        PGresult* r = result.get();
        rows.push_back({int32_t(ToInt(PQgetvalue(r, i, 0))), PQgetvalue(r, i, 1),
                        PQgetvalue(r, i, 2), ToInt(PQgetvalue(r, i, 3)),
                        ToInt(PQgetvalue(r, i, 4))});
    }
    return rows;
}
