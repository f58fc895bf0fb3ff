// Levels: the loaded level's heights.
#pragma once

// The height of full darkness of the loaded level, in world space.
float MV2GetDarknessDepth();
