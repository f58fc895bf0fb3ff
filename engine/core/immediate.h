// Immediate mode 2-D and 3-D drawing.
#pragma once

// Near and far screen z of the device; 2-D vertices use z in this range.
float TvIm2DGetNearScreenZ();
float TvIm2DGetFarScreenZ();
