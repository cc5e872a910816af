#pragma once
// The server's store of submissions and feedback, one interface over two databases: an SQLite
// file (the default, one machine) and PostgreSQL (several servers on one store). Both run
// statements with the same effects. Any thread.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>


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

// One artist's row of the similar-artist summary: its submissions with one genre.
struct GenreCount {
    int32_t genre = 0;
    std::string artistKey, artist;  // the artist as its latest submission spells it
    int64_t submissions = 0;
    int64_t lastId = 0;  // the latest submission's id: rows changed since a reading come after
};

struct Feedback {
    int32_t typeID = 0;
    std::string text, contact, client;
    int64_t time = 0;
};

// A submitted acoustic fingerprint with the song it was submitted for.
struct AcousticEntry {
    std::string fingerPrint, artist, track;  // the submission's
    std::vector<uint32_t> raw;               // sub-fingerprints
    std::vector<uint32_t> keys;              // its index keys
};

class InfoStore {
public:
    // "postgresql://..." (or "postgres://...") opens PostgreSQL, anything else an SQLite file,
    // created when missing (":memory:" one in memory); nothing, with the error text, when it
    // cannot.
    static std::unique_ptr<InfoStore> Open(const std::string& where, std::string& error);
    static bool IsPostgres(const std::string& where);
    virtual ~InfoStore() = default;

    virtual bool Add(const Submission& submission) = 0;
    // Adds many in one transaction (the benchmark's data, a migration).
    virtual bool AddMany(const std::vector<Submission>& submissions) = 0;
    // The vote of a song's submissions: each client's latest submission is its one vote, and
    // each field takes the value of the most clients, an empty one (a genre of none) only when
    // no client sent another; a tie goes to the value submitted last. Nothing for no rows.
    virtual std::optional<VotedSong> VoteByFingerPrint(const std::string& fingerPrint) = 0;
    virtual std::optional<VotedSong> VoteByTitle(const std::string& artist,
                                                 const std::string& track) = 0;
    // The artist's distinct albums and tracks, by album then track.
    virtual std::vector<AlbumTrack> AlbumsAndTracks(const std::string& artist, int limit) = 0;
    // Other artists by how many of their submissions carry a genre the artist's carry.
    virtual std::vector<std::string> SimilarArtists(const std::string& artist, int limit) = 0;
    // The summary's rows changed after the given submission id, by that id, at most limit.
    virtual std::vector<GenreCount> GenreCountsAfter(int64_t id, int limit) = 0;
    // Stores a print under its keys, unless its recording (the fingerprint, or the artist and
    // track when there is none) already has one: true then too.
    virtual bool AddAcousticPrint(const AcousticEntry& entry) = 0;
    // The stored prints that share the most keys with these (at least two), best first, at
    // most limit: the candidates a retrieve then compares bit by bit. A key under more than
    // kMaxAcousticKeyPostings prints (silence, a flood) is passed over, so that no lookup reads
    // a share of the whole index.
    virtual std::vector<AcousticEntry> AcousticCandidates(const std::vector<uint32_t>& keys,
                                                          int limit) = 0;
    static constexpr int kMaxAcousticKeyPostings = 200;
    virtual bool AddFeedback(const Feedback& feedback) = 0;
    // Whether the database answers a statement now.
    virtual bool Healthy() = 0;
    virtual int64_t CountSubmissions() = 0;
    virtual int64_t CountFeedback() = 0;
    // Rows in id order from after the given id, at most limit (a migration's reading).
    virtual std::vector<Submission> SubmissionsAfter(int64_t id, int limit, int64_t& lastId) = 0;
    virtual std::vector<Feedback> FeedbackAfter(int64_t id, int limit, int64_t& lastId) = 0;
};

// The statement both stores run for a vote: the latest submission of each client that sent the
// song (the rows `song` selects, with the store's own parameter marks), each field the value of
// the most, empty texts and the genres of none last.
std::string VoteSql(const std::string& song);
