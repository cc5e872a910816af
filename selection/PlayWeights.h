#pragma once
// The thirteen band weights of the track selection, in band order. Plain data.

#include <array>
#include <cstdint>

constexpr int PlayWeightCount = 13;

enum PlayWeightIndex : int {
    PlayTrackAwesome = 0,
    PlayTrackGood,
    PlayTrackNormal,
    PlayTrackBad,
    PlayArtistAwesome,
    PlayArtistGood,
    PlayArtistNormal,
    PlayArtistBad,
    PlayGenreAwesome,
    PlayGenreGood,
    PlayGenreNormal,
    PlayGenreBad,
    PlayRandom,
};

// The tSettings names, in band order.
constexpr std::array<const char*, PlayWeightCount> PlayWeightNames = {
    "PlayTrackAwesome",  "PlayTrackGood",  "PlayTrackNormal",  "PlayTrackBad",
    "PlayArtistAwesome", "PlayArtistGood", "PlayArtistNormal", "PlayArtistBad",
    "PlayGenreAwesome",  "PlayGenreGood",  "PlayGenreNormal",  "PlayGenreBad",
    "PlayRandom"};

// What the player holds before tSettings is read.
constexpr std::array<int32_t, PlayWeightCount> InitialPlayWeights = {5, 2,   1,  0,  20, 8, 4,
                                                                     0, 100, 60, 20, 5,  10};

using PlayWeights = std::array<int32_t, PlayWeightCount>;

// The band whose half-open range [sum of weights before it, that sum + its weight) holds r.
// Negative weights count as 0. Returns -1 when r lies beyond every band.
int FindBand(const PlayWeights& weights, int64_t r);
