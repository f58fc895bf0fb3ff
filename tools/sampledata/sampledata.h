// The sample data folder: everything the built game reads at start-up, generated (pictures
// from gradients and shapes, the controls file, the menu resource file with its texts).
#pragma once

#include <string>

// Writes the folder's files into `folder` (made when missing); false when one could not be
// written. The same folder comes out on every run.
bool SampleDataWrite(const std::string& folder);

// The sound list, the sound files and the base volume table; written by the sound modules'
// writers once they are merged. Until then it writes nothing.
bool SampleDataWriteSoundFiles(const std::string& folder);

// The submarine table DATA\SUBS.DAT.
bool SampleDataWriteCreatures(const std::string& folder);
