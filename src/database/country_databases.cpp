#include "database/country_databases.h"

// Not written yet.
void SwapCountryDatabases() {}
