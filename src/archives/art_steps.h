#pragma once

// Each rewrites one artwork archive from its backup ("art_0N.bak"), exchanging
// the byte strings that name country 34 and country 41.  Ends the program with
// "error2!!!" and status 1 when its files cannot be opened.
void PatchArt01();
void PatchArt02();
void PatchArt03();
