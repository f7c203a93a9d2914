#pragma once

#include <string>

// Times reading the map at MapPath (made from Picture with Seed) back into a
// picture, and a merge of a 1 % change in one place, against a whole run.
void TimeImportAndMerge(const std::string &Tiles, const std::string &Picture, const std::string &MapPath,
                        const std::string &Dir, unsigned long long Seed);
