#pragma once

// Last step of a run: deletes every backup that the steps made, whatever each
// command reports.  Writes nothing itself.
void RemoveBackups();
