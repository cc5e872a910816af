#pragma once
// The queue of artists to download (tRecommender) and its widening from a similar-artist
// site. The statements run on any thread through the shared connection; FindSimilarArtists
// and its reader run on the main thread. Failures are silent, as in the database layer.

#include <cstdint>
#include <string>
#include <vector>

class CADODataBase;

struct QueuedArtist {
    int32_t id = 0;
    std::string name;
};

// Adds a waiting entry unless an entry of exactly that name exists in any state.
void EnqueueArtist(CADODataBase* database, const std::string& name);
// The next artist in rotation, stamped with the current time; an empty table gives ID 0 and
// an empty name and changes nothing.
QueuedArtist TakeNextArtist(CADODataBase* database);
// Takes a waiting artist out: it sorts after every searched one.
void RemoveQueuedArtist(CADODataBase* database, int32_t id);
// The 50 waiting artists of lowest ID, in ID order.
std::vector<QueuedArtist> WaitingArtists(CADODataBase* database);
int32_t CountWaitingArtists(CADODataBase* database);

// The similar-artist page of an artist: the name is one path segment, percent-encoded ('.'
// included), so that "AC/DC", ".." or a name with '?' or '#' stays one name. site without a
// trailing '/'.
std::string SimilarArtistsUrl(const std::string& site, const std::string& artist);

// Where the similar artists of a name are looked up. Main thread.
class SimilarArtistLookup {
public:
    virtual ~SimilarArtistLookup() = default;
    // Starts the fetch and returns at once; the names found are queued as they arrive.
    virtual void FindSimilarArtists(const std::string& artist) = 0;
};

class ArtistQueue final : public SimilarArtistLookup {
public:
    // An empty site looks nothing up.
    ArtistQueue(CADODataBase* database, std::string similarSite);
    void FindSimilarArtists(const std::string& artist) override;
    void Enqueue(const std::string& name) { EnqueueArtist(database_, name); }
    CADODataBase* Database() const { return database_; }

private:
    CADODataBase* database_;
    std::string similarSite_;
};
