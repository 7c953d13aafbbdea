#pragma once

// Makes the backup directory "database\bak", moves the country list
// "database/countries.sav" into it and writes the list back with the six-line
// records of San Marino and the Netherlands exchanged.  Prints one dot at the
// start and one per record written at the other's place.
// Unless the list holds exactly one record of each country, its lines are
// written back unchanged and one line on standard error says why.
// Ends the program with "error!!!" and status 1 when its files cannot be
// opened or the list could not be moved to its backup (the list then stays as
// it was).
void PatchCountryList();
