// Control hand-over and player commands: the player takes over another craft (its own brain
// kept aside and given back afterwards) and gives orders to the selected craft.
#pragma once

#include <cstdint>

struct MV2Object;

// Clears the pending command, the site index, both flags and the kept brain; 1.
int32_t MV2InitialiseCommandSystem();
// Moves the player brain to the craft; 0 when it refuses (message 62) or nobody is controlled.
int32_t MV2TakeControlOfCraft(MV2Object* craft);
// Carries out command 31 to 59 on the selected craft; nothing without one.
void MV2ExecuteCommand(int32_t command);
// The command being carried out (0 none), and the order flags.
int32_t MV2GetPendingCommand();
int32_t MV2GetCommandSite();
uint32_t MV2GetOrderArmed();
uint32_t MV2GetOrderHold();
