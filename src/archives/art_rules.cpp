#include "archives/art_rules.h"

const std::vector<SubstitutionRule>& Art01Rules() {
  static const std::vector<SubstitutionRule> rules = {
      {"country_41", "country_34"}, {"country_34", "country_41"}, {"country41", "country34"},
      {"country34", "country41"},   {"g41", "g34"},               {"g34", "g41"},
  };
  return rules;
}

const std::vector<SubstitutionRule>& Art02Rules() {
  // The archive changes length: 2 bytes more or less per replacement.
  static const std::vector<SubstitutionRule> rules = {
      {"sanmarino.", "niederlande."},
      {"niederlande.", "sanmarino."},
  };
  return rules;
}

const std::vector<SubstitutionRule>& Art03Rules() {
  // The backslash is a plain byte of the pattern.
  static const std::vector<SubstitutionRule> rules = {
      {"\\41.tpi", "\\34.tpi"},
      {"\\34.tpi", "\\41.tpi"},
  };
  return rules;
}
