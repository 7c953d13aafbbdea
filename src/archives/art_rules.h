// The substitution rules of the artwork archive steps, in the order in which
// they are tested.  Each table is its own inverse.
#pragma once

#include <vector>

#include "archives/block_scanner.h"

// "art_01.big": country ids ("country_41", "country41", "g41") both ways.
const std::vector<SubstitutionRule>& Art01Rules();
// "art_02.big": the name prefixes "sanmarino." and "niederlande." both ways.
const std::vector<SubstitutionRule>& Art02Rules();
// "art_03.big": the path endings "\41.tpi" and "\34.tpi" both ways.
const std::vector<SubstitutionRule>& Art03Rules();
