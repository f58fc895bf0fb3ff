// Sky and the day clock: the light level of the time of day.
#pragma once

// The light level 0..1 of the time of day (1.0 on every level but level 0).
float MV2GetDaylight();
