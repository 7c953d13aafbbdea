#include "platform/process_setup.h"

#include <csignal>

void SetUpProcess() { std::signal(SIGXFSZ, SIG_IGN); }
