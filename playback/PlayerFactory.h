#pragma once
// The one place where player backends are made. Any thread; no state.

#include <memory>

#include "playback/PlayerBackend.h"

// A new, uninitialised backend of `type`. Types without a working player yet (and unknown
// types) give a backend whose Initialise fails and whose GetState is 2. Never null.
std::unique_ptr<PlayerBackend> MakePlayerBackend(PlayerType type);

// Starts in the background what the players need before one can be made (GStreamer for the
// Media Player), so that choosing one later does not hold the caller. Returns at once.
void PreparePlayers();
