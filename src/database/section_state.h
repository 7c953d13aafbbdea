#pragma once

// The section of a country database that a line lies in.
enum SectionState {
  NoSection = 0,
  CompetitionPart = 1,
  Competition = 2,
  Teams = 3,
  Club = 4,
  Player = 5,
};
