#pragma once

// Moves each country database database\country1.sav .. country206.sav in turn
// to its backup in "database\bak" (country34_tmp.sav and likewise for 35, 41
// and 50; countryN.sav for the others) and writes it back with the ids 34 and
// 41 exchanged at lines 103 and 105 of each club record and lines 7 and 8 of
// each player record.  Prints one dot per database.  Fails the run when a
// database could not be moved.
void SwapCountryReferences();
