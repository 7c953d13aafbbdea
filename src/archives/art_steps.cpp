#include "archives/art_steps.h"

// Not written yet.
void PatchArt01() {}
void PatchArt02() {}
void PatchArt03() {}
