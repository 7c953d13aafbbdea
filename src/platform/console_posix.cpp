#include "platform/console.h"

bool ConsoleClosesWithProgram() { return false; }
