// sonvera-pick [--explain] DATABASE MOOD-ID COUNT: runs the track selection COUNT times on a
// database, without window or player, and prints "ID<TAB>PickSource<TAB>CurrentRating" per
// pick. --explain adds the band's setting name and the reason in English as two more columns.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "db/CADODataBase.h"
#include "res/StringTable.h"
#include "selection/PlayWeights.h"
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
    const bool explain = argc > 1 && std::string(argv[1]) == "--explain";
    if (explain) {
        --argc;
        ++argv;
    }
    if (argc != 4 || !ParseInt(argv[2], moodID) || !ParseInt(argv[3], count) || count < 0) {
        std::fprintf(stderr, "usage: sonvera-pick [--explain] DATABASE MOOD-ID COUNT\n");
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
        std::printf("%d\t%d\t%d", picked, player.GetPickSource(),
                    picked != 0 ? track.CurrentRating : 0);
        if (explain) {
            const PickExplanation why = player.ExplainLastPick();
            const bool known = picked != 0 && why.band >= 0 && why.band < PlayWeightCount;
            std::printf("\t%s\t%s", known ? PlayWeightNames[why.band] : "-",
                        known ? ExplainPick(why, kLanguageEnglish).c_str() : "-");
        }
        std::printf("\n");
    }
    database.Close();
    return 0;
}
