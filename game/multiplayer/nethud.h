// The multiplayer HUD: the message ticker, the player list with frags and power-ups, name tags
// with energy bars over visible remote craft, and the end-of-game score table.
#pragma once

#include <cstdint>

void MV2NetDrawTicker();
void MV2NetDrawHud();
void MV2NetDrawScoreTable();
// The score table's drawing order: used records by frags, highest first; records never move.
// The number of entries written to `order`.
int32_t MV2NetScoreOrder(int32_t order[8]);
