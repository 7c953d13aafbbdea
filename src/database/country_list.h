#pragma once

// Makes the backup directory "database\bak" and rewrites the country list
// "database/countries.sav" with the six-line records of San Marino and the
// Netherlands exchanged.  Ends the program with "error!!!" and status 1 when
// its files cannot be opened.
void PatchCountryList();
