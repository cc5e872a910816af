#include "selection/PlaySettings.h"

#include "db/Store.h"
#include "selection/TrackPlayer.h"

void StorePlayWeights(TrackPlayer& player, CADODataBase* database, const PlayWeights& weights) {
    player.SetPlayWeights(weights);
    for (int i = 0; i < PlayWeightCount; ++i) SetSetting(database, PlayWeightNames[i], weights[i]);
}
