#include "platform/pause.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

namespace {

// Signals that end the process while it waits; the terminal must not be left
// without echo when one of them arrives.
const int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
constexpr int kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

// The terminal's settings as they were before the wait.
struct termios savedTerminal;

void RestoreTerminalAndEnd(int signalNumber) {
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);  // delivered with its default action once the handler returns
}

// Reads one byte of standard input.  Returns at the end of the input or on an
// error too, so that the wait can never outlast its input.
void ReadOneByte() {
  char byte;
  while (read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
  }
}

// Waits for one key press on the terminal that is standard input.
void WaitForKeyOnTerminal() {
  struct termios keyMode = savedTerminal;
  keyMode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  keyMode.c_cc[VMIN] = 1;
  keyMode.c_cc[VTIME] = 0;

  struct sigaction restore {};
  restore.sa_handler = RestoreTerminalAndEnd;
  sigemptyset(&restore.sa_mask);
  struct sigaction previous[kEndingSignalCount];
  for (int i = 0; i < kEndingSignalCount; ++i) {
    sigaction(kEndingSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) sigaction(kEndingSignals[i], &restore, nullptr);
  }

  if (tcsetattr(STDIN_FILENO, TCSANOW, &keyMode) == 0) {
    ReadOneByte();
    // A key such as an arrow sends several bytes; the rest must not reach
    // whatever reads the terminal next.
    tcflush(STDIN_FILENO, TCIFLUSH);
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  } else {
    ReadOneByte();
  }

  for (int i = 0; i < kEndingSignalCount; ++i) sigaction(kEndingSignals[i], &previous[i], nullptr);
}

}  // namespace

int PauseForKeyPress() {
  std::cout << "Press any key to continue . . . " << std::flush;
  if (tcgetattr(STDIN_FILENO, &savedTerminal) == 0) {
    WaitForKeyOnTerminal();
  } else {
    ReadOneByte();
  }
  std::cout << '\n' << std::flush;
  return 0;
}
