#pragma once
// What the store operations need from the player: the mood and a copy of the current track.
// Implemented by TrackPlayer; any thread may call it.

#include <cstdint>

#include "db/TrackRecord.h"

class CurrentTrackSource {
public:
    virtual ~CurrentTrackSource() = default;
    virtual int32_t GetMoodID() const = 0;
    // A copy made under the player's track lock.
    virtual TrackRecord GetCurrentTrack() const = 0;
};
