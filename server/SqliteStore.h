#pragma once
// The store in one SQLite file. Every statement is prepared once with bound parameters. One
// mutex guards the connection and its statements; the pages' slower reads go through a second,
// read-only connection with a mutex of its own, so that they never hold up the exchange (an
// in-memory database has the one connection only).

#include <memory>
#include <mutex>

#include "server/InfoStore.h"

struct sqlite3;
struct sqlite3_stmt;

class SqliteStore final : public InfoStore {
public:
    static std::unique_ptr<SqliteStore> Open(const std::string& path, std::string& error);
    struct OpenedOnly {};  // only Open makes one
    explicit SqliteStore(OpenedOnly) {}
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

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
        countFeedback_, genreCounts_, addAcoustic_, addAcousticKey_, acousticCandidates_, ping_,
        begin_, commit_, rollback_, submissionsAfter_, feedbackAfter_;
};
