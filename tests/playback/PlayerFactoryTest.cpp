#include <gtest/gtest.h>

#include "playback/FmodBackend.h"
#include "playback/MediaPlayerBackend.h"
#include "playback/PlayerFactory.h"
#include "playback/WinAmpBackend.h"

TEST(PlayerFactory, MakesTheFmodPlayerForType3) {
    auto backend = MakePlayerBackend(PlayerTypeFmod);
    ASSERT_NE(dynamic_cast<FmodBackend*>(backend.get()), nullptr);
    EXPECT_TRUE(backend->Initialise(nullptr));
    EXPECT_TRUE(backend->IsInitialised());
    backend->Shutdown();
}

TEST(PlayerFactory, MakesTheMediaPlayerForType1) {
    EXPECT_NE(dynamic_cast<MediaPlayerBackend*>(MakePlayerBackend(PlayerTypeMediaPlayer).get()),
              nullptr);
}

TEST(PlayerFactory, PlayersNotAvailableHereNeverInitialise) {
    for (int type : {0, 4}) {
        auto backend = MakePlayerBackend(static_cast<PlayerType>(type));
        ASSERT_NE(backend, nullptr) << type;
        EXPECT_EQ(dynamic_cast<FmodBackend*>(backend.get()), nullptr) << type;
        EXPECT_FALSE(backend->Initialise(nullptr)) << type;
        EXPECT_FALSE(backend->IsInitialised()) << type;
        EXPECT_EQ(backend->GetState(), PlayerStateNotInitialised) << type;
    }
}

TEST(PlayerFactory, MakesTheWinAmpPlayerForType2) {
    auto backend = MakePlayerBackend(PlayerTypeWinAmp);
    EXPECT_NE(dynamic_cast<WinAmpBackend*>(backend.get()), nullptr);
}
