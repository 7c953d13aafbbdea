#include "platform/console.h"

bool ConsoleClosesWithProgram() { return false; }

void WriteConsolesInUtf16() {}
