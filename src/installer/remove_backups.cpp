#include "installer/remove_backups.h"

#include "installer/run_shell.h"

void RemoveBackups() {
  RunShell("del database\\bak\\*.* /Q /F");
  RunShell("rmdir database\\bak\\");
  RunShell("del art_01.bak");
  RunShell("del art_02.bak");
  RunShell("del art_03.bak");
  RunShell("del script\\Results.bak");
}
