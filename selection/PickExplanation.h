#pragma once
// Why the selection engine chose the current track, and the sentence that tells the user.
// Plain data; the text function reads only the compiled string table (any thread).

#include <cstdint>
#include <optional>
#include <string>

struct PickExplanation {
    // Band drawn (PlayWeightIndex), or -1: nothing picked yet, or a track the user chose.
    int band = -1;
    bool chosenByUser = false;
    // The drawn band found nothing and an unrated track was drawn instead.
    bool fellBack = false;
    // The band's weight over the sum of the weights, rounded to a whole percent.
    int sharePercent = 0;
    // Tracks the band offered (after a fall-back: the unrated tracks).
    int32_t candidates = 0;
    // The artist's or genre's average rating in the mood, for those bands.
    std::optional<double> average;
    // RatingType of the track in the mood: 1 the user's rating, 2 learned, 0 none.
    int32_t ratingType = 0;
};

// The band's weight over the sum (negative weights count 0), in whole percent.
int SharePercent(const int32_t* weights, int count, int band);

// One or two sentences in the interface language.
std::string ExplainPick(const PickExplanation& pick, int32_t languageId);
// The band alone: "a genre you rate Good on average"; "" for none.
std::string BandInWords(int band, int32_t languageId);
