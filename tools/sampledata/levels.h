// The sample levels: level 0 and a second small level, as chunk 5 entries of the menu resource
// file, with their landscapes, texture lists, fog tables and level packs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/resfile_writer.h"

std::vector<ResLevel> SampleLevels();
// The object types of every item the sample levels place (model items included).
std::vector<uint32_t> SampleLevelItemTypes();
// Writes the landscapes, lists, fog tables and packs into `folder`; false when one failed.
bool SampleDataWriteLevels(const std::string& folder);
