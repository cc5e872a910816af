#include "playback/PlayerFactory.h"

#include "platform/mediaplayer/MediaPlayerControl.h"
#include "playback/FmodBackend.h"
#include "playback/MediaPlayerBackend.h"
#include "playback/NullBackend.h"
#include "playback/WinAmpBackend.h"

namespace {

// Stands in for a player that is not available on this system: it never initialises.
class UnavailableBackend final : public NullBackend {
public:
    bool Initialise(const MessageTargetSlot* /*mainWindow*/) override { return false; }
};

}  // namespace

std::unique_ptr<PlayerBackend> MakePlayerBackend(PlayerType type) {
    switch (type) {
        case PlayerTypeFmod:
            return std::make_unique<FmodBackend>();
        case PlayerTypeMediaPlayer:
            return std::make_unique<MediaPlayerBackend>();
        case PlayerTypeWinAmp:
            return std::make_unique<WinAmpBackend>();
        default:
            return std::make_unique<UnavailableBackend>();
    }
}

void PreparePlayers() { MediaPlayerControl::Prepare(); }
