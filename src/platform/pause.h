// The command interpreter's "pause", for the built-in interpreter.
#pragma once

// Writes "Press any key to continue . . . ", waits for one key and writes a
// line end.  On a terminal one key press counts, without Enter and without
// echo, and the terminal's settings are put back afterwards; otherwise one
// byte of standard input is read, and the end of the input ends the wait.
// Returns 0.
int PauseForKeyPress();
