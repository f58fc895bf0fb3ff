// Visual effects: the entry points the object system calls.
#pragma once

void MV2ResetGravel();
void MV2ResetBubbles();
void MV2ResetFireballs();
void MV2ResetSmoke();
void MV2ResetTracers();
void MV2ResetScorches();
void MV2ResetExplosions();
void MV2ResetFlak();
void MV2ResetPlasmaBeams();
void MV2ResetBeams();
void MV2ClearElectricArcs();
void MV2StopLavaBlobs();
