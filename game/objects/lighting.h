// The game's lighting: the ambient colour and the lighting zone that tints the depth light.
#pragma once

// Stores the colour and sets it on the world's ambient light when that exists.
void MV2SetAmbientColour(float red, float green, float blue, float alpha);
// Blends the light factor and colour with the active lighting zone, in place.
void MV2ApplyLightingZone(float* light, float* red, float* green, float* blue);
void MV2ResetLightingZone();
