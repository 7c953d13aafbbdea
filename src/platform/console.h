// The console window that the program runs in.
#pragma once

// True when the console window closes as soon as the program ends, so that
// a message written last could not be read: on Windows, when the program is
// the only process attached to its console (started by a double-click) and
// standard input is that console.  Never on other systems, where a program
// runs in a terminal that stays.
bool ConsoleClosesWithProgram();
