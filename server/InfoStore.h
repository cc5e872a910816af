#pragma once
// The server's SQLite database: submissions and feedback. Every statement is prepared once
// with bound parameters. Any thread: one mutex guards the connection and its statements; the
// pages' slower reads go through a second, read-only connection with a mutex of its own, so
// that they never hold up the exchange (an in-memory database has the one connection only).

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

struct Submission {
    std::string fingerPrint, artist, track, album, year;
    int32_t genreID = 255;
    int32_t langID = 1033;
    std::string client;
    int64_t time = 0;  // seconds since 1970
};

// The values the submissions of one song agree on, field by field.
struct VotedSong {
    std::string artist, track, album, year;
    int32_t genreID = 0;
};

struct AlbumTrack {
    std::string album, track, year;
};

class InfoStore {
public:
    // Opens or creates the database file; nothing, with the error text, when it cannot.
    static std::unique_ptr<InfoStore> Open(const std::string& path, std::string& error);
    struct OpenedOnly {};  // only Open makes one
    explicit InfoStore(OpenedOnly) {}
    ~InfoStore();
    InfoStore(const InfoStore&) = delete;
    InfoStore& operator=(const InfoStore&) = delete;

    bool Add(const Submission& submission);
    // Adds many in one transaction (the benchmark's data).
    bool AddMany(const std::vector<Submission>& submissions);
    // The vote of a song's submissions: each client's latest submission is its one vote, and
    // each field takes the value of the most clients, an empty one (a genre of none) only when
    // no client sent another; a tie goes to the value submitted last. Nothing for no rows.
    std::optional<VotedSong> VoteByFingerPrint(const std::string& fingerPrint);
    std::optional<VotedSong> VoteByTitle(const std::string& artist, const std::string& track);
    // The artist's distinct albums and tracks, by album then track.
    std::vector<AlbumTrack> AlbumsAndTracks(const std::string& artist, int limit);
    // Other artists by how many of their submissions carry a genre the artist's carry.
    std::vector<std::string> SimilarArtists(const std::string& artist, int limit);
    bool AddFeedback(int32_t typeID, const std::string& text, const std::string& contact,
                     const std::string& client, int64_t time);
    // Whether the database answers a statement now.
    bool Healthy();
    int64_t CountSubmissions();
    int64_t CountFeedback();

private:
    struct StatementDeleter {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;
    struct DatabaseDeleter {
        void operator()(sqlite3* database) const;
    };

    bool Prepare(std::string& error);
    bool Insert(const Submission& submission);
    std::optional<VotedSong> ReadVote(sqlite3_stmt* statement);
    int64_t Count(sqlite3_stmt* statement);

    std::mutex mutex_;
    std::unique_ptr<sqlite3, DatabaseDeleter> database_;
    std::mutex ownPagesMutex_;
    std::unique_ptr<sqlite3, DatabaseDeleter> ownPagesDatabase_;
    std::mutex* pagesMutex_ = &mutex_;
    Statement insert_, byFingerPrint_, byTitle_, albums_, similar_, feedback_, count_,
        countFeedback_, ping_, begin_, commit_, rollback_;
};
