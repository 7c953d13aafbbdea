// Process-wide settings made once at start-up, before anything is written.
#pragma once

// Makes a write beyond the process's file-size limit fail like a full disk
// (reported by the step that wrote) instead of killing the process.  On
// Windows, has the messages written to a console in UTF-16
// (WriteConsolesInUtf16()).
void SetUpProcess();
