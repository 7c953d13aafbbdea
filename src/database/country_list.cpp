#include "database/country_list.h"

// Not written yet.
void PatchCountryList() {}
