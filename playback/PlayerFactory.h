#pragma once
// The one place where player backends are made. Any thread; no state.

#include <memory>

#include "playback/PlayerBackend.h"

// A new, uninitialised backend of `type`. Types without a working player yet (and unknown
// types) give a backend whose Initialise fails and whose GetState is 2. Never null.
std::unique_ptr<PlayerBackend> MakePlayerBackend(PlayerType type);
