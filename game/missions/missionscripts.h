// The scripts of the mission table rows. Rows whose scripts are not built yet answer 1 to
// every message (each in its own row file).
#pragma once

#include <cstdint>

struct MV2Object;

#define MV2_MISSION_SCRIPT(name) int32_t name(MV2Object* object, int32_t message, intptr_t a, intptr_t b)
MV2_MISSION_SCRIPT(MV2Mission1Script);
MV2_MISSION_SCRIPT(MV2Mission2Script);
MV2_MISSION_SCRIPT(MV2Mission3Script);
MV2_MISSION_SCRIPT(MV2Mission4Script);
MV2_MISSION_SCRIPT(MV2Mission5Script);
MV2_MISSION_SCRIPT(MV2Mission6Script);
MV2_MISSION_SCRIPT(MV2Mission7Script);
MV2_MISSION_SCRIPT(MV2Mission8Script);
MV2_MISSION_SCRIPT(MV2Mission9Script);
MV2_MISSION_SCRIPT(MV2RescueMissionScript);
MV2_MISSION_SCRIPT(MV2Mission11Script);
MV2_MISSION_SCRIPT(MV2Mission12Script);
MV2_MISSION_SCRIPT(MV2Mission13Script);
MV2_MISSION_SCRIPT(MV2Mission14Script);
MV2_MISSION_SCRIPT(MV2Mission15Script);
MV2_MISSION_SCRIPT(MV2Mission16Script);
MV2_MISSION_SCRIPT(MV2Mission17Script);
MV2_MISSION_SCRIPT(MV2Mission18Script);
MV2_MISSION_SCRIPT(MV2Mission19Script);
MV2_MISSION_SCRIPT(MV2Mission20Script);
MV2_MISSION_SCRIPT(MV2Mission21Script);
MV2_MISSION_SCRIPT(MV2Mission22Script);
MV2_MISSION_SCRIPT(MV2Mission26Script);
MV2_MISSION_SCRIPT(MV2SporeAtkMissionScript);
MV2_MISSION_SCRIPT(MV2Mission28Script);
MV2_MISSION_SCRIPT(MV2Mission29Script);
MV2_MISSION_SCRIPT(MV2Mission30Script);
MV2_MISSION_SCRIPT(MV2Mission31Script);
MV2_MISSION_SCRIPT(MV2Mission32Script);
MV2_MISSION_SCRIPT(MV2Mission33Script);
MV2_MISSION_SCRIPT(MV2Mission34Script);
MV2_MISSION_SCRIPT(MV2Mission35Script);
MV2_MISSION_SCRIPT(MV2Mission36Script);
MV2_MISSION_SCRIPT(MV2Mission37Script);
MV2_MISSION_SCRIPT(MV2Mission38Script);
MV2_MISSION_SCRIPT(MV2Mission39Script);
MV2_MISSION_SCRIPT(MV2CutSceneScript);
MV2_MISSION_SCRIPT(MV2GlobalScript41);
MV2_MISSION_SCRIPT(MV2FriendlyFireScript);
MV2_MISSION_SCRIPT(MV2DayClockScript);
MV2_MISSION_SCRIPT(MV2CityScript);
#undef MV2_MISSION_SCRIPT
