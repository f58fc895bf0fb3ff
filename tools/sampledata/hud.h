// The HUD's sample data: the layout file "data\hud.daf".
#pragma once

#include <string>

// Writes DATA/hud.daf under `folder`; false when it could not be written.
bool SampleDataWriteHud(const std::string& folder);
