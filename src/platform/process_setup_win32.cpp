#include "platform/process_setup.h"

// Windows has no file-size signal: a failed write is reported as such.
void SetUpProcess() {}
