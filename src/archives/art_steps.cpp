#include "archives/art_steps.h"

#include <iostream>

#include "archives/art_rules.h"
#include "archives/block_scanner.h"
#include "installer/shared_state.h"
#include "platform/rename.h"

namespace {

// Moves `archive` to `backup` and writes it back with `rules` applied.  When
// the backup name is taken already, that backup (left by a run that stopped
// early) is the input and the archive's own content is discarded.
void PatchArchive(const char* archive, const char* backup, const std::vector<SubstitutionRule>& rules,
                  bool countPasses) {
  PrintProgressDot();
  RenameNoReplace(archive, backup);
  if (!OpenStepFiles(backup, archive)) FailStep("error2!!!");
  ScanAndReplace(sharedInput, sharedOutput, rules, countPasses);
  CloseStepFiles();
}

}  // namespace

void PatchArt01() { PatchArchive("art_01.big", "art_01.bak", Art01Rules(), true); }
void PatchArt02() { PatchArchive("art_02.big", "art_02.bak", Art02Rules(), false); }
void PatchArt03() { PatchArchive("art_03.big", "art_03.bak", Art03Rules(), false); }
