// Process-wide settings made once at start-up.
#pragma once

// Makes a write beyond the process's file-size limit fail like a full disk
// (reported by the step that wrote) instead of killing the process.
void SetUpProcess();
