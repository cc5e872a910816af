#pragma once
// Storing edited play weights: in the running player at once, then in tSettings.
// Main thread.

#include "selection/PlayWeights.h"

class CADODataBase;
class TrackPlayer;

// Each weight goes to the player and then to its tSettings row (a missing row is not made).
void StorePlayWeights(TrackPlayer& player, CADODataBase* database, const PlayWeights& weights);
