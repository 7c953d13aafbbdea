#pragma once

// Rewrites "script/Results.txt" from its backup "script/Results.bak" so that
// the lines of San Marino and the Netherlands trade the ids 34 and 41.
// Prints one dot at the start and one per replaced line.  Ends the program
// with "error!!!" and status 1 when its files cannot be opened.
void PatchResultsScript();
