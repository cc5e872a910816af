// sonvera-pick DATABASE MOOD-ID COUNT: runs the track selection COUNT times on a database,
// without window or player, and prints "ID<TAB>PickSource<TAB>CurrentRating" per pick.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "db/CADODataBase.h"
#include "selection/Random.h"
#include "selection/TrackPlayer.h"

namespace {

bool ParseInt(const char* text, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    long moodID = 0;
    long count = 0;
    if (argc != 4 || !ParseInt(argv[2], moodID) || !ParseInt(argv[3], count) || count < 0) {
        std::fprintf(stderr, "usage: sonvera-pick DATABASE MOOD-ID COUNT\n");
        return 2;
    }
    SeedRandomFromTime();
    CADODataBase database;
    if (!database.Open(MakeConnectionString(argv[1]))) {
        std::fprintf(stderr, "sonvera-pick: cannot open %s\n%s", argv[1],
                     database.GetLastErrorString().c_str());
        return 1;
    }
    TrackPlayer player(&database, [](PlayerType) { return std::unique_ptr<PlayerBackend>(); });
    player.SetMoodID(static_cast<int32_t>(moodID));
    for (long i = 0; i < count; ++i) {
        player.SelectNextTrack();
        const int32_t picked = player.GetLastPickID();
        const TrackRecord track = player.GetCurrentTrack();
        std::printf("%d\t%d\t%d\n", picked, player.GetPickSource(),
                    picked != 0 ? track.CurrentRating : 0);
    }
    database.Close();
    return 0;
}
