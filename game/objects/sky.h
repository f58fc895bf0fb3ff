// The sky: its model over the level and its textures.
#pragma once

// Frees the sky model and its textures.
void MV2FreeSky();
// Loads the sky textures and places the sky.
void MV2LoadSky();
