#include "platform/process_setup.h"

#include "platform/console.h"

// Windows has no file-size signal: a failed write is reported as such.  A
// console shows the messages' letters as they are.
void SetUpProcess() { WriteConsolesInUtf16(); }
