// The repair of a run that was stopped (killed, its window closed, the power
// cut), found by its journal at the start of the next run.
#pragma once

// Undoes the stopped run when it was still rewriting files, or finishes it
// when it was removing its backups, then deletes the journal and tells the
// player what happened on standard output.  Returns 0; or 1 after saying on
// standard error what could not be repaired, with the journal kept.
int RepairStoppedRun();
