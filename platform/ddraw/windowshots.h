// Pictures of what the game's window shows, for display tests: with MAROVANT_WINDOW_SHOTS set to
// a folder and MAROVANT_WINDOW_SHOT_TIMES to a comma-separated list of clock times (ms, rising),
// the first present at or after each time also writes the presented picture as shot-N.ppm
// (N counting from 0) into the folder, read from the window's own buffer just before it is
// shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when a shot is due at clock `now`: `path` gets its file name. Each time is taken once;
// times passed by several at one present give one shot.
bool DDrawWindowShotDue(uint32_t now, std::string* path);
// Writes rows top first, 4 bytes (red, green, blue, alpha) per pixel, as a binary PPM.
bool DDrawWriteWindowShot(const std::string& path, int width, int height,
                          const std::vector<uint8_t>& rgba);
// Forgets the environment read so far (tests).
void DDrawResetWindowShots();
