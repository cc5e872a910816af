#include <gtest/gtest.h>

#include <thread>

#include "selection/PlayWeights.h"
#include "selection/Random.h"

TEST(Random, FollowsTheRuntimeSequence) {
    SeedRandom(1);
    // The first numbers of the C runtime after srand(1).
    EXPECT_EQ(NextRandom(), 41);
    EXPECT_EQ(NextRandom(), 18467);
    EXPECT_EQ(NextRandom(), 6334);
    EXPECT_EQ(NextRandom(), 26500);
    SeedRandom(0xFFFFFFFFu);
    for (int i = 0; i < 100000; ++i) {
        const int r = NextRandom();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

TEST(Random, EachThreadHasItsOwnState) {
    SeedRandom(1234);
    const uint32_t before = RandomState();
    uint32_t otherStart = 0;
    int otherFirst = 0;
    std::thread other([&] {
        otherStart = RandomState();
        SeedRandom(1);
        otherFirst = NextRandom();
    });
    other.join();
    EXPECT_EQ(otherStart, 1u);  // a new thread starts unseeded, not with our seed
    EXPECT_EQ(otherFirst, 41);
    EXPECT_EQ(RandomState(), before);
}

TEST(FindBand, WalksHalfOpenRangesInBandOrder) {
    const PlayWeights weights = InitialPlayWeights;  // 5,2,1,0,20,8,4,0,100,60,20,5,10
    EXPECT_EQ(FindBand(weights, 0), PlayTrackAwesome);
    EXPECT_EQ(FindBand(weights, 4), PlayTrackAwesome);
    EXPECT_EQ(FindBand(weights, 5), PlayTrackGood);
    EXPECT_EQ(FindBand(weights, 7), PlayTrackNormal);
    EXPECT_EQ(FindBand(weights, 8), PlayArtistAwesome);  // the bad band has weight 0
    EXPECT_EQ(FindBand(weights, 40), PlayGenreAwesome);
    EXPECT_EQ(FindBand(weights, 224), PlayGenreBad);
    EXPECT_EQ(FindBand(weights, 225), PlayRandom);
    EXPECT_EQ(FindBand(weights, 234), PlayRandom);
    EXPECT_EQ(FindBand(weights, 235), -1);
}

TEST(FindBand, ZeroAndNegativeWeightsNeverMatch) {
    PlayWeights weights{};
    EXPECT_EQ(FindBand(weights, 0), -1);
    weights[PlayArtistBad] = -50;
    weights[PlayRandom] = 3;
    for (int r = 0; r < 3; ++r) EXPECT_EQ(FindBand(weights, r), PlayRandom);
    EXPECT_EQ(FindBand(weights, 3), -1);
    EXPECT_EQ(FindBand(weights, -1), -1);
}
