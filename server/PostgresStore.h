#pragma once
// The store in PostgreSQL, shared by any number of servers: the vote is counted in SQL at each
// read and the similar-artist summary is kept by a trigger in the same transaction as the row,
// so every server reads the same answers. A pool of connections, one per statement in flight;
// a broken connection is opened anew on its next use.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "server/InfoStore.h"

struct pg_conn;

class PostgresStore final : public InfoStore {
public:
    // Connects (a libpq address, "postgresql://..."), creates the tables when missing.
    static std::unique_ptr<PostgresStore> Open(const std::string& address, std::string& error);
    struct OpenedOnly {};  // only Open makes one
    PostgresStore(OpenedOnly, std::string address);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

    bool Add(const Submission& submission) override;
    bool AddMany(const std::vector<Submission>& submissions) override;
    std::optional<VotedSong> VoteByFingerPrint(const std::string& fingerPrint) override;
    std::optional<VotedSong> VoteByTitle(const std::string& artist,
                                         const std::string& track) override;
    std::vector<AlbumTrack> AlbumsAndTracks(const std::string& artist, int limit) override;
    std::vector<std::string> SimilarArtists(const std::string& artist, int limit) override;
    std::vector<GenreCount> GenreCountsAfter(int64_t id, int limit) override;
    bool AddAcousticPrint(const AcousticEntry& entry) override;
    std::vector<AcousticEntry> AcousticCandidates(const std::vector<uint32_t>& keys,
                                                  int limit) override;
    bool AddFeedback(const Feedback& feedback) override;
    bool Healthy() override;
    int64_t CountSubmissions() override;
    int64_t CountFeedback() override;
    std::vector<Submission> SubmissionsAfter(int64_t id, int limit, int64_t& lastId) override;
    std::vector<Feedback> FeedbackAfter(int64_t id, int limit, int64_t& lastId) override;

    static constexpr size_t PoolSize = 8;

    struct Connection;  // one libpq connection with its prepared statements

private:
    class Lease;
    using Owned = std::unique_ptr<Connection>;

    Owned Connect(std::string& error);
    Owned Take();
    void Give(Owned connection, bool broken);
    std::optional<VotedSong> Vote(const char* statement, std::vector<std::string> parameters);
    int64_t Count(const char* statement);

    const std::string address_;
    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<Owned> idle_;
    size_t open_ = 0;
};
