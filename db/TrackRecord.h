#pragma once
// The in-memory copy of one tTrack row; passed by value between threads.

#include <cstdint>
#include <string>

struct TrackRecord {
    int32_t ID = 0;  // 0 = none
    std::string Filename;
    std::string Trackname;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string OrigTrackname;
    std::string OrigArtist;
    std::string OrigAlbum;
    std::string OrigYear;
    std::string FingerPrint;
    std::string AcousticPrint;     // Chromaprint, compressed; empty until made
    int32_t AcousticDuration = 0;  // seconds; 0 = unknown
    int32_t GenreID = 255;  // 255 = none
    int32_t BitRate = 0;    // kbit/s
    int32_t CurrentRating = 0;  // rating level of the band that picked the track, 0 = random
    bool Source = false;        // came from the download engine
};

// Rating codes of tTrackMood.Rating (and TheRating of the selection queries).
enum RatingCode : int32_t {
    RatingExcluded = -1,
    RatingBad = 1,
    RatingNormal = 2,
    RatingGood = 3,
    RatingAwesome = 4,
};
