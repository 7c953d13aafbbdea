// The console window that the program runs in.
#pragma once

// True when the console window closes as soon as the program ends, so that
// a message written last could not be read: on Windows, when the program is
// the only process attached to its console (started by a double-click) and
// standard input is that console.  Never on other systems, where a program
// runs in a terminal that stays.
bool ConsoleClosesWithProgram();

// The program's text is UTF-8.  On Windows, std::cout and std::cerr write
// from now on to a console that is their standard output or error in UTF-16
// (WriteConsoleW), so that letters outside the console's code page show as
// they are.  Each insertion reaches the console at once, so a flush finds
// nothing left to write but the start of a character whose remaining bytes
// are still to come.  A standard stream that is a file or a pipe is left as
// it is and gets the UTF-8 bytes unchanged.  Nothing on other systems, where
// a terminal takes the UTF-8 bytes as they are.
void WriteConsolesInUtf16();
