#pragma once

// Exchanges the databases of country 34 and country 41 (with their
// competition ids and codes rewritten), then exchanges the ids 34 and 41 in
// the club and player records of every country database.  Prints 208 dots.
void SwapCountryDatabases();
