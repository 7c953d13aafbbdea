#include "archives/art_steps.h"

#include <iostream>

#include "archives/art_rules.h"
#include "archives/block_scanner.h"
#include "installer/messages.h"
#include "installer/run_control.h"
#include "installer/shared_state.h"

namespace {

// Moves `archive` to `backup` and writes it back with `rules` applied.
void PatchArchive(const char* archive, const char* backup, const std::vector<SubstitutionRule>& rules,
                  bool countPasses) {
  PrintProgressDot();
  MoveToBackup(archive, backup, kArchiveStepError);
  if (!OpenStepFiles(backup, archive)) FailRun(DescribeOpenFailure(), kArchiveStepError);
  // Each block goes to disk, and the backup's block leaves memory, while the
  // next one is scanned.
  ScanAndReplace(sharedInput, sharedOutput, rules, countPasses, kScanBlockSize, HandStepDataToDisk);
  CloseStepFiles();
}

}  // namespace

void PatchArt01() { PatchArchive("art_01.big", "art_01.bak", Art01Rules(), true); }
void PatchArt02() { PatchArchive("art_02.big", "art_02.bak", Art02Rules(), false); }
void PatchArt03() { PatchArchive("art_03.big", "art_03.bak", Art03Rules(), false); }
